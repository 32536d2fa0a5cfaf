// The fields of a dataset that declares none, taken from its statement's
// result columns: the type from the column's declared type, else (an
// expression, say) from the first row's value.
//
// Costs: one look at the base table's columns, then a few substring tests per
// column, once per open.
#pragma once

#include <QString>

#include "Connection.h"
#include "FieldType.h"

// The field type of a column from its declared type ("TEXT(50)" sets `size`), else from its
// first value; an INTEGER column that is the table's only key is the counter aliasing rowid.
FieldType inferFieldType(const QString& declType, Statement::ValueType first, bool rowidAlias,
                         int& size);
