// The nodes a compiled filter is made of: and, or, not, and comparisons of
// one typed column with a literal already converted to the column's type.
//
// Costs: a node holds a reference to its column, so evaluating a row is a few
// array reads per comparison; a text comparison decides each distinct string
// of its column once. A node lives no longer than the columns it reads: the
// dataset compiles its filter again whenever it replaces a column.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

#include "Filter.h"

namespace filter {

enum class Op { Equal, NotEqual, Less, Greater, LessOrEqual, GreaterOrEqual };

inline bool holds(Op op, int order) {
    switch (op) {
        case Op::Equal:
            return order == 0;
        case Op::NotEqual:
            return order != 0;
        case Op::Less:
            return order < 0;
        case Op::Greater:
            return order > 0;
        case Op::LessOrEqual:
            return order <= 0;
        case Op::GreaterOrEqual:
            break;
    }
    return order >= 0;
}

// ---- nodes

class MatchAll final : public Filter {
public:
    bool matches(Row) const override { return true; }
};

class AndNode final : public Filter {
public:
    AndNode(std::unique_ptr<Filter> a, std::unique_ptr<Filter> b)
        : m_a(std::move(a)), m_b(std::move(b)) {}
    bool matches(Row row) const override { return m_a->matches(row) && m_b->matches(row); }
    void requiredEqualities(std::vector<Equality>& out) const override {
        m_a->requiredEqualities(out);
        m_b->requiredEqualities(out);
    }

private:
    std::unique_ptr<Filter> m_a, m_b;
};

class OrNode final : public Filter {
public:
    OrNode(std::unique_ptr<Filter> a, std::unique_ptr<Filter> b)
        : m_a(std::move(a)), m_b(std::move(b)) {}
    bool matches(Row row) const override { return m_a->matches(row) || m_b->matches(row); }

private:
    std::unique_ptr<Filter> m_a, m_b;
};

class NotNode final : public Filter {
public:
    explicit NotNode(std::unique_ptr<Filter> a) : m_a(std::move(a)) {}
    bool matches(Row row) const override { return !m_a->matches(row); }

private:
    std::unique_ptr<Filter> m_a;
};

class NullTest final : public Filter {
public:
    NullTest(const Column& column, bool wantNull) : m_column(column), m_wantNull(wantNull) {}
    bool matches(Row row) const override { return m_column.isNull(row) == m_wantNull; }

private:
    const Column& m_column;
    bool m_wantNull;
};

// Integer values are compared as doubles so that a literal such as 3.5 keeps its meaning;
// every 32-bit integer is exact in a double.
template <typename ColumnType, typename Compare>
class NumberComparison final : public Filter {
public:
    NumberComparison(const ColumnType& column, double value) : m_column(column), m_value(value) {}
    bool matches(Row row) const override {
        return !m_column.isNull(row) && Compare{}(double(m_column.at(row)), m_value);
    }
    void requiredEqualities(std::vector<Equality>& out) const override {
        if constexpr (std::is_same_v<Compare, std::equal_to<>> &&
                      std::is_same_v<ColumnType, IntColumn>)
            out.push_back({&m_column, QString(), m_value});
        else
            (void)out;
    }

private:
    const ColumnType& m_column;
    double m_value;
};

template <typename Compare>
using IntComparison = NumberComparison<IntColumn, Compare>;
template <typename Compare>
using FloatComparison = NumberComparison<FloatColumn, Compare>;

// Dates are compared by their day only: the time of day a row may carry does not count.
template <typename Compare>
class DateComparison final : public Filter {
public:
    DateComparison(const DateColumn& column, int64_t day) : m_column(column), m_day(day) {}
    bool matches(Row row) const override {
        const int64_t v = m_column.at(row);
        return v != DateColumn::Null && Compare{}(v / 86400, m_day);
    }

private:
    const DateColumn& m_column;
    int64_t m_day;
};

// Case-insensitive comparison with Unicode folding is costly, and a column repeats few
// distinct strings over many rows, so each string id is decided once and remembered.
class TextComparison final : public Filter {
public:
    TextComparison(const TextColumn& column, Op op, QString literal, Qt::CaseSensitivity textCase)
        : m_column(column),
          m_op(op),
          m_literal(std::move(literal)),
          m_case(textCase),
          m_decided(1, No) {}

    bool matches(Row row) const override {
        const uint32_t id = m_column.id(row);
        if (id < m_decided.size()) {
            const uint8_t d = m_decided[id];
            if (d != Undecided) return d == Yes;
        }
        return decide(id);
    }
    void requiredEqualities(std::vector<Equality>& out) const override {
        if (m_op == Op::Equal) out.push_back({&m_column, m_literal, 0});
    }

private:
    enum : uint8_t { Undecided, No, Yes };

    bool decide(uint32_t id) const {
        // The column may have interned new strings since the filter was compiled.
        if (id >= m_decided.size()) m_decided.resize(m_column.distinctCount(), Undecided);
        const bool yes = holds(m_op, m_column.string(id).compare(m_literal, m_case));
        m_decided[id] = yes ? Yes : No;
        return yes;
    }

    const TextColumn& m_column;
    Op m_op;
    QString m_literal;
    Qt::CaseSensitivity m_case;
    // Filled while evaluating, hence mutable: a filter is evaluated by one thread at a time.
    // Id 0 is null, which never satisfies a comparison.
    mutable std::vector<uint8_t> m_decided;
};

template <template <typename> class Node, typename... Args>
std::unique_ptr<Filter> makeComparison(Op op, const Args&... args) {
    switch (op) {
        case Op::Equal:
            return std::make_unique<Node<std::equal_to<>>>(args...);
        case Op::NotEqual:
            return std::make_unique<Node<std::not_equal_to<>>>(args...);
        case Op::Less:
            return std::make_unique<Node<std::less<>>>(args...);
        case Op::Greater:
            return std::make_unique<Node<std::greater<>>>(args...);
        case Op::LessOrEqual:
            return std::make_unique<Node<std::less_equal<>>>(args...);
        case Op::GreaterOrEqual:
            break;
    }
    return std::make_unique<Node<std::greater_equal<>>>(args...);
}

}  // namespace filter
