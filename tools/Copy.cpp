// The copy command. The source is read in one snapshot; the destination is
// written in one transaction, so a failure anywhere leaves it as it was (a new
// file is removed). Rows go in source row order, their hidden row ids and
// counters with them, a few hundred rows per INSERT: one round trip per batch,
// not per row. The journal's triggers are put on after the rows, so the copy
// writes no line of its own; the source's lines are copied as they are. Dates
// travel as ISO text; from the server they come back as the program stores
// them in SQLite ("2024-03-01", the time only when it is not midnight).
#include "Copy.h"

#include <QRegularExpression>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <vector>

#include "Catalog.h"
#include "Connection.h"
#include "DataError.h"
#include "Journal.h"
#include "PgConnection.h"
#include "Schema.h"

namespace dbtools {

namespace {

bool onServer(Connection& c) {
    return c.dialect() == Connection::Dialect::Postgres;
}

// The most values one statement binds. libpq takes a statement's description of its
// parameters (4 bytes each) only when it is under 30000 bytes, far below SQLite's
// and the server's own limits.
constexpr int MaxValuesPerStatement = 6000;
constexpr int MaxRowsPerStatement = 500;

// The program's tables and the journal's that are there, by their schema names.
QStringList presentTables(Connection& c) {
    QStringList out;
    for (const schema::Table& t : schema::tables())
        if (!c.tableName(t.name).isEmpty()) out << t.name;
    if (!c.tableName(journal::tableName()).isEmpty()) out << journal::tableName();
    return out;
}

QStringList tablesWithRows(Connection& c, const QStringList& tables) {
    QStringList out;
    for (const QString& t : tables) {
        auto st = c.prepare(
            QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(quoteIdentifier(c.tableName(t))));
        if (st->step()) out << t;
    }
    return out;
}

// A value as it was stored: bytes stay bytes.
QVariant readValue(Statement& st, int col) {
    switch (st.columnType(col)) {
        case Statement::ValueType::Integer:
            return QVariant(qlonglong(st.columnInt64(col)));
        case Statement::ValueType::Float:
            return QVariant(st.columnDouble(col));
        case Statement::ValueType::Text: {
            const auto t = st.columnText16(col);
            return QString(reinterpret_cast<const QChar*>(t.data()), qsizetype(t.size()));
        }
        case Statement::ValueType::Blob: {
            const auto b = st.columnText8(col);
            return QByteArray(b.data(), qsizetype(b.size()));
        }
        case Statement::ValueType::Null:
            break;
    }
    return {};
}

// How a value changes on its way into SQLite from the server.
enum class Conversion { None, Date, RowKey };

// The server's text of a timestamp as the program stores a date in SQLite.
QVariant sqliteDate(const QVariant& v) {
    if (v.typeId() != QMetaType::QString) return v;
    QString s = v.toString();
    if (s.size() > 10 && s.at(10) == QLatin1Char('T')) s[10] = QLatin1Char(' ');
    if (s.endsWith(QLatin1String(" 00:00:00"))) s.chop(9);
    return s;
}

// SQLite's triggers keep a numeric key (or a row id) as a number, the server's as text.
QVariant sqliteRowKey(const QVariant& key, const QVariant& table) {
    if (key.typeId() != QMetaType::QString) return key;
    const QString column = journal::keyColumn(table.toString());
    if (!column.isEmpty()) {
        const schema::Table* t = schema::findTable(table.toString());
        const auto it = std::find_if(t->columns.begin(), t->columns.end(),
                                     [&](const auto& c) { return c.name == column; });
        if (it == t->columns.end() || it->type == schema::Type::Text ||
            it->type == schema::Type::DateTime)
            return key;
    } else if (!schema::findTable(table.toString())) {
        return key;
    }
    static const QRegularExpression whole(QStringLiteral("^-?[0-9]{1,18}$"));
    return whole.match(key.toString()).hasMatch() ? QVariant(key.toString().toLongLong()) : key;
}

// What is read from one table and where it goes.
struct Transfer {
    QString name;  // the schema's name, for messages
    QString sourceTable, destTable;
    QStringList sourceColumns, destColumns;  // quoted, in the same order
    std::vector<Conversion> conversions;
    QString order;             // the source's row order
    int tableNameColumn = -1;  // the journal's TableName, which a RowKey depends on
    int counterColumn = -1;    // the table's counter, if it has one
};

// Rows gathered for one multi-row INSERT.
class Batch {
public:
    Batch(Connection& c, const QString& table, const QStringList& columns)
        : m_connection(c), m_table(table), m_columns(columns) {
        m_rowsPerStatement =
            std::clamp(MaxValuesPerStatement / int(std::max<qsizetype>(1, columns.size())), 1,
                       MaxRowsPerStatement);
        m_values.reserve(size_t(m_rowsPerStatement) * size_t(columns.size()));
    }
    void add(std::vector<QVariant>& row) {
        for (QVariant& v : row) m_values.push_back(std::move(v));
        if (++m_rows == m_rowsPerStatement) flush();
    }
    void flush() {
        if (m_rows == 0) return;
        std::unique_ptr<Statement>& st = m_rows == m_rowsPerStatement ? m_full : m_tail;
        if (!st || st->parameterCount() != int(m_values.size())) st = prepare(m_rows);
        st->reset();
        for (size_t i = 0; i < m_values.size(); ++i) st->bindValue(int(i + 1), m_values[i]);
        st->step();
        m_values.clear();
        m_rows = 0;
    }

private:
    std::unique_ptr<Statement> prepare(int rows) {
        QStringList marks;
        for (qsizetype i = 0; i < m_columns.size(); ++i) marks << QStringLiteral("?");
        const QString one = QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
        QStringList all;
        for (int i = 0; i < rows; ++i) all << one;
        return m_connection.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                                        .arg(quoteIdentifier(m_table),
                                             m_columns.join(QStringLiteral(", ")),
                                             all.join(QStringLiteral(", "))));
    }

