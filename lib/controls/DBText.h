// Bound label: shows the display text of one field; nothing without a field.
#pragma once

#include <QLabel>

#include "FieldLink.h"

class DBText : public QLabel {
    Q_OBJECT
public:
    explicit DBText(QWidget* parent = nullptr);
    void setDataSource(DataSource* source);
    void setDataField(const QString& name);

private:
    FieldLink m_link;
};
