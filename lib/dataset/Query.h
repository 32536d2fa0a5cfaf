// A query: the rows of a statement whose text is held as lines, with named
// parameters (:NAME).
#pragma once

#include <optional>

#include "Connection.h"
#include "Dataset.h"

class Query : public Dataset {
    Q_OBJECT
public:
    explicit Query(QObject* parent = nullptr) : Dataset(parent) {}

    QStringList sql() const { return m_sql; }
    QString sqlText() const { return m_sql.join(QLatin1Char('\n')); }
    // Each of these closes the query at once. A parameter the new text still names
    // keeps its value; a declared type stays with its name across any text.
    void setSql(const QStringList& lines);
    void setSql(const QString& text) { setSql(QStringList{text}); }
    void addSql(const QString& line);
    void clearSql();

    struct Parameter {
        QString name;
        std::optional<FieldType> type;  // declared type; none: the value as given
        QVariant value;                 // invalid: empty (null)
    };
    // Declares a parameter's type ahead of its value.
    void declareParameter(const QString& name, FieldType type);
    // Sets a parameter by name (any letter case); a declared type converts the value.
    void setParameter(const QString& name, const QVariant& value);
    QVariant parameter(const QString& name) const;
    QStringList parameterNames() const;

    // Runs a statement that returns no rows; the number of rows it changed.
    int execSql();

protected:
    std::unique_ptr<Statement> openStatement() override;

private:
    void parseParameters();
    const Parameter* findParameter(const QString& name) const;
    Parameter* findParameter(const QString& name);
    std::optional<FieldType> declaredType(const QString& name) const;
    // The declared types as a statement is prepared with them.
    ParameterTypes declaredTypes() const;
    void bindParameters(Statement& st);
    QStringList m_sql;
    std::vector<Parameter> m_params;
    // Declared types by name, whatever the text names now.
    std::vector<std::pair<QString, FieldType>> m_declaredTypes;
};
