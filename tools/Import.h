// Bringing a Jet database over: the program's fifteen tables into a new database
// of our schema, or every table of any Jet file into a new SQLite file.
#pragma once

#include <QString>

namespace dbtools {

class JetReader;

enum class ImportScope {
    ProgramTables,  // the program's tables, found by name, into our schema
    AllTables       // every table with its own columns
};

// Reads the Jet file source through libmdb into a new database dest and returns
// the report: one line per table (rows read, rows written), and what was not
// taken. Nothing is dropped silently: a value that does not fit its column or
// two rows with one key stop the import. dest is built in a temporary file
// beside it and appears only when everything is in; an existing dest is never
// touched. Throws DataError.
QString importMdb(const QString& source, const QString& dest, ImportScope scope);

// The same from any reader; messages name the source as sourceName.
QString importFrom(JetReader& reader, const QString& sourceName, const QString& dest,
                   ImportScope scope);

}  // namespace dbtools
