// Fields from columns and columns for fields; see FieldInference.h. Binding
// gives each data field its storage column by name (any letter case), so the
// statement's column order does not matter.
#include "FieldInference.h"

#include <QRegularExpression>

#include "Dataset.h"
#include "PgConnection.h"

FieldType inferFieldType(const QString& declType, Statement::ValueType first, bool rowidAlias,
                         int& size) {
    const QString t = declType.toUpper();
    size = 0;
    static const QRegularExpression sizeRe(QStringLiteral("\\(\\s*(\\d+)"));
    const auto m = sizeRe.match(t);
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("TEXT")) ||
        t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("MEMO")) ||
        t.contains(QLatin1String("STRING"))) {
        if (m.hasMatch()) size = m.captured(1).toInt();
        return FieldType::Text;
    }
    if (t.contains(QLatin1String("COUNTER")) || t.contains(QLatin1String("AUTOINC")) ||
        (rowidAlias && t == QLatin1String("INTEGER")))
        return FieldType::Counter;
    if (t.contains(QLatin1String("SMALLINT")) || t.contains(QLatin1String("SHORT")))
        return FieldType::SmallInt;
    if (t.contains(QLatin1String("INT")) || t.contains(QLatin1String("BOOL")) ||
        t.contains(QLatin1String("BIT")))
        return FieldType::Integer;
    if (t.contains(QLatin1String("DATE")) || t.contains(QLatin1String("TIME")))
        return FieldType::DateTime;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("NUM")) ||
        t.contains(QLatin1String("DEC")) || t.contains(QLatin1String("CURRENCY")) ||
        t.contains(QLatin1String("MONEY")))
        return FieldType::Float;
    if (t.isEmpty()) {
        if (first == Statement::ValueType::Integer) return FieldType::Integer;
        if (first == Statement::ValueType::Float) return FieldType::Float;
    }
    return FieldType::Text;
}

void Dataset::createDefaultFields(Statement& st, int firstColumn, bool stepped) {
    // Counters are integer keys that alias the hidden row key.
    std::vector<Connection::ColumnInfo> baseColumns;
    if (!m_baseTable.isEmpty()) baseColumns = m_connection->tableColumns(m_baseTable);
    int pkCount = 0;
    for (const auto& c : baseColumns) pkCount += c.primaryKey ? 1 : 0;

    m_fields.clear();
    m_declared = false;
    for (int c = firstColumn; c < st.columnCount(); ++c) {
        const QString name = st.columnName(c);
        // A server table's hidden row key ("SELECT *" reads it too) is the engine's own.
        if (m_connection->dialect() == Connection::Dialect::Postgres &&
            name == PgConnection::hiddenKeyColumn() && !st.columnTable(c).isEmpty())
            continue;
        bool rowidAlias = false;
        if (QString::compare(st.columnTable(c), m_baseTable, Qt::CaseInsensitive) == 0)
            for (const auto& bc : baseColumns)
                if (bc.primaryKey && pkCount == 1 &&
                    bc.name.compare(name, Qt::CaseInsensitive) == 0)
                    rowidAlias = true;
        int size = 0;
        const FieldType type = inferFieldType(
            st.columnDeclType(c), stepped ? st.columnType(c) : Statement::ValueType::Null,
            rowidAlias, size);
        m_fields.push_back(
            std::make_unique<Field>(this, fieldCount(), name, FieldKind::Data, type, size));
    }
    lookupsDeclared();
}

void Dataset::bindFields(Statement& st) {
    const int first = m_hasKey ? 1 : 0;
    QStringList names;
    for (const auto& f : m_fields) {
        if (f->kind() != FieldKind::Data) continue;
        int found = -1;
        for (int c = first; c < st.columnCount() && found < 0; ++c)
            if (f->hasName(st.columnName(c))) found = c;
        if (found < 0) throw DataError(msg::fieldNotFound(f->name()));
        f->setColumn(int(names.size()));
        names << st.columnName(found);
    }
    m_columnNames = names;
}
