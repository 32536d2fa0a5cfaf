// The row order: every live storage row once, sorted by the order columns (a
// table's order list, or a sort such as "ID_Group ASC, Fam DESC"), ties in
// reading order. Without order columns rows stay in reading order, and a new
// row goes where it was inserted.
//
// Costs: building sorts one text column by counting the ranks of its distinct
// strings (O(n + d log d) for d distinct strings), anything else by one 64-bit
// key per row and column (O(n log n) integer comparisons). A row's position is
// a binary search when sorted, else a scan; placing or removing a row moves
// the rows after it (one memmove, O(n)); removing many rows at once is one
// pass, O(n) whatever their number.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "Column.h"

class Snapshot;

struct SortColumn {
    int column;  // storage column
    bool descending;
};

// One entry of a sort text: a field name (brackets taken off) and its direction.
struct SortName {
    QString name;
    bool descending = false;
};
std::vector<SortName> parseSort(const QString& text);

class RowOrder {
public:
    explicit RowOrder(const Snapshot& snapshot) : m_snapshot(snapshot) {}
    RowOrder(const RowOrder&) = delete;
    RowOrder& operator=(const RowOrder&) = delete;

    void setSortColumns(std::vector<SortColumn> columns) { m_sort = std::move(columns); }
    const std::vector<SortColumn>& sortColumns() const { return m_sort; }
    bool isSorted() const { return !m_sort.empty(); }

    // Every live row of the snapshot, sorted.
    void build();
    void clear();
    // a before b in the order.
    bool less(Row a, Row b) const;
    // The row's index in the order; size() when it is not there.
    size_t position(Row r) const;
    // A new or changed row goes to its place: sorted, by its values; else before `before`, or last.
    void place(Row r, std::optional<Row> before);
    void remove(Row r);
    // Drops every row the snapshot no longer holds live, in one pass.
    void removeDead();

    size_t size() const { return m_rows.size(); }
    Row operator[](size_t i) const { return m_rows[i]; }
    const std::vector<Row>& rows() const { return m_rows; }

private:
    const Snapshot& m_snapshot;
    std::vector<SortColumn> m_sort;
    std::vector<Row> m_rows;
};