    Connection& m_connection;
    QString m_table;
    QStringList m_columns;
    int m_rowsPerStatement = 1;
    int m_rows = 0;
    std::vector<QVariant> m_values;
    std::unique_ptr<Statement> m_full, m_tail;
};

int64_t copyRows(Connection& from, Connection& to, const Transfer& t) {
    auto st = from.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                               .arg(t.sourceColumns.join(QStringLiteral(", ")),
                                    quoteIdentifier(t.sourceTable), t.order));
    Batch batch(to, t.destTable, t.destColumns);
    const bool intoSqlite = !onServer(to) && onServer(from);
    std::vector<QVariant> row(size_t(t.sourceColumns.size()));
    int64_t n = 0;
    try {
        while (st->step()) {
            for (int i = 0; i < int(row.size()); ++i) {
                QVariant v = readValue(*st, i);
                if (intoSqlite && t.conversions[size_t(i)] == Conversion::Date) v = sqliteDate(v);
                if (intoSqlite && t.conversions[size_t(i)] == Conversion::RowKey)
                    v = sqliteRowKey(v, readValue(*st, t.tableNameColumn));
                row[size_t(i)] = std::move(v);
            }
            batch.add(row);
            ++n;
        }
        batch.flush();
    } catch (const DataError& e) {
        throw DataError(QStringLiteral("table %1: %2").arg(t.name, e.text()));
    }
    return n;
}

// The actual spelling of a column of a table, the hidden row id left aside.
QString columnOf(Connection& c, const QString& table, const QString& column) {
    for (const auto& col : c.tableColumns(table))
        if (col.name.compare(column, Qt::CaseInsensitive) == 0) return col.name;
    throw DataError(QStringLiteral("table %1 has no column %2").arg(table, column));
}

QString rowIdOf(Connection& c) {
    return onServer(c) ? quoteIdentifier(schema::hiddenRowId()) : QStringLiteral("rowid");
}

Transfer programTable(Connection& from, Connection& to, const schema::Table& t) {
    Transfer out;
    out.name = t.name;
    out.sourceTable = from.tableName(t.name);
    out.destTable = to.tableName(t.name);
    const bool counter = std::any_of(t.columns.begin(), t.columns.end(),
                                     [](const auto& c) { return c.type == schema::Type::Counter; });
    out.order = rowIdOf(from);
    // In SQLite a counter is the row id itself.
    if (onServer(to) || !counter) {
        out.sourceColumns << rowIdOf(from);
        out.destColumns << rowIdOf(to);
        out.conversions.push_back(Conversion::None);
    }
    for (const schema::Column& col : t.columns) {
        if (col.type == schema::Type::Counter) out.counterColumn = int(out.sourceColumns.size());
        out.sourceColumns << quoteIdentifier(columnOf(from, out.sourceTable, col.name));
        out.destColumns << quoteIdentifier(columnOf(to, out.destTable, col.name));
        out.conversions.push_back(col.type == schema::Type::DateTime ? Conversion::Date
                                                                     : Conversion::None);
    }
    return out;
}

