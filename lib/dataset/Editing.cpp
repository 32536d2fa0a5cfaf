// Editing: the edit and insert states, storing a pending row, cancelling it,
// deleting a row.
//
// Invariants and costs:
// - While editing or inserting, fields read and write the pending record; its
//   data values are a copy of the row's (edit) or start empty (insert; a
//   detail's link fields take the master's values). The stored row does not
//   change until the post succeeds.
// - A post writes one INSERT (then reads the row back, for its counter and
//   defaults) or one UPDATE of the changed fields, by the hidden key. An UPDATE
//   or DELETE goes only to a row still as this dataset read it, every column, so
//   two desks editing one row never overwrite each other unseen: on a server the
//   statement itself requires the old values (one round trip); on SQLite the row
//   is read back in the same write transaction and compared as the snapshot
//   reads it, since SQLite compares stored values as they lie. The
//   snapshot then changes the same way, the row is put to its place in the
//   order (O(log n) search plus a memmove) and the view is rebuilt. A failure
//   leaves the row pending and nothing changed.
// - A delete is one DELETE by the hidden key; the storage row is marked dead
//   and leaves the order. After-scroll runs after a delete and after a
//   cancelled insert whatever remains, so a window showing the row hears that
//   it is gone even when the view is now empty.
// - Deleting the rows that match is one DELETE that names the keys it took;
//   those storage rows are marked dead (one pass over the keys) and leave the
//   order (one pass), then the view is rebuilt: O(n), nothing read again.
//   Other datasets holding the same shared columns keep their rows, as after
//   any change of this one.
#include <QScopedValueRollback>
#include <algorithm>

#include "Connection.h"
#include "Dataset.h"
#include "MasterLink.h"
#include "SqlWriter.h"

namespace {
bool sameValue(const Column& a, Row ra, const Column& b, Row rb) {
    if (a.isNull(ra) || b.isNull(rb)) return a.isNull(ra) == b.isNull(rb);
    if (const auto* text = dynamic_cast<const TextColumn*>(&a))
        return text->text(ra) == static_cast<const TextColumn&>(b).text(rb);
    if (const auto* date = dynamic_cast<const DateColumn*>(&a))
        return date->at(ra) == static_cast<const DateColumn&>(b).at(rb);
    if (const auto* number = dynamic_cast<const FloatColumn*>(&a))
        return number->at(ra) == static_cast<const FloatColumn&>(b).at(rb);
    return static_cast<const IntColumn&>(a).at(ra) == static_cast<const IntColumn&>(b).at(rb);
}

// A value of the snapshot as a parameter that gives the server the same value back:
// dates with their time of day.
QVariant bindable(const Column& c, Row r) {
    if (c.isNull(r)) return {};
    if (const auto* date = dynamic_cast<const DateColumn*>(&c))
        return DateColumn::toIso(date->at(r));
    return c.value(r);
}
}  // namespace

std::vector<QVariant> Dataset::readValues(Row r) const {
    std::vector<QVariant> out;
    for (size_t k = 0; k < m_snapshot.columnCount(); ++k)
        out.push_back(bindable(m_snapshot.column(k), r));
    return out;
}

Dataset::StoredRow Dataset::storedRow(SqlWriter& writer, Row r) {
    auto now = writer.readRow(m_columnNames, m_snapshot.key(r), true);
    if (!now) return StoredRow::Gone;
    // Read as the snapshot reads, so both sides are the same typed values.
    for (size_t k = 0; k < m_snapshot.columnCount(); ++k) {
        const Column& mine = m_snapshot.column(k);
        const auto stored = Column::create(mine.type());
        stored->appendFrom(*now, int(k) + 1);
        if (!sameValue(mine, r, *stored, 0)) return StoredRow::Changed;
    }
    return StoredRow::AsRead;
}

