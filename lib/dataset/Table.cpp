// A table cursor: every row of one table, read with its hidden key, in the
// order of its order list. The table and column names are matched without
// regard to letter case (SQLite itself folds ASCII only, so Cyrillic names
// are matched here, against the names the database spells).
//
// Costs: opening counts the rows first (so storage is reserved once) and reads
// them in rowid order, so the snapshot can be shared with any other dataset
// reading the same table whole.
#include "Table.h"

#include "Connection.h"
#include "Names.h"

void Table::setTableName(const QString& name) {
    checkInactive();
    m_tableName = name;
}

void Table::setIndexFieldNames(const QString& names) {
    m_indexFieldNames = names;
    // The order list and a sort are one property of the view.
    if (isActive()) setSort(sort());
}

QStringList Table::orderFieldNames() const { return splitNames(m_indexFieldNames); }

std::unique_ptr<Statement> Table::openStatement() {
    const QString actual = m_connection->tableName(m_tableName);
    if (actual.isEmpty()) throw DataError(QStringLiteral("no such table: %1").arg(m_tableName));
    m_baseTable = actual;
    m_hasKey = true;
    m_wholeTable = true;

    // Read only the columns the fields need, by the names the database spells.
    const auto columns = m_connection->tableColumns(actual);
    QStringList select;
    if (hasDeclaredFields()) {
        for (int i = 0; i < fieldCount(); ++i) {
            const Field* f = field(i);
            if (f->kind() != FieldKind::Data) continue;
            QString found;
            for (const auto& c : columns)
                if (f->hasName(c.name)) found = c.name;
            if (found.isEmpty()) throw DataError(msg::fieldNotFound(f->name()));
            select << quoteIdentifier(found);
        }
    } else {
        for (const auto& c : columns) select << quoteIdentifier(c.name);
    }
    QString sql = QStringLiteral("SELECT rowid AS \"rowid\"");
    for (const QString& s : select) sql += QStringLiteral(", ") + s;
    // In rowid order, whatever index could serve the columns, so a snapshot can be shared.
    sql += QStringLiteral(" FROM ") + quoteIdentifier(actual) + QStringLiteral(" ORDER BY rowid");
    return m_connection->prepare(sql);
}

int64_t Table::expectedRows() {
    if (m_baseTable.isEmpty()) return 0;
    auto st = m_connection->prepare(QStringLiteral("SELECT count(*) FROM ") + quoteIdentifier(m_baseTable));
    return st->step() ? st->columnInt64(0) : 0;
}
