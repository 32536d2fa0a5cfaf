// tessaly-db print. The database is opened by the data module, as the program
// opens it, so every document reads the same datasets and look-ups; names on
// the command line become keys by one query each against the file, which
// tells a name that is missing from one that is there twice.
#include "Print.h"

#include <QFileInfo>
#include <QStringList>
#include <limits>
#include <memory>

#include "Catalog.h"
#include "Connection.h"
#include "DM_Tessaly.h"
#include "DataError.h"
#include "Documents.h"
#include "Messages.h"
#include "PainterOutput.h"
#include "PhotoStore.h"

namespace dbtools {

namespace {

// A database that cannot serve the print, or a name it does not hold.
[[noreturn]] void refuse(const QString& text) {
    throw DataError(text);
}

[[noreturn]] void misused(const QString& text) {
    throw PrintUsageError(text.toStdString());
}

// The data module on the file; what it would have shown in a message box is the failure.
std::unique_ptr<TDM> openDataModule(const QString& db) {
    requireFile(db);
    platform::MessageRecorder messages;
    auto dm = std::make_unique<TDM>(nullptr, std::make_unique<SqliteConnection>(db));
    if (!messages.texts().isEmpty()) refuse(messages.texts().first());
    return dm;
}

// The one key of the rows whose column holds the value; `what` names it in messages.
QVariant keyOf(Connection& c, const QString& sql, const QVariant& value, const QString& what) {
    auto st = c.prepare(sql);
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
        st->bind(1, int64_t(value.toLongLong()));
    else
        st->bind(1, value.toString());
    QVariantList keys;
    while (st->step()) keys << st->columnValue(0);
    if (keys.isEmpty()) refuse(QStringLiteral("%1 is not in the database").arg(what));
    if (keys.size() > 1)
        refuse(QStringLiteral("%1 names %2 rows; the name must name one").arg(what).arg(keys.size()));
    return keys.first();
}

QString quoted(const QString& name) {
    return u'"' + name + u'"';
}

int wholeNumber(const QString& text, const char* option, int low, int high) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < low || n > high)
        misused(QStringLiteral("%1 needs a whole number from %2 to %3, not \"%4\"")
                   .arg(QLatin1String(option))
                   .arg(low)
                   .arg(high)
                   .arg(text));
    return n;
}

QString required(const QString& value, const QString& kind, const char* option) {
    if (value.isEmpty())
        misused(QStringLiteral("print %1 needs %2").arg(kind, QLatin1String(option)));
    return value;
}

QVariant groupKey(Connection& c, const QString& name) {
    return keyOf(c, QStringLiteral("SELECT ID_GRoup FROM Gruppa WHERE Nazvanie = ?"), name,
                 QStringLiteral("The group ") + quoted(name));
}

QVariant disciplineKey(Connection& c, const QString& name) {
    return keyOf(c, QStringLiteral("SELECT Ndis FROM Disciplins WHERE NameDis = ?"), name,
                 QStringLiteral("The discipline ") + quoted(name));
}

QVariant examinerKey(Connection& c, const QString& surname) {
    if (surname.isEmpty()) return {};
    return keyOf(c, QStringLiteral("SELECT ID_Prepod FROM Prepodavateli WHERE \"Фамилия\" = ?"),
                 surname, QStringLiteral("The teacher ") + quoted(surname));
}

// Every group of the faculty, by name.
QVariantList facultyGroups(Connection& c, const QString& faculty) {
    const QVariant id =
        keyOf(c, QStringLiteral("SELECT ID_Facultet FROM Facultet WHERE Nazvanie = ?"), faculty,
              QStringLiteral("The faculty ") + quoted(faculty));
    auto st = c.prepare(QStringLiteral(
        "SELECT g.ID_GRoup FROM Gruppa g JOIN Specialnost s ON s.ID_Spec = g.ID_Specialnost "
        "WHERE s.ID_Facultet = ? ORDER BY g.Nazvanie, g.ID_GRoup"));
    st->bind(1, int64_t(id.toLongLong()));
    QVariantList groups;
    while (st->step()) groups << st->columnValue(0);
    if (groups.isEmpty()) refuse(QStringLiteral("The faculty %1 has no group").arg(quoted(faculty)));
    return groups;
}

void append(report::PageList& all, report::PageList pages) {
    if (all.pages.empty()) {
        all = std::move(pages);
        return;
    }
    for (report::Page& p : pages.pages) all.pages.push_back(std::move(p));
}

}  // namespace

