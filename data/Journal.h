// The journal of changes: the table "Journal" and triggers on each of the
// program's fifteen tables that write one line for every insert, update and
// delete, in the same transaction as the change, whoever makes it. A line holds
// the moment (UTC), the table, the row's key (its key column, or the hidden row
// id where the table has none), the row id, the action and the row's old and
// new values as JSON objects keyed by column name.
#pragma once

#include <QString>
#include <QStringList>

#include "Connection.h"

namespace journal {

inline QString tableName() {
    return QStringLiteral("Journal");
}

// The journal's table and every trigger are there.
bool complete(Connection& c);
// Adds whatever of the journal is missing; touches no row of the program's
// tables. Runs no transaction of its own: the caller wraps it in one. On the
// server the triggers are plpgsql functions of the same names.
void install(Connection& c);
// The journal's table and its indexes alone, where missing: rows copied in before
// install() leave no lines.
void installTable(Connection& c);
// Drops the journal's triggers (never its table or lines), so rows copied in leave no
// lines until install() puts the triggers back.
void removeTriggers(Connection& c);
// install() in a write transaction of its own, taken at once (BEGIN IMMEDIATE);
// a failure rolls it back and goes on to the caller.
void add(Connection& c);
// The SQL expression of a row's values as the journal keeps them, for the row
// named rowName (a table's name, or OLD or NEW in a trigger); SQLite's SQL.
QString rowObject(const QString& rowName, const std::vector<Connection::ColumnInfo>& columns);
// The key column of a program table, empty for those without one (Parents, Ocenki).
QString keyColumn(const QString& table);

}  // namespace journal
