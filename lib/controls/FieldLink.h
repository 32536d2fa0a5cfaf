// The data link a single-column control owns: it finds its field in the data
// source's dataset and tells the control when to show the value again, when
// to write its text, and when the dataset's state changed.
//
// A guard stops a value bouncing between control and field: while the control
// writes its text, the field's change notice does not reload the control.
#pragma once

#include <QString>
#include <functional>

#include "DataSource.h"

class Field;

class FieldLink : public DataLink {
public:
    FieldLink() = default;

    void setFieldName(const QString& name);
    QString fieldName() const { return m_fieldName; }
    // The bound field, null while the dataset is closed or has no such field.
    Field* field() const { return m_field; }
    // The dataset is open and the field found.
    bool isBound() const { return m_field != nullptr; }
    // The dataset is editing or inserting.
    bool isEditing() const;
    // Puts the dataset into edit state through the data source; true when it
    // is then editing or inserting. A failure reaches the caller.
    bool edit();
    // The control's text differs from the field's value and must be written.
    bool isModified() const { return m_modified; }
    void setModified(bool on) { m_modified = on; }
    // Writes the control's text now, if it changed.
    void writeNow();
    bool isReadOnlyField() const;

    // Show the field's value again (or nothing when unbound).
    std::function<void()> onDataChange;
    // Write your text into the field.
    std::function<void()> onUpdateData;
    std::function<void()> onStateChange;

protected:
    void activeChanged() override;
    void recordMoved() override;
    void dataSetChanged() override;
    void recordChanged(Field* field) override;
    void stateChanged() override;
    void updateData() override;
    void dataSourceChanged() override;

private:
    void resolve();
    void reload();

    QString m_fieldName;
    Field* m_field = nullptr;
    bool m_modified = false;
    bool m_writing = false;
};
