// Locate: the first row of the view whose fields hold the given values.
//
// Costs: one test per field, built once per call; a text column decides each
// distinct string once (cached by string id), so a scan costs a few array
// reads per row; a calculated field is computed for each row it tests. The
// scan stops at the first hit, in view order.
#include <functional>
#include <memory>

#include "Dataset.h"
#include "Names.h"

bool Dataset::locate(const QString& fields, const QVariant& values, LocateOptions options) {
    checkActive();
    checkBrowseMode();
    const QStringList names = splitNames(fields);
    QVariantList vals;
    if (names.size() == 1)
        vals << values;
    else
        vals = values.toList();
    if (names.isEmpty() || vals.size() != names.size())
        throw DataError(QStringLiteral("Locate needs one value for each field"));

    const bool ci = options.testFlag(LocateOption::CaseInsensitive);
    const bool partial = options.testFlag(LocateOption::PartialKey);
    // One test per field; a text column decides each distinct string once.
    std::vector<std::function<bool(Row)>> tests;
    for (int i = 0; i < names.size(); ++i) {
        const Field* f = &fieldByName(names[i]);
        const QVariant v = vals[i];
        if (f->kind() == FieldKind::Data && f->type() == FieldType::Text) {
            const auto* col =
                static_cast<const TextColumn*>(&m_snapshot.column(size_t(f->column())));
            const QString want = v.isNull() ? QString() : v.toString();
            const Qt::CaseSensitivity cs = ci ? Qt::CaseInsensitive : Qt::CaseSensitive;
            const QChar first = want.isEmpty() ? QChar() : (ci ? want[0].toCaseFolded() : want[0]);
            auto cache = std::make_shared<std::vector<int8_t>>(col->distinctCount(), -1);
            tests.push_back([=](Row r) {
                const uint32_t id = col->id(r);
                int8_t& known = (*cache)[id];
                if (known < 0) {
                    const QStringView s = col->string(id);
                    bool hit;
                    if (want.isEmpty())
                        hit = partial || s.isEmpty();
                    else if (s.isEmpty() || (ci ? s[0].toCaseFolded() : s[0]) != first)
                        hit = false;
                    else
                        hit = partial ? s.startsWith(want, cs) : s.compare(want, cs) == 0;
                    known = hit ? 1 : 0;
                }
                return known == 1;
            });
        } else if (f->kind() == FieldKind::Data) {
            QVariant want;
            try {
                want = f->convert(v);
            } catch (const DataError&) {
                return false;
            }
            const Column* col = &m_snapshot.column(size_t(f->column()));
            tests.push_back([col, want](Row r) {
                return want.isNull() ? col->isNull(r)
                                     : !col->isNull(r) && col->compareValue(r, want) == 0;
            });
        } else {
            const QString want = v.toString();
            const Qt::CaseSensitivity cs = ci ? Qt::CaseInsensitive : Qt::CaseSensitive;
            tests.push_back([=, this](Row r) {
                const QString s = f->format(rowValue(r, f));
                return partial ? s.startsWith(want, cs) : s.compare(want, cs) == 0;
            });
        }
    }
    const size_t n = viewCount();
    for (size_t i = 0; i < n; ++i) {
        const Row r = viewRow(i);
        bool all = true;
        for (const auto& t : tests)
            if (!t(r)) {
                all = false;
                break;
            }
        if (all) {
            moveTo(int(i), true);
            return true;
        }
    }
    return false;
}
