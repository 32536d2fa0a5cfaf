// libFuzzer target for the filter-expression parser. The first byte picks
// whether text compares with letter case, the rest is the filter text (UTF-8).
// A text that compiles is evaluated on every row of a small table, and every
// row it passes must meet the equalities it reports, as a dataset's view
// relies on them to narrow the rows it looks at.
#include <QDate>
#include <QString>
#include <QVariant>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "Column.h"
#include "Filter.h"

namespace {

struct Table {
    std::vector<QString> names;
    std::vector<std::shared_ptr<Column>> columns;
    size_t rows = 0;

    Table() {
        auto text = Column::create(FieldType::Text);
        auto number = Column::create(FieldType::Integer);
        auto date = Column::create(FieldType::DateTime);
        auto real = Column::create(FieldType::Float);
        auto spaced = Column::create(FieldType::Text);
        const QVariant texts[] = {QStringLiteral("1234567"), QStringLiteral("Иванов"),
                                  QStringLiteral("иванов"),  QString(),
                                  QStringLiteral("O'Brien"), QStringLiteral("ab c"),
                                  QStringLiteral("")};
        const QVariant numbers[] = {3, -2147483647 - 1, 0, QVariant(), 2147483647, 10, 3};
        const QVariant dates[] = {QDate(2024, 1, 15),  QDate(1899, 12, 30), QVariant(),
                                  QDate(9999, 12, 31), QDate(1, 1, 1),      QDate(2024, 2, 29),
                                  QDate(1970, 1, 1)};
        const QVariant reals[] = {0.5, -0.0, QVariant(), 1e300, -1e-300, 3.0, 2.5};
        for (size_t r = 0; r < std::size(texts); ++r) {
            text->append(texts[r]);
            number->append(numbers[r]);
            date->append(dates[r]);
            real->append(reals[r]);
            spaced->append(texts[(r + 3) % std::size(texts)]);
        }
        rows = std::size(texts);
        names = {QStringLiteral("N_Student"), QStringLiteral("Semestr"), QStringLiteral("Date"),
                 QStringLiteral("Ball"), QStringLiteral("Фамилия студента")};
        columns = {text, number, date, real, spaced};
    }

    const Column* resolve(const QString& name) const {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i].compare(name, Qt::CaseInsensitive) == 0) return columns[i].get();
        return nullptr;
    }
};

bool meets(const Filter::Equality& e, Row r) {
    const Column& c = *e.column;
    if (c.isNull(r)) return false;
    if (c.type() == FieldType::Text)
        return c.value(r).toString().compare(e.text, Qt::CaseInsensitive) == 0;
    if (c.type() == FieldType::Integer) return double(c.value(r).toInt()) == e.number;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Table table;
    if (size < 1) return 0;
    const Qt::CaseSensitivity textCase = data[0] & 1 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    std::unique_ptr<Filter> filter;
    try {
        filter = Filter::compile(
            text, [](const QString& name) { return table.resolve(name); }, textCase);
    } catch (const std::exception&) {
        return 0;
    }
    if (!filter) __builtin_trap();
    std::vector<Filter::Equality> equalities;
    filter->requiredEqualities(equalities);
    for (Row r = 0; r < table.rows; ++r) {
        if (!filter->matches(r)) continue;
        for (const auto& e : equalities)
            if (!meets(e, r)) __builtin_trap();
    }
    return 0;
}
