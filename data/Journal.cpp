#include "Journal.h"

#include "Connection.h"
#include "Schema.h"

namespace journal {

namespace {

const char* const Actions[] = {"insert", "update", "delete"};

QString triggerName(const schema::Table& t, const char* action) {
    return QStringLiteral("Journal_%1_%2").arg(t.name, QLatin1String(action));
}

// A value as JSON keeps: blobs, which JSON cannot hold, as {"blob": "HEX"}.
QString jsonValue(const QString& row, const QString& column) {
    const QString v = row + QLatin1Char('.') + quoteIdentifier(column);
    return QStringLiteral(
               "CASE typeof(%1) WHEN 'blob' THEN json_object('blob', hex(%1)) ELSE %1 END")
        .arg(v);
}

QString quoteText(const QString& s) {
    QString q = s;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QString triggerSql(Connection& c, const schema::Table& t, const char* action) {
    const QString actual = c.tableName(t.name);
    const auto columns = c.tableColumns(actual);
    const QString key = keyColumn(t.name);
    QString keyOf;  // the row's key in the actual table's spelling
    if (!key.isEmpty())
        for (const auto& col : columns)
            if (col.name.compare(key, Qt::CaseInsensitive) == 0) keyOf = quoteIdentifier(col.name);
    if (keyOf.isEmpty()) keyOf = QStringLiteral("rowid");

    const QLatin1String act(action);
    const bool inserts = act == QLatin1String("insert"), deletes = act == QLatin1String("delete");
    const QString row = deletes ? QStringLiteral("OLD") : QStringLiteral("NEW");
    QString when;
    if (!inserts && !deletes) {
        // An update that changes nothing leaves no line.
        QStringList changed{QStringLiteral("OLD.rowid IS NOT NEW.rowid")};
        for (const auto& col : columns) {
            const QString name = quoteIdentifier(col.name);
            changed << QStringLiteral("OLD.%1 IS NOT NEW.%1").arg(name);
        }
        when = QStringLiteral(" WHEN ") + changed.join(QStringLiteral(" OR "));
    }
    return QStringLiteral(
               "CREATE TRIGGER IF NOT EXISTS %1 AFTER %2 ON %3%4 BEGIN "
               "INSERT INTO \"Journal\" (\"Moment\", \"TableName\", \"RowKey\", \"RowId\", "
               "\"Action\", \"OldValues\", \"NewValues\") VALUES ("
               "strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), %5, %6.%7, %6.rowid, '%8', %9, %10); END")
        .arg(quoteIdentifier(triggerName(t, action)), act.toString().toUpper(),
             quoteIdentifier(actual), when, quoteText(actual), row, keyOf, act.toString(),
             inserts ? QStringLiteral("NULL") : rowObject(QStringLiteral("OLD"), columns),
             deletes ? QStringLiteral("NULL") : rowObject(QStringLiteral("NEW"), columns));
}

bool onServer(Connection& c) {
    return c.dialect() == Connection::Dialect::Postgres;
}

// ---- the server's form

// A name as a JSON string, as SQLite's json_object() writes a key.
QString jsonString(const QString& s) {
    QString out = QStringLiteral("\"");
    for (const QChar ch : s) {
        if (ch == QLatin1Char('"') || ch == QLatin1Char('\\'))
            out += QLatin1Char('\\') + QString(ch);
        else if (ch.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(int(ch.unicode()), 4, 16, QLatin1Char('0'));
        else
            out += ch;
    }
    return out + QLatin1Char('"');
}

// A value as JSON text, never NULL: dates as the program stores them in SQLite
// ("2024-03-01", or "2024-03-01 10:30:00" when the time is not midnight), bytes as
// {"blob": "HEX"}.
QString serverJsonValue(const QString& row, const schema::ServerColumn& col) {
    const QString v = row + QLatin1Char('.') + quoteIdentifier(col.name);
    QString json;
    if (col.type.startsWith(QLatin1String("timestamp")))
        json = QStringLiteral(
                   "to_json(CASE WHEN %1::time = '00:00' THEN to_char(%1, 'YYYY-MM-DD') "
                   "ELSE to_char(%1, 'YYYY-MM-DD HH24:MI:SS') END)::text")
                   .arg(v);
    else if (col.type == QLatin1String("date"))
        json = QStringLiteral("to_json(to_char(%1, 'YYYY-MM-DD'))::text").arg(v);
    else if (col.type == QLatin1String("bytea"))
        json = QStringLiteral("('{\"blob\":\"' || upper(encode(%1, 'hex')) || '\"}')").arg(v);
    else
        json = QStringLiteral("to_json(%1)::text").arg(v);
    return QStringLiteral("COALESCE(%1, 'null')").arg(json);
}

// A row's values as one compact JSON object in the columns' order, the same text
// SQLite's json_object() gives; the hidden row id left out.
QString serverRowObject(const QString& rowName, const std::vector<schema::ServerColumn>& columns) {
    QStringList parts;
    for (const auto& col : columns) {
        if (col.name == schema::hiddenRowId()) continue;
        const QString key = (parts.isEmpty() ? QStringLiteral("{") : QStringLiteral(",")) +
                            jsonString(col.name) + QLatin1Char(':');
        parts << quoteText(key) << serverJsonValue(rowName, col);
    }
    if (parts.isEmpty()) return QStringLiteral("'{}'");
    return QStringLiteral("(%1 || '}')").arg(parts.join(QStringLiteral(" || ")));
}

QStringList serverTriggerSql(Connection& c, const schema::Table& t, const char* action) {
    const QString actual = c.tableName(t.name);
    const auto columns = schema::serverColumns(c, actual);
    const QString key = keyColumn(t.name);
    bool rowId = false;
    QString keyOf;
    for (const auto& col : columns) {
        if (col.name == schema::hiddenRowId()) rowId = true;
        if (!key.isEmpty() && col.name.compare(key, Qt::CaseInsensitive) == 0)
            keyOf = quoteIdentifier(col.name);
    }
    if (keyOf.isEmpty() && rowId) keyOf = quoteIdentifier(schema::hiddenRowId());

    const QLatin1String act(action);
    const bool inserts = act == QLatin1String("insert"), deletes = act == QLatin1String("delete");
    const QString row = deletes ? QStringLiteral("OLD") : QStringLiteral("NEW");
    const QString name = quoteIdentifier(triggerName(t, action));
    const QString function =
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $journal$ BEGIN "
            "INSERT INTO \"Journal\" (\"Moment\", \"TableName\", \"RowKey\", \"RowId\", "
            "\"Action\", \"OldValues\", \"NewValues\") VALUES ("
            "to_char(clock_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), "
            "%2, %3, %4, '%5', %6, %7); RETURN NULL; END $journal$")
            .arg(
                name, quoteText(actual),
                keyOf.isEmpty() ? QStringLiteral("NULL")
                                : QStringLiteral("%1.%2::text").arg(row, keyOf),
                rowId ? row + QLatin1Char('.') + quoteIdentifier(schema::hiddenRowId())
                      : QStringLiteral("NULL"),
                act.toString(),
                inserts ? QStringLiteral("NULL") : serverRowObject(QStringLiteral("OLD"), columns),
                deletes ? QStringLiteral("NULL") : serverRowObject(QStringLiteral("NEW"), columns));
    // An update that changes nothing leaves no line.
    const QString when =
        inserts || deletes ? QString() : QStringLiteral(" WHEN (OLD.* IS DISTINCT FROM NEW.*)");
    const QString trigger =
        QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON %3 FOR EACH ROW%4 EXECUTE FUNCTION %1()")
            .arg(name, act.toString().toUpper(), quoteIdentifier(actual), when);
    return {function, trigger};
}

// The lower-cased names of the triggers on the server's tables of the current schema.
QStringList serverTriggers(Connection& c) {
    QStringList out;
    auto st =
        c.prepare(QStringLiteral("SELECT lower(t.tgname) FROM pg_trigger t "
                                 "JOIN pg_class k ON k.oid = t.tgrelid "
                                 "JOIN pg_namespace n ON n.oid = k.relnamespace "
                                 "WHERE n.nspname = current_schema() AND NOT t.tgisinternal"));
    while (st->step()) out << st->columnValue(0).toString();
    return out;
}

}  // namespace

void add(Connection& c) {
    inTransaction(
        c, [&c] { install(c); }, true);
}

QString rowObject(const QString& rowName, const std::vector<Connection::ColumnInfo>& columns) {
    QStringList parts;
    for (const auto& col : columns) parts << quoteText(col.name) << jsonValue(rowName, col.name);
    return QStringLiteral("json_object(%1)").arg(parts.join(QStringLiteral(", ")));
}

QString keyColumn(const QString& table) {
    const schema::Table* t = schema::findTable(table);
    if (!t) return {};
    for (const schema::Column& col : t->columns)
        if (col.key) return col.name;
    return {};
}

bool complete(Connection& c) {
    // One look at the schema for the table and every trigger: it runs at each open.
    QStringList names{tableName()};
    for (const schema::Table& t : schema::tables())
        for (const char* action : Actions) names << triggerName(t, action);
    QStringList marks;
    for (qsizetype i = 0; i < names.size(); ++i) marks << QStringLiteral("?");
    const QString sql =
        onServer(c) ? QStringLiteral(
                          "SELECT count(DISTINCT name) FROM ("
                          "SELECT lower(k.relname) AS name FROM pg_class k "
                          "JOIN pg_namespace n ON n.oid = k.relnamespace "
                          "WHERE n.nspname = current_schema() AND k.relkind IN ('r', 'p') "
                          "UNION ALL SELECT lower(t.tgname) FROM pg_trigger t "
                          "JOIN pg_class k ON k.oid = t.tgrelid "
                          "JOIN pg_namespace n ON n.oid = k.relnamespace "
                          "WHERE n.nspname = current_schema() AND NOT t.tgisinternal) AS found "
                          "WHERE name IN (%1)")
                    : QStringLiteral(
                          "SELECT count(DISTINCT lower(name)) FROM sqlite_schema "
                          "WHERE type IN ('table', 'trigger') AND lower(name) IN (%1)");
    auto st = c.prepare(sql.arg(marks.join(QStringLiteral(", "))));
    for (qsizetype i = 0; i < names.size(); ++i) st->bind(int(i + 1), names[i].toLower());
    return st->step() && st->columnInt64(0) == names.size();
}

void installTable(Connection& c) {
    if (onServer(c)) {
        c.execute(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS \"Journal\" ("
            "\"ID_Journal\" bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
            "\"Moment\" text NOT NULL, "
            "\"TableName\" text NOT NULL, "
            "\"RowKey\" text, "
            "\"RowId\" bigint, "
            "\"Action\" text NOT NULL CHECK (\"Action\" IN ('insert', 'update', 'delete')), "
            "\"OldValues\" text, "
            "\"NewValues\" text)"));
        c.execute(
            QStringLiteral("CREATE INDEX IF NOT EXISTS \"Journal_row\" ON \"Journal\" "
                           "(\"TableName\", \"RowKey\")"));
        c.execute(QStringLiteral(
            "CREATE INDEX IF NOT EXISTS \"Journal_moment\" ON \"Journal\" (\"Moment\")"));
        return;
    }
    c.execute(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS \"Journal\" ("
        "\"ID_Journal\" INTEGER PRIMARY KEY AUTOINCREMENT, "
        "\"Moment\" TEXT NOT NULL, "
        "\"TableName\" TEXT NOT NULL, "
        "\"RowKey\", "
        "\"RowId\" INTEGER, "
        "\"Action\" TEXT NOT NULL CHECK (\"Action\" IN ('insert', 'update', 'delete')), "
        "\"OldValues\" TEXT, "
        "\"NewValues\" TEXT)"));
    c.execute(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS \"Journal_row\" ON \"Journal\" (\"TableName\", \"RowKey\")"));
    c.execute(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS \"Journal_moment\" ON \"Journal\" (\"Moment\")"));
}

void install(Connection& c) {
    installTable(c);
    const bool server = onServer(c);
    // The server has no CREATE TRIGGER IF NOT EXISTS: the triggers there are looked up first.
    const QStringList existing = server ? serverTriggers(c) : QStringList();
    for (const schema::Table& t : schema::tables()) {
        if (c.tableName(t.name).isEmpty()) continue;
        for (const char* action : Actions) {
            if (!server) {
                c.execute(triggerSql(c, t, action));
                continue;
            }
            if (existing.contains(triggerName(t, action).toLower())) continue;
            for (const QString& sql : serverTriggerSql(c, t, action)) c.execute(sql);
        }
    }
}

void removeTriggers(Connection& c) {
    const bool server = onServer(c);
    for (const schema::Table& t : schema::tables()) {
        const QString actual = c.tableName(t.name);
        if (actual.isEmpty()) continue;
        for (const char* action : Actions) {
            const QString name = quoteIdentifier(triggerName(t, action));
            c.execute(server ? QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2")
                                   .arg(name, quoteIdentifier(actual))
                             : QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(name));
        }
    }
}

}  // namespace journal
