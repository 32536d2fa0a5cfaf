// Writing one row; see SqlWriter.h.
#include "SqlWriter.h"

#include <algorithm>

#include "Connection.h"
#include "DataError.h"

namespace {
QStringList quoted(const QStringList& names, const QString& suffix = QString()) {
    QStringList out;
    for (const QString& n : names) out << quoteIdentifier(n) + suffix;
    return out;
}

void bindAll(Statement& st, const std::vector<QVariant>& values) {
    for (size_t i = 0; i < values.size(); ++i) st.bindValue(int(i) + 1, values[i]);
}
}  // namespace

SqlWriter::SqlWriter(Connection& connection, const QString& table)
    : m_connection(connection), m_table(quoteIdentifier(table)) {}

int64_t SqlWriter::insertRow(const QStringList& columns, const std::vector<QVariant>& values) {
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i) marks << QStringLiteral("?");
    // The statement names the row it made: a trigger's own inserts (the journal's)
    // cannot be taken for it.
    const QString sql =
        columns.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES RETURNING rowid").arg(m_table)
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING rowid")
                  .arg(m_table, quoted(columns).join(QLatin1String(", ")),
                       marks.join(QLatin1String(", ")));
    auto st = m_connection.prepare(sql);
    bindAll(*st, values);
    if (!st->step()) throw DataError(QStringLiteral("The new row was not stored"));
    const int64_t key = st->columnInt64(0);
    while (st->step()) {
    }
    return key;
}

std::unique_ptr<Statement> SqlWriter::readRow(const QStringList& columns, int64_t key, bool lock) {
    const QString list = columns.isEmpty()
                             ? QString()
                             : QLatin1String(", ") + quoted(columns).join(QLatin1String(", "));
    const bool rowLocks = lock && m_connection.dialect() == Connection::Dialect::Postgres;
    auto st = m_connection.prepare(
        QStringLiteral("SELECT rowid%1 FROM %2 WHERE rowid = ?%3")
            .arg(list, m_table, rowLocks ? QStringLiteral(" FOR UPDATE") : QString()));
    st->bind(1, key);
    if (!st->step()) return nullptr;
    return st;
}

void SqlWriter::updateRow(const QStringList& columns, const std::vector<QVariant>& values,
                          int64_t key) {
    auto st = m_connection.prepare(
        QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
            .arg(m_table, quoted(columns, QStringLiteral(" = ?")).join(QLatin1String(", "))));
    bindAll(*st, values);
    st->bind(int(values.size()) + 1, key);
    st->step();
    if (m_connection.changes() != 1) throw DataError(msg::rowChangedElsewhere());
}

void SqlWriter::deleteRow(int64_t key) {
    auto st = m_connection.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(m_table));
    st->bind(1, key);
    st->step();
}

namespace {
QString unchanged(const QStringList& oldColumns) {
    QString out;
    for (const QString& c : oldColumns)
        out += QStringLiteral(" AND %1 IS NOT DISTINCT FROM ?").arg(quoteIdentifier(c));
    return out;
}
}  // namespace

bool SqlWriter::updateRowIf(const QStringList& columns, const std::vector<QVariant>& values,
                            int64_t key, const QStringList& oldColumns,
                            const std::vector<QVariant>& oldValues) {
    auto st = m_connection.prepare(
        QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3")
            .arg(m_table, quoted(columns, QStringLiteral(" = ?")).join(QLatin1String(", ")),
                 unchanged(oldColumns)));
    bindAll(*st, values);
    int i = int(values.size()) + 1;
    st->bind(i++, key);
    for (const QVariant& v : oldValues) st->bindValue(i++, v);
    st->step();
    return m_connection.changes() == 1;
}

bool SqlWriter::deleteRowIf(int64_t key, const QStringList& oldColumns,
                            const std::vector<QVariant>& oldValues) {
    auto st = m_connection.prepare(
        QStringLiteral("DELETE FROM %1 WHERE rowid = ?%2").arg(m_table, unchanged(oldColumns)));
    st->bind(1, key);
    int i = 2;
    for (const QVariant& v : oldValues) st->bindValue(i++, v);
    st->step();
    return m_connection.changes() == 1;
}

std::vector<int64_t> SqlWriter::deleteRows(const QStringList& columns,
                                           const std::vector<QVariant>& values) {
    // The statement itself names the rows it took, so the caller's snapshot loses exactly
    // those, whatever the database's comparison of the values is.
    auto st = m_connection.prepare(
        QStringLiteral("DELETE FROM %1 WHERE %2 RETURNING rowid")
            .arg(m_table, quoted(columns, QStringLiteral(" = ?")).join(QLatin1String(" AND "))));
    bindAll(*st, values);
    std::vector<int64_t> keys;
    while (st->step()) keys.push_back(st->columnInt64(0));
    std::sort(keys.begin(), keys.end());
    return keys;
}
