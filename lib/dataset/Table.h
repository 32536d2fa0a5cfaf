// A table cursor: every row of one table, read with its hidden key, in the
// order of its order list.
#pragma once

#include "Dataset.h"

class Table : public Dataset {
    Q_OBJECT
public:
    explicit Table(QObject* parent = nullptr) : Dataset(parent) {}
    void setTableName(const QString& name);
    QString tableName() const { return m_tableName; }
    // Order columns separated by ';', ascending.
    void setIndexFieldNames(const QString& names);
    QString indexFieldNames() const { return m_indexFieldNames; }

protected:
    std::unique_ptr<Statement> openStatement() override;
    QStringList orderFieldNames() const override;
    int64_t expectedRows() override;

private:
    QString m_tableName;
    QString m_indexFieldNames;
};
