// Bound edit; the binding does the work.
#include "DBEdit.h"

#include "EditBinding.h"

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent), m_binding(new EditBinding(this)) {}

void DBEdit::setDataSource(DataSource* source) { m_binding->setDataSource(source); }
DataSource* DBEdit::dataSource() const { return m_binding->dataSource(); }
void DBEdit::setDataField(const QString& name) { m_binding->setDataField(name); }
QString DBEdit::dataField() const { return m_binding->dataField(); }
void DBEdit::setLimit(int length) { m_binding->setMaxLength(length); }
void DBEdit::setBoundReadOnly(bool on) { m_binding->setReadOnly(on); }
