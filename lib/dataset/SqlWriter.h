// The statements a dataset writes its rows with: INSERT, UPDATE and DELETE of
// one row of its base table, the row named by its hidden key (SQLite's rowid,
// on a server the hidden column of that name).
//
// Invariants and costs: every value is a bound parameter; only table and
// column names, quoted as identifiers, are written into the SQL text. Each
// operation prepares and steps one statement (an insert one more, to read the
// row back), so its cost is SQLite's for one row; deleting the rows that hold
// some values is one statement too, which names the rows it deleted.
#pragma once

#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <vector>

class Connection;
class Statement;

class SqlWriter {
public:
    SqlWriter(Connection& connection, const QString& table);

    // Inserts a row holding `values` in `columns` (none: the table's defaults); its key.
    int64_t insertRow(const QStringList& columns, const std::vector<QVariant>& values);
    // Reads the row with the key back, stepped onto it: result column 0 is the key,
    // then `columns` in turn. Null when the row is not there. With `lock`, on a server
    // the row stays locked against other writers until the transaction ends (SQLite's
    // write transaction locks the whole file already).
    std::unique_ptr<Statement> readRow(const QStringList& columns, int64_t key, bool lock = false);
    // Writes `values` into `columns` of the row with the key; fails when no row has it
    // (deleted elsewhere).
    void updateRow(const QStringList& columns, const std::vector<QVariant>& values, int64_t key);
    // Deletes the row with the key; a row already gone is no failure.
    void deleteRow(int64_t key);
    // On a server: the same UPDATE and DELETE, done only while `oldColumns` still hold
    // `oldValues` (compared by the server in the columns' own types, a null equal to a
    // null); false when no row was changed (the row changed, or gone). One statement.
    bool updateRowIf(const QStringList& columns, const std::vector<QVariant>& values, int64_t key,
                     const QStringList& oldColumns, const std::vector<QVariant>& oldValues);
    bool deleteRowIf(int64_t key, const QStringList& oldColumns,
                     const std::vector<QVariant>& oldValues);
    // Deletes every row whose `columns` equal `values` (a null equals nothing, as in SQL);
    // the keys of the rows deleted, ascending.
    std::vector<int64_t> deleteRows(const QStringList& columns,
                                    const std::vector<QVariant>& values);

private:
    Connection& m_connection;
    QString m_table;  // quoted
};
