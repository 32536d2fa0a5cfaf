// A dataset's filter: the condition text as the program writes it, for example
// "(N_Student=1234567) and (Semestr=3)", parsed once and evaluated per row.
//
// Grammar: comparisons of a field with a literal (=, <>, <, >, <=, >=),
// combined with and, or, not and parentheses (keywords in any letter case).
// A field is a name, or a name in square brackets when it holds blanks.
// Literals: a number; a string in single quotes ('' stands for one quote);
// NULL; or a bare word (a run of characters up to a blank, a parenthesis or
// an operator), which is taken as text exactly as written. Text compares
// without regard to letter case unless the filter is compiled case-sensitive.
//
// Costs: compiling resolves each field to its column once; a text comparison
// is decided once per distinct string of the column (cached by string id), so
// evaluating a row is a few array reads per comparison, whatever the text.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "Column.h"

class Filter {
public:
    // Maps a field name (any letter case) to its column; null when there is no such field.
    using Resolver = std::function<const Column*(const QString& name)>;

    // Parses and binds the text; a malformed text or an unknown field fails with a
    // DataError naming the position (counted from 1), and nothing is kept.
    static std::unique_ptr<Filter> compile(const QString& text, const Resolver& resolve,
                                           Qt::CaseSensitivity textCase = Qt::CaseInsensitive);

    virtual ~Filter() = default;
    virtual bool matches(Row row) const = 0;

    // A condition every passing row meets: the column equals a literal (text at
    // least without regard to letter case, integers by value). A dataset ordered
    // by that column finds the rows that can pass as one range of its order, and
    // lets matches() decide within it.
    struct Equality {
        const Column* column;
        QString text;
        double number;
    };
    virtual void requiredEqualities(std::vector<Equality>& out) const { (void)out; }
};

// The text as a filter literal: between single quotes, each quote inside doubled,
// so that the filter reads back exactly the text, whatever it holds.
QString quoteFilterText(const QString& text);
