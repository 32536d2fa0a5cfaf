// PostgreSQL behind the engine's Connection interface, through libpq.
//
// Statements: the engine's SQL marks values with "?", "?NNN" and ":NAME"; they
// are renumbered "$1…$n" outside string literals (also E'…' and $tag$…$tag$),
// quoted names and comments, and a "::" cast is left alone. Numbering follows
// SQLite's: "?" takes the next number, a name used twice is one parameter.
// "@NAME" and "$NAME" are not parameters here ("@" is an operator, "$" quotes).
// prepare() parses the statement on the server once (PQprepare) and reads its
// result columns (PQdescribePrepared), so names and declared types are known
// before the first step; each run is one PQexecPrepared. Values always travel
// as parameters, never in the SQL text. A named parameter a query declares
// (":G" as an integer) is prepared with that type; the server settles any other
// from where it stands, as it would for a quoted literal, so numbers go as
// their text and a date column takes "2024-09-01"; one whose first use tells
// nothing ("SELECT ?") is text, or the first other type the statement takes,
// tried parameter by parameter. Bytes go in binary.
//
// Results are read whole by the first step (libpq's buffered mode); later steps
// walk the rows in memory, and a column read is a pointer into the result, so
// the connection is free for other statements while one is being read. Memory
// is the result's text, about the size of the rows as the server prints them.
//
// Every failure is a DataError with libpq's or the server's own text, in the
// server's language, and the server's code (SQLSTATE); the engine decides by
// the code, never by the words. A connection string's password never appears
// in a failure.
#include "PgConnection.h"

#include <libpq-fe.h>

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include "DataError.h"

// The names of the tables and columns of the connection's schema, as the server spells them.
struct PgCatalog {
    struct Table {
        QString name;
        std::vector<QString> columns;
    };
    std::vector<Table> tables;
};

struct PgPrepared;

// One server connection, shared by the PgConnection and the statements it
// prepared: closing the connection ends it for all of them at once.
struct PgSession {
    PGconn* conn = nullptr;
    int changes = 0;
    int64_t totalChanges = 0;
    uint64_t statements = 0;
    // With standard_conforming_strings off, '…' literals take backslash escapes too.
    bool standardStrings = true;
    // Read on first use; a statement that may change the schema drops it.
    std::optional<PgCatalog> catalog;
    // Statements parsed on the server, by their text as the engine wrote it: a post
    // prepares the same few each time, so each is parsed once per connection.
    std::unordered_map<QString, std::shared_ptr<PgPrepared>> prepared;

    ~PgSession() { finish(); }
    void finish() {
        if (conn) PQfinish(conn);
        conn = nullptr;
    }
};

