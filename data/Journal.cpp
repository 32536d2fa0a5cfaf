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
    auto st = c.prepare(QStringLiteral("SELECT count(DISTINCT lower(name)) FROM sqlite_schema "
                                       "WHERE type IN ('table', 'trigger') AND lower(name) IN (%1)")
                            .arg(marks.join(QStringLiteral(", "))));
    for (qsizetype i = 0; i < names.size(); ++i) st->bind(int(i + 1), names[i].toLower());
    return st->step() && st->columnInt64(0) == names.size();
}

void install(Connection& c) {
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
    for (const schema::Table& t : schema::tables()) {
        if (c.tableName(t.name).isEmpty()) continue;
        for (const char* action : Actions) c.execute(triggerSql(c, t, action));
    }
}

}  // namespace journal
