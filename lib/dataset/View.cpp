// The view (see View.h), and what changes it as a whole: the filter (its text,
// whether it is in force, whether it counts letter case) and a master's move.
// Each settles first, then shows the view from its first row.
#include "View.h"

#include <algorithm>
#include <functional>

#include "Dataset.h"
#include "Filter.h"
#include "MasterLink.h"
#include "Snapshot.h"

void View::clear() {
    m_lo = m_hi = 0;
    m_materialised = false;
    m_rows.clear();
    m_rows.shrink_to_fit();
}

int View::indexOf(const Snapshot& snapshot, Row r) const {
    if (r >= snapshot.size() || !snapshot.isLive(r)) return -1;
    if (m_materialised) {
        if (m_order.isSorted()) {
            auto it = std::lower_bound(m_rows.begin(), m_rows.end(), r,
                                       [this](Row a, Row b) { return m_order.less(a, b); });
            return it != m_rows.end() && *it == r ? int(it - m_rows.begin()) : -1;
        }
        auto it = std::find(m_rows.begin(), m_rows.end(), r);
        return it != m_rows.end() ? int(it - m_rows.begin()) : -1;
    }
    const size_t pos = m_order.position(r);
    if (pos < m_lo || pos >= m_hi) return -1;
    return int(pos - m_lo);
}

void View::rebuild(const Snapshot& snapshot, const MasterLink* master, const Filter* filter) {
    m_lo = 0;
    m_hi = m_order.size();
    m_materialised = false;
    m_rows.clear();
    if (master && master->restricts()) restrictToMaster(snapshot, *master);
    if (filter) {
        narrowToFilter(snapshot, *filter);
        std::vector<Row> kept;
        const size_t n = count();
        for (size_t i = 0; i < n; ++i) {
            const Row r = row(i);
            if (filter->matches(r)) kept.push_back(r);
        }
        m_rows = std::move(kept);
        m_materialised = true;
    }
}

void View::restrictToMaster(const Snapshot& snapshot, const MasterLink& master) {
    if (master.values().empty()) {
        m_hi = 0;
        return;
    }
    // The order starts with the link columns: the restriction is one range of it.
    const std::vector<SortColumn>& sort = m_order.sortColumns();
    bool range = sort.size() >= master.linkCount();
    for (size_t i = 0; range && i < master.linkCount(); ++i)
        range = sort[i].column == master.linkColumn(i) && !sort[i].descending;
    if (!range) {
        m_materialised = true;
        for (Row r : m_order.rows())
            if (master.matches(snapshot, r)) m_rows.push_back(r);
        return;
    }
    const std::vector<QVariant>& values = master.values();
    auto cmp = [&](Row r) {
        for (size_t i = 0; i < master.linkCount(); ++i) {
            const int c = snapshot.column(size_t(master.linkColumn(i))).compareValue(r, values[i]);
            if (c != 0) return c;
        }
        return 0;
    };
    const std::vector<Row>& rows = m_order.rows();
    auto lo = std::partition_point(rows.begin(), rows.end(), [&](Row r) { return cmp(r) < 0; });
    auto hi = std::partition_point(lo, rows.end(), [&](Row r) { return cmp(r) <= 0; });
    m_lo = size_t(lo - rows.begin());
    m_hi = size_t(hi - rows.begin());
}

