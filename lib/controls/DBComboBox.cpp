// Bound choice box. The box never keeps an item index of its own: what it
// shows is the line edit's text, which the binding keeps in step with the field.
#include "DBComboBox.h"

#include <QLineEdit>

#include "EditBinding.h"

DBComboBox::DBComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Completing a typed text from the items would store an item the user did not type.
    setCompleter(nullptr);
    m_binding = new EditBinding(lineEdit());
    // The box takes the focus and the keys for its line edit.
    m_binding->setFocusProxy(this);
    connect(this, &QComboBox::activated, this, &DBComboBox::choose);
}

void DBComboBox::setDataSource(DataSource* source) { m_binding->setDataSource(source); }
DataSource* DBComboBox::dataSource() const { return m_binding->dataSource(); }
void DBComboBox::setDataField(const QString& name) { m_binding->setDataField(name); }
QString DBComboBox::dataField() const { return m_binding->dataField(); }
void DBComboBox::setLimit(int length) { m_binding->setMaxLength(length); }

void DBComboBox::choose(int index) {
    const QString text = itemText(index);
    if (!m_binding->beginChange()) {
        m_binding->reset();
        return;
    }
    lineEdit()->setText(text);
    m_binding->markChanged();
}
