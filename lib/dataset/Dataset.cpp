// The dataset: snapshot, states, moves, editing and writing.
//
// What a view is: the rows the user browses, in order; `m_cur` indexes it,
// counting a pending inserted row at `m_insertPos`. Storage rows keep their
// index until the dataset closes; a deleted row leaves the order and is marked
// dead, a posted new row is appended to storage and placed in the order.
//
// Costs: open is one pass over the statement plus one sort of 64-bit keys;
// a move is O(1) plus the lookups of the new row; a post or delete is one
// statement, O(log n) to place the row in a sorted order (O(n) memmove), plus
// rebuilding the view (O(log n) for a master range, one pass for a filter).
#include "Dataset.h"

#include <QRegularExpression>
#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "Connection.h"
#include "DataSource.h"
#include "Filter.h"

namespace {
constexpr Row NoRow = UINT32_MAX;

// Bumped by every change of any dataset, so a grid's cached row is never stale.
quint64 s_changeStamp = 1;

QStringList splitNames(const QString& names) {
    QStringList out;
    for (const QString& part : names.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString n = part.trimmed();
        if (!n.isEmpty()) out << n;
    }
    return out;
}
}  // namespace

// The detail's link to its master's data source.
class MasterLink final : public DataLink {
public:
    explicit MasterLink(Dataset* detail) : m_detail(detail) {}

protected:
    void activeChanged() override { m_detail->masterChanged(); }
    void recordMoved() override { m_detail->masterChanged(); }
    void dataSetChanged() override { m_detail->masterChanged(); }
    void recordChanged(Field* field) override { m_detail->masterFieldChanged(field); }
    void checkBrowseMode() override { m_detail->masterCheckBrowseMode(); }

private:
    Dataset* m_detail;
};

// First row in order for each value of one key column, built on first use after a change.
struct Dataset::KeyIndex {
    int column = -1;
    quint64 stamp = 0;
    std::unordered_map<int64_t, Row> numbers;
    std::vector<Row> byTextId;
};

// Makes a record the one fields read and write, for the length of a scope.
class Dataset::ActiveScope {
public:
    ActiveScope(const Dataset* ds, Record* rec, bool calculating)
        : m_ds(ds), m_prev(ds->m_active), m_prevCalc(ds->m_calculating) {
        ds->m_active = rec;
        ds->m_calculating = calculating;
    }
    ~ActiveScope() {
        m_ds->m_active = m_prev;
        m_ds->m_calculating = m_prevCalc;
    }

private:
    const Dataset* m_ds;
    Record* m_prev;
    bool m_prevCalc;
};

Dataset::Dataset(QObject* parent) : QObject(parent) {}

Dataset::~Dataset() {
    m_masterLink.reset();
    for (DataSource* s : std::vector<DataSource*>(m_sources)) s->setDataset(nullptr);
}

void Dataset::setConnection(Connection* connection) {
    checkInactive();
    m_connection = connection;
}

// ---- fields

Field& Dataset::addField(const QString& name, FieldKind kind, FieldType type, int size) {
    checkInactive();
    if (!m_declared) m_fields.clear();
    m_declared = true;
    m_fields.push_back(std::make_unique<Field>(this, fieldCount(), name, kind, type, size));
    return *m_fields.back();
}

Field& Dataset::addDataField(const QString& name, FieldType type, int size) {
    return addField(name, FieldKind::Data, type, size);
}

Field& Dataset::addLookupField(const QString& name, FieldType type, int size,
                               Dataset* lookupDataset, const QString& keyField,
                               const QString& lookupKeyField, const QString& resultField) {
    return addField(name, FieldKind::Lookup, type, size)
        .setLookup(lookupDataset, keyField, lookupKeyField, resultField);
}

Field& Dataset::addCalculatedField(const QString& name, FieldType type, int size) {
    return addField(name, FieldKind::Calculated, type, size);
}

Field* Dataset::findField(const QString& name) const {
    for (const auto& f : m_fields)
        if (f->hasName(name)) return f.get();
    return nullptr;
}

Field& Dataset::fieldByName(const QString& name) const {
    Field* f = findField(name);
    if (!f) throw DataError(msg::fieldNotFound(name));
    return *f;
}

namespace {
// The field type of a column nothing declares, from its declared type, else its first value.
FieldType typeFromDecl(const QString& decl, Statement::ValueType first, bool rowidAlias, int& size) {
    const QString t = decl.toUpper();
    size = 0;
    static const QRegularExpression sizeRe(QStringLiteral("\\(\\s*(\\d+)"));
    const auto m = sizeRe.match(t);
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("TEXT")) ||
        t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("MEMO")) ||
        t.contains(QLatin1String("STRING"))) {
        if (m.hasMatch()) size = m.captured(1).toInt();
        return FieldType::Text;
    }
    if (t.contains(QLatin1String("COUNTER")) || t.contains(QLatin1String("AUTOINC")) ||
        (rowidAlias && t == QLatin1String("INTEGER")))
        return FieldType::Counter;
    if (t.contains(QLatin1String("SMALLINT")) || t.contains(QLatin1String("SHORT")))
        return FieldType::SmallInt;
    if (t.contains(QLatin1String("INT")) || t.contains(QLatin1String("BOOL")) ||
        t.contains(QLatin1String("BIT")))
        return FieldType::Integer;
    if (t.contains(QLatin1String("DATE")) || t.contains(QLatin1String("TIME")))
        return FieldType::DateTime;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("NUM")) ||
        t.contains(QLatin1String("DEC")) || t.contains(QLatin1String("CURRENCY")) ||
        t.contains(QLatin1String("MONEY")))
        return FieldType::Float;
    if (t.isEmpty()) {
        if (first == Statement::ValueType::Integer) return FieldType::Integer;
        if (first == Statement::ValueType::Float) return FieldType::Float;
    }
    return FieldType::Text;
}
}  // namespace

