// The row order (see RowOrder.h), and the dataset's sort: the sort text, else
// the order list, names the order columns; changing it settles first and
// keeps the current row current.
#include "RowOrder.h"

#include <QRegularExpression>
#include <algorithm>

#include "Dataset.h"
#include "Snapshot.h"

std::vector<SortName> parseSort(const QString& text) {
    std::vector<SortName> out;
    for (QString part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        part = part.trimmed();
        if (part.isEmpty()) continue;
        SortName s;
        static const QRegularExpression dir(QStringLiteral("\\s+(ASC|DESC)$"),
                                            QRegularExpression::CaseInsensitiveOption);
        const auto m = dir.match(part);
        if (m.hasMatch()) {
            s.descending = m.captured(1).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
            part = part.left(m.capturedStart()).trimmed();
        }
        if (part.startsWith(QLatin1Char('[')) && part.endsWith(QLatin1Char(']')))
            part = part.mid(1, part.size() - 2);
        s.name = part;
        out.push_back(s);
    }
    return out;
}

bool RowOrder::less(Row a, Row b) const {
    for (const SortColumn& s : m_sort) {
        const int c = m_snapshot.column(size_t(s.column)).compare(a, b);
        if (c != 0) return s.descending ? c > 0 : c < 0;
    }
    return a < b;
}

void RowOrder::clear() {
    m_rows.clear();
    m_rows.shrink_to_fit();
}

void RowOrder::build() {
    m_rows.clear();
    m_rows.reserve(m_snapshot.size());
    for (Row r = 0; r < Row(m_snapshot.size()); ++r)
        if (m_snapshot.isLive(r)) m_rows.push_back(r);
    if (m_sort.empty()) return;
    if (m_sort.size() == 1 &&
        m_snapshot.column(size_t(m_sort[0].column)).type() == FieldType::Text) {
        // One text column: a counting sort by the rank of each distinct string, stable.
        const auto& col =
            static_cast<const TextColumn&>(m_snapshot.column(size_t(m_sort[0].column)));
        std::vector<uint32_t> rank = col.ranks();
        if (m_sort[0].descending)
            for (auto& r : rank) r = uint32_t(rank.size()) - 1 - r;
        std::vector<uint32_t> start(rank.size() + 1, 0);
        for (Row r : m_rows) ++start[rank[col.id(r)] + 1];
        for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
        std::vector<Row> sorted(m_rows.size());
        for (Row r : m_rows) sorted[start[rank[col.id(r)]]++] = r;
        m_rows = std::move(sorted);
        return;
    }
    // One 64-bit key per row and column keeps the comparisons integer.
    std::vector<std::vector<int64_t>> keys;
    for (const SortColumn& s : m_sort) {
        std::vector<int64_t> k = m_snapshot.column(size_t(s.column)).sortKeys();
        if (s.descending)
            for (auto& v : k) v = ~v;
        keys.push_back(std::move(k));
    }
    if (keys.size() == 1) {
        std::vector<std::pair<int64_t, Row>> pairs;
        pairs.reserve(m_rows.size());
        for (Row r : m_rows) pairs.emplace_back(keys[0][r], r);
        std::sort(pairs.begin(), pairs.end());
        for (size_t i = 0; i < pairs.size(); ++i) m_rows[i] = pairs[i].second;
        return;
    }
    std::sort(m_rows.begin(), m_rows.end(), [&keys](Row a, Row b) {
        for (const auto& k : keys)
            if (k[a] != k[b]) return k[a] < k[b];
        return a < b;
    });
}

size_t RowOrder::position(Row r) const {
    if (!m_sort.empty()) {
        auto it = std::lower_bound(m_rows.begin(), m_rows.end(), r,
                                   [this](Row a, Row b) { return less(a, b); });
        if (it != m_rows.end() && *it == r) return size_t(it - m_rows.begin());
    }
    auto it = std::find(m_rows.begin(), m_rows.end(), r);
    return size_t(it - m_rows.begin());
}

void RowOrder::place(Row r, std::optional<Row> before) {
    if (!m_sort.empty()) {
        auto it = std::lower_bound(m_rows.begin(), m_rows.end(), r,
                                   [this](Row a, Row b) { return less(a, b); });
        m_rows.insert(it, r);
        return;
    }
    if (before) {
        auto it = std::find(m_rows.begin(), m_rows.end(), *before);
        m_rows.insert(it, r);
        return;
    }
    m_rows.push_back(r);
}

void RowOrder::remove(Row r) {
    const size_t pos = position(r);
    if (pos < m_rows.size()) m_rows.erase(m_rows.begin() + std::ptrdiff_t(pos));
}

void RowOrder::removeDead() {
    std::erase_if(m_rows, [this](Row r) { return !m_snapshot.isLive(r); });
}

// ---- the dataset's sort

std::vector<SortColumn> Dataset::resolveSort() const {
    std::vector<SortColumn> cols;
    std::vector<SortName> parsed;
    if (!m_sortText.trimmed().isEmpty())
        parsed = parseSort(m_sortText);
    else
        for (const QString& n : orderFieldNames()) parsed.push_back({n, false});
    for (const auto& p : parsed) {
        const Field& f = fieldByName(p.name);
        if (f.kind() != FieldKind::Data)
            throw DataError(
                QStringLiteral("Cannot sort on the calculated field '%1'").arg(f.name()));
        cols.push_back({f.column(), p.descending});
    }
    return cols;
}

void Dataset::setSort(const QString& sort) {
    if (!isActive()) {
        m_sortText = sort;
        return;
    }
    const QString old = m_sortText;
    m_sortText = sort;
    std::vector<SortColumn> cols;
    try {
        cols = resolveSort();
    } catch (...) {
        m_sortText = old;
        throw;
    }
    try {
        checkBrowseMode();
    } catch (...) {
        m_sortText = old;
        throw;
    }
    const Row keep = m_cur >= 0 ? m_current.row : NoRow;
    m_order.setSortColumns(std::move(cols));
    m_order.build();
    ++m_rowsStamp;
    touch();
    rebuildView();
    const int idx = keep != NoRow ? viewIndexOf(keep) : -1;
    m_cur = idx >= 0 ? idx : (viewCount() > 0 ? 0 : -1);
    readCurrent();
    notify(DataSource::Event::ViewReset);
}