namespace {

// Type OIDs of the server's built-in types (pg_type.dat; fixed across versions).
constexpr Oid boolOid = 16;
constexpr Oid byteaOid = 17;
constexpr Oid int8Oid = 20;
constexpr Oid int2Oid = 21;
constexpr Oid int4Oid = 23;
constexpr Oid textOid = 25;
constexpr Oid oidOid = 26;
constexpr Oid float4Oid = 700;
constexpr Oid float8Oid = 701;
constexpr Oid timestampOid = 1114;
constexpr Oid numericOid = 1700;

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

QString closedText() {
    return QStringLiteral("The database connection is closed");
}

QString trimmed(const char* text) {
    return QString::fromUtf8(text).trimmed();
}

// The server's (or libpq's) text for a failed result.
QString resultError(PGconn* conn, const PGresult* r) {
    QString text = r ? trimmed(PQresultErrorMessage(r)) : QString();
    if (text.isEmpty()) text = trimmed(PQerrorMessage(conn));
    if (text.isEmpty()) text = QStringLiteral("The database server gave no answer");
    return text;
}

// The server's code for a failed result (SQLSTATE), empty when it gave none.
const char* sqlState(const PGresult* r) {
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    return state ? state : "";
}

// The failure of a result as the engine throws it: the server's text and its code.
DataError serverError(PGconn* conn, const PGresult* r) {
    return DataError(resultError(conn, r), QByteArray(sqlState(r)));
}

bool succeeded(const PGresult* r) {
    switch (r ? PQresultStatus(r) : PGRES_FATAL_ERROR) {
        case PGRES_COMMAND_OK:
        case PGRES_TUPLES_OK:
        case PGRES_EMPTY_QUERY:
            return true;
        default:
            return false;
    }
}

// Counts the rows of an INSERT, UPDATE, DELETE or MERGE, as SQLite's changes() does;
// any other command leaves the count of the last one standing.
void countChanges(PgSession& s, const PGresult* r) {
    const char* tag = PQcmdStatus(const_cast<PGresult*>(r));
    static const char* const writes[] = {"INSERT ", "UPDATE ", "DELETE ", "MERGE "};
    for (const char* w : writes)
        if (std::strncmp(tag, w, std::strlen(w)) == 0) {
            const int n = std::atoi(PQcmdTuples(const_cast<PGresult*>(r)));
            s.changes = n;
            s.totalChanges += n;
            return;
        }
}

PGconn* liveConnection(const std::shared_ptr<PgSession>& s) {
    if (!s || !s->conn) throw DataError(closedText());
    return s->conn;
}

// A statement the engine runs for itself, with text parameters; throws the server's text.
Result run(PGconn* conn, const char* sql, std::initializer_list<QByteArray> params = {}) {
    std::vector<const char*> values;
    for (const QByteArray& p : params) values.push_back(p.constData());
    Result r(
        PQexecParams(conn, sql, int(values.size()), nullptr, values.data(), nullptr, nullptr, 0));
    if (!succeeded(r.get())) throw serverError(conn, r.get());
    return r;
}

// ---- Parameters -------------------------------------------------------------

bool identStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
// A character of an unquoted name; PostgreSQL allows '$' after the first.
bool identChar(unsigned char c) {
    return identStart(c) || isDigit(c) || c == '$';
}

// The highest parameter number a statement may use, as in SQLite.
constexpr int maxParameter = 32766;

// A name in the statement: where it stands in the translated text and how it was written.
struct Identifier {
    qsizetype start = 0;
    qsizetype length = 0;
    QString name;     // as the server reads it: a bare name folded to lower case (ASCII)
    QString written;  // as written, quotes taken off
    bool quoted = false;
    bool afterCast = false;  // a type name after "::"
};

struct Translated {
    QByteArray sql;
    int count = 0;
    std::vector<QString> names;  // by 0-based index; empty for "?"
    bool empty = true;           // nothing but spaces and comments
    std::vector<Identifier> identifiers;
};

Translated translateParameters(const QByteArray& in, bool standardStrings) {
    Translated out;
    QHash<QByteArray, int> byName;
    const qsizetype n = in.size();
    auto at = [&](qsizetype i) -> unsigned char { return i < n ? uchar(in[i]) : 0; };
    auto mark = [&](int index, const QByteArray& name) {
        if (index > out.count) {
            out.count = index;
            out.names.resize(size_t(index));
        }
        if (!name.isEmpty()) out.names[size_t(index - 1)] = QString::fromUtf8(name);
        out.sql += '$' + QByteArray::number(index);
    };
    out.sql.reserve(n + 16);
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = at(i);
        const qsizetype start = i;
        if (c == '\'') {
            // E'…' (the E a word of its own) takes backslash escapes.
            const bool escapes =
                !standardStrings || (i > 0 && (at(i - 1) == 'E' || at(i - 1) == 'e') &&
                                     (i < 2 || !identChar(at(i - 2))));
            ++i;
            while (i < n) {
                if (escapes && at(i) == '\\') {
                    i += 2;
                } else if (at(i) == '\'') {
                    ++i;
                    if (at(i) != '\'') break;
                    ++i;
                } else {
                    ++i;
                }
            }
            out.empty = false;
        } else if (c == '"') {
            ++i;
            while (i < n) {
                if (at(i) == '"') {
                    ++i;
                    if (at(i) != '"') break;
                }
                ++i;
            }
            out.empty = false;
            Identifier id;
            id.start = out.sql.size();
            id.length = i - start;
            id.quoted = true;
            const qsizetype inner = std::max<qsizetype>(0, id.length - (at(i - 1) == '"' ? 2 : 1));
            id.written = QString::fromUtf8(in.mid(start + 1, inner))
                             .replace(QLatin1String("\"\""), QLatin1String("\""));
            id.name = id.written;
            out.identifiers.push_back(std::move(id));
        } else if (c == '-' && at(i + 1) == '-') {
            while (i < n && at(i) != '\n') ++i;
        } else if (c == '/' && at(i + 1) == '*') {
            // Block comments nest.
            int depth = 0;
            while (i < n) {
                if (at(i) == '/' && at(i + 1) == '*') {
                    ++depth;
                    i += 2;
                } else if (at(i) == '*' && at(i + 1) == '/') {
                    i += 2;
                    if (--depth == 0) break;
                } else {
                    ++i;
                }
            }
        } else if (identStart(c)) {
            while (i < n && identChar(at(i))) ++i;
            out.empty = false;
            Identifier id;
            id.start = out.sql.size();
            id.length = i - start;
            id.written = QString::fromUtf8(in.mid(start, i - start));
            QByteArray folded = in.mid(start, i - start);
            for (char& ch : folded)
                if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
            id.name = QString::fromUtf8(folded);
            id.afterCast = out.sql.endsWith("::");
            out.identifiers.push_back(std::move(id));
        } else if (c == '$' && !isDigit(at(i + 1))) {
            // $tag$…$tag$ quotes anything, tag possibly empty.
            qsizetype j = i + 1;
            if (identStart(at(j)))
                while (j < n && identChar(at(j)) && at(j) != '$') ++j;
            if (at(j) == '$') {
                const QByteArray tag = in.mid(i, j - i + 1);
                const qsizetype close = in.indexOf(tag, j + 1);
                i = close < 0 ? n : close + tag.size();
            } else {
                i = j;
            }
            out.empty = false;
        } else if (c == ':' && at(i + 1) == ':') {
            i += 2;
            out.empty = false;
        } else if (c == ':' && identStart(at(i + 1))) {
            ++i;
            while (i < n && identChar(at(i)) && at(i) != '$') ++i;
            const QByteArray name = in.mid(start, i - start);
            int index = byName.value(name);
            if (index == 0) {
                index = out.count + 1;
                byName.insert(name, index);
            }
            mark(index, name);
            out.empty = false;
            continue;
        } else if (c == '?') {
            ++i;
            while (i < n && isDigit(at(i))) ++i;
            if (i - start > 1) {
                const QByteArray name = in.mid(start, i - start);
                const int index = name.size() <= 6 ? name.mid(1).toInt() : 0;
                if (index < 1 || index > maxParameter)
                    throw DataError(QStringLiteral("variable number must be between ?1 and ?%1")
                                        .arg(maxParameter));
                mark(index, name);
            } else {
                mark(out.count + 1, {});
            }
            out.empty = false;
            continue;
        } else {
            ++i;
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') out.empty = false;
        }
        out.sql += in.mid(start, i - start);
    }
    return out;
}