void Dataset::createDefaultFields(Statement& st, int firstColumn, bool stepped) {
    // Counters are integer keys that alias the hidden row key.
    std::vector<Connection::ColumnInfo> baseColumns;
    if (!m_baseTable.isEmpty()) baseColumns = m_connection->tableColumns(m_baseTable);
    int pkCount = 0;
    for (const auto& c : baseColumns) pkCount += c.primaryKey ? 1 : 0;

    m_fields.clear();
    m_declared = false;
    for (int c = firstColumn; c < st.columnCount(); ++c) {
        const QString name = st.columnName(c);
        bool rowidAlias = false;
        if (QString::compare(st.columnTable(c), m_baseTable, Qt::CaseInsensitive) == 0)
            for (const auto& bc : baseColumns)
                if (bc.primaryKey && pkCount == 1 && bc.name.compare(name, Qt::CaseInsensitive) == 0)
                    rowidAlias = true;
        int size = 0;
        const FieldType type =
            typeFromDecl(st.columnDeclType(c),
                         stepped ? st.columnType(c) : Statement::ValueType::Null, rowidAlias, size);
        m_fields.push_back(
            std::make_unique<Field>(this, fieldCount(), name, FieldKind::Data, type, size));
    }
}

// ---- lifecycle

void Dataset::checkInactive() const {
    if (isActive()) throw DataError(msg::openDataset());
}

void Dataset::checkActive() const {
    if (!isActive()) throw DataError(msg::closedDataset());
}

void Dataset::ensureConnected() {
    if (!m_connection) throw DataError(QStringLiteral("Missing connection"));
    m_connection->open();
}

void Dataset::bindFields(Statement& st) {
    const int first = m_hasKey ? 1 : 0;
    QStringList names;
    for (const auto& f : m_fields) {
        if (f->kind() != FieldKind::Data) continue;
        int found = -1;
        for (int c = first; c < st.columnCount() && found < 0; ++c)
            if (f->hasName(st.columnName(c))) found = c;
        if (found < 0) throw DataError(msg::fieldNotFound(f->name()));
        f->setColumn(int(names.size()));
        names << st.columnName(found);
    }
    m_columnNames = names;
}

void Dataset::loadRows(Statement& st, bool hasRow) {
    // Result column of each storage column.
    std::vector<int> source;
    const int first = m_hasKey ? 1 : 0;
    for (const QString& name : m_columnNames)
        for (int c = first; c < st.columnCount(); ++c)
            if (QString::compare(st.columnName(c), name, Qt::CaseInsensitive) == 0) {
                source.push_back(c);
                break;
            }
    std::vector<std::shared_ptr<Column>> columns;
    for (const auto& f : m_fields)
        if (f->kind() == FieldKind::Data) columns.push_back(Column::create(f->type()));
    auto keysHolder = std::make_shared<std::vector<int64_t>>();
    std::vector<int64_t>& keys = *keysHolder;
    // Knowing the count up front saves copying and touching the storage twice while it grows.
    if (const int64_t n = hasRow ? expectedRows() : 0; n > 0) {
        keys.reserve(size_t(n));
        for (auto& c : columns) c->reserve(size_t(n));
    }
    for (; hasRow; hasRow = st.step()) {
        keys.push_back(m_hasKey ? st.columnInt64(0) : int64_t(keys.size()));
        for (size_t k = 0; k < columns.size(); ++k) columns[k]->appendFrom(st, source[k]);
    }
    m_columns = std::move(columns);
    m_keys = std::move(keysHolder);
    m_live.assign(m_keys->size(), 1);
}

void Dataset::readSnapshot(Statement& st, bool declareFromColumns) {
    const int first = m_hasKey ? 1 : 0;
    if (!m_wholeTable) {
        const bool hasRow = st.step();
        if (declareFromColumns) createDefaultFields(st, first, true);
        bindFields(st);
        loadRows(st, hasRow);
        return;
    }
    if (declareFromColumns) createDefaultFields(st, first, false);
    bindFields(st);
    std::vector<FieldType> types;
    for (const auto& f : m_fields)
        if (f->kind() == FieldKind::Data) types.push_back(f->type());
    SharedTables& shared = m_connection->sharedTables();
    const DataVersion version = m_connection->dataVersion();
    SharedTables::Snapshot snapshot;
    if (shared.find(m_baseTable, version, m_columnNames, types, snapshot)) {
        m_columns = std::move(snapshot.columns);
        m_keys = std::move(snapshot.keys);
        m_live.assign(m_keys->size(), 1);
        return;
    }
    loadRows(st, st.step());
    shared.publish(m_baseTable, version, m_columnNames, {m_keys, m_columns});
}

Column& Dataset::ownColumn(size_t k) {
    if (m_columns[k].use_count() > 1) {
        m_columns[k] = m_columns[k]->clone();
        // The compiled filter read the shared column.
        if (m_filter) m_filter = compileFilter(m_filterText);
    }
    return *m_columns[k];
}

std::vector<int64_t>& Dataset::ownKeys() {
    if (m_keys.use_count() > 1) m_keys = std::make_shared<std::vector<int64_t>>(*m_keys);
    return *m_keys;
}

void Dataset::releaseSnapshot() {
    m_columns.clear();
    m_keys.reset();
    m_live.clear();
    m_live.shrink_to_fit();
    m_order.clear();
    m_order.shrink_to_fit();
    m_view.clear();
    m_view.shrink_to_fit();
    m_indexes.clear();
    m_lo = m_hi = 0;
    m_materialised = false;
}

