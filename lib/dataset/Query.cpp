// A query: the rows of a statement held as lines, with named parameters.
//
// Parameters are written :NAME in the text and always reach SQLite bound, by
// name. A plain "SELECT list FROM table [WHERE …] [ORDER BY …]" over one table
// is read together with the table's hidden key, so its rows can be edited and
// deleted like a table's; any other statement (joins, grouping, expressions in
// the list) gives read-only rows. Changing the text closes the query at once.
//
// Costs: the text is scanned for parameter names once per change of text;
// binding looks each of the statement's parameters up by name (a handful).
#include "Query.h"

#include <QRegularExpression>

#include "Connection.h"
#include "Names.h"

void Query::setSql(const QStringList& lines) {
    close();
    m_sql = lines;
    parseParameters();
}

void Query::addSql(const QString& line) {
    close();
    m_sql << line;
    parseParameters();
}

void Query::clearSql() {
    close();
    m_sql.clear();
    parseParameters();
}

void Query::parseParameters() {
    // Names outside quotes and brackets; values of names that stay are kept, and a
    // declared type comes back with its name whatever texts came between.
    std::vector<Parameter> found;
    const QString text = sqlText();
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('[')) {
            quote = QLatin1Char(']');
        } else if (c == QLatin1Char(':') && i + 1 < text.size() && isNameChar(text[i + 1]) &&
                   (i == 0 || !isNameChar(text[i - 1]))) {
            qsizetype j = i + 1;
            while (j < text.size() && isNameChar(text[j])) ++j;
            const QString name = text.mid(i + 1, j - i - 1);
            bool known = false;
            for (const auto& p : found) known = known || p.name.compare(name, Qt::CaseInsensitive) == 0;
            if (!known) {
                Parameter p{name, std::nullopt, {}};
                if (const Parameter* old = findParameter(name)) p = *old;
                p.type = declaredType(name);
                found.push_back(p);
            }
            i = j - 1;
        }
    }
    m_params = std::move(found);
}

const Query::Parameter* Query::findParameter(const QString& name) const {
    for (const auto& p : m_params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) return &p;
    return nullptr;
}

Query::Parameter* Query::findParameter(const QString& name) {
    return const_cast<Parameter*>(std::as_const(*this).findParameter(name));
}

ParameterTypes Query::declaredTypes() const {
    return [this](const QString& name) { return declaredType(name); };
}

std::optional<FieldType> Query::declaredType(const QString& name) const {
    for (const auto& [declared, type] : m_declaredTypes)
        if (declared.compare(name, Qt::CaseInsensitive) == 0) return type;
    return std::nullopt;
}

void Query::declareParameter(const QString& name, FieldType type) {
    bool known = false;
    for (auto& [declared, t] : m_declaredTypes)
        if (declared.compare(name, Qt::CaseInsensitive) == 0) {
            t = type;
            known = true;
        }
    if (!known) m_declaredTypes.emplace_back(name, type);
    Parameter* p = findParameter(name);
    if (!p) {
        m_params.push_back({name, type, {}});
        return;
    }
    p->type = type;
}

void Query::setParameter(const QString& name, const QVariant& value) {
    Parameter* p = findParameter(name);
    if (!p) throw DataError(msg::parameterNotFound(name));
    if (!p->type) {
        p->value = value;
        return;
    }
    // A declared type converts the value as a field of that type would.
    Field probe(this, -1, p->name, FieldKind::Data, *p->type, 0);
    p->value = probe.convert(value);
}

QVariant Query::parameter(const QString& name) const {
    if (const Parameter* p = findParameter(name)) return p->value;
    throw DataError(msg::parameterNotFound(name));
}

QStringList Query::parameterNames() const {
    QStringList out;
    for (const auto& p : m_params) out << p.name;
    return out;
}

void Query::bindParameters(Statement& st) {
    for (int i = 1; i <= st.parameterCount(); ++i) {
        QString name = st.parameterName(i);
        if (name.startsWith(QLatin1Char(':')) || name.startsWith(QLatin1Char('@')) ||
            name.startsWith(QLatin1Char('$')))
            name = name.mid(1);
        const Parameter* p = findParameter(name);
        st.bindValue(i, p ? p->value : QVariant());
    }
}

std::unique_ptr<Statement> Query::openStatement() {
    const QString text = sqlText().trimmed();
    if (text.isEmpty()) throw DataError(QStringLiteral("The query has no statement text"));
    m_baseTable.clear();
    m_hasKey = false;
    m_wholeTable = false;

    static const QRegularExpression simple(
        QStringLiteral("^SELECT\\s+(\\*|[\\w\\[\\]\"]+(?:\\s*,\\s*[\\w\\[\\]\"]+)*)\\s+FROM\\s+"
                       "([\\w]+|\"[^\"]+\"|\\[[^\\]]+\\])(\\s+(?:WHERE|ORDER\\s+BY)\\b.*)?;?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption |
            QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression grouping(
        QStringLiteral("\\b(GROUP\\s+BY|UNION|INTERSECT|EXCEPT|JOIN|DISTINCT|HAVING)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = simple.match(text);
    if (m.hasMatch() && !grouping.match(text).hasMatch()) {
        QString table = m.captured(2);
        if (table.size() > 1 && (table.startsWith(QLatin1Char('"')) || table.startsWith(QLatin1Char('['))))
            table = table.mid(1, table.size() - 2);
        const QString actual = m_connection->tableName(table);
        if (!actual.isEmpty()) {
            // The hidden key rides along as the first column.
            QString keyed =
                QStringLiteral("SELECT rowid AS \"rowid\", ") + text.mid(m.capturedStart(1));
            // "SELECT * FROM table" reads the rows a table cursor reads, in rowid order.
            const bool wholeTable = m.captured(1) == QLatin1String("*") && m.captured(3).isEmpty();
            // SQLite reads a table in rowid order by itself; a server returns rows as they
            // lie, and a row it updates moves to the end.
            if (wholeTable && m_connection->dialect() == Connection::Dialect::Postgres) {
                if (keyed.endsWith(QLatin1Char(';'))) keyed.chop(1);
                keyed += QStringLiteral(" ORDER BY rowid");
            }
            try {
                auto st = m_connection->prepare(keyed, declaredTypes());
                bindParameters(*st);
                m_baseTable = actual;
                m_hasKey = true;
                m_wholeTable = wholeTable;
                return st;
            } catch (const DataError&) {
                // Not keyable after all (a view, say): read it as it is, read-only.
            }
        }
    }
    auto st = m_connection->prepare(text, declaredTypes());
    bindParameters(*st);
    return st;
}

int Query::execSql() {
    const QString text = sqlText().trimmed();
    if (text.isEmpty()) throw DataError(QStringLiteral("The query has no statement text"));
    ensureConnected();
    auto st = m_connection->prepare(text, declaredTypes());
    bindParameters(*st);
    // A statement that changes no rows must not report the count of the one before
    // it; rows that triggers write (the journal of changes) are not the statement's own.
    const int64_t before = m_connection->totalChanges();
    while (st->step()) {
    }
    return m_connection->totalChanges() == before ? 0 : m_connection->changes();
}
