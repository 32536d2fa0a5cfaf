// tessaly-db print: the program's documents written to a PDF without a
// window, through the same calls the program's previews make, for batch
// printing and scripts. Needs a GUI application (offscreen is enough).
#pragma once

#include <QString>
#include <stdexcept>

namespace dbtools {

// A print asked for wrongly (an unknown kind, a choice missing or out of
// range): the tool says so with its usage.
class PrintUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the command line chose; names are matched whole, as stored.
struct PrintChoices {
    QString group, faculty, discipline, examiner, student, teacher;
    QString semester, year;
    QString photos;  // the program folder whose Foto folders the cards read
    bool credit = false;
    bool allGroups = false;
};

// Writes the document KIND ("statement", "sheet", "student-card",
// "teacher-card") of the database file `db` as the PDF `pdf`, replacing it.
// A name that matches no row, or several, fails naming what was asked for;
// a choice missing or out of range is a PrintUsageError.
// Returns the summary line ("FILE: 3 pages, statement of group ПИ-21\n").
QString printDocument(const QString& kind, const QString& db, const QString& pdf,
                      const PrintChoices& choices);

}  // namespace dbtools
