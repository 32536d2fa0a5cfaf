// The kinds and types of fields, shared by storage, fields and filters.
#pragma once

#include <QString>

enum class FieldType {
    Text,      // text of at most the field's size
    Integer,   // 32-bit signed
    SmallInt,  // 16-bit signed
    DateTime,  // calendar date with time of day; the program uses the date part
    Counter,   // 32-bit, assigned by the database on insert, read-only
    Float,     // only for statement columns that nothing declares
};

enum class FieldKind { Data, Lookup, Calculated };

inline bool isIntegerType(FieldType t) {
    return t == FieldType::Integer || t == FieldType::SmallInt || t == FieldType::Counter;
}

QString fieldTypeName(FieldType t);