const char* const JournalColumns[] = {"ID_Journal", "Moment", "TableName", "RowKey",
                                      "RowId",      "Action", "OldValues", "NewValues"};

Transfer journalTable(Connection& from, Connection& to) {
    Transfer out;
    out.name = journal::tableName();
    out.sourceTable = from.tableName(journal::tableName());
    out.destTable = to.tableName(journal::tableName());
    for (const char* name : JournalColumns) {
        const QString column = QLatin1String(name);
        if (column == QLatin1String("TableName"))
            out.tableNameColumn = int(out.sourceColumns.size());
        out.sourceColumns << quoteIdentifier(columnOf(from, out.sourceTable, column));
        out.destColumns << quoteIdentifier(columnOf(to, out.destTable, column));
        out.conversions.push_back(column == QLatin1String("RowKey") ? Conversion::RowKey
                                                                    : Conversion::None);
    }
    out.order = out.sourceColumns.first();
    out.counterColumn = 0;
    return out;
}

// The last value the source's counter of a column gave, where it keeps one beyond its rows
// (AUTOINCREMENT in SQLite, a sequence on the server); -1 when there is none.
int64_t sourceCounter(Connection& from, const QString& table, const QString& column) {
    if (onServer(from)) {
        auto st = from.prepare(QStringLiteral(
            "SELECT pg_sequence_last_value(pg_get_serial_sequence(?, ?)::regclass)"));
        st->bind(1, quoteIdentifier(table));
        st->bind(2, column);
        return st->step() && st->columnType(0) != Statement::ValueType::Null ? st->columnInt64(0)
                                                                             : -1;
    }
    if (column == schema::hiddenRowId()) return -1;
    std::unique_ptr<Statement> st;
    try {
        st = from.prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"));
    } catch (const DataError&) {
        // A file without any AUTOINCREMENT table has no sqlite_sequence.
        return -1;
    }
    st->bind(1, table);
    return st->step() ? st->columnInt64(0) : -1;
}

// The destination's counters go on past the highest value copied (or the source's own
// counter, where a row was deleted from its end), as they would have in the source.
void continueCounters(Connection& from, Connection& to, const Transfer& t) {
    auto unquoted = [](QString q) {
        if (q.startsWith(QLatin1Char('"')))
            q = q.mid(1, q.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));
        return q;
    };
    if (!onServer(to)) {
        // SQLite keeps the counter of an AUTOINCREMENT table in sqlite_sequence.
        if (t.counterColumn < 0) return;
        const int64_t counter =
            sourceCounter(from, t.sourceTable, unquoted(t.sourceColumns[t.counterColumn]));
        if (counter < 0) return;
        auto update = to.prepare(
            QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, :seq) WHERE name = :name"));
        update->bind(1, counter);
        update->bind(2, t.destTable);
        update->step();
        if (to.changes() > 0) return;
        auto insert =
            to.prepare(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"));
        insert->bind(1, t.destTable);
        insert->bind(2, counter);
        insert->step();
        return;
    }
    // On the server every identity column: the counter and the hidden row id.
    QStringList identities;
    for (const auto& col : schema::serverColumns(to, t.destTable))
        if (col.identity) identities << col.name;
    for (qsizetype i = 0; i < t.destColumns.size(); ++i) {
        const QString dest = unquoted(t.destColumns[i]);
        if (!identities.contains(dest)) continue;
        const int64_t counter = sourceCounter(from, t.sourceTable, unquoted(t.sourceColumns[i]));
        auto st =
            to.prepare(QStringLiteral("SELECT setval(pg_get_serial_sequence(:table, :column), "
                                      "greatest(max(%1), :counter), true) FROM %2 "
                                      "HAVING greatest(max(%1), :counter) IS NOT NULL")
                           .arg(t.destColumns[i], quoteIdentifier(t.destTable)));
        st->bind(1, quoteIdentifier(t.destTable));
        st->bind(2, dest);
        if (counter < 0)
            st->bindNull(3);
        else
            st->bind(3, counter);
        st->step();
    }
}

