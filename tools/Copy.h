// The copy command: every row of the program's tables and the journal's lines
// from a database file to a server database or back, counters and row order kept.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class Connection;

namespace dbtools {

// Where a database is: a file, or a server database named by a libpq connection string.
struct Location {
    QString name;
    bool server = false;
};
// The location as messages name it: the path, or the connection string without its password.
QString shown(const Location& l);
// Opens an existing database (a file must exist: none is created). Throws DataError.
std::unique_ptr<Connection> openExisting(const Location& l);

// The program's tables (and the journal) on an empty server database, in one
// transaction; refuses one that has any of them. Throws DataError.
void createOnServer(const QString& conninfo);

struct CopySummary {
    int tables = 0;       // the program's tables copied
    int64_t rows = 0;     // their rows
    int64_t journal = 0;  // the journal's lines
};
// Copies source into dest in one transaction on dest. A file dest must not exist; a
// server dest must hold no row, and gets the tables when it has none. Writes no journal
// line per row: the source's lines are copied instead. Throws DataError, dest unchanged.
CopySummary copyDatabase(const Location& source, const Location& dest);

}  // namespace dbtools
