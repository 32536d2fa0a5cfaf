// Bound choice box: an editable box with fixed items that stores the chosen
// or typed text, also a text that is not among the items, as a bound edit does.
#pragma once

#include <QComboBox>

class DataSource;
class EditBinding;

class DBComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DBComboBox(QWidget* parent = nullptr);

    void setDataSource(DataSource* source);
    DataSource* dataSource() const;
    void setDataField(const QString& name);
    QString dataField() const;
    void setLimit(int length);
    EditBinding& binding() { return *m_binding; }

private:
    void choose(int index);

    EditBinding* m_binding;
};
