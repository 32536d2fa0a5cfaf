// The dataset's core: declaring fields, opening and closing, the states and
// settling, moves, bookmarks and the notices to data sources.
//
// What a view is: the rows the user browses, in order (View.h); `m_cur`
// indexes it, counting a pending inserted row at `m_insertPos`. Storage rows
// keep their index until the dataset closes; a deleted row leaves the order
// and is marked dead, a posted new row is appended to storage and placed in
// the order.
//
// Costs: open is one pass over the statement plus one sort of 64-bit keys; a
// move is O(1) plus the lookups of the new row; settling is one notice to each
// data source, plus a post when the pending row was modified. Notices go to a
// copy of the source list, skipping sources that detached meanwhile.
#include "Dataset.h"

#include <algorithm>

#include "Connection.h"
#include "Filter.h"
#include "MasterLink.h"

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
    lookupsDeclared();
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

void Dataset::open() {
    if (isActive()) return;
    ensureConnected();
    try {
        std::unique_ptr<Statement> st = openStatement();
        readSnapshot(*st, !m_declared);
        st.reset();
        m_order.setSortColumns(resolveSort());
        m_order.build();
        if (m_masterLink) m_masterLink->bindLinkFields(orderFieldNames());
        m_filter.reset();
        if (m_filtered && !m_filterText.trimmed().isEmpty()) m_filter = compileFilter(m_filterText);
    } catch (...) {
        releaseSnapshot();
        throw;
    }
    ++m_generation;
    ++m_rowsStamp;
    touch();
    m_state = DatasetState::Browse;
    m_modified = false;
    if (m_masterLink) m_masterLink->update();
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
    if (m_masterLink) m_masterLink->clearRestriction();
    releaseSnapshot();
    touch();
    notify(DataSource::Event::ActiveChanged);
}

void Dataset::refresh() {
    checkActive();
    checkBrowseMode();
    const int64_t key = m_cur >= 0 ? m_snapshot.key(m_current.row) : INT64_MIN;
    {
        std::unique_ptr<Statement> st = openStatement();
        m_indexes.clear();
        readSnapshot(*st, false);
    }
    m_order.build();
    // The filter reads the columns just replaced; bookmarks name rows of the old snapshot.
    if (m_filter) m_filter = compileFilter(m_filterText);
    ++m_generation;
    ++m_rowsStamp;
    touch();
    rebuildView();
    m_cur = viewCount() > 0 ? 0 : -1;
    for (size_t i = 0; key != INT64_MIN && i < viewCount(); ++i)
        if (m_snapshot.key(viewRow(i)) == key) {
            m_cur = int(i);
            break;
        }
    readCurrent();
    notify(DataSource::Event::ViewReset);
}

// ---- notifications and states

void Dataset::attachSource(DataSource* source) {
    m_sources.push_back(source);
}

void Dataset::detachSource(DataSource* source) {
    m_sources.erase(std::remove(m_sources.begin(), m_sources.end(), source), m_sources.end());
}

void Dataset::notify(DataSource::Event event, Field* field) {
    for (DataSource* s : std::vector<DataSource*>(m_sources))
        if (std::find(m_sources.begin(), m_sources.end(), s) != m_sources.end())
            s->notify(event, field);
}

void Dataset::notifyRows(DataSource::Event event, int first, int second) {
    for (DataSource* s : std::vector<DataSource*>(m_sources))
        if (std::find(m_sources.begin(), m_sources.end(), s) != m_sources.end())
            s->notifyRows(event, first, second);
}

void Dataset::doScroll() {
    if (afterScroll && m_cur >= 0) afterScroll(*this);
}

void Dataset::rowGone() {
    if (afterScroll) afterScroll(*this);
}

void Dataset::setState(DatasetState s) {
    if (s == m_state) return;
    m_state = s;
    notify(DataSource::Event::StateChanged);
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
