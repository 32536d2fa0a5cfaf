// What the demo and the generator share: the new-file lifecycle (refuse what
// exists, remove what a failed run built), seeded randomness that gives the same
// database on every platform, Russian names, disciplines, specialties and the
// reference tables every database of the program holds.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <random>
#include <vector>

#include "Connection.h"

namespace dbtools {

// The moment the demo is set in: the autumn semester of 2026/27.
constexpr int CurrentYear = 2026;

// A database file this run creates. Refuses a path where anything exists (the
// file stays untouched); until finish() succeeds, destruction removes the file
// and its journals, so a failed run leaves nothing half-built behind.
class NewDatabase {
public:
    // Made with the program's empty tables, or with none for a file of other tables.
    enum class Tables { Program, None };
    explicit NewDatabase(const QString& path, Tables tables = Tables::Program);
    ~NewDatabase();
    NewDatabase(const NewDatabase&) = delete;
    NewDatabase& operator=(const NewDatabase&) = delete;

    Connection& connection() { return m_connection; }
    // Leaves the file in the write-ahead mode the program opens it with and closes it.
    void finish();

private:
    QString m_path;
    SqliteConnection m_connection;
    Tables m_tables = Tables::Program;
    bool m_created = false;
    bool m_finished = false;
};

// Throws when something already exists at path, naming it.
void refuseExisting(const QString& path);

// Throws, naming the path, unless a file is there (asked before SQLite or libmdb
// is, so a missing file is never created).
void requireFile(const QString& path);

// Renames from to to in one step unless something exists at to: false, with errno
// EEXIST, when it does, or with the system's errno on another failure.
bool renameNoReplace(const QString& from, const QString& to);

// A name in path's folder where nothing exists yet, for a file that becomes path
// when it is complete ("verdikon.mdb" → "verdikon.mdb.3f2a.part").
QString freeNameBeside(const QString& path);
// Renames from to to in one step, refusing (DataError, from left in place) when
// something exists at to: a file that appeared meanwhile is never replaced.
void renameWithoutReplacing(const QString& from, const QString& to);

// mt19937 with modulo picks: the standard fixes its output, unlike the distributions.
class Random {
public:
    explicit Random(uint32_t seed) : m_engine(seed) {}
    int below(int n) { return int(m_engine() % uint32_t(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T>
    const T& pick(const std::vector<T>& v) {
        return v[size_t(below(int(v.size())))];
    }

private:
    std::mt19937 m_engine;
};

// One prepared INSERT reused for every row.
class Insert {
public:
    Insert(Connection& c, const QString& table, const QStringList& columns);
    void row(std::initializer_list<QVariant> values);
    Statement& statement() { return *m_statement; }
    int64_t lastId() const { return m_connection.lastInsertId(); }

private:
    Connection& m_connection;
    std::unique_ptr<Statement> m_statement;
};

// ---- people

struct MaleName {
    QString name;
    QString sonPatronymic;
    QString daughterPatronymic;
};

const std::vector<MaleName>& maleNames();
const std::vector<QString>& femaleNames();
// Surnames in their masculine form.
const std::vector<QString>& surnames();
// The feminine form of a masculine surname ("Иванов" → "Иванова", "Ковальский" → "Ковальская").
QString feminineSurname(const QString& masculine);
const std::vector<QString>& cities();
// Street names that fit the ten characters the address columns hold.
const std::vector<QString>& streets();

struct Person {
    QString surname;
    // The family's surname in its masculine form, for relatives of either sex.
    QString familySurname;
    QString name;
    QString patronymic;
    bool female = false;
    // The father's first name, which the patronymic comes from.
    int fatherName = 0;
};
Person randomPerson(Random& r, bool female);
Person randomPerson(Random& r, bool female, const QString& masculineSurname);
QString randomHouse(Random& r);
// ISO text of a date in the given year.
QString randomDate(Random& r, int year);

// ---- the curriculum

const std::vector<QString>& disciplineNames();

struct Specialty {
    QString code;
    QString name;
    QString groupPrefix;
};
// Real specialty codes of the technical and mathematical fields.
const std::vector<Specialty>& specialties();

// Kinds of assessment (ID_kontrol.ID_KONTROL).
enum Kontrol { Exam = 1, Credit = 2, GradedCredit = 3, CourseWork = 4 };
// Results (ID_Result.ID_Result).
enum Result {
    Excellent = 1,
    Good = 2,
    Satisfactory = 3,
    Unsatisfactory = 4,
    Passed = 5,
    NotPassed = 6,
    Absent = 7
};
// A result that fits the kind of assessment: a mark for exams, graded credits and
// course works, passed/not passed for credits; now and then an absence.
int randomResult(Random& r, int kontrol);
// The kind of assessment of a plan's slot within a semester of five rows.
int kontrolOfSlot(int slot, int semester);
// When a semester's sessions take place for a group that entered in enterYear: ISO text.
QString sessionDate(int enterYear, int semester, int slot);

// ID_kontrol, ID_Result, N_Zvanie, Dolgnost and N_Stepen with their fixed keys.
void writeReferenceTables(Connection& c);

// Ranks (N_Zvanie.ID_Zvanie), positions (Dolgnost.ID_Dolgnost) and degrees (N_Stepen.ID_Stepen).
enum Zvanie { Docent = 1, Professor = 2, SeniorResearcher = 3 };
enum Dolgnost {
    Assistant = 1,
    SeniorLecturer = 2,
    AssociateProfessor = 3,
    FullProfessor = 4,
    Head = 5
};
enum Stepen { CandTech = 1, DocTech = 2, CandPhysMath = 3, DocPhysMath = 4, CandPed = 5 };

}  // namespace dbtools