// ---- Names ------------------------------------------------------------------

// Whether a statement may create, rename or drop a table or column.
bool changesSchema(const QByteArray& sql) {
    static const QRegularExpression ddl(QStringLiteral("\\b(CREATE|ALTER|DROP)\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    return ddl.match(QString::fromUtf8(sql)).hasMatch();
}

PgCatalog readCatalog(PGconn* conn);

// After a change of the schema the names and the parsed statements are read again.
void forgetSchema(PgSession& s) {
    s.catalog.reset();
    s.prepared.clear();
}

// Names match without regard to letter case, as in SQLite: a table or column named
// in any case is written as the server spells it. A name the server already reads
// as written stays; a column is looked for in the tables the statement names
// after FROM, JOIN, INTO, UPDATE (no table of the schema named: nothing is
// changed), and a name two of them spell differently stays as it is. Function names (a "(" follows
// a name that is no table's), type names after "::" and typed literals (DATE '…') are never names
// of the schema.
void spellNames(Translated& t, const PgCatalog& catalog) {
    if (t.identifiers.empty() || catalog.tables.empty()) return;
    auto sameText = [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    };
    auto nextChar = [&](qsizetype from) -> char {
        while (from < t.sql.size() && (t.sql[from] == ' ' || t.sql[from] == '\t' ||
                                       t.sql[from] == '\n' || t.sql[from] == '\r'))
            ++from;
        return from < t.sql.size() ? t.sql[from] : '\0';
    };
    const std::vector<Identifier>& ids = t.identifiers;
    // What stands between identifiers i - 1 and i: ' ' for spaces only, ',' for one
    // comma, else '?'.
    auto between = [&](size_t i) -> char {
        if (i == 0) return '?';
        const qsizetype from = ids[i - 1].start + ids[i - 1].length;
        const char c = nextChar(from);
        if (c == t.sql[ids[i].start]) return ' ';
        if (c != ',') return '?';
        const qsizetype comma = t.sql.indexOf(',', from);
        return nextChar(comma + 1) == t.sql[ids[i].start] ? ',' : '?';
    };
    // Where a table stands: after FROM, JOIN, INTO, UPDATE, TABLE or REFERENCES, or
    // after a comma that follows one (FROM a, b x, c).
    static const QStringList keywords{QStringLiteral("from"),  QStringLiteral("join"),
                                      QStringLiteral("into"),  QStringLiteral("update"),
                                      QStringLiteral("table"), QStringLiteral("references")};
    std::vector<bool> tablePlace(ids.size(), false);
    for (size_t i = 1; i < ids.size(); ++i) {
        const char sep = between(i);
        if (sep == ' ' && !ids[i - 1].quoted && keywords.contains(ids[i - 1].name))
            tablePlace[i] = true;
        else if (sep == ',')
            tablePlace[i] =
                tablePlace[i - 1] || (i >= 2 && tablePlace[i - 2] && between(i - 1) == ' ');
    }
    std::vector<const PgCatalog::Table*> named;
    for (size_t i = 0; i < ids.size(); ++i)
        if (tablePlace[i])
            for (const PgCatalog::Table& table : catalog.tables)
                if (sameText(table.name, ids[i].name) &&
                    std::find(named.begin(), named.end(), &table) == named.end())
                    named.push_back(&table);
    if (named.empty()) return;

    // The one spelling among `names` of a name, else empty (none, or two that differ);
    // `exact` tells that the server reads it as written already.
    auto among = [&](const Identifier& id, const std::vector<QString>& names, bool& exact) {
        QString found;
        bool ambiguous = false;
        for (const QString& name : names) {
            if (name == id.name) exact = true;
            if (!sameText(name, id.name)) continue;
            if (found.isEmpty())
                found = name;
            else if (found != name)
                ambiguous = true;
        }
        return ambiguous ? QString() : found;
    };
    std::vector<QString> tableNames;
    for (const PgCatalog::Table& table : catalog.tables) tableNames.push_back(table.name);
    std::vector<QString> columnNames;
    for (const PgCatalog::Table* table : named)
        for (const QString& column : table->columns) columnNames.push_back(column);
    // The spelling to write, or empty to leave the name as it is.
    auto spelling = [&](size_t i) -> QString {
        const Identifier& id = ids[i];
        if (id.afterCast) return {};
        const char next = nextChar(id.start + id.length);
        if (!id.quoted && next == '\'') return {};
        bool exactTable = false, exactColumn = false;
        const QString table = among(id, tableNames, exactTable);
        // A table's name, or one that qualifies a column (t.column).
        if (tablePlace[i] || next == '.') return exactTable ? QString() : table;
        // A column's name never stands before "(": that is a function.
        const QString column =
            !id.quoted && next == '(' ? QString() : among(id, columnNames, exactColumn);
        if (exactColumn || (column.isEmpty() && exactTable)) return {};
        return column.isEmpty() ? table : column;
    };
    // From the end, so earlier positions stay valid.
    for (size_t i = ids.size(); i-- > 0;) {
        const QString name = spelling(i);
        if (name.isEmpty()) continue;
        QString quoted = name;
        quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
        t.sql.replace(ids[i].start, ids[i].length,
                      (QLatin1Char('"') + quoted + QLatin1Char('"')).toUtf8());
    }
}

// ---- Reading values ---------------------------------------------------------

// SQLite's reading of text as a number: leading spaces, then as much as parses.
int64_t textToInt64(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    const bool fraction = end < t.data() + t.size() && (*end == '.' || *end == 'e' || *end == 'E');
    if (ec == std::errc() && !fraction) return v;
    double d = 0;
    if (std::from_chars(t.data(), t.data() + t.size(), d).ec != std::errc()) return 0;
    if (std::isnan(d)) return 0;
    if (d >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
    if (d <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
    return int64_t(d);
}

double textToDouble(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    double d = 0;
    std::from_chars(t.data(), t.data() + t.size(), d);
    return d;
}

// What the engine reads from the catalog about one table.
struct TableInfo {
    QString name;
    std::map<int, QString> declTypes;  // by column number
};

}  // namespace

// A statement parsed on the server, shared by every Statement of the same text;
// the server lets it go when the last of them and the session's cache have.
struct PgPrepared {
    std::weak_ptr<PgSession> session;
    QByteArray name;
    std::vector<QString> names;  // the parameters' names, by 0-based index
    int count = 0;
    QString text;            // as the engine wrote it: the session cache's key
    QByteArray sql;          // as the server was given it
    std::vector<Oid> types;  // the parameter types it was given
    std::vector<Oid> declared;  // those of them the engine declared (0: none)
    Result desc;
    // The catalog's entry for each table a result column comes from, read once.
    std::map<Oid, TableInfo> tables;

    ~PgPrepared() {
        const auto s = session.lock();
        if (!s || !s->conn) return;
        const QByteArray sql = "DEALLOCATE " + name;
        PQclear(PQexec(s->conn, sql.constData()));
    }
};

namespace {

class PgStatement final : public Statement {
public:
    PgStatement(std::shared_ptr<PgSession> session, std::shared_ptr<PgPrepared> prepared)
        : m_session(std::move(session)),
          m_prepared(std::move(prepared)),
          m_desc(m_prepared->desc.get()),
          m_values(size_t(m_prepared->count)),
          m_binary(size_t(m_prepared->count), 0) {
        const int columns = PQnfields(m_desc);
        m_text16.resize(size_t(columns));
        m_bytes.resize(size_t(columns));
    }

    int parameterCount() const override { return int(m_values.size()); }
    QString parameterName(int index) const override {
        return index >= 1 && index <= parameterCount() ? m_prepared->names[size_t(index - 1)]
                                                       : QString();
    }
    void bindNull(int index) override { set(index, std::nullopt, false); }
    void bind(int index, int64_t v) override {
        set(index, QByteArray::number(qlonglong(v)), false);
    }
    void bind(int index, double v) override {
        QByteArray text;
        if (std::isnan(v))
            text = "NaN";
        else if (std::isinf(v))
            text = v > 0 ? "Infinity" : "-Infinity";
        else
            text = QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
        set(index, text, false);
    }
    void bind(int index, const QString& v) override { set(index, v.toUtf8(), false); }
    void bind(int index, const QByteArray& bytes) override {
        // An empty QByteArray may have no data pointer; libpq needs one.
        set(index, bytes.isNull() ? QByteArray("") : bytes, true);
    }

    bool step() override {
        // As SQLite does, a statement stepped past its end runs again.
        if (m_finished) clearResult();
        if (!m_result)
            runStatement();
        else
            ++m_row;
        if (m_row < PQntuples(m_result.get())) return true;
        m_finished = true;
        return false;
    }
    void reset() override {
        clearResult();
        for (auto& v : m_values) v.reset();
        std::fill(m_binary.begin(), m_binary.end(), 0);
    }

    int columnCount() const override { return PQnfields(m_desc); }
    QString columnName(int col) const override {
        const char* name = PQfname(m_desc, col);
        return name ? QString::fromUtf8(name) : QString();
    }
    QString columnDeclType(int col) const override {
        const TableInfo* t = table(col);
        if (!t) return {};
        const auto it = t->declTypes.find(PQftablecol(m_desc, col));
        return it == t->declTypes.end() ? QString() : it->second;
    }
    QString columnTable(int col) const override {
        const TableInfo* t = table(col);
        return t ? t->name : QString();
    }
    ValueType columnType(int col) override {
        if (!hasValue(col)) return ValueType::Null;
        switch (PQftype(m_desc, col)) {
            case int2Oid:
            case int4Oid:
            case int8Oid:
            case oidOid:
            case boolOid:
                return ValueType::Integer;
            case float4Oid:
            case float8Oid:
            case numericOid:
                return ValueType::Float;
            case byteaOid:
                return ValueType::Blob;
            default:
                return ValueType::Text;
        }
    }
    int64_t columnInt64(int col) override {
        if (!hasValue(col)) return 0;
        return textToInt64(columnText8(col));
    }
    double columnDouble(int col) override {
        if (!hasValue(col)) return 0;
        return textToDouble(columnText8(col));
    }
    std::u16string_view columnText16(int col) override {
        if (!hasValue(col)) return {};
        const std::string_view t = columnText8(col);
        QString& s = m_text16[size_t(col)];
        s = QString::fromUtf8(t.data(), qsizetype(t.size()));
        return {reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size())};
    }
    std::string_view columnText8(int col) override {
        if (!hasValue(col)) return {};
        const char* v = PQgetvalue(m_result.get(), m_row, col);
        switch (PQftype(m_desc, col)) {
            case boolOid:
                // A boolean is the integer 1 or 0 throughout, as SQLite keeps it.
                return v[0] == 't' ? std::string_view("1") : std::string_view("0");
            case byteaOid: {
                size_t size = 0;
                unsigned char* raw =
                    PQunescapeBytea(reinterpret_cast<const unsigned char*>(v), &size);
                if (!raw) throw DataError(QStringLiteral("Out of memory reading a binary value"));
                QByteArray& bytes = m_bytes[size_t(col)];
                bytes = QByteArray(reinterpret_cast<const char*>(raw), qsizetype(size));
                PQfreemem(raw);
                return {bytes.constData(), size_t(bytes.size())};
            }
            default:
                return {v, size_t(PQgetlength(m_result.get(), m_row, col))};
        }
    }

private:
    void set(int index, std::optional<QByteArray> value, bool binary) {
        if (index < 1 || index > parameterCount())
            throw DataError(QStringLiteral("column index out of range"));
        m_values[size_t(index - 1)] = std::move(value);
        m_binary[size_t(index - 1)] = binary ? 1 : 0;
    }

    void runStatement() {
        PGconn* conn = liveConnection(m_session);
        const size_t n = m_values.size();
        std::vector<const char*> values(n, nullptr);
        std::vector<int> lengths(n, 0);
        for (size_t i = 0; i < n; ++i)
            if (m_values[i]) {
                values[i] = m_values[i]->constData();
                lengths[i] = int(m_values[i]->size());
            }
        Result r(PQexecPrepared(conn, m_prepared->name.constData(), int(n), values.data(),
                                lengths.data(), m_binary.data(), 0));
        // Another desk changed a table's columns since the statement was parsed (the
        // server refuses its old plan): it is parsed again, once. Outside a transaction
        // only, as inside one the refusal has ended the transaction already.
        if (!succeeded(r.get()) && PQtransactionStatus(conn) == PQTRANS_IDLE &&
            std::strcmp(sqlState(r.get()), "0A000") == 0 &&
            reparse(conn))
            r.reset(PQexecPrepared(conn, m_prepared->name.constData(), int(n), values.data(),
                                   lengths.data(), m_binary.data(), 0));
        if (!succeeded(r.get())) throw serverError(conn, r.get());
        countChanges(*m_session, r.get());
        m_result = std::move(r);
        m_row = 0;
        m_finished = false;
    }

    bool reparse(PGconn* conn) {
        auto fresh = std::make_shared<PgPrepared>();
        fresh->session = m_session;
        fresh->name = "tessaly_" + QByteArray::number(qulonglong(++m_session->statements));
        fresh->names = m_prepared->names;
        fresh->count = m_prepared->count;
        fresh->text = m_prepared->text;
        fresh->sql = m_prepared->sql;
        fresh->types = m_prepared->types;
        fresh->declared = m_prepared->declared;
        Result parsed(PQprepare(conn, fresh->name.constData(), fresh->sql.constData(), fresh->count,
                                fresh->types.data()));
        if (!succeeded(parsed.get())) return false;
        fresh->desc.reset(PQdescribePrepared(conn, fresh->name.constData()));
        if (!succeeded(fresh->desc.get())) return false;
        if (const auto it = m_session->prepared.find(fresh->text);
            it != m_session->prepared.end() && it->second == m_prepared)
            it->second = fresh;
        m_prepared = std::move(fresh);
        m_desc = m_prepared->desc.get();
        m_text16.assign(size_t(PQnfields(m_desc)), QString());
        m_bytes.assign(size_t(PQnfields(m_desc)), QByteArray());
        return true;
    }

    void clearResult() {
        m_result.reset();
        m_row = 0;
        m_finished = false;
    }

    bool hasValue(int col) const {
        return m_result && m_row < PQntuples(m_result.get()) && col >= 0 &&
               col < PQnfields(m_result.get()) && !PQgetisnull(m_result.get(), m_row, col);
    }

    // The catalog's entry for the table a result column comes from, read once per table.
    const TableInfo* table(int col) const {
        if (col < 0 || col >= columnCount()) return nullptr;
        const Oid oid = PQftable(m_desc, col);
        if (oid == InvalidOid) return nullptr;
        auto& tables = m_prepared->tables;
        auto it = tables.find(oid);
        if (it == tables.end()) {
            Result r = run(liveConnection(m_session),
                           "SELECT c.relname, a.attnum, format_type(a.atttypid, a.atttypmod) "
                           "FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid "
                           "WHERE c.oid = $1::oid AND a.attnum > 0 AND NOT a.attisdropped",
                           {QByteArray::number(oid)});
            TableInfo info;
            for (int row = 0; row < PQntuples(r.get()); ++row) {
                info.name = QString::fromUtf8(PQgetvalue(r.get(), row, 0));
                info.declTypes[std::atoi(PQgetvalue(r.get(), row, 1))] =
                    QString::fromUtf8(PQgetvalue(r.get(), row, 2));
            }
            it = tables.emplace(oid, std::move(info)).first;
        }
        return it->second.name.isEmpty() ? nullptr : &it->second;
    }

    std::shared_ptr<PgSession> m_session;
    std::shared_ptr<PgPrepared> m_prepared;
    const PGresult* m_desc;
    std::vector<std::optional<QByteArray>> m_values;
    std::vector<int> m_binary;
    Result m_result;
    int m_row = 0;
    bool m_finished = false;
    std::vector<QString> m_text16;
    std::vector<QByteArray> m_bytes;
};

// Whether a connection string libpq cannot read has a password in it somewhere.
bool mentionsPassword(const QString& conninfo) {
    static const QRegularExpression uriPassword(QStringLiteral("://[^:/@?#]*:[^@/?#]*@"));
    return conninfo.contains(QLatin1String("password"), Qt::CaseInsensitive) ||
           uriPassword.match(conninfo).hasMatch();
}

// A string libpq cannot read, with what may be a password left out: where a
// string does not parse, where the password ends is not known, so all after it goes.
QString maskPassword(QString conninfo) {
    static const QRegularExpression keyword(
        QStringLiteral("password\\s*=.*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression uriPassword(QStringLiteral("(://[^:/@?#]*):[^@/?#]*@"));
    conninfo.replace(keyword, QStringLiteral("password=***"));
    conninfo.replace(uriPassword, QStringLiteral("\\1:***@"));
    return conninfo;
}

// libpq quotes the piece of a string it cannot read, which may be part of a password.
QString maskQuotedPieces(QString message, const QString& conninfo) {
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    QString out;
    qsizetype last = 0;
    for (auto it = quoted.globalMatch(message); it.hasNext();) {
        const auto m = it.next();
        // One character ("=") is the syntax libpq expected, never a secret.
        if (m.capturedLength(1) < 2 || !conninfo.contains(m.captured(1))) continue;
        out += message.mid(last, m.capturedStart(1) - last) + QStringLiteral("***");
        last = m.capturedEnd(1);
    }
    return out + message.mid(last);
}

bool parses(const QByteArray& conninfo) {
    PQconninfoOption* options = PQconninfoParse(conninfo.constData(), nullptr);
    PQconninfoFree(options);
    return options != nullptr;
}

QString conninfoValue(const QString& v) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:-]+$"));
    if (plain.match(v).hasMatch()) return v;
    QString q = v;
    q.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    q.replace(QLatin1String("'"), QLatin1String("\\'"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

}  // namespace

namespace {
PgCatalog readCatalog(PGconn* conn) {
    Result r = run(conn,
                   "SELECT c.relname, a.attname FROM pg_class c "
                   "JOIN pg_namespace n ON n.oid = c.relnamespace "
                   "LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 "
                   "     AND NOT a.attisdropped "
                   "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'v', 'm', 'p', 'f') "
                   "ORDER BY c.relname, a.attnum");
    PgCatalog catalog;
    for (int row = 0; row < PQntuples(r.get()); ++row) {
        const QString table = QString::fromUtf8(PQgetvalue(r.get(), row, 0));
        if (catalog.tables.empty() || catalog.tables.back().name != table)
            catalog.tables.push_back({table, {}});
        if (!PQgetisnull(r.get(), row, 1))
            catalog.tables.back().columns.push_back(QString::fromUtf8(PQgetvalue(r.get(), row, 1)));
    }
    return catalog;
}
}  // namespace

PgConnection::PgConnection(QString conninfo) : m_conninfo(std::move(conninfo)) {}
PgConnection::~PgConnection() {
    close();
}

void PgConnection::setConninfo(const QString& conninfo) {
    close();
    m_conninfo = conninfo;
}

QString PgConnection::shownConninfo(const QString& conninfo) {
    const QByteArray text = conninfo.toUtf8();
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(text.constData(), &error);
    if (!options) {
        PQfreemem(error);
        return mentionsPassword(conninfo) ? maskPassword(conninfo) : conninfo;
    }
    bool hasPassword = false;
    for (PQconninfoOption* o = options; o->keyword; ++o)
        if (o->val && std::strcmp(o->keyword, "password") == 0) hasPassword = true;
    QString shown = conninfo;
    if (hasPassword) {
        // Spelled again from libpq's own reading, which knows every form a password takes.
        QStringList parts;
        for (PQconninfoOption* o = options; o->keyword; ++o)
            if (o->val && std::strcmp(o->keyword, "password") != 0)
                parts << QString::fromUtf8(o->keyword) + QLatin1Char('=') +
                             conninfoValue(QString::fromUtf8(o->val));
        shown = parts.join(QLatin1Char(' '));
    }
    PQconninfoFree(options);
    return shown;
}

bool PgConnection::isOpen() const {
    return m_session != nullptr;
}

void PgConnection::open() {
    if (m_session) return;
    const QByteArray conninfo = m_conninfo.toUtf8();
    // The string is read as libpq reads it; the client's encoding is always UTF-8.
    const char* keys[] = {"dbname", "client_encoding", "fallback_application_name", nullptr};
    const char* values[] = {conninfo.constData(), "UTF8", "tessaly", nullptr};
    auto session = std::make_shared<PgSession>();
    session->conn = PQconnectdbParams(keys, values, 1);
    auto fail = [&](const QString& reason) {
        QString text = reason;
        if (!parses(conninfo) && mentionsPassword(m_conninfo))
            text = maskQuotedPieces(text, m_conninfo);
        return DataError(
            QStringLiteral("Cannot open database \"%1\": %2").arg(shownConninfo(m_conninfo), text));
    };
    if (!session->conn) throw fail(QStringLiteral("out of memory"));
    if (PQstatus(session->conn) != CONNECTION_OK)
        throw fail(trimmed(PQerrorMessage(session->conn)));
    // The server's notices (a table that did not exist for DROP … IF EXISTS) are not failures.
    PQsetNoticeProcessor(
        session->conn, [](void*, const char*) {}, nullptr);
    const char* standard = PQparameterStatus(session->conn, "standard_conforming_strings");
    session->standardStrings = !standard || std::strcmp(standard, "off") != 0;
    try {
        // Dates come back as the engine writes them: 2024-09-01.
        run(session->conn, "SET DateStyle TO ISO, YMD");
    } catch (const DataError& e) {
        throw fail(e.text());
    }
    m_session = std::move(session);
    if (!m_validator) return;
    try {
        m_validator(*this);
    } catch (...) {
        close();
        throw;
    }
}

void PgConnection::close() {
    if (m_session) m_session->finish();
    m_session.reset();
    m_lastSnapshot.clear();
    // Versions of a closed connection say nothing about the next one.
    sharedTables() = SharedTables();
}

namespace {

// The server's type for a parameter declared with a field's type.
Oid declaredOid(FieldType type) {
    switch (type) {
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::Counter:
            return int8Oid;
        case FieldType::Float:
            return float8Oid;
        case FieldType::DateTime:
            return timestampOid;
        case FieldType::Text:
            return textOid;
    }
    return 0;
}

// The server's codes for a parameter it could not give a type: indeterminate, or
// deduced inconsistently. Only the code is read, never the words, which come in
// the server's own language.
bool untypedParameter(const PGresult* result) {
    const char* state = sqlState(result);
    return std::strcmp(state, "42P18") == 0 || std::strcmp(state, "42P08") == 0;
}

}  // namespace

std::unique_ptr<Statement> PgConnection::prepare(const QString& sql, const ParameterTypes& declared) {
    if (!m_session) open();
    PGconn* conn = liveConnection(m_session);
    // The types a statement's named parameters are declared with, by 0-based index.
    const auto declaredOids = [&](const std::vector<QString>& names) {
        std::vector<Oid> oids(names.size(), 0);
        if (!declared) return oids;
        for (size_t i = 0; i < names.size(); ++i) {
            // Written ":NAME"; declared by the name alone.
            if (!names[i].startsWith(QLatin1Char(':'))) continue;
            if (const std::optional<FieldType> type = declared(names[i].mid(1)))
                oids[i] = declaredOid(*type);
        }
        return oids;
    };
    // The cache holds a text once; it serves while the declarations are those it was
    // prepared with (a post asks for the same few statements every time).
    if (const auto cached = m_session->prepared.find(sql); cached != m_session->prepared.end() &&
                                                            cached->second->declared ==
                                                                declaredOids(cached->second->names))
        return std::make_unique<PgStatement>(m_session, cached->second);
    const QByteArray text = sql.toUtf8();
    Translated t = translateParameters(text, m_session->standardStrings);
    if (t.empty) throw DataError(QStringLiteral("The statement is empty"));
    // A named parameter takes the type it is declared with; the others the server settles.
    const std::vector<Oid> asked = declaredOids(t.names);
    std::vector<Oid> types = asked;
    const bool ddl = changesSchema(text);
    if (ddl) {
        forgetSchema(*m_session);
    } else if (!t.identifiers.empty()) {
        if (!m_session->catalog) m_session->catalog = readCatalog(conn);
        spellNames(t, *m_session->catalog);
    }
    const QByteArray name = "tessaly_" + QByteArray::number(qulonglong(++m_session->statements));
    Result r(PQprepare(conn, name.constData(), t.sql.constData(), t.count, types.data()));
    if (!succeeded(r.get()) && !untypedParameter(r.get()) &&
        std::any_of(types.begin(), types.end(), [](Oid o) { return o != 0; })) {
        // A declared type the statement's context refuses (a date compared with a
        // number): the server types such parameters from where they stand instead.
        std::fill(types.begin(), types.end(), 0);
        r.reset(PQprepare(conn, name.constData(), t.sql.constData(), t.count, types.data()));
    }
    const DataError firstError =
        succeeded(r.get()) ? DataError(QString()) : serverError(conn, r.get());
    // A parameter nothing declares and whose first use tells nothing ("SELECT ?") is
    // given a type, parameter by parameter in order: text, else the first of integer,
    // floating point, date-time and bytes with which the statement is valid or fails
    // only for a parameter still without a type. A type that makes the statement
    // fail otherwise was wrong for a parameter the server could type itself, which
    // keeps its own.
    static const Oid candidates[] = {textOid, int8Oid, float8Oid, timestampOid, byteaOid};
    for (int i = 0; i < t.count && untypedParameter(r.get()); ++i) {
        if (types[size_t(i)] != 0) continue;
        for (const Oid candidate : candidates) {
            types[size_t(i)] = candidate;
            Result tried(PQprepare(conn, name.constData(), t.sql.constData(), t.count, types.data()));
            if (succeeded(tried.get()) || untypedParameter(tried.get())) {
                r = std::move(tried);
                break;
            }
            types[size_t(i)] = 0;
        }
    }
    if (!succeeded(r.get())) throw firstError;
    auto prepared = std::make_shared<PgPrepared>();
    prepared->session = m_session;
    prepared->name = name;
    prepared->names = std::move(t.names);
    prepared->count = t.count;
    prepared->text = sql;
    prepared->declared = asked;
    prepared->sql = t.sql;
    prepared->types = types;
    prepared->desc.reset(PQdescribePrepared(conn, name.constData()));
    if (!succeeded(prepared->desc.get())) throw serverError(conn, prepared->desc.get());
    // A statement that changes the schema runs once; the cache stays small.
    if (!ddl) {
        if (m_session->prepared.size() >= 256) m_session->prepared.clear();
        m_session->prepared.insert_or_assign(sql, prepared);
    }
    return std::make_unique<PgStatement>(m_session, std::move(prepared));
}

void PgConnection::execute(const QString& sql) {
    if (!m_session) open();
    PGconn* conn = liveConnection(m_session);
    const QByteArray text = sql.toUtf8();
    if (changesSchema(text)) forgetSchema(*m_session);
    // Several statements in one text: each result is counted, the first failure reported.
    if (!PQsendQuery(conn, text.constData())) throw DataError(trimmed(PQerrorMessage(conn)));
    std::optional<DataError> failure;
    while (PGresult* raw = PQgetResult(conn)) {
        Result r(raw);
        if (!succeeded(r.get())) {
            if (!failure) failure = serverError(conn, r.get());
        } else {
            countChanges(*m_session, r.get());
        }
    }
    if (failure) throw *failure;
}

int64_t PgConnection::lastInsertId() const {
    if (!m_session || !m_session->conn) return 0;
    PGconn* conn = m_session->conn;
    const PGTransactionStatusType status = PQtransactionStatus(conn);
    if (status != PQTRANS_IDLE && status != PQTRANS_INTRANS) return 0;
    // lastval() fails while no sequence has given a value in this session; inside a
    // transaction a savepoint keeps that failure from aborting it.
    const bool inTransaction = status == PQTRANS_INTRANS;
    if (inTransaction) PQclear(PQexec(conn, "SAVEPOINT tessaly_lastval"));
    Result r(PQexec(conn, "SELECT lastval()"));
    const bool ok = succeeded(r.get()) && PQntuples(r.get()) == 1;
    if (inTransaction) {
        if (!ok) PQclear(PQexec(conn, "ROLLBACK TO SAVEPOINT tessaly_lastval"));
        PQclear(PQexec(conn, "RELEASE SAVEPOINT tessaly_lastval"));
    }
    return ok ? textToInt64(PQgetvalue(r.get(), 0, 0)) : 0;
}

bool PgConnection::isInTransaction() const {
    return m_session && m_session->conn && PQtransactionStatus(m_session->conn) != PQTRANS_IDLE;
}

int PgConnection::changes() const {
    return m_session ? m_session->changes : 0;
}

int64_t PgConnection::totalChanges() const {
    return m_session ? m_session->totalChanges : 0;
}

// PostgreSQL keeps no count of commits a client can read safely (the statistics
// views lag and may be switched off, the WAL position skips unlogged tables).
// The server's current snapshot can be: pg_current_snapshot() lists the oldest
// transaction still running, the newest finished one and those running in
// between, so it moves whenever any transaction of any desk finishes, and while
// it stays the same every statement sees the same rows. A snapshot never comes
// back once it has moved (finished transactions stay finished), so counting its
// moves gives a version that equals an earlier one only when nothing was
// committed in between. Rows this connection changes inside a transaction of
// its own are not in the snapshot; they move `own`. It costs one round trip.
DataVersion PgConnection::dataVersion() {
    if (!m_session) open();
    Result r = run(liveConnection(m_session), "SELECT pg_current_snapshot()");
    const QByteArray snapshot = PQntuples(r.get()) == 1 ? PQgetvalue(r.get(), 0, 0) : "";
    if (snapshot.isEmpty() || snapshot != m_lastSnapshot) ++m_snapshotMoves;
    m_lastSnapshot = snapshot;
    DataVersion v;
    v.others = m_snapshotMoves;
    v.own = totalChanges();
    return v;
}

QString PgConnection::tableName(const QString& table) {
    if (!m_session) open();
    Result r = run(liveConnection(m_session),
                   "SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                   "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'v', 'm', 'p', 'f')");
    // The exact spelling wins where two tables differ only in letter case.
    QString found;
    for (int row = 0; row < PQntuples(r.get()); ++row) {
        const QString name = QString::fromUtf8(PQgetvalue(r.get(), row, 0));
        if (name == table) return name;
        if (found.isEmpty() && QString::compare(name, table, Qt::CaseInsensitive) == 0)
            found = name;
    }
    return found;
}

std::vector<Connection::ColumnInfo> PgConnection::tableColumns(const QString& table) {
    std::vector<ColumnInfo> cols;
    const QString actual = tableName(table);
    if (actual.isEmpty()) return cols;
    Result r = run(liveConnection(m_session),
                   "SELECT a.attname, format_type(a.atttypid, a.atttypmod), "
                   "       COALESCE(a.attnum = ANY (i.indkey), false) "
                   "FROM pg_class c "
                   "JOIN pg_namespace n ON n.oid = c.relnamespace "
                   "JOIN pg_attribute a ON a.attrelid = c.oid "
                   "LEFT JOIN pg_index i ON i.indrelid = c.oid AND i.indisprimary "
                   "WHERE n.nspname = current_schema() AND c.relname = $1 "
                   "  AND a.attnum > 0 AND NOT a.attisdropped "
                   "ORDER BY a.attnum",
                   {actual.toUtf8()});
    for (int row = 0; row < PQntuples(r.get()); ++row) {
        const QString name = QString::fromUtf8(PQgetvalue(r.get(), row, 0));
        // The hidden row key is the engine's, never one of the table's columns.
        if (name == hiddenKeyColumn()) continue;
        cols.push_back({name, QString::fromUtf8(PQgetvalue(r.get(), row, 1)),
                        PQgetvalue(r.get(), row, 2)[0] == 't'});
    }
    return cols;
}