void View::narrowToFilter(const Snapshot& snapshot, const Filter& filter) {
    // Only a range of the order can pass a filter that fixes the leading order column.
    const std::vector<SortColumn>& sort = m_order.sortColumns();
    if (m_materialised || sort.empty() || sort[0].descending) return;
    const Column* lead = &snapshot.column(size_t(sort[0].column));
    std::vector<Filter::Equality> equalities;
    filter.requiredEqualities(equalities);
    for (const Filter::Equality& e : equalities) {
        if (e.column != lead) continue;
        std::function<int(Row)> cmp;
        if (const auto* text = dynamic_cast<const TextColumn*>(lead)) {
            // Text sorts without regard to letter case first, so texts equal up to case are
            // neighbours; a filter that counts case picks its rows among them.
            cmp = [text, &e](Row r) {
                if (text->isNull(r)) return -1;
                const int c = text->text(r).compare(e.text, Qt::CaseInsensitive);
                return c < 0 ? -1 : (c > 0 ? 1 : 0);
            };
        } else if (const auto* ints = dynamic_cast<const IntColumn*>(lead)) {
            cmp = [ints, &e](Row r) {
                if (ints->isNull(r)) return -1;
                const double v = double(ints->at(r));
                return v < e.number ? -1 : (v > e.number ? 1 : 0);
            };
        } else {
            continue;
        }
        const std::vector<Row>& rows = m_order.rows();
        const auto begin = rows.begin() + ptrdiff_t(m_lo);
        const auto end = rows.begin() + ptrdiff_t(m_hi);
        const auto lo = std::partition_point(begin, end, [&](Row r) { return cmp(r) < 0; });
        const auto hi = std::partition_point(lo, end, [&](Row r) { return cmp(r) <= 0; });
        m_lo = size_t(lo - rows.begin());
        m_hi = size_t(hi - rows.begin());
        return;
    }
}

// ---- the dataset's view

void Dataset::rebuildView() {
    m_view.rebuild(m_snapshot, m_masterLink.get(), m_filter.get());
}

Row Dataset::rowAt(int index) const {
    if (m_state == DatasetState::Insert) {
        if (index == m_insertPos) return NoRow;
        if (index > m_insertPos) --index;
    }
    return viewRow(size_t(index));
}

int Dataset::recordCount() const {
    if (!isActive()) return 0;
    return int(viewCount()) + (m_state == DatasetState::Insert ? 1 : 0);
}

int Dataset::viewIndexOf(Row r) const {
    return m_view.indexOf(m_snapshot, r);
}

std::unique_ptr<Filter> Dataset::compileFilter(const QString& text) const {
    return Filter::compile(
        text,
        [this](const QString& name) -> const Column* {
            const Field* f = findField(name);
            if (!f || f->kind() != FieldKind::Data || f->column() < 0) return nullptr;
            return &m_snapshot.column(size_t(f->column()));
        },
        m_filterCaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

// Moves to the first row of a view that changed as a whole.
void Dataset::showFromFirst() {
    rebuildView();
    m_cur = viewCount() > 0 ? 0 : -1;
    readCurrent();
    notify(DataSource::Event::ViewReset);
    doScroll();
}

std::unique_ptr<Filter> Dataset::compileAndSettle(const QString& text) {
    // Compiled before settling, so a text that fails leaves everything as it was; again
    // after it when storing the pending row copied a shared column the filter read.
    std::unique_ptr<Filter> f;
    if (!text.trimmed().isEmpty()) f = compileFilter(text);
    const quint64 copies = m_columnCopies;
    checkBrowseMode();
    if (f && copies != m_columnCopies) f = compileFilter(text);
    return f;
}

void Dataset::setFilterText(const QString& text) {
    if (!isActive() || !m_filtered) {
        m_filterText = text;
        return;
    }
    std::unique_ptr<Filter> f = compileAndSettle(text);
    m_filterText = text;
    m_filter = std::move(f);
    showFromFirst();
}

void Dataset::setFiltered(bool on) {
    if (on == m_filtered) return;
    if (!isActive()) {
        m_filtered = on;
        return;
    }
    std::unique_ptr<Filter> f = compileAndSettle(on ? m_filterText : QString());
    m_filtered = on;
    m_filter = std::move(f);
    showFromFirst();
}

void Dataset::setFilterCaseSensitive(bool on) {
    if (on == m_filterCaseSensitive) return;
    m_filterCaseSensitive = on;
    if (!isActive() || !m_filtered) return;
    std::unique_ptr<Filter> f;
    try {
        f = compileAndSettle(m_filterText);
    } catch (...) {
        m_filterCaseSensitive = !on;
        throw;
    }
    m_filter = std::move(f);
    showFromFirst();
}
