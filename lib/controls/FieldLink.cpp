// A control's link to one field. Every notice that can change what the control
// shows reloads it, except the change the control itself is writing.
#include "FieldLink.h"

#include "Dataset.h"
#include "Field.h"

void FieldLink::setFieldName(const QString& name) {
    if (name == m_fieldName) return;
    m_fieldName = name;
    resolve();
    reload();
}

bool FieldLink::isEditing() const {
    const Dataset* ds = dataset();
    return ds && ds->isEditing();
}

bool FieldLink::edit() {
    if (!m_field || !dataSource()) return false;
    if (isEditing()) return true;
    return dataSource()->edit();
}

bool FieldLink::isReadOnlyField() const { return !m_field || m_field->isReadOnly(); }

void FieldLink::writeNow() {
    if (!m_modified || !m_field || !onUpdateData) return;
    m_writing = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_writing};
    onUpdateData();
    m_modified = false;
}

void FieldLink::resolve() {
    m_field = nullptr;
    Dataset* ds = dataset();
    if (ds && ds->isActive() && !m_fieldName.isEmpty()) m_field = ds->findField(m_fieldName);
}

void FieldLink::reload() {
    m_modified = false;
    if (onDataChange) onDataChange();
}

void FieldLink::activeChanged() {
    resolve();
    reload();
    if (onStateChange) onStateChange();
}

void FieldLink::dataSourceChanged() {
    resolve();
    reload();
}

void FieldLink::recordMoved() { reload(); }

void FieldLink::dataSetChanged() { reload(); }

void FieldLink::recordChanged(Field* field) {
    if (m_writing) return;
    if (field == nullptr || field == m_field || (m_field && m_field->isCalculated())) reload();
}

void FieldLink::stateChanged() {
    if (onStateChange) onStateChange();
}

void FieldLink::updateData() { writeNow(); }
