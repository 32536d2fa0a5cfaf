// The view: the rows a dataset shows, in order. A pending inserted row is not
// part of it; the dataset counts it in at its position.
//
// Invariants and costs:
// - The view is a range of the row order, or (when a master restricts rows the
//   order does not start with, or a filter is in force) a list of rows in
//   order, "materialised". A range costs nothing to hold and answers where a
//   row stands with one binary search; a list costs 4 bytes a row.
// - Rebuilding: the rows of a master's current link values are one range found
//   by binary search when the order starts with the link columns, else one pass
//   over the order. A filter then keeps the rows it matches, in one pass over
//   the range, or over the smaller range of rows that can pass when it fixes
//   the order's leading column.
#pragma once

#include <vector>

#include "Column.h"
#include "RowOrder.h"

class Filter;
class MasterLink;
class Snapshot;

class View {
public:
    explicit View(const RowOrder& order) : m_order(order) {}
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    size_t count() const { return m_materialised ? m_rows.size() : m_hi - m_lo; }
    Row row(size_t i) const { return m_materialised ? m_rows[i] : m_order[m_lo + i]; }
    // The row's index in the view, -1 when it is not shown.
    int indexOf(const Snapshot& snapshot, Row r) const;

    // The rows of the order the master (null: none) and the filter (null: none) let through.
    void rebuild(const Snapshot& snapshot, const MasterLink* master, const Filter* filter);
    void clear();

private:
    void restrictToMaster(const Snapshot& snapshot, const MasterLink& master);
    void narrowToFilter(const Snapshot& snapshot, const Filter& filter);

    const RowOrder& m_order;
    // m_order[m_lo, m_hi), or m_rows when materialised
    size_t m_lo = 0, m_hi = 0;
    bool m_materialised = false;
    std::vector<Row> m_rows;
};