template <typename Op>
void Dataset::guarded(const std::function<void(Dataset&, const DataError&)>& hook, Op op) {
    try {
        op();
    } catch (const DataError& e) {
        if (hook) hook(*this, e);
        throw;
    }
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

void Dataset::insert() {
    startInsert(false);
}
void Dataset::append() {
    startInsert(true);
}

void Dataset::startInsert(bool atEnd) {
    checkActive();
    checkBrowseMode();
    if (isReadOnly()) throw DataError(msg::readOnlyDataset());
    m_curBeforeInsert = m_cur;
    const int count = int(viewCount());
    m_insertPos = atEnd || m_cur < 0 ? count : m_cur;
    m_insertBefore =
        m_insertPos < count ? std::optional<Row>(viewRow(size_t(m_insertPos))) : std::nullopt;
    m_edit = Record();
    m_edit.buffered = true;
    m_edit.values.assign(m_fields.size(), QVariant());
    m_edit.changed.assign(m_fields.size(), false);
    // A new detail row starts with its master's link values.
    if (m_masterLink && m_masterLink->restricts() && !m_masterLink->values().empty())
        for (size_t i = 0; i < m_masterLink->linkCount(); ++i) {
            const size_t field = size_t(m_masterLink->linkField(i));
            m_edit.values[field] = m_masterLink->values()[i];
            m_edit.changed[field] = true;
        }
    m_modified = false;
    m_cur = m_insertPos;
    m_active = &m_edit;
    m_state = DatasetState::Insert;
    if (onNewRecord) {
        QScopedValueRollback starting(m_startingRow, true);
        onNewRecord(*this);
    }
    m_modified = false;
    touch();
    calculate(m_edit);
    notify(DataSource::Event::StateChanged);
    notifyRows(DataSource::Event::RowsInserted, m_insertPos, 1);
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
    SqlWriter writer(*m_connection, m_baseTable);
    Row r = NoRow;
    if (m_state == DatasetState::Insert) {
        QStringList columns;
        std::vector<QVariant> values;
        for (const auto& f : m_fields)
            if (f->kind() == FieldKind::Data && f->type() != FieldType::Counter &&
                !m_edit.values[size_t(f->index())].isNull()) {
                columns << m_columnNames[f->column()];
                values.push_back(m_edit.values[size_t(f->index())]);
            }
        const int64_t key = writer.insertRow(columns, values);
        // Read the row back: the counter and anything the database filled in.
        if (auto back = writer.readRow(m_columnNames, key)) {
            for (size_t k = 0; k < m_snapshot.columnCount(); ++k)
                ownColumn(k).appendFrom(*back, int(k) + 1);
        } else {
            for (const auto& f : m_fields)
                if (f->kind() == FieldKind::Data)
                    ownColumn(size_t(f->column())).append(m_edit.values[size_t(f->index())]);
        }
        r = m_snapshot.appendRow(key);
        m_order.place(r, m_insertBefore);
    } else {
        r = m_current.row;
        QStringList columns;
        std::vector<QVariant> values;
        std::vector<const Field*> written;
        for (const auto& f : m_fields)
            if (f->kind() == FieldKind::Data && m_edit.changed[size_t(f->index())] &&
                f->type() != FieldType::Counter) {
                columns << m_columnNames[f->column()];
                values.push_back(m_edit.values[size_t(f->index())]);
                written.push_back(f.get());
            }
        if (!written.empty()) {
            if (m_connection->dialect() == Connection::Dialect::Postgres) {
                // The server compares in the columns' own types: one statement.
                if (!writer.updateRowIf(columns, values, m_snapshot.key(r), m_columnNames,
                                        readValues(r)))
                    throw DataError(msg::rowChangedElsewhere());
            } else {
                // SQLite compares stored values as they lie (a date is text, a number may
                // be too): the row is read back and compared as the snapshot reads it.
                inTransaction(
                    *m_connection,
                    [&] {
                        if (storedRow(writer, r) != StoredRow::AsRead)
                            throw DataError(msg::rowChangedElsewhere());
                        writer.updateRow(columns, values, m_snapshot.key(r));
                    },
                    true);
            }
            const bool resort = m_order.isSorted();
            if (resort) m_order.remove(r);
            for (const Field* f : written)
                ownColumn(size_t(f->column())).set(r, m_edit.values[size_t(f->index())]);
            if (resort) m_order.place(r, std::nullopt);
        }
    }
    ++m_rowsStamp;
    touch();
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
    notifyRows(DataSource::Event::RowStored, oldPos, idx);
}

void Dataset::cancel() {
    if (!isEditing()) return;
    const bool wasInsert = m_state == DatasetState::Insert;
    m_state = DatasetState::Browse;
    m_modified = false;
    m_edit = Record();
    m_active = &m_current;
    touch();
    if (wasInsert) {
        m_cur = std::min(m_curBeforeInsert, int(viewCount()) - 1);
        readCurrent();
        notify(DataSource::Event::StateChanged);
        notifyRows(DataSource::Event::RowsRemoved, m_insertPos, 1);
        rowGone();
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
    SqlWriter writer(*m_connection, m_baseTable);
    if (m_connection->dialect() == Connection::Dialect::Postgres) {
        // Not deleted as read: gone already (no failure), or changed.
        if (!writer.deleteRowIf(m_snapshot.key(r), m_columnNames, readValues(r)) &&
            writer.readRow({}, m_snapshot.key(r)))
            throw DataError(msg::rowChangedElsewhere());
    } else {
        inTransaction(
            *m_connection,
            [&] {
                // A row someone else deleted already is gone all the same; one they
                // changed is not the row the user chose to delete.
                switch (storedRow(writer, r)) {
                    case StoredRow::Gone:
                        return;
                    case StoredRow::Changed:
                        throw DataError(msg::rowChangedElsewhere());
                    case StoredRow::AsRead:
                        writer.deleteRow(m_snapshot.key(r));
                        return;
                }
            },
            true);
    }
    m_state = DatasetState::Browse;
    m_modified = false;
    m_edit = Record();
    m_active = &m_current;
    m_snapshot.markDead(r);
    m_order.remove(r);
    ++m_rowsStamp;
    touch();
    const int oldPos = m_cur;
    rebuildView();
    m_cur = std::min(oldPos, int(viewCount()) - 1);
    readCurrent();
    notify(DataSource::Event::StateChanged);
    notifyRows(DataSource::Event::RowsRemoved, oldPos, 1);
    rowGone();
}

int Dataset::removeMatching(const QString& fields, const std::vector<QVariant>& values) {
    checkActive();
    checkBrowseMode();
    if (isReadOnly()) throw DataError(msg::readOnlyDataset());
    QStringList columns;
    for (const QString& name : fields.split(u';', Qt::SkipEmptyParts)) {
        const Field& f = fieldByName(name.trimmed());
        if (f.kind() != FieldKind::Data) throw DataError(msg::fieldNotFound(name.trimmed()));
        columns << m_columnNames[f.column()];
    }
    if (columns.isEmpty() || size_t(columns.size()) != values.size())
        throw DataError(QStringLiteral("Field values do not match the fields"));
    const std::vector<int64_t> keys =
        SqlWriter(*m_connection, m_baseTable).deleteRows(columns, values);
    const std::vector<Row> gone = m_snapshot.markDead(keys);
    if (gone.empty()) return int(keys.size());
    if (gone.size() == 1)
        m_order.remove(gone.front());
    else
        m_order.removeDead();
    ++m_rowsStamp;
    touch();
    const Row current = m_cur >= 0 ? m_current.row : NoRow;
    const int oldPos = m_cur;
    rebuildView();
    const int idx = current == NoRow ? -1 : viewIndexOf(current);
    m_cur = idx >= 0 ? idx : std::min(oldPos, int(viewCount()) - 1);
    readCurrent();
    notify(DataSource::Event::ViewReset);
    // A window showing the current row hears that it is gone, also when nothing remains.
    if (idx < 0 && current != NoRow) rowGone();
    return int(keys.size());
}
