#include "DBText.h"

#include "Field.h"

DBText::DBText(QWidget* parent) : QLabel(parent) {
    m_link.onDataChange = [this] {
        const Field* f = m_link.field();
        setText(f ? f->displayText() : QString());
    };
}

void DBText::setDataSource(DataSource* source) { m_link.setDataSource(source); }
void DBText::setDataField(const QString& name) { m_link.setFieldName(name); }
