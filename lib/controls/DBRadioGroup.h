// Bound radio group: a titled box of items, each storing its value (else its
// caption) in one field. The item whose value equals the field's text
// exactly is marked, else none; a click puts the dataset into edit and
// writes the item's value.
#pragma once

#include <QGroupBox>
#include <QStringList>

#include "FieldLink.h"

class QButtonGroup;
class QRadioButton;
class QGridLayout;

class DBRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit DBRadioGroup(QWidget* parent = nullptr);

    void setItems(const QStringList& captions);
    // Stored values by item; an item without one stores its caption.
    void setValues(const QStringList& values);
    // Items are laid out in this many columns, row by row.
    void setColumns(int columns);
    QStringList items() const { return m_items; }
    void setDataSource(DataSource* source);
    void setDataField(const QString& name);
    // The marked item, -1 for none.
    int itemIndex() const;
    QRadioButton* button(int index) const;

private:
    QString valueOf(int index) const;
    void rebuild();
    void showValue();
    void clicked(int index);

    QStringList m_items;
    QStringList m_values;
    QButtonGroup* m_group;
    QGridLayout* m_layout;
    int m_columns = 1;
    FieldLink m_link;
};
