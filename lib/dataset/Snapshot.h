// A dataset's snapshot: the rows it read at open, as typed columns (Column.h),
// with the hidden key of each storage row and a mark for the rows that live.
//
// Invariants and costs:
// - Storage rows are only appended while the dataset is open; a deleted row is
//   marked dead and keeps its index, so a Row names the same row until the
//   snapshot is released. Reading is one pass over the statement into storage
//   reserved for the expected count.
// - Columns and keys may be shared with the other datasets of the connection
//   that read the same table whole at the same data version (SharedTables.h).
//   Changing one copies it first (copy on write, O(n) once per shared column),
//   so a snapshot never changes under another dataset.
#pragma once

#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

#include "Column.h"
#include "SharedTables.h"

class Snapshot {
public:
    // Storage rows, dead ones included.
    size_t size() const { return m_keys ? m_keys->size() : 0; }
    // r < size().
    bool isLive(Row r) const { return m_live[r]; }
    int64_t key(Row r) const { return (*m_keys)[r]; }
    size_t columnCount() const { return m_columns.size(); }
    const Column& column(size_t k) const { return *m_columns[k]; }

    // Reads the statement's rows from the one it stands on (none when !hasRow): the
    // hidden key from result column 0 when `hasKey`, storage column k from result
    // column sources[k]. `expected` rows (0: unknown) are reserved up front.
    void load(Statement& st, bool hasRow, bool hasKey, const std::vector<FieldType>& types,
              const std::vector<int>& sources, int64_t expected);
    // Takes the table's shared columns read at `version`; false when they are not all shared.
    bool adopt(const SharedTables& shared, const QString& table, const DataVersion& version,
               const QStringList& names, const std::vector<FieldType>& types);
    void publish(SharedTables& shared, const QString& table, const DataVersion& version,
                 const QStringList& names) const;

    // The column to change; `copied` tells that it was shared and is a new copy now, so
    // whoever holds references into the old one must take them again.
    Column& ownColumn(size_t k, bool& copied);
    // A new storage row with the key, after its values were appended to every column.
    Row appendRow(int64_t key);
    void markDead(Row r) { m_live[r] = 0; }
    // Marks dead the live rows whose keys are among `keys` (ascending), in one pass over
    // the keys of storage; the rows marked.
    std::vector<Row> markDead(const std::vector<int64_t>& keys);
    void release();

private:
    std::vector<std::shared_ptr<Column>> m_columns;
    std::shared_ptr<std::vector<int64_t>> m_keys;
    std::vector<uint8_t> m_live;  // 0 for a deleted storage row
};
