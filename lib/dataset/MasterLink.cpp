// The master link (see MasterLink.h) and the detail's side of it: any change
// of the master (a move, a changed link field, its rows as a whole, open or
// close) asks the detail to take the master's values again.
#include "MasterLink.h"

#include "Dataset.h"
#include "Names.h"
#include "Snapshot.h"

MasterLink::MasterLink(Dataset& detail, QStringList masterFields)
    : m_detail(detail), m_masterFields(std::move(masterFields)) {}

void MasterLink::bindLinkFields(const QStringList& orderFields) {
    m_linkFields.clear();
    if (orderFields.size() < m_masterFields.size())
        throw DataError(QStringLiteral("The detail has fewer order fields than master fields"));
    for (int i = 0; i < m_masterFields.size(); ++i)
        m_linkFields.push_back(m_detail.fieldByName(orderFields[i]).index());
}

bool MasterLink::compute(std::vector<QVariant>& values) const {
    values.clear();
    Dataset* m = dataset();
    if (!m || !m->isActive()) return false;
    // A master without a current row, or with an empty link value, matches nothing.
    if (m->recNo() < 0) return true;
    for (int i = 0; i < m_masterFields.size(); ++i) {
        const QVariant v = m->fieldByName(m_masterFields[i]).value();
        QVariant converted;
        try {
            converted = m_detail.field(m_linkFields[size_t(i)])->convert(v);
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

void MasterLink::setRestriction(bool restricted, std::vector<QVariant> values) {
    m_restricted = restricted;
    m_values = std::move(values);
}

void MasterLink::update() {
    std::vector<QVariant> values;
    const bool restricted = compute(values);
    setRestriction(restricted, std::move(values));
}

int MasterLink::linkColumn(size_t i) const {
    return m_detail.field(m_linkFields[i])->column();
}

bool MasterLink::matches(const Snapshot& snapshot, Row r) const {
    if (!m_restricted) return true;
    if (m_values.empty()) return false;
    for (size_t i = 0; i < m_linkFields.size(); ++i) {
        const Column& col = snapshot.column(size_t(linkColumn(i)));
        if (col.isNull(r) || col.compareValue(r, m_values[i]) != 0) return false;
    }
    return true;
}

void MasterLink::activeChanged() {
    m_detail.masterChanged();
}
void MasterLink::recordMoved() {
    m_detail.masterChanged();
}
void MasterLink::dataSetChanged() {
    m_detail.masterChanged();
}
void MasterLink::recordChanged(Field* field) {
    m_detail.masterFieldChanged(field);
}
void MasterLink::checkBrowseMode() {
    m_detail.masterCheckBrowseMode();
}

// ---- the detail's side

void Dataset::setMaster(DataSource* master, const QString& masterFields) {
    checkInactive();
    m_masterLink.reset();
    if (!master) return;
    m_masterLink = std::make_unique<MasterLink>(*this, splitNames(masterFields));
    m_masterLink->setDataSource(master);
}

DataSource* Dataset::masterSource() const {
    return m_masterLink ? m_masterLink->dataSource() : nullptr;
}

void Dataset::masterChanged() {
    if (!isActive() || !m_masterLink) return;
    std::vector<QVariant> values;
    const bool restricted = m_masterLink->compute(values);
    if (restricted == m_masterLink->restricts() && values == m_masterLink->values()) return;
    checkBrowseMode();
    m_masterLink->setRestriction(restricted, std::move(values));
    showFromFirst();
}

void Dataset::masterFieldChanged(Field* field) {
    if (!field) return masterChanged();
    if (!m_masterLink) return;
    for (const QString& name : m_masterLink->masterFields())
        if (field->hasName(name)) return masterChanged();
}

void Dataset::masterCheckBrowseMode() {
    if (isActive()) checkBrowseMode();
}
