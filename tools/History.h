// The journal of changes from the database tool: adding it to a database made
// before it existed, reading it, putting a deleted row back, and removing old lines.
#pragma once

#include <QDate>
#include <QString>

namespace dbtools {

// Adds the journal to a database of the program that lacks it, touching no row;
// returns the one-line summary. Throws DataError.
QString upgrade(const QString& path);

struct HistoryFilter {
    QString table;  // empty: every table; matched without regard to letter case
    QString key;    // empty: every row; the key as the history shows it
    QDate since;    // invalid: from the first line; else from that day's start (local time)
};
// The journal's lines that pass the filter, oldest first, one line each, values
// shown as the program shows them; a grade's line also names the student and
// the discipline.
QString history(const QString& path, const HistoryFilter& filter);

// Puts the row that journal line id deleted back exactly as it was, its key and
// row id included. Refused when id names no deletion, when the row is already
// back, or when its key has been taken since.
QString undelete(const QString& path, qint64 id);

// Removes the journal's lines older than the start of the day before (local time).
QString prune(const QString& path, const QDate& before);

}  // namespace dbtools
