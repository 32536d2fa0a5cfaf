// Snapshots of whole tables shared between the datasets of one connection.
//
// Two datasets that read the same table whole (a table cursor and its
// "Select * From" query, say) hold the same rows; the second to open adopts the
// first one's columns instead of reading the table again, as long as nothing
// has been written to the database since (by this connection or another).
// A dataset copies a shared column before it changes it, so a snapshot never
// changes under the other dataset. Only weak references are kept here: the
// storage goes when the last dataset holding it closes.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "Column.h"

struct DataVersion {
    int64_t others = -1;  // commits by other connections
    int64_t own = -1;     // rows changed by this connection
    bool operator==(const DataVersion&) const = default;
};

class SharedTables {
public:
    struct Snapshot {
        std::shared_ptr<std::vector<int64_t>> keys;
        std::vector<std::shared_ptr<Column>> columns;
    };
    // The columns (by name, any letter case, and type) of a table read at `version`;
    // nothing when any of them is not shared any more.
    bool find(const QString& table, const DataVersion& version, const QStringList& names,
              const std::vector<FieldType>& types, Snapshot& out) const;
    void publish(const QString& table, const DataVersion& version, const QStringList& names,
                 const Snapshot& snapshot);

private:
    struct Entry {
        QString table;
        DataVersion version;
        std::weak_ptr<std::vector<int64_t>> keys;
        std::vector<std::pair<QString, std::weak_ptr<Column>>> columns;
    };
    std::vector<Entry> m_entries;
};
