// The synthetic database. Speed matters here (30,000 students give 1.5 million
// grades): every text that repeats is built once, rows go through prepared
// statements bound by position, and the whole fill is one transaction.
#include "Generate.h"

#include <QDate>
#include <algorithm>
#include <cmath>
#include <vector>

#include "Catalog.h"
#include "DataError.h"

namespace dbtools {

namespace {
QString u(const char* text) {
    return QString::fromUtf8(text);
}

int atLeast(int minimum, double value) {
    return std::max(minimum, int(std::lround(value)));
}
int ceilDiv(int a, int b) {
    return (a + b - 1) / b;
}

// Groups enter between 2017 and 2021, so every one of them has finished its ten semesters.
constexpr int FirstYear = 2017;
constexpr int Years = 5;
constexpr int Semesters = 10;
constexpr int PlanSlots = GradesPerStudent / Semesters;

const std::vector<QString>& facultyNames() {
    static const std::vector<QString> all = {u("Факультет информационных технологий"),
                                             u("Физико-математический факультет"),
                                             u("Факультет автоматики и вычислительной техники"),
                                             u("Радиотехнический факультет"),
                                             u("Факультет прикладной информатики"),
                                             u("Механико-математический факультет")};
    return all;
}

const std::vector<QString>& departmentNames() {
    static const std::vector<QString> all = {
        u("Кафедра вычислительной техники"),    u("Кафедра программной инженерии"),
        u("Кафедра прикладной математики"),     u("Кафедра высшей математики"),
        u("Кафедра информационных систем"),     u("Кафедра физики"),
        u("Кафедра иностранных языков"),        u("Кафедра автоматики"),
        u("Кафедра теоретической информатики"), u("Кафедра защиты информации")};
    return all;
}

// A name from a list, numbered once the list runs out.
QString numbered(const std::vector<QString>& names, int i, const char* format) {
    const int n = int(names.size());
    if (i < n) return names[size_t(i)];
    return names[size_t(i % n)] + QString::fromUtf8(format).arg(i / n + 1);
}

// Surnames: stems of the catalogue's surnames with the usual endings.
std::vector<QString> surnameVariants() {
    const char* const endings[] = {"ов", "овский", "енко", "ин", "ович"};
    std::vector<QString> out;
    for (const QString& s : surnames()) {
        if (!(s.endsWith(u("ов")) || s.endsWith(u("ев")) || s.endsWith(u("ёв")))) {
            out.push_back(s);
            continue;
        }
        const QString stem = s.left(s.size() - 2);
        const QString vowel = s.mid(s.size() - 2, 1);  // о, е or ё keeps the stem's sound
        out.push_back(s);
        for (size_t e = 1; e < std::size(endings); ++e) {
            QString ending = u(endings[e]);
            if (ending.startsWith(u("о"))) ending.replace(0, 1, vowel);
            out.push_back(stem + ending);
        }
    }
    return out;
}

struct Bind {
    Statement& st;
    int i = 1;
    Bind& operator<<(const QString& v) {
        if (v.isEmpty())
            st.bindNull(i++);
        else
            st.bind(i++, v);
        return *this;
    }
    Bind& operator<<(int v) {
        st.bind(i++, int64_t(v));
        return *this;
    }
};

void fill(Connection& c, const GeneratedSizes& n) {
    Random r(20261210);
    writeReferenceTables(c);

    {
        Insert facultet(c, u("Facultet"), {u("ID_Facultet"), u("Nazvanie"), u("ID_Dekan")});
        // The dean of faculty f heads its first department, whose head is teacher f.
        for (int f = 0; f < n.faculties; ++f)
            facultet.row({f + 1, numbered(facultyNames(), f, " №%1"), f + 1});
    }
    {
        Insert kafedra(c, u("Kafedra"),
                       {u("ID_facultet"), u("Nazvanie"), u("ID_kafedra"), u("Zav_Kafedri")});
        for (int d = 0; d < n.departments; ++d)
            kafedra.row(
                {d % n.faculties + 1, numbered(departmentNames(), d, " №%1"), 100 + d + 1, d + 1});
    }

    std::vector<QString> specCodes(size_t(n.specialties));
    std::vector<QString> specPrefixes(size_t(n.specialties));
    {
        Insert specialtyRows(c, u("Specialnost"), {u("Nazvanie"), u("ID_Facultet"), u("ID_Spec")});
        const auto& known = specialties();
        const int k = int(known.size());
        for (int s = 0; s < n.specialties; ++s) {
            const Specialty& base = known[size_t(s % k)];
            const bool first = s < k;
            specCodes[size_t(s)] = first ? base.code : QString::number(300000 + s);
            specPrefixes[size_t(s)] =
                first ? base.groupPrefix : base.groupPrefix + QString::number(s / k + 1);
            specialtyRows.row({first ? base.name : base.name + u(" (профиль %1)").arg(s / k + 1),
                      s % n.faculties + 1, specCodes[size_t(s)]});
        }
    }

    std::vector<int> groupSpec(size_t(n.groups));
    std::vector<int> groupYear(size_t(n.groups));
    {
        Insert group(
            c, u("Gruppa"),
            {u("ID_GRoup"), u("Nazvanie"), u("ID_Specialnost"), u("ID_Starosta"), u("ID_Kyrator")});
        for (int g = 0; g < n.groups; ++g) {
            const int s = g % n.specialties;
            const int year = FirstYear + (g / n.specialties) % Years;
            const int sequence = g / (n.specialties * Years) + 1;
            groupSpec[size_t(g)] = s;
            groupYear[size_t(g)] = year;
            // The head is the group's first student (students fill groups in blocks).
            const int firstStudent = int(int64_t(g) * n.students / n.groups);
            group.row({g + 1,
                       QStringLiteral("%1-%2%3")
                           .arg(specPrefixes[size_t(s)])
                           .arg(year % 100)
                           .arg(sequence),
                       specCodes[size_t(s)], generatedStudentNumber(firstStudent),
                       g % n.teachers + 1});
        }
    }

    {
        Insert teacher(c, u("Prepodavateli"),
                       {u("ID_Prepod"), u("Фамилия"), u("Имя"), u("Отчество"), u("День рождения"),
                        u("Место рожд"), u("Пол"), u("Гражданство"), u("Статус"), u("Kur_Gr"),
                        u("ID_kafedra"), u("City"), u("Street"), u("House"), u("Apar"), u("Звание"),
                        u("Степень"), u("Должность")});
        const int rotation[] = {FullProfessor,  AssociateProfessor, AssociateProfessor,
                                SeniorLecturer, SeniorLecturer,     Assistant};
        for (int t = 0; t < n.teachers; ++t) {
            // Teacher t < departments heads department t.
            const int position = t < n.departments ? Head : rotation[t % 6];
            const Person p = randomPerson(r, r.chance(40));
            const bool doctor = position == Head || position == FullProfessor;
            const bool candidate =
                position == AssociateProfessor || (position == SeniorLecturer && r.chance(50));
            const bool math = r.chance(40);
            const QString stepen = doctor      ? QString::number(math ? DocPhysMath : DocTech)
                                   : candidate ? QString::number(math ? CandPhysMath : CandTech)
                                               : QString();
            const QString zvanie = doctor                           ? QString::number(Professor)
                                   : position == AssociateProfessor ? QString::number(Docent)
                                                                    : QString();
            const int age = position == Assistant ? r.between(24, 32) : r.between(32, 70);
            teacher.row({t + 1, p.surname, p.name, p.patronymic, randomDate(r, CurrentYear - age),
                         r.pick(cities()), p.female ? u("ж") : u("м"), u("Россия"),
                         r.chance(85) ? u("штатный") : u("совместитель"),
                         t < n.groups ? QVariant(t + 1) : QVariant(), 100 + t % n.departments + 1,
                         r.pick(cities()), r.pick(streets()), randomHouse(r),
                         QString::number(r.between(1, 200)), zvanie, stepen, position});
        }
    }

    {
        Insert discipline(c, u("Disciplins"), {u("Ndis"), u("NameDis"), u("TypeDis")});
        for (int d = 0; d < n.disciplines; ++d)
            discipline.row(
                {d + 1, numbered(disciplineNames(), d, " (модуль %1)"), d % 7 == 6 ? 2 : 1});
    }

    // Plan rows of specialty s, semester sem, slot k: plan[(s * Semesters + sem - 1) * PlanSlots +
    // k].
    struct PlanRow {
        int id;
        int kontrol;
    };
    std::vector<PlanRow> plans(size_t(n.specialties) * Semesters * PlanSlots);
    {
        Insert plan(c, u("PlanSpec"),
                    {u("ID_Spec"), u("Ndis"), u("Semestr"), u("Time_Lekcii"), u("Time_Prakt"),
                     u("ID_Kontrol")});
        for (int s = 0; s < n.specialties; ++s)
            for (int sem = 1; sem <= Semesters; ++sem)
                for (int k = 0; k < PlanSlots; ++k) {
                    const int d = (s * 37 + (sem - 1) * 4 + k) % n.disciplines;
                    const int kontrol = kontrolOfSlot(k, sem);
                    plan.row({specCodes[size_t(s)], d + 1, sem, k < 2 ? 36 + 18 * r.below(2) : 18,
                              18 + 18 * r.below(2), kontrol});
                    plans[(size_t(s) * Semesters + size_t(sem - 1)) * PlanSlots + size_t(k)] = {
                        int(plan.lastId()), kontrol};
                }
    }

    // Texts that repeat, built once.
    std::vector<QString> sessionDates(size_t(Years) * Semesters * PlanSlots);
    for (int y = 0; y < Years; ++y)
        for (int sem = 1; sem <= Semesters; ++sem)
            for (int k = 0; k < PlanSlots; ++k)
                sessionDates[(size_t(y) * Semesters + size_t(sem - 1)) * PlanSlots + size_t(k)] =
                    sessionDate(FirstYear + y, sem, k);
    const std::vector<QString> families = surnameVariants();
    std::vector<QString> feminine;
    for (const QString& s : families) feminine.push_back(feminineSurname(s));
    const QString male = u("М"), female = u("Ж"), budget = u("Бюджет"), contract = u("Контракт"),
                  single = u("холост(не замужем)"), married = u("женат(замужем)"),
                  school = u("Среднее общее"), college = u("Среднее профессиональное"),
                  russia = u("Россия"), kazakhstan = u("Казахстан");
    std::vector<QString> enterDates(Years);
    for (int y = 0; y < Years; ++y)
        enterDates[size_t(y)] = QStringLiteral("%1-09-01").arg(FirstYear + y);
    std::vector<QString> numbers(size_t(n.students));
    for (int i = 0; i < n.students; ++i) numbers[size_t(i)] = generatedStudentNumber(i);

    {
        auto student = c.prepare(QStringLiteral(
            "INSERT INTO Studenti (N_student, Fam, Name, SecName, BirthDate, Sex, EnterDate, "
            "FamilyPosition, Education, City, Street, House, Apar, Type_Stud, ID_group, "
            "PodGroupe, Citizen) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
        auto parent = c.prepare(QStringLiteral(
            "INSERT INTO Parents (PFam, Pname, PSecondName, City, Street, House, Apar, Sex, "
            "N_Student) VALUES (?,?,?,?,?,?,?,?,?)"));
        const int femaleCount = int(femaleNames().size());
        const int maleCount = int(maleNames().size());
        for (int i = 0; i < n.students; ++i) {
            const int g = int(int64_t(i) * n.groups / n.students);
            const int y = groupYear[size_t(g)] - FirstYear;
            const int family = r.below(int(families.size()));
            const bool isFemale = r.chance(45);
            const int father = r.below(maleCount);
            const MaleName& dad = maleNames()[size_t(father)];
            const QString& city = r.pick(cities());
            const QString& street = r.pick(streets());
            const QString house = QString::number(r.between(1, 120));
            const QString apartment = r.chance(75) ? QString::number(r.between(1, 240)) : QString();
            const QDate birth(groupYear[size_t(g)] - 18, r.between(1, 12), r.between(1, 28));
            student->reset();
            Bind b{*student};
            b << numbers[size_t(i)]
              << (isFemale ? feminine[size_t(family)] : families[size_t(family)])
              << (isFemale ? femaleNames()[size_t(r.below(femaleCount))]
                           : maleNames()[size_t(r.below(maleCount))].name)
              << (isFemale ? dad.daughterPatronymic : dad.sonPatronymic)
              << birth.toString(Qt::ISODate) << (isFemale ? female : male) << enterDates[size_t(y)]
              << (r.chance(5) ? married : single) << (r.chance(85) ? school : college) << city
              << street << house << apartment << (r.chance(70) ? budget : contract) << (g + 1)
              << (i % 2 + 1) << (r.chance(95) ? russia : kazakhstan);
            student->step();
            if (r.chance(15)) continue;
            parent->reset();
            Bind p{*parent};
            const bool isFather = r.chance(40);
            p << (isFather ? families[size_t(family)] : feminine[size_t(family)])
              << (isFather ? dad.name : femaleNames()[size_t(r.below(femaleCount))])
              << (isFather ? maleNames()[size_t(r.below(maleCount))].sonPatronymic
                           : maleNames()[size_t(r.below(maleCount))].daughterPatronymic)
              << city << street << house << apartment << (isFather ? male : female)
              << numbers[size_t(i)];
            parent->step();
        }
    }

    // Grades semester by semester, as an office enters them after each session.
    auto grade = c.prepare(QStringLiteral(
        "INSERT INTO Ocenki (N_student, Date, ID_Result, ID_Plan, Semestr) VALUES (?,?,?,?,?)"));
    for (int sem = 1; sem <= Semesters; ++sem)
        for (int i = 0; i < n.students; ++i) {
            const int g = int(int64_t(i) * n.groups / n.students);
            const int y = groupYear[size_t(g)] - FirstYear;
            const size_t planBase =
                (size_t(groupSpec[size_t(g)]) * Semesters + size_t(sem - 1)) * PlanSlots;
            const size_t dateBase = (size_t(y) * Semesters + size_t(sem - 1)) * PlanSlots;
            for (int k = 0; k < PlanSlots; ++k) {
                const PlanRow& plan = plans[planBase + size_t(k)];
                grade->reset();
                grade->bind(1, numbers[size_t(i)]);
                grade->bind(2, sessionDates[dateBase + size_t(k)]);
                grade->bind(3, int64_t(randomResult(r, plan.kontrol)));
                grade->bind(4, int64_t(plan.id));
                grade->bind(5, int64_t(sem));
                grade->step();
            }
        }
}
}  // namespace

GeneratedSizes generatedSizes(int students) {
    GeneratedSizes n;
    n.students = students;
    n.teachers = atLeast(2, students / 40.0);
    n.groups = atLeast(1, students / 25.0);
    n.specialties = atLeast(1, students / 500.0);
    n.faculties = std::max(1, ceilDiv(n.specialties, 6));
    n.departments = std::min(n.teachers, std::max(n.faculties, ceilDiv(n.teachers, 15)));
    n.faculties = std::min(n.faculties, n.departments);
    n.disciplines = std::clamp(n.specialties * 10, 40, 2000);
    return n;
}

QString generatedStudentNumber(int i) {
    // 7919 shares no factor with 9,000,000, so i → number is one-to-one below it,
    // and the numbers do not follow the order of the list.
    return QString::number(1000000 + int((int64_t(i) * 7919) % 9000000));
}

void generate(const QString& path, int students) {
    if (students < 1 || students > MaxGeneratedStudents)
        throw DataError(QStringLiteral("The number of students must be between 1 and %1")
                            .arg(MaxGeneratedStudents));
    const GeneratedSizes n = generatedSizes(students);
    NewDatabase db(path);
    Connection& c = db.connection();
    // The grades' index stays in memory while it grows.
    c.execute(QStringLiteral("PRAGMA cache_size=-65536"));
    inTransaction(c, [&] { fill(c, n); });
    db.finish();
}

}  // namespace dbtools
