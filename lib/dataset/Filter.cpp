// Filter expressions: the condition text is parsed once into a small tree of comparisons,
// each already bound to its typed column with the literal converted to the column's type,
// so evaluating a row never touches strings, variants or the text of the expression.
#include "Filter.h"

#include <type_traits>

#include <QDate>
#include <QStringView>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "DataError.h"

namespace {

enum class Op { Equal, NotEqual, Less, Greater, LessOrEqual, GreaterOrEqual };

bool holds(Op op, int order) {
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
    TextComparison(const TextColumn& column, Op op, QString literal)
        : m_column(column), m_op(op), m_literal(std::move(literal)), m_decided(1, No) {}

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
        const bool yes = holds(m_op, m_column.string(id).compare(m_literal, Qt::CaseInsensitive));
        m_decided[id] = yes ? Yes : No;
        return yes;
    }

    const TextColumn& m_column;
    Op m_op;
    QString m_literal;
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

// ---- literals

// Numbers and bare words are read alike: both keep their text as written, which a text column
// compares as it stands and other columns convert to their own type.
struct Literal {
    bool null;
    QString text;
    qsizetype pos;
};

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

std::optional<double> toNumber(const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);  // ignores blanks around the number, as wanted
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

// The whole of s as minDigits to maxDigits ASCII digits.
std::optional<int> toDatePart(QStringView s, qsizetype minDigits, qsizetype maxDigits) {
    if (s.size() < minDigits || s.size() > maxDigits) return std::nullopt;
    int v = 0;
    for (QChar c : s) {
        if (!isAsciiDigit(c)) return std::nullopt;
        v = v * 10 + (c.unicode() - u'0');
    }
    return v;
}

// "dd.MM.yyyy" (leading zeros optional) or ISO "yyyy-MM-dd", as the Julian day.
std::optional<int64_t> toDay(const QString& text) {
    const QStringView s = QStringView(text).trimmed();
    std::optional<int> d, m, y;
    if (s.count(u'.') == 2) {
        const qsizetype a = s.indexOf(u'.'), b = s.indexOf(u'.', a + 1);
        d = toDatePart(s.first(a), 1, 2);
        m = toDatePart(s.sliced(a + 1, b - a - 1), 1, 2);
        y = toDatePart(s.sliced(b + 1), 4, 4);
    } else if (s.size() == 10 && s[4] == u'-' && s[7] == u'-') {
        y = toDatePart(s.first(4), 4, 4);
        m = toDatePart(s.sliced(5, 2), 2, 2);
        d = toDatePart(s.sliced(8, 2), 2, 2);
    }
    if (!d || !m || !y) return std::nullopt;
    const QDate date(*y, *m, *d);
    if (!date.isValid()) return std::nullopt;
    return date.toJulianDay();
}

// ---- parser

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

bool endsWord(QChar c) {
    return c.isSpace() || c == u'(' || c == u')' || c == u'=' || c == u'<' || c == u'>';
}

bool isKeyword(QStringView word, const char* keyword) {
    return word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

class Parser {
public:
    Parser(QStringView text, const Filter::Resolver& resolve) : m_text(text), m_resolve(resolve) {}

    std::unique_ptr<Filter> parse() {
        skipBlanks();
        if (atEnd()) return std::make_unique<MatchAll>();
        auto node = parseOr();
        skipBlanks();
        if (!atEnd()) {
            if (peek() == u')') fail(m_pos, QStringLiteral("')' has no matching '('"));
            fail(m_pos, QStringLiteral("expected 'and' or 'or'"));
        }
        return node;
    }

private:
    std::unique_ptr<Filter> parseOr() {
        auto node = parseAnd();
        while (acceptKeyword("or")) node = std::make_unique<OrNode>(std::move(node), parseAnd());
        return node;
    }

    std::unique_ptr<Filter> parseAnd() {
        auto node = parseNot();
        while (acceptKeyword("and")) node = std::make_unique<AndNode>(std::move(node), parseNot());
        return node;
    }

    std::unique_ptr<Filter> parseNot() {
        if (acceptKeyword("not")) return std::make_unique<NotNode>(parseNot());
        return parsePrimary();
    }

    std::unique_ptr<Filter> parsePrimary() {
        skipBlanks();
        if (atEnd() || peek() != u'(') return parseComparison();
        ++m_pos;
        auto node = parseOr();
        skipBlanks();
        if (atEnd() || peek() != u')') fail(m_pos, QStringLiteral("expected 'and', 'or' or ')'"));
        ++m_pos;
        return node;
    }

    std::unique_ptr<Filter> parseComparison() {
        skipBlanks();
        const QString name = readFieldName();
        const Column* column = m_resolve(name);
        if (!column) throw DataError(msg::fieldNotFound(name));
        skipBlanks();
        const auto [op, opText] = readOperator(name);
        skipBlanks();
        return bind(*column, name, op, readLiteral(opText));
    }

    QString readFieldName() {
        if (!atEnd() && peek() == u'[') {
            const qsizetype open = m_pos;
            const qsizetype close = m_text.indexOf(u']', open + 1);
            if (close < 0)
                fail(open, QStringLiteral("the field name in brackets has no closing ']'"));
            const QString name = m_text.sliced(open + 1, close - open - 1).trimmed().toString();
            if (name.isEmpty())
                fail(open + 1, QStringLiteral("expected a field name inside the brackets"));
            m_pos = close + 1;
            return name;
        }
        const QStringView word = nameAt(m_pos);
        if (word.isEmpty() || isKeyword(word, "and") || isKeyword(word, "or"))
            fail(m_pos, QStringLiteral("expected a field name"));
        m_pos += word.size();
        return word.toString();
    }

    std::pair<Op, QString> readOperator(const QString& field) {
        const QChar c = atEnd() ? QChar() : peek();
        const QChar next = m_pos + 1 < m_text.size() ? m_text[m_pos + 1] : QChar();
        std::pair<Op, QString> result;
        if (c == u'=') {
            result = {Op::Equal, QStringLiteral("=")};
        } else if (c == u'<' && next == u'>') {
            result = {Op::NotEqual, QStringLiteral("<>")};
        } else if (c == u'<' && next == u'=') {
            result = {Op::LessOrEqual, QStringLiteral("<=")};
        } else if (c == u'>' && next == u'=') {
            result = {Op::GreaterOrEqual, QStringLiteral(">=")};
        } else if (c == u'<') {
            result = {Op::Less, QStringLiteral("<")};
        } else if (c == u'>') {
            result = {Op::Greater, QStringLiteral(">")};
        } else {
            fail(m_pos,
                 QStringLiteral("expected a comparison operator (=, <>, <, >, <=, >=) after '%1'")
                     .arg(field));
        }
        m_pos += result.second.size();
        return result;
    }

    Literal readLiteral(const QString& opText) {
        const qsizetype start = m_pos;
        if (!atEnd() && peek() == u'\'') {
            QString text;
            for (qsizetype i = start + 1;; ++i) {
                if (i >= m_text.size())
                    fail(start, QStringLiteral("the quoted text is not closed"));
                if (m_text[i] != u'\'') {
                    text += m_text[i];
                } else if (i + 1 < m_text.size() && m_text[i + 1] == u'\'') {
                    text += u'\'';
                    ++i;
                } else {
                    m_pos = i + 1;
                    return {false, text, start};
                }
            }
        }
        while (!atEnd() && !endsWord(peek())) ++m_pos;
        if (m_pos == start) fail(start, QStringLiteral("expected a value after '%1'").arg(opText));
        const QStringView word = m_text.sliced(start, m_pos - start);
        return {isKeyword(word, "null"), word.toString(), start};
    }

    std::unique_ptr<Filter> bind(const Column& column, const QString& name, Op op,
                                 const Literal& literal) const {
        if (literal.null) {
            if (op != Op::Equal && op != Op::NotEqual)
                fail(literal.pos, QStringLiteral("NULL can only be compared with = or <>"));
            return std::make_unique<NullTest>(column, op == Op::Equal);
        }
        // Text is matched against the literal exactly as written, numbers included, so that
        // a code such as 0012345 keeps its leading zeros.
        if (const auto* text = dynamic_cast<const TextColumn*>(&column))
            return std::make_unique<TextComparison>(*text, op, literal.text);
        if (const auto* ints = dynamic_cast<const IntColumn*>(&column)) {
            const auto v = toNumber(literal.text);
            if (!v) throw DataError(msg::invalidInteger(literal.text));
            return makeComparison<IntComparison>(op, *ints, *v);
        }
        if (const auto* floats = dynamic_cast<const FloatColumn*>(&column)) {
            const auto v = toNumber(literal.text);
            if (!v) throw DataError(msg::invalidFloat(literal.text));
            return makeComparison<FloatComparison>(op, *floats, *v);
        }
        if (const auto* dates = dynamic_cast<const DateColumn*>(&column)) {
            const auto day = toDay(literal.text);
            if (!day) throw DataError(msg::invalidDate(literal.text));
            return makeComparison<DateComparison>(op, *dates, *day);
        }
        throw DataError(QStringLiteral("Field '%1' cannot be used in a filter").arg(name));
    }

    bool acceptKeyword(const char* keyword) {
        skipBlanks();
        const QStringView word = nameAt(m_pos);
        if (word.isEmpty() || !isKeyword(word, keyword)) return false;
        m_pos += word.size();
        return true;
    }

    QStringView nameAt(qsizetype pos) const {
        qsizetype end = pos;
        while (end < m_text.size() && isNameChar(m_text[end])) ++end;
        return m_text.sliced(pos, end - pos);
    }

    void skipBlanks() {
        while (!atEnd() && peek().isSpace()) ++m_pos;
    }
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return m_text[m_pos]; }

    // Positions are counted from 1, as the user reads the text.
    [[noreturn]] static void fail(qsizetype index, const QString& what) {
        throw DataError(QStringLiteral("Filter expression is incorrect at position %1: %2")
                            .arg(QString::number(index + 1), what));
    }

    QStringView m_text;
    const Filter::Resolver& m_resolve;
    qsizetype m_pos = 0;
};

}  // namespace

std::unique_ptr<Filter> Filter::compile(const QString& text, const Resolver& resolve) {
    return Parser(text, resolve).parse();
}
