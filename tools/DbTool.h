// The commands of tessaly-db: create, demo, check, generate, copy and the rest, with the
// command line's parsing, usage text and exit statuses.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class Connection;

namespace dbtools {

enum ExitStatus { Done = 0, Failed = 1, WrongUsage = 2 };

// An empty database with the program's tables; refuses an existing file. Throws DataError.
void createEmpty(const QString& path);

struct Contents {
    int tables = 0;        // the program's tables and any others, the journal's not counted
    bool journal = false;  // the journal of changes is there, with all its triggers
    int64_t students = 0;
    int64_t grades = 0;
};
// What a conforming database holds, for one-line summaries.
Contents contents(Connection& c);

struct CheckReport {
    // SQLite's integrity findings, then whatever keeps the file from serving the program.
    QStringList problems;
    Contents contents;  // filled only when there is no problem
};
// Checks an existing file without creating one and, when it finds a problem, without
// writing to it. Throws DataError when the file is missing or cannot be opened as a database.
CheckReport check(const QString& path);
// Checks a server database's tables against the schema; writes nothing. Throws DataError
// when the server cannot be reached.
CheckReport checkServer(const QString& conninfo);

QString usage();
// Runs a command line (the program's name first); writes to stdout and stderr and
// returns the exit status.
int run(const QStringList& arguments);

}  // namespace dbtools
