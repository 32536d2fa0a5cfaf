// Bound radio group. The buttons are kept non-exclusive while the value is
// shown, so that no item at all can be marked.
#include "DBRadioGroup.h"

#include <QButtonGroup>
#include <algorithm>
#include <QRadioButton>
#include <QGridLayout>

#include "Dataset.h"
#include "Field.h"

DBRadioGroup::DBRadioGroup(QWidget* parent)
    : QGroupBox(parent), m_group(new QButtonGroup(this)), m_layout(new QGridLayout(this)) {
    m_layout->setContentsMargins(8, 4, 8, 4);
    m_layout->setHorizontalSpacing(8);
    m_layout->setVerticalSpacing(2);
    m_group->setExclusive(false);
    connect(m_group, &QButtonGroup::idClicked, this, &DBRadioGroup::clicked);
    m_link.onDataChange = [this] { showValue(); };
}

void DBRadioGroup::setItems(const QStringList& captions) {
    m_items = captions;
    rebuild();
}

void DBRadioGroup::setValues(const QStringList& values) {
    m_values = values;
    showValue();
}

void DBRadioGroup::setColumns(int columns) {
    m_columns = std::max(1, columns);
    rebuild();
}

void DBRadioGroup::setDataSource(DataSource* source) { m_link.setDataSource(source); }
void DBRadioGroup::setDataField(const QString& name) { m_link.setFieldName(name); }

QRadioButton* DBRadioGroup::button(int index) const {
    return qobject_cast<QRadioButton*>(m_group->button(index));
}

int DBRadioGroup::itemIndex() const { return m_group->checkedId(); }

QString DBRadioGroup::valueOf(int index) const {
    if (index < m_values.size() && !m_values.at(index).isEmpty()) return m_values.at(index);
    return m_items.value(index);
}

void DBRadioGroup::rebuild() {
    for (QAbstractButton* b : m_group->buttons()) {
        m_group->removeButton(b);
        delete b;
    }
    for (int i = 0; i < m_items.size(); ++i) {
        auto* b = new QRadioButton(m_items.at(i), this);
        m_group->addButton(b, i);
        m_layout->addWidget(b, i / m_columns, i % m_columns);
    }
    showValue();
}

void DBRadioGroup::showValue() {
    const Field* f = m_link.field();
    const QString text = f ? f->asString() : QString();
    for (int i = 0; i < m_items.size(); ++i)
        if (QAbstractButton* b = m_group->button(i)) b->setChecked(f && valueOf(i) == text);
}

void DBRadioGroup::clicked(int index) {
    Field* f = m_link.field();
    const Dataset* ds = m_link.dataset();
    if (!f || f->isReadOnly() || !ds || ds->isReadOnly() || !m_link.edit()) {
        showValue();
        return;
    }
    f->setValue(valueOf(index));
    showValue();
}
