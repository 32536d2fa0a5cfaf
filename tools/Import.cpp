// The import of a Jet database. Every row goes in one transaction into a file
// beside the destination, which takes the destination's name only when the
// last table is in; a refusal or a failure leaves no destination behind.
#include "Import.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <limits>
#include <optional>

#include "Catalog.h"
#include "DataError.h"
#include "JetReader.h"
#include "Schema.h"

namespace dbtools {

namespace {

using schema::Type;

const JetTable* findJetTable(const std::vector<JetTable>& tables, const QString& name) {
    for (const JetTable& t : tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0) return &t;
    return nullptr;
}

int findJetColumn(const JetTable& table, const QString& name) {
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].name.compare(name, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

// The value as the messages quote it.
QString shown(const QVariant& v) {
    if (v.typeId() == QMetaType::QDateTime) {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("dd.MM.yyyy"))
                                        : dt.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    }
    if (v.typeId() == QMetaType::QByteArray)
        return QStringLiteral("%1 bytes of binary data").arg(v.toByteArray().size());
    if (v.typeId() == QMetaType::Double) return QString::number(v.toDouble(), 'g', 17);
    return v.toString();
}

struct Refusal {
    QString text;  // what is wrong with the value, the value quoted in it
};

// A whole number from any of Jet's numeric forms, or from text that holds one.
std::optional<qint64> wholeNumber(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Bool:
            return v.toBool() ? 1 : 0;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
            return v.toLongLong();
        case QMetaType::Double: {
            const double d = v.toDouble();
            // Beyond 2^62 a double cannot be checked for a fraction worth keeping.
            if (d != d || d < -4.6e18 || d > 4.6e18 || d != double(qint64(d))) return std::nullopt;
            return qint64(d);
        }
        case QMetaType::QString: {
            // Money and decimals keep their places ("12.0000"); a whole one is a number.
            static const QRegularExpression form(QStringLiteral("^\\s*([-+]?\\d+)(?:\\.0*)?\\s*$"));
            const auto m = form.match(v.toString());
            if (!m.hasMatch()) return std::nullopt;
            bool ok = false;
            const qint64 n = m.captured(1).toLongLong(&ok);
            if (!ok) return std::nullopt;
            return n;
        }
        default:
            return std::nullopt;
    }
}

QVariant toInteger(const schema::Column& col, const QVariant& v) {
    const auto n = wholeNumber(v);
    if (!n)
        throw Refusal{QStringLiteral("%1 \"%2\" is not a whole number").arg(col.name, shown(v))};
    const bool small = col.type == Type::SmallInt;
    const qint64 lo =
        small ? std::numeric_limits<qint16>::min() : std::numeric_limits<qint32>::min();
    const qint64 hi =
        small ? std::numeric_limits<qint16>::max() : std::numeric_limits<qint32>::max();
    if (*n < lo || *n > hi)
        throw Refusal{
            QStringLiteral("%1 %2 is out of its range, %3 to %4")
                .arg(col.name, QString::number(*n), QString::number(lo), QString::number(hi))};
    return QVariant(qlonglong(*n));
}

QVariant toDate(const schema::Column& col, const QVariant& v) {
    if (v.typeId() == QMetaType::QDateTime) return v;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        static const QRegularExpression dotted(
            QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})$"));
        static const QRegularExpression iso(
            QStringLiteral("^(\\d{4})-(\\d\\d)-(\\d\\d)(?:[ T](\\d\\d):(\\d\\d)(?::(\\d\\d))?)?$"));
        QDate date;
        QTime time(0, 0);
        if (const auto m = dotted.match(s); m.hasMatch()) {
            date = QDate(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
        } else if (const auto i = iso.match(s); i.hasMatch()) {
            date = QDate(i.captured(1).toInt(), i.captured(2).toInt(), i.captured(3).toInt());
            if (!i.captured(4).isEmpty())
                time = QTime(i.captured(4).toInt(), i.captured(5).toInt(), i.captured(6).toInt());
        }
        if (date.isValid() && time.isValid()) return QDateTime(date, time);
    }
    throw Refusal{QStringLiteral("%1 \"%2\" is not a date").arg(col.name, shown(v))};
}