// The source read as of one moment, whatever other desks write meanwhile.
class Snapshot {
public:
    explicit Snapshot(Connection& c) : m_c(c) {
        m_c.execute(onServer(c) ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")
                                : QStringLiteral("BEGIN"));
    }
    ~Snapshot() {
        try {
            m_c.execute(QStringLiteral("ROLLBACK"));
        } catch (const DataError&) {
        }
    }

private:
    Connection& m_c;
};

CopySummary copyAll(Connection& from, Connection& to) {
    CopySummary n;
    journal::removeTriggers(to);
    journal::installTable(to);
    std::vector<Transfer> transfers;
    for (const schema::Table& t : schema::tables()) transfers.push_back(programTable(from, to, t));
    for (const Transfer& t : transfers) {
        n.rows += copyRows(from, to, t);
        ++n.tables;
    }
    if (!from.tableName(journal::tableName()).isEmpty()) {
        transfers.push_back(journalTable(from, to));
        n.journal = copyRows(from, to, transfers.back());
    }
    for (const Transfer& t : transfers) continueCounters(from, to, t);
    journal::install(to);
    return n;
}

QString nothingWritten() {
    return QStringLiteral("; nothing was written");
}

}  // namespace

QString shown(const Location& l) {
    return l.server ? PgConnection::shownConninfo(l.name) : l.name;
}

std::unique_ptr<Connection> openExisting(const Location& l) {
    std::unique_ptr<Connection> c;
    if (l.server) {
        c = std::make_unique<PgConnection>(l.name);
    } else {
        requireFile(l.name);
        c = std::make_unique<SqliteConnection>(l.name);
    }
    c->open();
    return c;
}

void createOnServer(const QString& conninfo) {
    PgConnection c(conninfo);
    c.open();
    inTransaction(c, [&c, &conninfo] {
        const QStringList present = presentTables(c);
        if (!present.isEmpty())
            throw DataError(QStringLiteral("\"%1\" already has the program's tables (%2)")
                                .arg(PgConnection::shownConninfo(conninfo),
                                     present.join(QStringLiteral(", "))) +
                            nothingWritten());
        for (const QString& sql : schema::createStatements(Connection::Dialect::Postgres))
            c.execute(sql);
        journal::install(c);
    });
}

CopySummary copyDatabase(const Location& source, const Location& dest) {
    // A file destination is refused before anything is read.
    if (!dest.server) refuseExisting(dest.name);
    std::unique_ptr<Connection> from = openExisting(source);
    const QStringList problems = schema::problems(*from);
    if (!problems.isEmpty())
        throw DataError(QStringLiteral("\"%1\" does not serve the program: %2")
                            .arg(shown(source), problems.join(QStringLiteral("; "))) +
                        nothingWritten());
    Snapshot snapshot(*from);

    CopySummary n;
    if (!dest.server) {
        NewDatabase db(dest.name);
        inTransaction(
            db.connection(), [&] { n = copyAll(*from, db.connection()); }, true);
        db.finish();
        return n;
    }
    PgConnection to(dest.name);
    to.open();
    inTransaction(to, [&] {
        const QStringList present = presentTables(to);
        if (present.isEmpty()) {
            for (const QString& sql : schema::createStatements(Connection::Dialect::Postgres))
                to.execute(sql);
        } else {
            const QStringList wrong = schema::problems(to);
            if (!wrong.isEmpty())
                throw DataError(QStringLiteral("\"%1\" does not serve the program: %2")
                                    .arg(shown(dest), wrong.join(QStringLiteral("; "))) +
                                nothingWritten());
            const QStringList full = tablesWithRows(to, present);
            if (!full.isEmpty())
                throw DataError(QStringLiteral("\"%1\" already holds rows (%2)")
                                    .arg(shown(dest), full.join(QStringLiteral(", "))) +
                                nothingWritten());
        }
        n = copyAll(*from, to);
    });
    return n;
}

}  // namespace dbtools
