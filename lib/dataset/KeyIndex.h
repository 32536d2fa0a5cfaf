// The key indexes a dataset's lookups search: for each key column asked for,
// the first row in order holding each value, over every live row whatever the
// view shows.
//
// Invariants and costs: an index is built on the first search after the rows
// changed (the dataset's rows stamp moved on): one pass over the order, a hash
// map of 64-bit keys for integers and dates, an array by string id for text
// (the text is interned once per search, then one array read). Float columns
// are not indexed and are scanned in order.
#pragma once

#include <QVariant>
#include <memory>
#include <unordered_map>
#include <vector>

#include "Column.h"

class RowOrder;

class KeyIndexes {
public:
    // The first row in order whose `column` holds the value, NoRow when none does;
    // `rowsStamp` tells whether the rows changed since the index was built.
    Row find(const Column& column, int columnIndex, const RowOrder& order, quint64 rowsStamp,
             const QVariant& value);
    void clear() { m_indexes.clear(); }

private:
    struct Index {
        int column = -1;
        quint64 stamp = 0;
        std::unordered_map<int64_t, Row> numbers;
        std::vector<Row> byTextId;
    };
    Index& indexFor(int column);
    std::vector<std::unique_ptr<Index>> m_indexes;
};
