// A detail's link to its master's data source, and the restriction it puts on
// the detail's view.
//
// Invariants and costs: the link fields are the detail's leading order fields,
// one per master field, resolved at open. The restriction is the master's
// current values of the master fields, converted to the link fields' types:
// none while the master is closed (every row shows), empty when the master has
// no current row or a link value is empty (no row shows). Each master event
// costs one conversion per link field; the detail settles and shows its view
// from the first row only when the values in force change.
#pragma once

#include <QStringList>
#include <QVariant>
#include <vector>

#include "Column.h"
#include "DataSource.h"

class Dataset;
class Snapshot;

class MasterLink final : public DataLink {
public:
    MasterLink(Dataset& detail, QStringList masterFields);

    const QStringList& masterFields() const { return m_masterFields; }
    // Takes the first order fields as the link fields; fails when there are too few.
    void bindLinkFields(const QStringList& orderFields);

    // The master's values now; false when no open master restricts the view.
    bool compute(std::vector<QVariant>& values) const;
    void setRestriction(bool restricted, std::vector<QVariant> values);
    // Puts the master's values now in force.
    void update();
    void clearRestriction() { setRestriction(false, {}); }

    bool restricts() const { return m_restricted; }
    // The values in force, one per link field; empty: nothing matches.
    const std::vector<QVariant>& values() const { return m_values; }
    size_t linkCount() const { return m_linkFields.size(); }
    // The detail's field index of a link field, and its storage column.
    int linkField(size_t i) const { return m_linkFields[i]; }
    int linkColumn(size_t i) const;
    bool matches(const Snapshot& snapshot, Row r) const;

protected:
    void activeChanged() override;
    void recordMoved() override;
    void dataSetChanged() override;
    void recordChanged(Field* field) override;
    void checkBrowseMode() override;

private:
    Dataset& m_detail;
    QStringList m_masterFields;
    std::vector<int> m_linkFields;
    bool m_restricted = false;
    std::vector<QVariant> m_values;
};
