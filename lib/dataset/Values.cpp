// Records and values: what fields read and write, and the lookups and
// calculation that give a row its computed values.
//
// Invariants and costs:
// - A record is one row as fields see it: a stored row read in place, or
//   (editing, inserting) a buffer of its data values. Lookup and calculated
//   values always live in the record. Reading a stored data value is one
//   column read.
// - A row's computed values are made when it becomes current, when a field of
//   the pending row changes (unless lookups are kept while editing) and when a
//   grid reads it: one key-index search per lookup field, then the
//   calculation hook. Lookups that refer to each other stop at a depth of 16.
// - A grid's reads keep the computed row read last. It stays valid while the
//   change stamps it was made under stand: this dataset's and those of the
//   datasets its lookups read, through their own lookups, each once (a cycle
//   ends where it returns). A stamp moves on with every change of rows, of a
//   pending row, at open and close; checking costs one read per dataset.
#include <algorithm>

#include "Dataset.h"

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

QVariant Dataset::storageValue(Row row, const Field* f) const {
    if (row == NoRow || f->column() < 0) return {};
    return m_snapshot.column(size_t(f->column())).value(row);
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
    touch();
    // A row being started is told to the controls whole, once it is set up.
    if (m_startingRow) return;
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

void Dataset::readCurrent() {
    m_current = Record();
    m_active = isEditing() ? &m_edit : &m_current;
    if (m_cur < 0 || (m_state == DatasetState::Insert && m_cur == m_insertPos)) return;
    m_current.row = rowAt(m_cur);
    calculate(m_current);
}

void Dataset::recalculate() {
    if (m_state != DatasetState::Browse) return;
    touch();
    readCurrent();
    notify(DataSource::Event::RecordChanged);
}

void Dataset::lookupsDeclared() {
    m_lookupTargets.clear();
    for (const auto& f : m_fields) {
        Dataset* target = f->kind() == FieldKind::Lookup ? f->lookupDataset() : nullptr;
        if (target && std::find(m_lookupTargets.begin(), m_lookupTargets.end(), target) ==
                          m_lookupTargets.end())
            m_lookupTargets.push_back(target);
    }
}

void Dataset::collectStamps(Stamps& out) const {
    out.clear();
    out.append({this, m_changeStamp});
    // Breadth first, each dataset once: lookups may lead back to one already taken.
    for (qsizetype i = 0; i < out.size(); ++i)
        for (const Dataset* d : out[i].first->m_lookupTargets) {
            bool seen = false;
            for (const auto& s : out) seen = seen || s.first == d;
            if (!seen) out.append({d, d->m_changeStamp});
        }
}

QVariant Dataset::viewValue(int index, const Field* f) const {
    if (!isActive() || index < 0 || index >= recordCount()) return {};
    if (isEditing() && index == m_cur) return recordValue(m_edit, f);
    const Row r = rowAt(index);
    if (f->kind() == FieldKind::Data) return storageValue(r, f);
    Stamps now;
    collectStamps(now);
    if (m_scratchRow != r || m_scratchStamps != now) {
        m_scratch = Record();
        m_scratch.row = r;
        m_scratchRow = NoRow;
        calculate(m_scratch);
        m_scratchRow = r;
        m_scratchStamps = now;
    }
    return m_scratch.values[size_t(f->index())];
}

QString Dataset::viewDisplayText(int index, const Field* f) const {
    return f->formatDisplay(viewValue(index, f));
}

bool Dataset::isPendingRow(int index) const {
    return m_state == DatasetState::Insert && index == m_insertPos;
}
