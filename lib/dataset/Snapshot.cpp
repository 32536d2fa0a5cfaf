// The snapshot (see Snapshot.h), and how a dataset reads it: whole tables are
// adopted from another dataset of the connection when one holds them at the
// current data version, and published for the next one otherwise.
#include "Snapshot.h"

#include <algorithm>

#include "Connection.h"
#include "Dataset.h"
#include "Filter.h"

void Snapshot::load(Statement& st, bool hasRow, bool hasKey, const std::vector<FieldType>& types,
                    const std::vector<int>& sources, int64_t expected) {
    std::vector<std::shared_ptr<Column>> columns;
    for (FieldType t : types) columns.push_back(Column::create(t));
    auto keysHolder = std::make_shared<std::vector<int64_t>>();
    std::vector<int64_t>& keys = *keysHolder;
    // Knowing the count up front saves copying and touching the storage twice while it grows.
    if (expected > 0) {
        keys.reserve(size_t(expected));
        for (auto& c : columns) c->reserve(size_t(expected));
    }
    for (; hasRow; hasRow = st.step()) {
        keys.push_back(hasKey ? st.columnInt64(0) : int64_t(keys.size()));
        for (size_t k = 0; k < columns.size(); ++k) columns[k]->appendFrom(st, sources[k]);
    }
    m_columns = std::move(columns);
    m_keys = std::move(keysHolder);
    m_live.assign(m_keys->size(), 1);
}

bool Snapshot::adopt(const SharedTables& shared, const QString& table, const DataVersion& version,
                     const QStringList& names, const std::vector<FieldType>& types) {
    SharedTables::Snapshot found;
    if (!shared.find(table, version, names, types, found)) return false;
    m_columns = std::move(found.columns);
    m_keys = std::move(found.keys);
    m_live.assign(m_keys->size(), 1);
    return true;
}

void Snapshot::publish(SharedTables& shared, const QString& table, const DataVersion& version,
                       const QStringList& names) const {
    shared.publish(table, version, names, {m_keys, m_columns});
}

Column& Snapshot::ownColumn(size_t k, bool& copied) {
    copied = m_columns[k].use_count() > 1;
    if (copied) m_columns[k] = m_columns[k]->clone();
    return *m_columns[k];
}

Row Snapshot::appendRow(int64_t key) {
    if (m_keys.use_count() > 1) m_keys = std::make_shared<std::vector<int64_t>>(*m_keys);
    m_keys->push_back(key);
    m_live.push_back(1);
    return Row(m_keys->size() - 1);
}

std::vector<Row> Snapshot::markDead(const std::vector<int64_t>& keys) {
    std::vector<Row> marked;
    if (keys.empty() || !m_keys) return marked;
    const int64_t lo = keys.front(), hi = keys.back();
    const std::vector<int64_t>& stored = *m_keys;
    for (size_t r = 0; r < stored.size(); ++r) {
        const int64_t k = stored[r];
        // Most rows fall outside the keys' range: one comparison each.
        if (k < lo || k > hi || !m_live[r] || !std::binary_search(keys.begin(), keys.end(), k))
            continue;
        m_live[r] = 0;
        marked.push_back(Row(r));
    }
    return marked;
}

void Snapshot::release() {
    m_columns.clear();
    m_keys.reset();
    m_live.clear();
    m_live.shrink_to_fit();
}

// ---- the dataset's side

void Dataset::loadRows(Statement& st, bool hasRow) {
    // Result column of each storage column.
    std::vector<int> sources;
    const int first = m_hasKey ? 1 : 0;
    for (const QString& name : m_columnNames)
        for (int c = first; c < st.columnCount(); ++c)
            if (QString::compare(st.columnName(c), name, Qt::CaseInsensitive) == 0) {
                sources.push_back(c);
                break;
            }
    m_snapshot.load(st, hasRow, m_hasKey, dataTypes(), sources, hasRow ? expectedRows() : 0);
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
    SharedTables& shared = m_connection->sharedTables();
    const DataVersion version = m_connection->dataVersion();
    if (m_snapshot.adopt(shared, m_baseTable, version, m_columnNames, dataTypes())) return;
    loadRows(st, st.step());
    m_snapshot.publish(shared, m_baseTable, version, m_columnNames);
}

std::vector<FieldType> Dataset::dataTypes() const {
    std::vector<FieldType> types;
    for (const auto& f : m_fields)
        if (f->kind() == FieldKind::Data) types.push_back(f->type());
    return types;
}

Column& Dataset::ownColumn(size_t k) {
    bool copied = false;
    Column& c = m_snapshot.ownColumn(k, copied);
    if (!copied) return c;
    ++m_columnCopies;
    // The compiled filter read the shared column.
    if (m_filter) m_filter = compileFilter(m_filterText);
    return c;
}

void Dataset::releaseSnapshot() {
    m_snapshot.release();
    m_order.clear();
    m_view.clear();
    m_indexes.clear();
}