QVariant toText(const schema::Column& col, const QVariant& v) {
    QString s;
    switch (v.typeId()) {
        case QMetaType::QByteArray:
            throw Refusal{QStringLiteral("%1 holds %2, not text").arg(col.name, shown(v))};
        case QMetaType::QDateTime: {
            const QDateTime dt = v.toDateTime();
            s = dt.time() == QTime(0, 0) ? dt.date().toString(Qt::ISODate)
                                         : dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            break;
        }
        case QMetaType::Bool:
            s = v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
            break;
        default:
            s = shown(v);
            break;
    }
    if (col.size > 0 && s.size() > col.size)
        throw Refusal{QStringLiteral("%1 \"%2\" is longer than its %3 characters")
                          .arg(col.name, s)
                          .arg(col.size)};
    // Empty text is stored as NULL, as the program stores it.
    if (s.isEmpty()) return {};
    return s;
}

// The value as our schema stores it in col.
QVariant convert(const schema::Column& col, const QVariant& v) {
    if (!v.isValid()) {
        if (col.required) throw Refusal{QStringLiteral("%1 is empty").arg(col.name)};
        return {};
    }
    switch (col.type) {
        case Type::Counter:
        case Type::Integer:
        case Type::SmallInt:
            return toInteger(col, v);
        case Type::DateTime:
            return toDate(col, v);
        case Type::Text:
            break;
    }
    QVariant out = toText(col, v);
    if (!out.isValid() && col.required) throw Refusal{QStringLiteral("%1 is empty").arg(col.name)};
    return out;
}

class Report {
public:
    void table(const QString& name, qint64 read, qint64 written) {
        m_text += QStringLiteral("%1: %2 rows read, %3 written\n").arg(name).arg(read).arg(written);
    }
    void note(const QString& line) { m_text += line + QLatin1Char('\n'); }
    QString text() const { return m_text; }

private:
    QString m_text;
};

qint64 countRows(JetReader& reader, const QString& table) {
    qint64 n = 0;
    reader.readRows(table, [&n](const JetRow&) { ++n; });
    return n;
}

void importProgramTable(Connection& c, JetReader& reader, const schema::Table& target,
                        const JetTable& source, Report& report) {
    std::vector<int> from;  // per schema column, the source column or -1
    QStringList columns;
    for (const schema::Column& col : target.columns) {
        const int i = findJetColumn(source, col.name);
        from.push_back(i);
        columns << col.name;
        if (i < 0)
            report.note(QStringLiteral("column %1.%2 is not in the source: left empty")
                            .arg(target.name, col.name));
    }
    for (const JetColumn& jc : source.columns) {
        bool known = false;
        for (const schema::Column& col : target.columns)
            known = known || col.name.compare(jc.name, Qt::CaseInsensitive) == 0;
        if (!known)
            report.note(QStringLiteral(
                            "column %1.%2 is not one of the program's: its values were not taken")
                            .arg(source.name, jc.name));
    }
    int keyColumn = -1;
    for (size_t i = 0; i < target.columns.size() && keyColumn < 0; ++i)
        if (target.columns[i].key) keyColumn = int(i);

    Insert insert(c, target.name, columns);
    Statement& st = insert.statement();
    QHash<QString, qint64> seenKeys;  // key → the row that first had it
    std::vector<QVariant> values(target.columns.size());
    qint64 read = 0, written = 0;
    reader.readRows(source.name, [&](const JetRow& row) {
        ++read;
        // The row as messages name it: by its key when it has a readable one.
        QString which = QStringLiteral("row %1").arg(read);
        if (keyColumn >= 0 && from[size_t(keyColumn)] >= 0) {
            const QVariant& k = row[size_t(from[size_t(keyColumn)])];
            if (k.isValid())
                which = QStringLiteral("row with %1 \"%2\"")
                            .arg(target.columns[size_t(keyColumn)].name, shown(k));
        }
        try {
            for (size_t i = 0; i < target.columns.size(); ++i)
                values[i] =
                    from[i] < 0 ? QVariant() : convert(target.columns[i], row[size_t(from[i])]);
        } catch (const Refusal& r) {
            throw DataError(QStringLiteral("%1, %2: %3").arg(target.name, which, r.text));
        }
        if (keyColumn >= 0 && values[size_t(keyColumn)].isValid()) {
            const QString k = values[size_t(keyColumn)].toString();
            const auto first = seenKeys.constFind(k);
            if (first != seenKeys.constEnd())
                throw DataError(QStringLiteral("%1: rows %2 and %3 have the same %4 \"%5\"")
                                    .arg(target.name)
                                    .arg(*first)
                                    .arg(read)
                                    .arg(target.columns[size_t(keyColumn)].name, k));
            seenKeys.insert(k, read);
        }
        st.reset();
        for (size_t i = 0; i < values.size(); ++i) st.bindValue(int(i + 1), values[i]);
        st.step();
        ++written;
    });
    report.table(target.name, read, written);
}

