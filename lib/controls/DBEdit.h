// Bound edit: a one-line editor for one field of a data source.
#pragma once

#include <QLineEdit>

class DataSource;
class EditBinding;

class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);

    void setDataSource(DataSource* source);
    DataSource* dataSource() const;
    void setDataField(const QString& name);
    QString dataField() const;
    // The window's limit; 0 takes the text field's size.
    void setLimit(int length);
    void setBoundReadOnly(bool on);
    EditBinding& binding() { return *m_binding; }

private:
    EditBinding* m_binding;
};
