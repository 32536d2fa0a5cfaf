// Compact typed storage of one column of a dataset's snapshot.
//
// A column holds one value per storage row; storage rows are never removed
// while the dataset is open (a deleted row simply leaves the dataset's order),
// so a row index stays valid until the dataset closes.
//
// Costs, per row: integers 4 bytes plus a null bit; dates and the hidden key
// 8 bytes; text 4 bytes (an id into the column's pool of distinct strings,
// 0 for null) plus each distinct string once (UTF-16, 8 bytes of offsets and
// 4 of hash slot). Interning a text is one hash probe; reading one is a view
// into the pool, no allocation. Text order is case-insensitive with Unicode
// case folding, ties broken case-sensitively; null sorts first everywhere.
#pragma once

#include <QDate>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FieldType.h"

class Statement;

using Row = uint32_t;
// No storage row: a new row not stored yet, or nothing found.
constexpr Row NoRow = UINT32_MAX;

class Column {
public:
    explicit Column(FieldType type) : m_type(type) {}
    virtual ~Column() = default;
    Column& operator=(const Column&) = delete;
    // A copy to change while others keep reading this one.
    virtual std::shared_ptr<Column> clone() const = 0;

    FieldType type() const { return m_type; }
    virtual size_t size() const = 0;
    virtual void reserve(size_t n) = 0;
    virtual bool isNull(Row row) const = 0;
    // Text gives QString, integers int, dates QDate (the date part), floats double.
    virtual QVariant value(Row row) const = 0;
    // The value must already have the column's type (see FieldType.h); an invalid QVariant is null.
    virtual void append(const QVariant& v) = 0;
    virtual void set(Row row, const QVariant& v) = 0;
    // Appends the value of result column `col` of the statement's current row.
    virtual void appendFrom(Statement& st, int col) = 0;
    // <0, 0, >0 in the column's order; null first.
    virtual int compare(Row a, Row b) const = 0;
    // Compares a row with a value of the column's type.
    virtual int compareValue(Row a, const QVariant& v) const = 0;
    // One 64-bit key per row whose integer order is the column's order (for bulk sorting).
    virtual std::vector<int64_t> sortKeys() const = 0;

    static std::shared_ptr<Column> create(FieldType type);

protected:
    Column(const Column&) = default;

private:
    FieldType m_type;
};

// Integer, small integer and counter columns.
class IntColumn final : public Column {
public:
    explicit IntColumn(FieldType type) : Column(type) {}
    std::shared_ptr<Column> clone() const override { return std::make_shared<IntColumn>(*this); }
    size_t size() const override { return m_values.size(); }
    void reserve(size_t n) override;
    bool isNull(Row row) const override { return (m_nulls[row >> 6] >> (row & 63)) & 1u; }
    int32_t at(Row row) const { return m_values[row]; }
    QVariant value(Row row) const override;
    void append(const QVariant& v) override;
    void set(Row row, const QVariant& v) override;
    void appendFrom(Statement& st, int col) override;
    int compare(Row a, Row b) const override;
    int compareValue(Row a, const QVariant& v) const override;
    std::vector<int64_t> sortKeys() const override;

private:
    void push(int32_t v, bool null);
    void setNull(Row row, bool null);
    std::vector<int32_t> m_values;
    std::vector<uint64_t> m_nulls;
};

// Floating point columns (only for statements whose columns are not declared).
class FloatColumn final : public Column {
public:
    FloatColumn() : Column(FieldType::Float) {}
    std::shared_ptr<Column> clone() const override { return std::make_shared<FloatColumn>(*this); }
    size_t size() const override { return m_values.size(); }
    void reserve(size_t n) override;
    bool isNull(Row row) const override { return (m_nulls[row >> 6] >> (row & 63)) & 1u; }
    double at(Row row) const { return m_values[row]; }
    QVariant value(Row row) const override;
    void append(const QVariant& v) override;
    void set(Row row, const QVariant& v) override;
    void appendFrom(Statement& st, int col) override;
    int compare(Row a, Row b) const override;
    int compareValue(Row a, const QVariant& v) const override;
    std::vector<int64_t> sortKeys() const override;

private:
    void push(double v, bool null);
    std::vector<double> m_values;
    std::vector<uint64_t> m_nulls;
};

