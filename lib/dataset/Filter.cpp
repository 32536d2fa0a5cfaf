// Filter expressions: the condition text is parsed once into a small tree of comparisons
// (FilterNodes.h), each already bound to its typed column with the literal converted to the
// column's type, so evaluating a row never touches strings, variants or the text of the
// expression. Parsing is one pass over the text.
#include "Filter.h"

#include <QDate>
#include <QStringView>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "DataError.h"
#include "FilterNodes.h"
#include "Names.h"

namespace {

using namespace filter;

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

bool endsWord(QChar c) {
    return c.isSpace() || c == u'(' || c == u')' || c == u'=' || c == u'<' || c == u'>';
}

bool isKeyword(QStringView word, const char* keyword) {
    return word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

class Parser {
public:
    Parser(QStringView text, const Filter::Resolver& resolve, Qt::CaseSensitivity textCase)
        : m_text(text), m_resolve(resolve), m_case(textCase) {}

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
            return std::make_unique<TextComparison>(*text, op, literal.text, m_case);
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
    Qt::CaseSensitivity m_case;
    qsizetype m_pos = 0;
};

}  // namespace

std::unique_ptr<Filter> Filter::compile(const QString& text, const Resolver& resolve,
                                        Qt::CaseSensitivity textCase) {
    return Parser(text, resolve, textCase).parse();
}

QString quoteFilterText(const QString& text) {
    QString inner = text;
    inner.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}
