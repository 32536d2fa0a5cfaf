// The demo database's contents. Everything is built in memory first, so that
// links (deans, curators, group heads, photo names) are known before any row is
// written, then written in one transaction.
#include "DemoData.h"

#include <QDir>
#include <vector>

#include "Catalog.h"
#include "DataError.h"
#include "Photos.h"

namespace dbtools {

namespace {
QString u(const char* text) {
    return QString::fromUtf8(text);
}

struct Teacher {
    int id = 0;
    Person person;
    QString birthDate;
    QString birthPlace;
    QString status;
    int kafedra = 0;  // ID_kafedra
    int position = 0;
    QString zvanie;
    QString stepen;
    int curatedGroup = 0;
    QString city, street, house, apartment;
    QString photo;
};

struct Group {
    int id = 0;
    QString name;
    int specialty = 0;  // index into the demo's specialties
    int enterYear = 0;
    int curator = 0;
    QString head;  // the group head's record-book number
};

struct Student {
    QString number;
    Person person;
    QString birthDate;
    QString enterDate;
    QString familyPosition;
    QString education;
    QString city, street, house, apartment;
    QString type;
    int group = 0;  // ID_GRoup
    int subgroup = 1;
    QString citizen;
    QString photo;
};

struct Kafedra {
    int faculty;
    const char* name;
    int id;
    bool mathematical;
};

const Kafedra kafedras[] = {
    {1, "Кафедра вычислительной техники", 11, false},
    {1, "Кафедра программной инженерии", 12, false},
    {1, "Кафедра информационных систем", 13, false},
    {2, "Кафедра прикладной математики", 21, true},
    {2, "Кафедра высшей математики", 22, true},
};
constexpr int KafedraCount = 5;
constexpr int TeachersPerKafedra = 5;
constexpr int SpecialtyCount = 4;
constexpr int StudentCount = 150;
constexpr int PlanSlots = 5;
constexpr int Semesters = 10;

// The faculty a demo specialty belongs to: computing first, mathematics second.
int facultyOfSpecialty(int specialty) {
    return specialty < 2 ? 1 : 2;
}

std::vector<Teacher> makeTeachers(Random& r) {
    // Each department: its head, a professor or associate professor, an associate
    // professor, a senior lecturer and an assistant.
    const int positions[TeachersPerKafedra] = {Head, FullProfessor, AssociateProfessor,
                                               SeniorLecturer, Assistant};
    std::vector<Teacher> out;
    for (int k = 0; k < KafedraCount; ++k) {
        const bool math = kafedras[k].mathematical;
        for (int slot = 0; slot < TeachersPerKafedra; ++slot) {
            Teacher t;
            t.id = k * TeachersPerKafedra + slot + 1;
            t.person = randomPerson(r, r.chance(35));
            t.kafedra = kafedras[k].id;
            t.position = positions[slot];
            if (t.position == FullProfessor && k % 2 == 1) t.position = AssociateProfessor;
            const int age = t.position == Assistant        ? r.between(24, 30)
                            : t.position == SeniorLecturer ? r.between(30, 45)
                                                           : r.between(38, 68);
            t.birthDate = randomDate(r, CurrentYear - age);
            t.birthPlace = r.pick(cities());
            t.status = r.chance(85) ? u("штатный") : u("совместитель");
            switch (t.position) {
                case Head:
                case FullProfessor:
                    t.stepen = QString::number(math ? DocPhysMath : DocTech);
                    t.zvanie = QString::number(Professor);
                    break;
                case AssociateProfessor:
                    t.stepen = QString::number(math ? CandPhysMath : CandTech);
                    t.zvanie = QString::number(Docent);
                    break;
                case SeniorLecturer:
                    if (r.chance(50)) t.stepen = QString::number(r.chance(70) ? CandTech : CandPed);
                    if (!t.stepen.isEmpty() && r.chance(40))
                        t.zvanie = QString::number(SeniorResearcher);
                    break;
                default:
                    break;
            }
            t.city = r.chance(80) ? u("Новосибирск") : r.pick(cities());
            t.street = r.pick(streets());
            t.house = randomHouse(r);
            t.apartment = r.chance(85) ? QString::number(r.between(1, 180)) : QString();
            out.push_back(t);
        }
    }
    return out;
}

std::vector<Group> makeGroups(std::vector<Teacher>& teachers) {
    // Two groups a specialty, of different years: one senior, one younger.
    const int years[SpecialtyCount][2] = {{2022, 2025}, {2023, 2026}, {2024, 2026}, {2023, 2025}};
    std::vector<Group> out;
    for (int s = 0; s < SpecialtyCount; ++s)
        for (int year : years[s]) {
            Group g;
            g.id = int(out.size()) + 1;
            g.specialty = s;
            g.enterYear = year;
            g.name =
                QStringLiteral("%1-%2").arg(specialties()[size_t(s)].groupPrefix).arg(year % 100);
            out.push_back(g);
        }
    // Curators: associate professors and senior lecturers of the specialty's faculty, one group
    // each.
    for (Group& g : out)
        for (Teacher& t : teachers) {
            const int k = (t.id - 1) / TeachersPerKafedra;
            if (t.curatedGroup != 0 || kafedras[k].faculty != facultyOfSpecialty(g.specialty) ||
                (t.position != AssociateProfessor && t.position != SeniorLecturer))
                continue;
            t.curatedGroup = g.id;
            g.curator = t.id;
            break;
        }
    return out;
}

std::vector<Student> makeStudents(Random& r, std::vector<Group>& groups) {
    const std::vector<QString> foreign = {u("Казахстан"), u("Беларусь"), u("Узбекистан"),
                                          u("Киргизия")};
    std::vector<Student> out;
    const int groupCount = int(groups.size());
    for (int gi = 0; gi < groupCount; ++gi) {
        Group& g = groups[size_t(gi)];
        const int size = StudentCount / groupCount + (gi < StudentCount % groupCount ? 1 : 0);
        // Record-book numbers: entry year, specialty, then a running number with gaps
        // (students who left).
        int running = 1000 + r.between(1, 40);
        for (int i = 0; i < size; ++i) {
            Student s;
            running += r.between(1, 3);
            s.number = QStringLiteral("%1%2%3")
                           .arg(g.enterYear % 100, 2, 10, QLatin1Char('0'))
                           .arg(g.specialty + 1)
                           .arg(running, 4, 10, QLatin1Char('0'));
            s.person = randomPerson(r, r.chance(g.specialty < 2 ? 30 : 50));
            const int roll = r.below(100);
            const int age = roll < 80 ? 18 : roll < 90 ? 17 : roll < 97 ? 19 : 20;
            s.birthDate = randomDate(r, g.enterYear - age);
            s.enterDate = QStringLiteral("%1-09-01").arg(g.enterYear);
            const bool married = (g.enterYear <= 2023 && r.chance(6)) || r.chance(1);
            s.familyPosition = married ? u("женат(замужем)") : u("холост(не замужем)");
            s.education = r.chance(85) ? u("Среднее общее") : u("Среднее профессиональное");
            s.city = r.chance(55) ? u("Новосибирск") : r.pick(cities());
            s.street = r.pick(streets());
            s.house = randomHouse(r);
            s.apartment = r.chance(75) ? QString::number(r.between(1, 240)) : QString();
            s.type = r.chance(70) ? u("Бюджет") : u("Контракт");
            s.group = g.id;
            s.subgroup = i < (size + 1) / 2 ? 1 : 2;
            s.citizen = r.chance(92) ? u("Россия") : r.pick(foreign);
            if (i == 0) g.head = s.number;
            out.push_back(s);
        }
    }
    return out;
}

struct PlanRow {
    int id = 0;
    int kontrol = 0;
};

void writeDemo(Connection& c, Random& r, std::vector<Teacher>& teachers, std::vector<Group>& groups,
               std::vector<Student>& students) {
    writeReferenceTables(c);

    Insert facultet(c, u("Facultet"), {u("ID_Facultet"), u("Nazvanie"), u("ID_Dekan")});
    // Deans: the professor of each faculty's first department.
    facultet.row({1, u("Факультет информатики и вычислительной техники"), 2});
    facultet.row({2, u("Физико-математический факультет"), 3 * TeachersPerKafedra + 2});

    Insert kafedra(c, u("Kafedra"),
                   {u("ID_facultet"), u("Nazvanie"), u("ID_kafedra"), u("Zav_Kafedri")});
    for (int k = 0; k < KafedraCount; ++k)
        kafedra.row(
            {kafedras[k].faculty, u(kafedras[k].name), kafedras[k].id, k * TeachersPerKafedra + 1});

    Insert specialtyRows(c, u("Specialnost"), {u("Nazvanie"), u("ID_Facultet"), u("ID_Spec")});
    for (int s = 0; s < SpecialtyCount; ++s)
        specialtyRows.row(
            {specialties()[size_t(s)].name, facultyOfSpecialty(s), specialties()[size_t(s)].code});

    Insert teacher(
        c, u("Prepodavateli"),
        {u("ID_Prepod"), u("Фамилия"), u("Имя"), u("Отчество"), u("День рождения"), u("Место рожд"),
         u("Пол"), u("Гражданство"), u("Статус"), u("Kur_Gr"), u("ID_kafedra"), u("City"),
         u("Street"), u("House"), u("Apar"), u("Foto"), u("Звание"), u("Степень"), u("Должность")});
    for (const Teacher& t : teachers)
        teacher.row({t.id, t.person.surname, t.person.name, t.person.patronymic, t.birthDate,
                     t.birthPlace, t.person.female ? u("ж") : u("м"), u("Россия"), t.status,
                     t.curatedGroup ? QVariant(t.curatedGroup) : QVariant(), t.kafedra, t.city,
                     t.street, t.house, t.apartment, t.photo, t.zvanie, t.stepen, t.position});

    Insert group(
        c, u("Gruppa"),
        {u("ID_GRoup"), u("Nazvanie"), u("ID_Specialnost"), u("ID_Starosta"), u("ID_Kyrator")});
    for (const Group& g : groups)
        group.row({g.id, g.name, specialties()[size_t(g.specialty)].code, g.head,
                   g.curator ? QVariant(g.curator) : QVariant()});

    Insert student(
        c, u("Studenti"),
        {u("N_student"), u("Fam"), u("Name"), u("SecName"), u("BirthDate"), u("Sex"),
         u("EnterDate"), u("FamilyPosition"), u("Education"), u("City"), u("Street"), u("House"),
         u("Apar"), u("Type_Stud"), u("ID_group"), u("PodGroupe"), u("Citizen"), u("Foto")});
    Insert parent(c, u("Parents"),
                  {u("PFam"), u("Pname"), u("PSecondName"), u("City"), u("Street"), u("House"),
                   u("Apar"), u("Sex"), u("N_Student")});
    for (const Student& s : students) {
        student.row({s.number, s.person.surname, s.person.name, s.person.patronymic, s.birthDate,
                     s.person.female ? u("Ж") : u("М"), s.enterDate, s.familyPosition, s.education,
                     s.city, s.street, s.house, s.apartment, s.type, s.group, s.subgroup, s.citizen,
                     s.photo});
        if (!r.chance(85)) continue;
        // One parent, living with the student; a father gave the patronymic.
        if (r.chance(40)) {
            const Person father = randomPerson(r, false, s.person.familySurname);
            parent.row({father.surname, maleNames()[size_t(s.person.fatherName)].name,
                        father.patronymic, s.city, s.street, s.house, s.apartment, u("М"),
                        s.number});
        } else {
            const Person mother = randomPerson(r, true, s.person.familySurname);
            parent.row({mother.surname, mother.name, mother.patronymic, s.city, s.street, s.house,
                        s.apartment, u("Ж"), s.number});
        }
    }

    Insert discipline(c, u("Disciplins"), {u("Ndis"), u("NameDis"), u("TypeDis")});
    const auto& names = disciplineNames();
    const int disciplines = int(names.size());
    for (int d = 0; d < disciplines; ++d)
        // 1: compulsory; 2: elective, every seventh.
        discipline.row({d + 1, names[size_t(d)], d % 7 == 6 ? 2 : 1});

    // Each specialty's plan: five rows a semester over ten semesters; disciplines
    // follow the list's order from general to special, shifted per specialty.
    Insert plan(c, u("PlanSpec"),
                {u("ID_Spec"), u("Ndis"), u("Semestr"), u("Time_Lekcii"), u("Time_Prakt"),
                 u("ID_Kontrol")});
    PlanRow plans[SpecialtyCount][Semesters + 1][PlanSlots];
    for (int s = 0; s < SpecialtyCount; ++s)
        for (int sem = 1; sem <= Semesters; ++sem)
            for (int slot = 0; slot < PlanSlots; ++slot) {
                const int d = ((sem - 1) * 4 + slot + 2 * s) % disciplines;
                const bool sport = names[size_t(d)].startsWith(u("Физическая культура"));
                const int lectures = sport ? 0 : slot < 2 ? 36 + 18 * r.below(2) : 18;
                const int practice = sport ? 72 : 18 + 18 * r.below(2);
                const int kontrol = kontrolOfSlot(slot, sem);
                plan.row({specialties()[size_t(s)].code, d + 1, sem, lectures, practice, kontrol});
                plans[s][sem][slot] = {int(plan.lastId()), kontrol};
            }

    // Grades: every semester a group has finished; a group in its first semester has none.
    Insert grade(c, u("Ocenki"),
                 {u("N_student"), u("Date"), u("ID_Result"), u("ID_Plan"), u("Semestr")});
    for (const Student& s : students) {
        const Group& g = groups[size_t(s.group - 1)];
        const int currentSemester = 2 * (CurrentYear - g.enterYear + 1) - 1;
        for (int sem = 1; sem < currentSemester && sem <= Semesters; ++sem)
            for (int slot = 0; slot < PlanSlots; ++slot) {
                const PlanRow& p = plans[g.specialty][sem][slot];
                grade.row({s.number, sessionDate(g.enterYear, sem, slot),
                           randomResult(r, p.kontrol), p.id, sem});
            }
    }
}

void makeFolder(const QString& folder) {
    if (!QDir().mkpath(folder))
        throw DataError(QStringLiteral("Cannot create the folder \"%1\"").arg(folder));
}
}  // namespace

QString studentPhotoFolder(const QString& photosDir) {
    return QDir(photosDir).filePath(QStringLiteral("Foto"));
}

QString teacherPhotoFolder(const QString& photosDir) {
    return QDir(photosDir).filePath(QStringLiteral("Foto/Prepod"));
}

void createDemo(const QString& path, const QString& photosDir) {
    refuseExisting(path);
    const bool photos = !photosDir.isEmpty();
    // The folders first: a folder that cannot be made stops the run before any file exists.
    if (photos) {
        makeFolder(studentPhotoFolder(photosDir));
        makeFolder(teacherPhotoFolder(photosDir));
    }

    Random r(20261201);
    std::vector<Teacher> teachers = makeTeachers(r);
    std::vector<Group> groups = makeGroups(teachers);
    std::vector<Student> students = makeStudents(r, groups);
    if (photos) {
        // Two in three students and three in four teachers have a photo; JPEG and BMP alternate.
        for (size_t i = 0; i < students.size(); ++i)
            if (i % 3 != 2)
                students[i].photo = students[i].number + (i % 2 == 0 ? u(".jpg") : u(".BMP"));
        for (Teacher& t : teachers)
            if (t.id % 4 != 0) t.photo = QString::number(t.id) + (t.id % 2 ? u(".jpg") : u(".BMP"));
    }

    NewDatabase db(path);
    Connection& c = db.connection();
    inTransaction(c, [&] { writeDemo(c, r, teachers, groups, students); });

    auto draw = [](const QString& folder, const QString& name, uint32_t seed, bool female) {
        if (name.isEmpty()) return;
        const QImage image = drawPortrait(seed, female);
        const QString file = QDir(folder).filePath(name);
        if (name.endsWith(u(".jpg")))
            writeJpeg(image, file);
        else
            writeBmp(image, file);
    };
    if (photos) {
        for (const Student& s : students)
            draw(studentPhotoFolder(photosDir), s.photo, s.number.toUInt(), s.person.female);
        for (const Teacher& t : teachers)
            draw(teacherPhotoFolder(photosDir), t.photo, uint32_t(t.id) * 7919u, t.person.female);
    }
    db.finish();
}

}  // namespace dbtools