void importProgramTables(Connection& c, JetReader& reader, Report& report) {
    const std::vector<JetTable> sourceTables = reader.tables();
    bool any = false;
    for (const JetTable& source : sourceTables) any = any || schema::findTable(source.name);
    if (!any)
        throw DataError(
            QStringLiteral("holds none of the program's tables (--all takes every "
                           "table as it stands)"));
    for (const schema::Table& t : schema::tables()) {
        const JetTable* source = findJetTable(sourceTables, t.name);
        if (!source) {
            report.note(QStringLiteral("table %1 is not in the source: left empty").arg(t.name));
            continue;
        }
        importProgramTable(c, reader, t, *source, report);
    }
    for (const JetTable& source : sourceTables)
        if (!schema::findTable(source.name))
            report.note(
                QStringLiteral("table %1 is not one of the program's: its %2 rows were not taken")
                    .arg(source.name)
                    .arg(countRows(reader, source.name)));
}

QString declaredType(const JetColumn& col) {
    switch (col.type) {
        case JetType::Boolean:
        case JetType::Byte:
        case JetType::Integer:
        case JetType::LongInteger:
            return QStringLiteral("INTEGER");
        case JetType::Money:
        case JetType::Numeric:
            return QStringLiteral("NUMERIC");
        case JetType::Float:
        case JetType::Double:
            return QStringLiteral("REAL");
        case JetType::DateTime:
            return QStringLiteral("DATETIME");
        case JetType::Binary:
        case JetType::Ole:
            return QStringLiteral("BLOB");
        case JetType::Text:
            return col.size > 0 ? QStringLiteral("TEXT(%1)").arg(col.size) : QStringLiteral("TEXT");
        case JetType::Memo:
        case JetType::ReplicationId:
            return QStringLiteral("TEXT");
        case JetType::Other:
            break;
    }
    return {};
}

void importAllTables(Connection& c, JetReader& reader, Report& report) {
    for (const JetTable& source : reader.tables()) {
        QStringList definitions, names;
        for (const JetColumn& col : source.columns) {
            definitions
                << (quoteIdentifier(col.name) + QLatin1Char(' ') + declaredType(col)).trimmed();
            names << col.name;
        }
        if (names.isEmpty()) {
            report.note(QStringLiteral("table %1 has no columns: not taken").arg(source.name));
            continue;
        }
        c.execute(QStringLiteral("CREATE TABLE %1 (%2)")
                      .arg(quoteIdentifier(source.name), definitions.join(QStringLiteral(", "))));
        Insert insert(c, source.name, names);
        Statement& st = insert.statement();
        qint64 read = 0, written = 0;
        reader.readRows(source.name, [&](const JetRow& row) {
            ++read;
            st.reset();
            for (size_t i = 0; i < row.size(); ++i) st.bindValue(int(i + 1), row[i]);
            st.step();
            ++written;
        });
        report.table(source.name, read, written);
    }
}

}  // namespace

QString importFrom(JetReader& reader, const QString& sourceName, const QString& dest,
                   ImportScope scope) {
    refuseExisting(dest);
    const QString building = freeNameBeside(dest);
    Report report;
    try {
        NewDatabase db(building, scope == ImportScope::ProgramTables ? NewDatabase::Tables::Program
                                                                     : NewDatabase::Tables::None);
        inTransaction(db.connection(), [&] {
            if (scope == ImportScope::ProgramTables)
                importProgramTables(db.connection(), reader, report);
            else
                importAllTables(db.connection(), reader, report);
        });
        db.finish();
    } catch (const DataError& e) {
        throw DataError(QStringLiteral("%1: %2; nothing was written to \"%3\"")
                            .arg(sourceName, e.text(), dest));
    }
    try {
        renameWithoutReplacing(building, dest);
    } catch (...) {
        QFile::remove(building);
        throw;
    }
    return report.text();
}

QString importMdb(const QString& source, const QString& dest, ImportScope scope) {
    refuseExisting(dest);
    const auto reader = openJetFile(source);
    return importFrom(*reader, source, dest, scope);
}

}  // namespace dbtools
