// The database schema: the one place that knows every table and column the
// program reads or writes, their types, sizes and keys. The database tool
// creates databases from it; the data module checks a file against it before
// it changes anything in that file.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "Connection.h"

namespace schema {

enum class Type { Counter, Integer, SmallInt, Text, DateTime };

struct Column {
    QString name;
    Type type;
    int size = 0;          // text: most characters; 0 for text of no fixed length
    bool key = false;      // identifies a row (unique)
    bool required = false; // never empty
};

struct Table {
    QString name;
    std::vector<Column> columns;
};

// The fifteen tables, columns in the order the program declares them.
const std::vector<Table>& tables();
const Table* findTable(const QString& name);

// SQL that creates the tables. SQLite: dates are ISO 8601 text, counters are the row
// key. The server: each table also has the hidden row id first (HiddenRowId), counters
// are identity columns that are the primary key, dates are timestamps.
QStringList createStatements(Connection::Dialect dialect);
// Creates the tables in an open, empty database, in one transaction, in the
// connection's dialect.
void create(Connection& c);
// What keeps the database from serving the program: missing tables or
// columns, incompatible types; on the server also a missing hidden row id.
// Empty when it conforms.
QStringList problems(Connection& c);

// The server's column that identifies a row for UPDATE and DELETE, as SQLite's rowid does.
inline QString hiddenRowId() {
    return QStringLiteral("rowid");
}

// A column of a server table as the catalog has it, the hidden row id included.
struct ServerColumn {
    QString name;
    QString type;             // format_type(): "character varying(50)", "integer"
    bool identity = false;    // GENERATED … AS IDENTITY
    bool primaryKey = false;  // the whole of the table's primary key
};
// The columns of a server table in their order; empty when there is no such table.
std::vector<ServerColumn> serverColumns(Connection& c, const QString& table);

}  // namespace schema
