// The database schema: the one place that knows every table and column the
// program reads or writes, their types, sizes and keys. The database tool
// creates databases from it; the data module checks a file against it before
// it changes anything in that file.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class Connection;

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

// SQL that creates the tables (dates are ISO 8601 text, counters are the row key).
QStringList createStatements();
// Creates the tables in an open, empty database, in one transaction.
void create(Connection& c);
// What keeps the database from serving the program: missing tables or
// columns, incompatible types. Empty when it conforms.
QStringList problems(Connection& c);

}  // namespace schema