namespace {
struct ParsedSort {
    QString name;
    bool descending = false;
};

std::vector<ParsedSort> parseSort(const QString& text) {
    std::vector<ParsedSort> out;
    for (QString part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        part = part.trimmed();
        if (part.isEmpty()) continue;
        ParsedSort s;
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
}  // namespace

std::vector<Dataset::SortColumn> Dataset::resolveSort() const {
    std::vector<SortColumn> cols;
    std::vector<ParsedSort> parsed;
    if (!m_sortText.trimmed().isEmpty())
        parsed = parseSort(m_sortText);
    else
        for (const QString& n : orderFieldNames()) parsed.push_back({n, false});
    for (const auto& p : parsed) {
        const Field& f = fieldByName(p.name);
        if (f.kind() != FieldKind::Data)
            throw DataError(QStringLiteral("Cannot sort on the calculated field '%1'").arg(f.name()));
        cols.push_back({f.column(), p.descending});
    }
    return cols;
}

void Dataset::open() {
    if (isActive()) return;
    ensureConnected();
    try {
        std::unique_ptr<Statement> st = openStatement();
        readSnapshot(*st, !m_declared);
        st.reset();
        m_sortColumns = resolveSort();
        buildOrder();
        m_linkColumns.clear();
        if (m_master) {
            const QStringList links = orderFieldNames();
            if (links.size() < m_masterFields.size())
                throw DataError(QStringLiteral("The detail has fewer order fields than master fields"));
            for (int i = 0; i < m_masterFields.size(); ++i)
                m_linkColumns.push_back(fieldByName(links[i]).index());
        }
        m_filter.reset();
        if (m_filtered && !m_filterText.trimmed().isEmpty()) m_filter = compileFilter(m_filterText);
    } catch (...) {
        releaseSnapshot();
        throw;
    }
    ++m_generation;
    ++m_stamp;
    ++s_changeStamp;
    m_state = DatasetState::Browse;
    m_modified = false;
    m_restricted = false;
    m_restriction.clear();
    updateRestriction();
    rebuildView();
    m_cur = viewCount() > 0 ? 0 : -1;
    readCurrent();
    notify(DataSource::Event::ActiveChanged);
    doScroll();
}

void Dataset::close() {
    if (!isActive()) return;
    m_state = DatasetState::Inactive;
    m_modified = false;
    m_edit = Record();
    m_current = Record();
    m_active = &m_current;
    m_cur = -1;
    m_filter.reset();
    m_restricted = false;
    m_restriction.clear();
    releaseSnapshot();
    ++s_changeStamp;
    notify(DataSource::Event::ActiveChanged);
}

void Dataset::refresh() {
    checkActive();
    checkBrowseMode();
    const int64_t key = m_cur >= 0 ? (*m_keys)[m_current.row] : INT64_MIN;
    {
        std::unique_ptr<Statement> st = openStatement();
        m_indexes.clear();
        readSnapshot(*st, false);
    }
    buildOrder();
    // The filter reads the columns just replaced; bookmarks name rows of the old snapshot.
    if (m_filter) m_filter = compileFilter(m_filterText);
    ++m_generation;
    ++m_stamp;
    ++s_changeStamp;
    rebuildView();
    m_cur = viewCount() > 0 ? 0 : -1;
    for (size_t i = 0; key != INT64_MIN && i < viewCount(); ++i)
        if ((*m_keys)[viewRow(i)] == key) {
            m_cur = int(i);
            break;
        }
    readCurrent();
    notify(DataSource::Event::DataSetChanged);
}

// ---- order and view

bool Dataset::less(Row a, Row b) const {
    for (const SortColumn& s : m_sortColumns) {
        const int c = m_columns[size_t(s.column)]->compare(a, b);
        if (c != 0) return s.descending ? c > 0 : c < 0;
    }
    return a < b;
}

void Dataset::buildOrder() {
    m_order.clear();
    m_order.reserve(m_keys->size());
    for (Row r = 0; r < Row(m_keys->size()); ++r)
        if (m_live[r]) m_order.push_back(r);
    if (m_sortColumns.empty()) return;
    if (m_sortColumns.size() == 1 && m_columns[size_t(m_sortColumns[0].column)]->type() ==
                                         FieldType::Text) {
        // One text column: a counting sort by the rank of each distinct string, stable.
        const auto& col = static_cast<const TextColumn&>(*m_columns[size_t(m_sortColumns[0].column)]);
        std::vector<uint32_t> rank = col.ranks();
        if (m_sortColumns[0].descending)
            for (auto& r : rank) r = uint32_t(rank.size()) - 1 - r;
        std::vector<uint32_t> start(rank.size() + 1, 0);
        for (Row r : m_order) ++start[rank[col.id(r)] + 1];
        for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
        std::vector<Row> sorted(m_order.size());
        for (Row r : m_order) sorted[start[rank[col.id(r)]]++] = r;
        m_order = std::move(sorted);
        return;
    }
    // One 64-bit key per row and column keeps the comparisons integer.
    std::vector<std::vector<int64_t>> keys;
    for (const SortColumn& s : m_sortColumns) {
        std::vector<int64_t> k = m_columns[size_t(s.column)]->sortKeys();
        if (s.descending)
            for (auto& v : k) v = ~v;
        keys.push_back(std::move(k));
    }
    if (keys.size() == 1) {
        std::vector<std::pair<int64_t, Row>> pairs;
        pairs.reserve(m_order.size());
        for (Row r : m_order) pairs.emplace_back(keys[0][r], r);
        std::sort(pairs.begin(), pairs.end());
        for (size_t i = 0; i < pairs.size(); ++i) m_order[i] = pairs[i].second;
        return;
    }
    std::sort(m_order.begin(), m_order.end(), [&keys](Row a, Row b) {
        for (const auto& k : keys)
            if (k[a] != k[b]) return k[a] < k[b];
        return a < b;
    });
}

size_t Dataset::orderPosition(Row r) const {
    if (!m_sortColumns.empty()) {
        auto it = std::lower_bound(m_order.begin(), m_order.end(), r,
                                   [this](Row a, Row b) { return less(a, b); });
        if (it != m_order.end() && *it == r) return size_t(it - m_order.begin());
    }
    auto it = std::find(m_order.begin(), m_order.end(), r);
    return size_t(it - m_order.begin());
}

void Dataset::placeInOrder(Row r, std::optional<Row> before) {
    if (!m_sortColumns.empty()) {
        auto it = std::lower_bound(m_order.begin(), m_order.end(), r,
                                   [this](Row a, Row b) { return less(a, b); });
        m_order.insert(it, r);
        return;
    }
    if (before) {
        auto it = std::find(m_order.begin(), m_order.end(), *before);
        m_order.insert(it, r);
        return;
    }
    m_order.push_back(r);
}

void Dataset::removeFromOrder(Row r) {
    const size_t pos = orderPosition(r);
    if (pos < m_order.size()) m_order.erase(m_order.begin() + std::ptrdiff_t(pos));
}

size_t Dataset::viewCount() const { return m_materialised ? m_view.size() : m_hi - m_lo; }

Row Dataset::viewRow(size_t i) const { return m_materialised ? m_view[i] : m_order[m_lo + i]; }

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

bool Dataset::matchesMaster(Row r) const {
    if (!m_restricted) return true;
    if (m_restriction.empty()) return false;
    for (size_t i = 0; i < m_linkColumns.size(); ++i) {
        const Column& col = *m_columns[size_t(field(m_linkColumns[i])->column())];
        if (col.isNull(r) || col.compareValue(r, m_restriction[i]) != 0) return false;
    }
    return true;
}

int Dataset::viewIndexOf(Row r) const {
    if (r >= m_live.size() || !m_live[r]) return -1;
    if (m_materialised) {
        if (!m_sortColumns.empty()) {
            auto it = std::lower_bound(m_view.begin(), m_view.end(), r,
                                       [this](Row a, Row b) { return less(a, b); });
            return it != m_view.end() && *it == r ? int(it - m_view.begin()) : -1;
        }
        auto it = std::find(m_view.begin(), m_view.end(), r);
        return it != m_view.end() ? int(it - m_view.begin()) : -1;
    }
    const size_t pos = orderPosition(r);
    if (pos < m_lo || pos >= m_hi) return -1;
    return int(pos - m_lo);
}

void Dataset::narrowToFilter() {
    // Only a range of the order can pass a filter that fixes the leading order column.
    if (m_materialised || m_sortColumns.empty() || m_sortColumns[0].descending) return;
    const Column* lead = m_columns[size_t(m_sortColumns[0].column)].get();
    std::vector<Filter::Equality> equalities;
    m_filter->requiredEqualities(equalities);
    for (const Filter::Equality& e : equalities) {
        if (e.column != lead) continue;
        std::function<int(Row)> cmp;
        if (const auto* text = dynamic_cast<const TextColumn*>(lead)) {
            // Text sorts without regard to letter case first, so equal texts are neighbours.
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
        const auto begin = m_order.begin() + ptrdiff_t(m_lo);
        const auto end = m_order.begin() + ptrdiff_t(m_hi);
        const auto lo = std::partition_point(begin, end, [&](Row r) { return cmp(r) < 0; });
        const auto hi = std::partition_point(lo, end, [&](Row r) { return cmp(r) <= 0; });
        m_lo = size_t(lo - m_order.begin());
        m_hi = size_t(hi - m_order.begin());
        return;
    }
}

void Dataset::rebuildView() {
    m_lo = 0;
    m_hi = m_order.size();
    m_materialised = false;
    m_view.clear();
    if (m_restricted) {
        // The order starts with the link columns: the restriction is one range of it.
        bool range = m_sortColumns.size() >= m_linkColumns.size();
        for (size_t i = 0; range && i < m_linkColumns.size(); ++i)
            range = m_sortColumns[i].column == field(m_linkColumns[i])->column() &&
                    !m_sortColumns[i].descending;
        if (m_restriction.empty()) {
            m_hi = 0;
        } else if (range) {
            auto cmp = [this](Row r) {
                for (size_t i = 0; i < m_linkColumns.size(); ++i) {
                    const Column& col = *m_columns[size_t(field(m_linkColumns[i])->column())];
                    const int c = col.compareValue(r, m_restriction[i]);
                    if (c != 0) return c;
                }
                return 0;
            };
            auto lo = std::partition_point(m_order.begin(), m_order.end(),
                                           [&](Row r) { return cmp(r) < 0; });
            auto hi = std::partition_point(lo, m_order.end(), [&](Row r) { return cmp(r) <= 0; });
            m_lo = size_t(lo - m_order.begin());
            m_hi = size_t(hi - m_order.begin());
        } else {
            m_materialised = true;
            for (Row r : m_order)
                if (matchesMaster(r)) m_view.push_back(r);
        }
    }
    if (m_filter) {
        narrowToFilter();
        std::vector<Row> kept;
        const size_t n = viewCount();
        for (size_t i = 0; i < n; ++i) {
            const Row r = viewRow(i);
            if (m_filter->matches(r)) kept.push_back(r);
        }
        m_view = std::move(kept);
        m_materialised = true;
    }
}

std::unique_ptr<Filter> Dataset::compileFilter(const QString& text) const {
    return Filter::compile(text, [this](const QString& name) -> const Column* {
        const Field* f = findField(name);
        if (!f || f->kind() != FieldKind::Data || f->column() < 0) return nullptr;
        return m_columns[size_t(f->column())].get();
    });
}

// Moves to the first row of a view that changed as a whole.
void Dataset::showFromFirst() {
    rebuildView();
    m_cur = viewCount() > 0 ? 0 : -1;
    readCurrent();
    notify(DataSource::Event::DataSetChanged);
    doScroll();
}

void Dataset::setFilterText(const QString& text) {
    if (isActive() && m_filtered) {
        std::unique_ptr<Filter> f;
        if (!text.trimmed().isEmpty()) f = compileFilter(text);
        checkBrowseMode();
        m_filterText = text;
        m_filter = std::move(f);
        showFromFirst();
        return;
    }
    m_filterText = text;
}

void Dataset::setFiltered(bool on) {
    if (on == m_filtered) return;
    if (!isActive()) {
        m_filtered = on;
        return;
    }
    std::unique_ptr<Filter> f;
    if (on && !m_filterText.trimmed().isEmpty()) f = compileFilter(m_filterText);
    checkBrowseMode();
    m_filtered = on;
    m_filter = std::move(f);
    showFromFirst();
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
    m_sortColumns = std::move(cols);
    buildOrder();
    ++m_stamp;
    ++s_changeStamp;
    rebuildView();
    const int idx = keep != NoRow ? viewIndexOf(keep) : -1;
    m_cur = idx >= 0 ? idx : (viewCount() > 0 ? 0 : -1);
    readCurrent();
    notify(DataSource::Event::DataSetChanged);
}

// ---- master and detail

void Dataset::setMaster(DataSource* master, const QString& masterFields) {
    checkInactive();
    m_masterLink.reset();
    m_master = master;
    m_masterFields = splitNames(masterFields);
    if (m_master) {
        m_masterLink = std::make_unique<MasterLink>(this);
        m_masterLink->setDataSource(m_master);
    }
}

bool Dataset::computeRestriction(std::vector<QVariant>& values) const {
    values.clear();
    Dataset* m = m_master ? m_master->dataset() : nullptr;
    if (!m || !m->isActive()) return false;
    // A master without a current row, or with an empty link value, matches nothing.
    if (m->recNo() < 0) return true;
    for (int i = 0; i < m_masterFields.size(); ++i) {
        const QVariant v = m->fieldByName(m_masterFields[i]).value();
        QVariant converted;
        try {
            converted = field(m_linkColumns[size_t(i)])->convert(v);
        } catch (const DataError&) {
            converted = QVariant();
        }
        if (converted.isNull()) {
            values.clear();
            return true;
        }
        values.push_back(converted);
    }
    return true;
}

void Dataset::updateRestriction() {
    m_restricted = computeRestriction(m_restriction);
}

void Dataset::masterChanged() {
    if (!isActive()) return;
    std::vector<QVariant> values;
    const bool restricted = computeRestriction(values);
    if (restricted == m_restricted && values == m_restriction) return;
    checkBrowseMode();
    m_restricted = restricted;
    m_restriction = std::move(values);
    showFromFirst();
}

void Dataset::masterFieldChanged(Field* field) {
    if (!field) return masterChanged();
    for (const QString& name : m_masterFields)
        if (field->hasName(name)) return masterChanged();
}

void Dataset::masterCheckBrowseMode() {
    if (isActive()) checkBrowseMode();
}

// ---- records and values

QVariant Dataset::storageValue(Row row, const Field* f) const {
    if (row == NoRow || f->column() < 0) return {};
    return m_columns[size_t(f->column())]->value(row);
}

QVariant Dataset::recordValue(const Record& rec, const Field* f) const {
    const size_t i = size_t(f->index());
    if (f->kind() == FieldKind::Data && !rec.buffered) return storageValue(rec.row, f);
    return i < rec.values.size() ? rec.values[i] : QVariant();
}

QVariant Dataset::activeValue(const Field* field) const {
    if (!isActive() || !m_active) return {};
    return recordValue(*m_active, field);
}

void Dataset::setActiveValue(Field* f, const QVariant& v) {
    const size_t i = size_t(f->index());
    if (m_calculating) {
        if (f->kind() == FieldKind::Data) throw DataError(msg::fieldReadOnly(f->name()));
        m_active->values[i] = v;
        return;
    }
    checkActive();
    if (!isEditing()) throw DataError(msg::notEditing());
    if (f->isReadOnly() || f->kind() != FieldKind::Data)
        throw DataError(msg::fieldReadOnly(f->name()));
    m_edit.values[i] = v;
    m_edit.changed[i] = true;
    m_modified = true;
    ++s_changeStamp;
    std::vector<QVariant> before;
    if (!m_keepLookups) {
        before = m_edit.values;
        calculate(m_edit);
    }
    notify(DataSource::Event::RecordChanged, f);
    if (!m_keepLookups)
        for (const auto& other : m_fields)
            if (other->kind() != FieldKind::Data &&
                before[size_t(other->index())] != m_edit.values[size_t(other->index())])
                notify(DataSource::Event::RecordChanged, other.get());
}

void Dataset::calculate(Record& rec) const {
    rec.values.resize(m_fields.size());
    for (const auto& f : m_fields)
        if (f->kind() != FieldKind::Data) rec.values[size_t(f->index())] = QVariant();
    if (rec.row == NoRow && !rec.buffered) return;
    if (++m_lookupDepth > 16) {
        --m_lookupDepth;
        throw DataError(QStringLiteral("Lookup fields of '%1' refer to each other in a cycle")
                            .arg(objectName()));
    }
    struct DepthGuard {
        int& depth;
        ~DepthGuard() { --depth; }
    } guard{m_lookupDepth};

    ActiveScope scope(this, &rec, true);
    for (const auto& f : m_fields) {
        if (f->kind() != FieldKind::Lookup) continue;
        Dataset* lookupDs = f->lookupDataset();
        if (!lookupDs || !lookupDs->isActive()) continue;
        const Field& keyField = fieldByName(f->keyFieldName());
        const QVariant key = recordValue(rec, &keyField);
        if (key.isNull()) continue;
        const Field& lookupKey = lookupDs->fieldByName(f->lookupKeyFieldName());
        const Field& result = lookupDs->fieldByName(f->lookupResultFieldName());
        const Row found = lookupDs->findByKey(&lookupKey, key);
        if (found == NoRow) continue;
        QVariant v = lookupDs->rowValue(found, &result);
        if (v.isValid() && !v.isNull()) {
            try {
                v = f->convert(v);  // cuts text to the field's size
            } catch (const DataError&) {
                v = QVariant();
            }
        }
        rec.values[size_t(f->index())] = v;
    }
    if (onCalcFields) onCalcFields(const_cast<Dataset&>(*this));
    for (const auto& f : m_fields)
        if (f->kind() == FieldKind::Calculated && f->type() == FieldType::Text && f->size() > 0) {
            QVariant& v = rec.values[size_t(f->index())];
            if (v.isValid() && v.toString().size() > f->size()) v = v.toString().left(f->size());
        }
}

QVariant Dataset::rowValue(Row row, const Field* f) const {
    if (f->kind() == FieldKind::Data) return storageValue(row, f);
    Record tmp;
    tmp.row = row;
    calculate(tmp);
    return tmp.values[size_t(f->index())];
}

Row Dataset::findByKey(const Field* keyField, const QVariant& value) {
    if (!isActive() || keyField->kind() != FieldKind::Data || value.isNull()) return NoRow;
    const int column = keyField->column();
    const Column& col = *m_columns[size_t(column)];
    KeyIndex* index = nullptr;
    for (auto& ix : m_indexes)
        if (ix->column == column) index = ix.get();
    if (!index) {
        m_indexes.push_back(std::make_unique<KeyIndex>());
        index = m_indexes.back().get();
        index->column = column;
    }
    if (index->stamp != m_stamp) {
        // Every row counts, whatever the view; the first in order wins.
        index->numbers.clear();
        index->byTextId.clear();
        if (col.type() == FieldType::Text) {
            const auto& text = static_cast<const TextColumn&>(col);
            index->byTextId.assign(text.distinctCount(), NoRow);
            for (Row r : m_order) {
                Row& slot = index->byTextId[text.id(r)];
                if (slot == NoRow) slot = r;
            }
        } else if (col.type() != FieldType::Float) {
            const std::vector<int64_t> keys = col.sortKeys();
            for (Row r : m_order)
                if (!col.isNull(r)) index->numbers.try_emplace(keys[r], r);
        }
        index->stamp = m_stamp;
    }
    switch (col.type()) {
        case FieldType::Text: {
            const auto& text = static_cast<const TextColumn&>(col);
            const QString s = value.typeId() == QMetaType::QDate
                                  ? value.toDate().toString(QStringLiteral("dd.MM.yyyy"))
                                  : value.toString();
            const uint32_t id = s.isEmpty() ? 0 : text.find(s);
            return id == 0 || id >= index->byTextId.size() ? NoRow : index->byTextId[id];
        }
        case FieldType::Float:
            for (Row r : m_order)
                if (!col.isNull(r) && col.compareValue(r, value) == 0) return r;
            return NoRow;
        case FieldType::DateTime: {
            const int64_t k = DateColumn::encode(value);
            auto it = index->numbers.find(k);
            return it == index->numbers.end() ? NoRow : it->second;
        }
        default: {
            bool ok = false;
            const qlonglong n = value.typeId() == QMetaType::QString
                                    ? value.toString().trimmed().toLongLong(&ok)
                                    : value.toLongLong(&ok);
            if (!ok) return NoRow;
            auto it = index->numbers.find(n);
            return it == index->numbers.end() ? NoRow : it->second;
        }
    }
}

QVariant Dataset::lookup(const QString& keyField, const QVariant& keyValue,
                         const QString& resultField) {
    checkActive();
    const Field& key = fieldByName(keyField);
    const Field& result = fieldByName(resultField);
    if (key.kind() != FieldKind::Data)
        throw DataError(QStringLiteral("Cannot search on the calculated field '%1'").arg(key.name()));
    const Row r = findByKey(&key, keyValue);
    return r == NoRow ? QVariant() : rowValue(r, &result);
}

void Dataset::readCurrent() {
    m_current = Record();
    m_active = isEditing() ? &m_edit : &m_current;
    if (m_cur < 0 || (m_state == DatasetState::Insert && m_cur == m_insertPos)) return;
    m_current.row = rowAt(m_cur);
    calculate(m_current);
}

void Dataset::recalculate() {
    if (m_state != DatasetState::Browse) return;
    ++s_changeStamp;
    readCurrent();
    notify(DataSource::Event::RecordChanged);
}

QVariant Dataset::viewValue(int index, const Field* f) const {
    if (!isActive() || index < 0 || index >= recordCount()) return {};
    if (isEditing() && index == m_cur) return recordValue(m_edit, f);
    const Row r = rowAt(index);
    if (f->kind() == FieldKind::Data) return storageValue(r, f);
    if (m_scratchRow != r || m_scratchStamp != s_changeStamp) {
        m_scratch = Record();
        m_scratch.row = r;
        m_scratchRow = NoRow;
        calculate(m_scratch);
        m_scratchRow = r;
        m_scratchStamp = s_changeStamp;
    }
    return m_scratch.values[size_t(f->index())];
}

QString Dataset::viewDisplayText(int index, const Field* f) const {
    return f->formatDisplay(viewValue(index, f));
}

bool Dataset::isPendingRow(int index) const {
    return m_state == DatasetState::Insert && index == m_insertPos;
}

// ---- notifications

void Dataset::attachSource(DataSource* source) { m_sources.push_back(source); }

void Dataset::detachSource(DataSource* source) {
    m_sources.erase(std::remove(m_sources.begin(), m_sources.end(), source), m_sources.end());
}

void Dataset::notify(DataSource::Event event, Field* field) {
    for (DataSource* s : std::vector<DataSource*>(m_sources))
        if (std::find(m_sources.begin(), m_sources.end(), s) != m_sources.end())
            s->notify(event, field);
}

void Dataset::doScroll() {
    if (afterScroll && m_cur >= 0) afterScroll(*this);
}

void Dataset::setState(DatasetState s) {
    if (s == m_state) return;
    m_state = s;
    notify(DataSource::Event::StateChanged);
}

// ---- moves

void Dataset::moveTo(int index, bool always) {
    const int count = recordCount();
    if (count == 0) {
        m_cur = -1;
        readCurrent();
        return;
    }
    index = std::clamp(index, 0, count - 1);
    if (index == m_cur && !always) return;
    m_cur = index;
    readCurrent();
    notify(DataSource::Event::RecordMoved);
    doScroll();
}

void Dataset::first() {
    checkActive();
    checkBrowseMode();
    moveTo(0, true);
}

void Dataset::last() {
    checkActive();
    checkBrowseMode();
    moveTo(recordCount() - 1, true);
}

void Dataset::next() {
    checkActive();
    checkBrowseMode();
    if (m_cur + 1 < recordCount()) moveTo(m_cur + 1, false);
}

void Dataset::prior() {
    checkActive();
    checkBrowseMode();
    if (m_cur > 0) moveTo(m_cur - 1, false);
}

void Dataset::moveBy(int distance) {
    checkActive();
    checkBrowseMode();
    if (distance != 0 && recordCount() > 0) moveTo(m_cur + distance, false);
}

void Dataset::setRecNo(int index) {
    checkActive();
    // The row is named before settling: storing or dropping a pending row renumbers the rows
    // after it, and a stored row may move to its place in the order.
    const Row target =
        index >= 0 && index < recordCount() && !isPendingRow(index) ? rowAt(index) : NoRow;
    checkBrowseMode();
    if (target != NoRow) {
        const int now = viewIndexOf(target);
        if (now >= 0) index = now;
    }
    if (index >= 0 && index < recordCount()) moveTo(index, false);
}

Bookmark Dataset::bookmark() const {
    if (!isActive() || m_cur < 0 || m_current.row == NoRow) return {};
    return {m_current.row, m_generation};
}

bool Dataset::bookmarkValid(const Bookmark& b) const {
    return isActive() && b.isValid() && b.generation == m_generation && viewIndexOf(b.row) >= 0;
}

void Dataset::gotoBookmark(const Bookmark& b) {
    checkActive();
    checkBrowseMode();
    if (!b.isValid() || b.generation != m_generation) throw DataError(msg::recordNotFound());
    const int idx = viewIndexOf(b.row);
    if (idx < 0) throw DataError(msg::recordNotFound());
    moveTo(idx, true);
}

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
            const auto* col = static_cast<const TextColumn*>(m_columns[size_t(f->column())].get());
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
            const Column* col = m_columns[size_t(f->column())].get();
            tests.push_back([col, want](Row r) {
                return want.isNull() ? col->isNull(r) : !col->isNull(r) && col->compareValue(r, want) == 0;
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

// ---- editing

template <typename Op>
void Dataset::guarded(const std::function<void(Dataset&, const DataError&)>& hook, Op op) {
    try {
        op();
    } catch (const DataError& e) {
        if (hook) hook(*this, e);
        throw;
    }
}

void Dataset::updateRecord() {
    if (isEditing()) notify(DataSource::Event::UpdateData);
}

void Dataset::checkBrowseMode() {
    checkActive();
    if (m_settling) return;
    m_settling = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_settling};
    notify(DataSource::Event::CheckBrowseMode);
    if (!isEditing()) return;
    updateRecord();
    if (m_modified)
        post();
    else
        cancel();
}

void Dataset::edit() {
    if (isEditing()) return;
    if (isActive() && isEmpty()) return insert();
    guarded(onEditError, [this] {
        checkActive();
        if (isReadOnly()) throw DataError(msg::readOnlyDataset());
    });
    m_edit = m_current;
    m_edit.buffered = true;
    m_edit.values.resize(m_fields.size());
    for (const auto& f : m_fields)
        if (f->kind() == FieldKind::Data)
            m_edit.values[size_t(f->index())] = storageValue(m_current.row, f.get());
    m_edit.changed.assign(m_fields.size(), false);
    m_modified = false;
    m_active = &m_edit;
    setState(DatasetState::Edit);
}

void Dataset::insert() { startInsert(false); }
void Dataset::append() { startInsert(true); }

void Dataset::startInsert(bool atEnd) {
    checkActive();
    checkBrowseMode();
    if (isReadOnly()) throw DataError(msg::readOnlyDataset());
    m_curBeforeInsert = m_cur;
    const int count = int(viewCount());
    m_insertPos = atEnd || m_cur < 0 ? count : m_cur;
    m_insertBefore = m_insertPos < count ? std::optional<Row>(viewRow(size_t(m_insertPos)))
                                         : std::nullopt;
    m_edit = Record();
    m_edit.buffered = true;
    m_edit.values.assign(m_fields.size(), QVariant());
    m_edit.changed.assign(m_fields.size(), false);
    // A new detail row starts with its master's link values.
    if (m_restricted && !m_restriction.empty())
        for (size_t i = 0; i < m_linkColumns.size(); ++i) {
            m_edit.values[size_t(m_linkColumns[i])] = m_restriction[i];
            m_edit.changed[size_t(m_linkColumns[i])] = true;
        }
    m_modified = false;
    m_cur = m_insertPos;
    m_active = &m_edit;
    m_state = DatasetState::Insert;
    ++s_changeStamp;
    calculate(m_edit);
    notify(DataSource::Event::StateChanged);
    notify(DataSource::Event::DataSetChanged);
    doScroll();
}

void Dataset::checkRequired() const {
    for (const auto& f : m_fields)
        if (f->isRequired() && f->kind() == FieldKind::Data && f->type() != FieldType::Counter &&
            m_edit.values[size_t(f->index())].isNull())
            throw DataError(msg::mustHaveValue(f->displayLabel()));
}

void Dataset::post() {
    checkActive();
    if (!isEditing()) throw DataError(msg::notEditing());
    updateRecord();
    guarded(onPostError, [this] {
        checkRequired();
        writeRow();
    });
}

void Dataset::writeRow() {
    const QString table = quoteIdentifier(m_baseTable);
    Row r = NoRow;
    if (m_state == DatasetState::Insert) {
        QStringList cols, marks;
        std::vector<const Field*> written;
        for (const auto& f : m_fields)
            if (f->kind() == FieldKind::Data && f->type() != FieldType::Counter &&
                !m_edit.values[size_t(f->index())].isNull()) {
                cols << quoteIdentifier(m_columnNames[f->column()]);
                marks << QStringLiteral("?");
                written.push_back(f.get());
            }
        const QString sql =
            cols.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(table, cols.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
        auto st = m_connection->prepare(sql);
        for (size_t i = 0; i < written.size(); ++i)
            st->bindValue(int(i) + 1, m_edit.values[size_t(written[i]->index())]);
        st->step();
        const int64_t key = m_connection->lastInsertId();
        // Read the row back: the counter and anything the database filled in.
        QStringList all;
        for (const QString& c : m_columnNames) all << quoteIdentifier(c);
        auto back = m_connection->prepare(
            QStringLiteral("SELECT rowid%1 FROM %2 WHERE rowid = ?")
                .arg(all.isEmpty() ? QString() : QLatin1String(", ") + all.join(QLatin1String(", ")),
                     table));
        back->bind(1, key);
        r = Row(m_keys->size());
        if (back->step()) {
            for (size_t k = 0; k < m_columns.size(); ++k) ownColumn(k).appendFrom(*back, int(k) + 1);
        } else {
            for (const auto& f : m_fields)
                if (f->kind() == FieldKind::Data)
                    ownColumn(size_t(f->column())).append(m_edit.values[size_t(f->index())]);
        }
        ownKeys().push_back(key);
        m_live.push_back(1);
        placeInOrder(r, m_insertBefore);
    } else {
        r = m_current.row;
        QStringList sets;
        std::vector<const Field*> written;
        for (const auto& f : m_fields)
            if (f->kind() == FieldKind::Data && m_edit.changed[size_t(f->index())] &&
                f->type() != FieldType::Counter) {
                sets << quoteIdentifier(m_columnNames[f->column()]) + QStringLiteral(" = ?");
                written.push_back(f.get());
            }
        if (!written.empty()) {
            auto st = m_connection->prepare(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                                .arg(table, sets.join(QLatin1String(", "))));
            int i = 1;
            for (const Field* f : written) st->bindValue(i++, m_edit.values[size_t(f->index())]);
            st->bind(i, (*m_keys)[r]);
            st->step();
            if (m_connection->changes() != 1)
                throw DataError(QStringLiteral(
                    "Row cannot be located for updating. Some values may have been changed "
                    "since it was last read"));
            const bool resort = !m_sortColumns.empty();
            if (resort) removeFromOrder(r);
            for (const Field* f : written)
                ownColumn(size_t(f->column())).set(r, m_edit.values[size_t(f->index())]);
            if (resort) placeInOrder(r, std::nullopt);
        }
    }
    ++m_stamp;
    ++s_changeStamp;
    const int oldPos = m_cur;
    m_state = DatasetState::Browse;
    m_modified = false;
    m_edit = Record();
    m_active = &m_current;
    rebuildView();
    const int idx = viewIndexOf(r);
    m_cur = idx >= 0 ? idx : std::min(oldPos, int(viewCount()) - 1);
    readCurrent();
    notify(DataSource::Event::StateChanged);
    notify(DataSource::Event::DataSetChanged);
}

void Dataset::cancel() {
    if (!isEditing()) return;
    const bool wasInsert = m_state == DatasetState::Insert;
    m_state = DatasetState::Browse;
    m_modified = false;
    m_edit = Record();
    m_active = &m_current;
    ++s_changeStamp;
    if (wasInsert) {
        m_cur = std::min(m_curBeforeInsert, int(viewCount()) - 1);
        readCurrent();
        notify(DataSource::Event::StateChanged);
        notify(DataSource::Event::DataSetChanged);
        doScroll();
    } else {
        readCurrent();
        notify(DataSource::Event::StateChanged);
        notify(DataSource::Event::RecordChanged);
    }
}

void Dataset::remove() {
    checkActive();
    if (m_state == DatasetState::Insert) return cancel();
    if (isEmpty()) throw DataError(msg::emptyDataset());
    if (isReadOnly()) throw DataError(msg::readOnlyDataset());
    notify(DataSource::Event::CheckBrowseMode);
    const Row r = m_current.row;
    auto st = m_connection->prepare(
        QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoteIdentifier(m_baseTable)));
    st->bind(1, (*m_keys)[r]);
    st->step();
    // A row someone else deleted already is gone all the same.
    m_state = DatasetState::Browse;
    m_modified = false;
    m_edit = Record();
    m_active = &m_current;
    m_live[r] = 0;
    removeFromOrder(r);
    ++m_stamp;
    ++s_changeStamp;
    const int oldPos = m_cur;
    rebuildView();
    m_cur = std::min(oldPos, int(viewCount()) - 1);
    readCurrent();
    notify(DataSource::Event::StateChanged);
    notify(DataSource::Event::DataSetChanged);
    doScroll();
}
