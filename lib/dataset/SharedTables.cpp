// Shared table snapshots: a handful of entries, searched linearly, each a few
// weak references; finding costs one comparison per table and column.
#include "SharedTables.h"

#include <QStringList>

bool SharedTables::find(const QString& table, const DataVersion& version, const QStringList& names,
                        const std::vector<FieldType>& types, Snapshot& out) const {
    for (const Entry& e : m_entries) {
        if (e.table.compare(table, Qt::CaseInsensitive) != 0) continue;
        if (!(e.version == version)) return false;
        Snapshot s;
        s.keys = e.keys.lock();
        if (!s.keys) return false;
        for (qsizetype i = 0; i < names.size(); ++i) {
            std::shared_ptr<Column> found;
            for (const auto& [name, column] : e.columns)
                if (name.compare(names[i], Qt::CaseInsensitive) == 0)
                    if (auto c = column.lock(); c && c->type() == types[size_t(i)]) found = c;
            if (!found) return false;
            s.columns.push_back(std::move(found));
        }
        out = std::move(s);
        return true;
    }
    return false;
}

void SharedTables::publish(const QString& table, const DataVersion& version,
                           const QStringList& names, const Snapshot& snapshot) {
    Entry* entry = nullptr;
    for (Entry& e : m_entries)
        if (e.table.compare(table, Qt::CaseInsensitive) == 0) entry = &e;
    if (!entry) {
        m_entries.push_back({table, version, {}, {}});
        entry = &m_entries.back();
    }
    if (!(entry->version == version) || entry->keys.lock() != snapshot.keys) {
        entry->version = version;
        entry->columns.clear();
    }
    entry->keys = snapshot.keys;
    for (qsizetype i = 0; i < names.size(); ++i) {
        bool replaced = false;
        for (auto& [name, column] : entry->columns)
            if (name.compare(names[i], Qt::CaseInsensitive) == 0 &&
                (column.expired() || column.lock()->type() == snapshot.columns[size_t(i)]->type())) {
                column = snapshot.columns[size_t(i)];
                replaced = true;
            }
        if (!replaced) entry->columns.emplace_back(names[i], snapshot.columns[size_t(i)]);
    }
}