QString printDocument(const QString& kind, const QString& db, const QString& pdf,
                      const PrintChoices& choices) {
    const QStringList kinds{QStringLiteral("statement"), QStringLiteral("sheet"),
                            QStringLiteral("student-card"), QStringLiteral("teacher-card")};
    if (!kinds.contains(kind))
        misused(QStringLiteral("print knows %1, not \"%2\"")
                    .arg(kinds.join(QStringLiteral(", ")), kind));
    if (pdf.isEmpty()) misused(QStringLiteral("print needs --pdf FILE"));
    const bool statement = kind == QLatin1String("statement");
    const bool sheet = kind == QLatin1String("sheet");
    // What each kind needs is checked before the database is opened.
    int semester = 0, year = 0, teacherId = 0;
    if (statement) {
        required(choices.discipline, kind, "--discipline");
        semester = wholeNumber(required(choices.semester, kind, "--semester"), "--semester", 1, 20);
        year = wholeNumber(required(choices.year, kind, "--year"), "--year", 1, 9998);
        if (choices.allGroups)
            required(choices.faculty, kind, "--faculty");
        else
            required(choices.group, kind, "--group");
    } else if (sheet) {
        required(choices.student, kind, "--student");
        required(choices.discipline, kind, "--discipline");
        semester = wholeNumber(required(choices.semester, kind, "--semester"), "--semester", 1, 10);
    } else if (kind == QLatin1String("student-card")) {
        required(choices.student, kind, "--student");
    } else {
        teacherId = wholeNumber(required(choices.teacher, kind, "--teacher"), "--teacher", 1,
                                std::numeric_limits<int>::max());
    }
    if (choices.allGroups && !statement) misused(QStringLiteral("--all-groups is for statements"));
    if (choices.credit && !sheet) misused(QStringLiteral("--credit is for sheets"));

    const std::unique_ptr<TDM> dm = openDataModule(db);
    Connection& c = dm->ADOConnection1;
    photos::setPrintFolder(choices.photos);
    const auto student = [&] {
        return keyOf(c, QStringLiteral("SELECT N_student FROM Studenti WHERE N_student = ?"),
                     choices.student, QStringLiteral("The student ") + quoted(choices.student));
    };

    report::PageList pages;
    QString what;
    if (statement) {
        documents::StatementRequest request;
        request.discipline = disciplineKey(c, choices.discipline);
        request.examiner = examinerKey(c, choices.examiner);
        request.semester = QString::number(semester);
        request.year = QString::number(year);
        request.followingYear = QString::number(year + 1);
        QVariantList groups;
        if (choices.allGroups) {
            groups = facultyGroups(c, choices.faculty);
            what = QStringLiteral("statements of %1 groups of %2")
                       .arg(groups.size())
                       .arg(quoted(choices.faculty));
        } else {
            groups << groupKey(c, choices.group);
            what = QStringLiteral("statement of group ") + choices.group;
        }
        for (const QVariant& group : groups) {
            request.group = group;
            append(pages, documents::statement(request)->produce());
        }
    } else if (sheet) {
        documents::SheetRequest request;
        request.student = student();
        request.discipline = disciplineKey(c, choices.discipline);
        request.examiner = examinerKey(c, choices.examiner);
        request.semester = semester;
        request.kind = choices.credit ? QStringLiteral("Зачетный лист")
                                      : QStringLiteral("Экзаменационный лист");
        pages = documents::examSheet(request)->produce();
        what = request.kind + QStringLiteral(" of student ") + choices.student;
    } else if (kind == QLatin1String("student-card")) {
        pages = documents::studentCard(student())->produce();
        what = QStringLiteral("card of student ") + choices.student;
    } else {
        const QVariant teacher =
            keyOf(c, QStringLiteral("SELECT ID_Prepod FROM Prepodavateli WHERE ID_Prepod = ?"),
                  QVariant(qlonglong(teacherId)), QStringLiteral("The teacher ") + choices.teacher);
        pages = documents::teacherCard(teacher)->produce();
        what = QStringLiteral("card of teacher ") + choices.teacher;
    }
    report::writePdf(pdf, pages);
    return QStringLiteral("%1: %2 pages, %3\n").arg(pdf).arg(pages.pages.size()).arg(what);
}

}  // namespace dbtools
