#include "History.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <memory>

#include "Catalog.h"
#include "DataError.h"
#include "Journal.h"
#include "Schema.h"

namespace dbtools {

namespace {

// An existing database of the program; never creates one, and writes nothing to
// a file that is not one.
std::unique_ptr<SqliteConnection> openRegister(const QString& path) {
    requireFile(path);
    auto c = std::make_unique<SqliteConnection>(path);
    c->setValidator([path](Connection& conn) {
        const QStringList problems = schema::problems(conn);
        if (!problems.isEmpty())
            throw DataError(QStringLiteral("\"%1\" is not a database of the program: %2")
                                .arg(path, problems.join(QStringLiteral("; "))));
    });
    c->open();
    return c;
}

std::unique_ptr<SqliteConnection> openJournaled(const QString& path) {
    auto c = openRegister(path);
    if (!journal::complete(*c))
        throw DataError(
            QStringLiteral("\"%1\" has no journal of changes; tessaly-db upgrade adds it")
                .arg(path));
    return c;
}

// The start of a local day as the journal writes moments (UTC, ISO 8601).
QString momentOf(const QDate& day) {
    return QDateTime(day, QTime(0, 0)).toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QString shownMoment(const QString& moment) {
    QDateTime t = QDateTime::fromString(moment, Qt::ISODateWithMs);
    if (!t.isValid()) return moment;
    return t.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

// A value as the program shows it: dates as dd.MM.yyyy, text in quotes, nothing as "(empty)".
QString shown(const QString& table, const QString& column, const QJsonValue& v) {
    if (v.isNull() || v.isUndefined()) return QStringLiteral("(empty)");
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d == double(qint64(d))) return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    if (v.isObject())
        return QStringLiteral("<%1 bytes>")
            .arg(v.toObject().value(QStringLiteral("blob")).toString().size() / 2);
    const QString s = v.toString();
    const schema::Table* t = schema::findTable(table);
    if (t)
        for (const schema::Column& col : t->columns)
            if (col.type == schema::Type::DateTime &&
                col.name.compare(column, Qt::CaseInsensitive) == 0) {
                QDateTime dt = QDateTime::fromString(s, Qt::ISODate);
                if (!dt.isValid()) dt = QDateTime(QDate::fromString(s, Qt::ISODate), QTime(0, 0));
                if (dt.isValid())
                    return dt.time() == QTime(0, 0)
                               ? dt.date().toString(QStringLiteral("dd.MM.yyyy"))
                               : dt.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
            }
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QJsonObject objectOf(const QString& json) {
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

// The key as the history shows it, and as --key matches it.
QString keyText(const QVariant& key) {
    return key.toString();
}

QVariant typedValue(Statement& st, int col) {
    switch (st.columnType(col)) {
        case Statement::ValueType::Integer:
            return QVariant(qlonglong(st.columnInt64(col)));
        case Statement::ValueType::Float:
            return QVariant(st.columnDouble(col));
        case Statement::ValueType::Null:
            return {};
        default:
            return st.columnValue(col);
    }
}

class GradeNames {
public:
    explicit GradeNames(Connection& c) : m_c(c) {}
    // "Иванов Пётр Сергеевич, 2211025; Математический анализ"
    QString of(const QJsonObject& row) {
        const QString student = value(row, QStringLiteral("N_student"));
        const QString plan = value(row, QStringLiteral("ID_Plan"));
        QString who = studentName(student);
        who = who.isEmpty() ? student : who + QStringLiteral(", ") + student;
        const QString discipline = disciplineOf(plan);
        return discipline.isEmpty() ? who : who + QStringLiteral("; ") + discipline;
    }

private:
    static QString value(const QJsonObject& row, const QString& name) {
        for (auto it = row.begin(); it != row.end(); ++it)
            if (it.key().compare(name, Qt::CaseInsensitive) == 0)
                return it.value().isDouble() ? QString::number(qint64(it.value().toDouble()))
                                             : it.value().toString();
        return {};
    }

    QString studentName(const QString& number) {
        if (number.isEmpty()) return {};
        auto st = m_c.prepare(QStringLiteral(
            "SELECT trim(coalesce(\"Fam\", '') || ' ' || coalesce(\"Name\", '') || ' ' || "
            "coalesce(\"SecName\", '')) FROM \"Studenti\" WHERE \"N_student\" = ?"));
        st->bind(1, number);
        if (st->step()) return st->columnValue(0).toString();
        // A student deleted since: the name the journal kept.
        auto gone = m_c.prepare(QStringLiteral(
            "SELECT trim(coalesce(json_extract(\"OldValues\", '$.Fam'), '') || ' ' || "
            "coalesce(json_extract(\"OldValues\", '$.Name'), '') || ' ' || "
            "coalesce(json_extract(\"OldValues\", '$.SecName'), '')) FROM \"Journal\" "
            "WHERE \"TableName\" = 'Studenti' COLLATE NOCASE AND \"RowKey\" = ? AND "
            "\"Action\" = 'delete' ORDER BY \"ID_Journal\" DESC LIMIT 1"));
        gone->bind(1, number);
        return gone->step() ? gone->columnValue(0).toString() : QString();
    }

    QString disciplineOf(const QString& plan) {
        if (plan.isEmpty()) return {};
        auto st =
            m_c.prepare(QStringLiteral("SELECT d.\"NameDis\" FROM \"PlanSpec\" p JOIN "
                                       "\"Disciplins\" d ON d.\"Ndis\" = p.\"Ndis\" "
                                       "WHERE p.\"ID_Plan\" = ?"));
        st->bind(1, int64_t(plan.toLongLong()));
        return st->step() ? st->columnValue(0).toString() : QString();
    }

    Connection& m_c;
};

// The row's columns in the order the table declares them, then any others.
QStringList orderedKeys(const QString& table, const QJsonObject& values) {
    QStringList keys;
    if (const schema::Table* t = schema::findTable(table))
        for (const schema::Column& col : t->columns)
            for (const QString& k : values.keys())
                if (k.compare(col.name, Qt::CaseInsensitive) == 0) keys << k;
    for (const QString& k : values.keys())
        if (!keys.contains(k)) keys << k;
    return keys;
}

QString describe(const QString& table, const QJsonObject& values) {
    QStringList parts;
    for (const QString& k : orderedKeys(table, values))
        if (!values.value(k).isNull())
            parts << k + QLatin1Char(' ') + shown(table, k, values.value(k));
    return parts.join(QStringLiteral(", "));
}

QString changes(const QString& table, const QJsonObject& before, const QJsonObject& after) {
    QStringList parts;
    for (const QString& k : orderedKeys(table, after)) {
        const QJsonValue old = before.value(k), now = after.value(k);
        if (old != now)
            parts
                << QStringLiteral("%1 %2 → %3").arg(k, shown(table, k, old), shown(table, k, now));
    }
    return parts.isEmpty() ? QStringLiteral("the row id only") : parts.join(QStringLiteral(", "));
}

}  // namespace

QString upgrade(const QString& path) {
    auto c = openRegister(path);
    if (journal::complete(*c))
        return QStringLiteral("%1: already has the journal of changes; nothing was changed\n")
            .arg(path);
    journal::add(*c);
    return QStringLiteral("%1: the journal of changes was added; no row was changed\n").arg(path);
}

QString history(const QString& path, const HistoryFilter& filter) {
    auto c = openJournaled(path);
    QString sql = QStringLiteral(
        "SELECT \"ID_Journal\", \"Moment\", \"TableName\", \"RowKey\", \"Action\", \"OldValues\", "
        "\"NewValues\" FROM \"Journal\" WHERE 1");
    if (!filter.table.isEmpty()) sql += QStringLiteral(" AND \"TableName\" = ? COLLATE NOCASE");
    if (!filter.key.isEmpty()) sql += QStringLiteral(" AND CAST(\"RowKey\" AS TEXT) = ?");
    if (filter.since.isValid()) sql += QStringLiteral(" AND \"Moment\" >= ?");
    sql += QStringLiteral(" ORDER BY \"ID_Journal\"");
    auto st = c->prepare(sql);
    int p = 1;
    if (!filter.table.isEmpty()) st->bind(p++, filter.table);
    if (!filter.key.isEmpty()) st->bind(p++, filter.key);
    if (filter.since.isValid()) st->bind(p++, momentOf(filter.since));

    GradeNames names(*c);
    QString out;
    while (st->step()) {
        const qint64 id = st->columnInt64(0);
        const QString table = st->columnValue(2).toString();
        const QString action = st->columnValue(4).toString();
        const QJsonObject before = objectOf(st->columnValue(5).toString());
        const QJsonObject after = objectOf(st->columnValue(6).toString());
        const QString key = journal::keyColumn(table);
        QString row = key.isEmpty() ? QStringLiteral("row %1").arg(keyText(typedValue(*st, 3)))
                                    : QStringLiteral("%1 %2").arg(key, keyText(typedValue(*st, 3)));
        if (table.compare(QLatin1String("Ocenki"), Qt::CaseInsensitive) == 0)
            row += QStringLiteral(" (%1)").arg(names.of(after.isEmpty() ? before : after));
        QString what;
        if (action == QLatin1String("insert"))
            what = QStringLiteral("added: ") + describe(table, after);
        else if (action == QLatin1String("delete"))
            what = QStringLiteral("deleted: ") + describe(table, before);
        else
            what = QStringLiteral("changed: ") + changes(table, before, after);
        out += QStringLiteral("#%1 %2 %3 %4 %5\n")
                   .arg(id)
                   .arg(shownMoment(st->columnValue(1).toString()), table, row, what);
    }
    return out;
}

QString undelete(const QString& path, qint64 id) {
    auto c = openJournaled(path);
    auto line = c->prepare(QStringLiteral(
        "SELECT \"TableName\", \"RowKey\", \"RowId\", \"Action\", \"OldValues\" FROM \"Journal\" "
        "WHERE \"ID_Journal\" = ?"));
    line->bind(1, int64_t(id));
    if (!line->step())
        throw DataError(QStringLiteral("%1: the journal has no line %2").arg(path).arg(id));
    const QString table = line->columnValue(0).toString();
    const QVariant key = typedValue(*line, 1);
    const qint64 rowId = line->columnInt64(2);
    const QString action = line->columnValue(3).toString();
    const QString old = line->columnValue(4).toString();
    if (action != QLatin1String("delete"))
        throw DataError(QStringLiteral("%1: journal line %2 records an %3 in %4, not a deletion")
                            .arg(path)
                            .arg(id)
                            .arg(action, table));
    const QString actual = c->tableName(table);
    if (actual.isEmpty())
        throw DataError(QStringLiteral("%1: the table %2 is not there").arg(path, table));
    const auto columns = c->tableColumns(actual);
    const QString keyName = journal::keyColumn(table);
    QString keyColumn;  // as the table spells it
    for (const auto& col : columns)
        if (!keyName.isEmpty() && col.name.compare(keyName, Qt::CaseInsensitive) == 0)
            keyColumn = col.name;
    const QString rowName = keyColumn.isEmpty()
                                ? QStringLiteral("row %1").arg(rowId)
                                : QStringLiteral("%1 \"%2\"").arg(keyColumn, key.toString());

    // Whatever holds the row's key now: the row itself, put back before, or another one.
    auto holder = c->prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
            .arg(journal::rowObject(quoteIdentifier(actual), columns), quoteIdentifier(actual),
                 keyColumn.isEmpty() ? QStringLiteral("rowid") : quoteIdentifier(keyColumn)));
    if (keyColumn.isEmpty())
        holder->bind(1, int64_t(rowId));
    else
        holder->bindValue(1, key);
    if (holder->step()) {
        if (holder->columnValue(0).toString() == old)
            throw DataError(QStringLiteral("%1: %2 %3 is already back").arg(path, actual, rowName));
        throw DataError(QStringLiteral("%1: %2 %3 has been taken since by another row; nothing was "
                                       "put back")
                            .arg(path, actual, rowName));
    }
    // The row id comes back too, unless another row has it (the key is then what identifies it).
    auto rowIdTaken =
        c->prepare(QStringLiteral("SELECT 1 FROM %1 WHERE rowid = ?").arg(quoteIdentifier(actual)));
    rowIdTaken->bind(1, int64_t(rowId));
    const bool keepRowId = !rowIdTaken->step();

    // Each value exactly as it was: JSON keeps integers, reals, text and null apart.
    QStringList select;
    for (const auto& col : columns) {
        const QString at =
            QStringLiteral("'$.\"%1\"'")
                .arg(QString(col.name).replace(QLatin1Char('\''), QLatin1String("''")));
        select << QStringLiteral("json_type(?1, %1), json_extract(?1, %1)").arg(at);
    }
    auto values = c->prepare(QStringLiteral("SELECT ") + select.join(QStringLiteral(", ")));
    values->bind(1, old);
    if (!values->step())
        throw DataError(QStringLiteral("%1: journal line %2 cannot be read").arg(path).arg(id));

    QStringList names, marks;
    if (keepRowId) {
        names << QStringLiteral("rowid");
        marks << QStringLiteral("?");
    }
    for (const auto& col : columns) {
        names << quoteIdentifier(col.name);
        marks << QStringLiteral("?");
    }
    auto insert = c->prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                 .arg(quoteIdentifier(actual), names.join(QStringLiteral(", ")),
                                      marks.join(QStringLiteral(", "))));
    int p = 1;
    if (keepRowId) insert->bind(p++, int64_t(rowId));
    for (int i = 0; i < int(columns.size()); ++i) {
        const QString type = values->columnValue(2 * i).toString();
        if (type == QLatin1String("object")) {
            // A blob, which the journal keeps as its hex digits.
            const QJsonObject blob = objectOf(values->columnValue(2 * i + 1).toString());
            insert->bind(
                p++, QByteArray::fromHex(blob.value(QStringLiteral("blob")).toString().toLatin1()));
        } else {
            insert->bindValue(p++, typedValue(*values, 2 * i + 1));
        }
    }
    insert->step();
    return QStringLiteral("%1: %2 %3 is back as it was (journal line %4)\n")
        .arg(path, actual, rowName)
        .arg(id);
}

QString prune(const QString& path, const QDate& before) {
    auto c = openJournaled(path);
    auto st = c->prepare(QStringLiteral("DELETE FROM \"Journal\" WHERE \"Moment\" < ?"));
    st->bind(1, momentOf(before));
    st->step();
    return QStringLiteral("%1: %2 journal lines before %3 removed\n")
        .arg(path)
        .arg(c->changes())
        .arg(before.toString(QStringLiteral("dd.MM.yyyy")));
}

}  // namespace dbtools