// Date-time columns: seconds counted from Julian day 0, so the date part is at / 86400.
// Stored in the database as ISO 8601 text ("2024-03-01" or "2024-03-01 10:30:00").
class DateColumn final : public Column {
public:
    static constexpr int64_t Null = INT64_MIN;
    DateColumn() : Column(FieldType::DateTime) {}
    std::shared_ptr<Column> clone() const override { return std::make_shared<DateColumn>(*this); }
    size_t size() const override { return m_values.size(); }
    void reserve(size_t n) override { m_values.reserve(n); }
    bool isNull(Row row) const override { return m_values[row] == Null; }
    int64_t at(Row row) const { return m_values[row]; }
    QVariant value(Row row) const override;
    void append(const QVariant& v) override { m_values.push_back(encode(v)); }
    void set(Row row, const QVariant& v) override { m_values[row] = encode(v); }
    void appendFrom(Statement& st, int col) override;
    int compare(Row a, Row b) const override;
    int compareValue(Row a, const QVariant& v) const override;
    std::vector<int64_t> sortKeys() const override { return m_values; }

    // QDate or QDateTime to the stored number; anything else (or invalid) is Null.
    static int64_t encode(const QVariant& v);
    // ISO 8601 text as stored by any SQLite tool; Null when it is not a date.
    static int64_t parseIso(const char* text, int len);
    static QString toIso(int64_t v);
    static QDate toDate(int64_t v) { return QDate::fromJulianDay(v / 86400); }

private:
    std::vector<int64_t> m_values;
};

// Text columns, interned: each distinct string is kept once.
class TextColumn final : public Column {
public:
    TextColumn() : Column(FieldType::Text) { m_offsets.push_back(0); }
    std::shared_ptr<Column> clone() const override { return std::make_shared<TextColumn>(*this); }
    size_t size() const override { return m_ids.size(); }
    void reserve(size_t n) override { m_ids.reserve(n); }
    bool isNull(Row row) const override { return m_ids[row] == 0; }
    // 0 is null; other ids index the pool of distinct strings.
    uint32_t id(Row row) const { return m_ids[row]; }
    QStringView string(uint32_t id) const;
    QStringView text(Row row) const { return string(m_ids[row]); }
    // Number of ids in use, null included: ids run from 0 to distinctCount() - 1.
    uint32_t distinctCount() const { return uint32_t(m_offsets.size()); }
    // The id of a string if it is in the pool, else 0.
    uint32_t find(QStringView s) const;
    QVariant value(Row row) const override;
    void append(const QVariant& v) override;
    void set(Row row, const QVariant& v) override;
    void appendFrom(Statement& st, int col) override;
    int compare(Row a, Row b) const override;
    int compareValue(Row a, const QVariant& v) const override;
    std::vector<int64_t> sortKeys() const override;
    // The rank of each distinct string in the column's order (null 0, the others from 1).
    std::vector<uint32_t> ranks() const;

    // The column's text order: case-insensitive, then case-sensitive.
    static int compareText(QStringView a, QStringView b);

private:
    uint32_t intern(QStringView s);
    void grow();
    std::vector<uint32_t> m_ids;
    std::vector<char16_t> m_pool;
    std::vector<uint32_t> m_offsets;  // string i spans m_offsets[i - 1] .. m_offsets[i]
    std::vector<uint32_t> m_slots;    // open addressing: id, or 0 for an empty slot
    // Neighbouring rows often hold the same text: the last UTF-8 text read and its id.
    std::string m_lastText;
    uint32_t m_lastId = 0;
    std::u16string m_buffer;
};
