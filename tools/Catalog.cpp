// The shared parts of the demo and the generator: the new-file lifecycle,
// names and the reference tables.
#include "Catalog.h"

#include <fcntl.h>
#include <unistd.h>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "DataError.h"
#include "Journal.h"
#include "Schema.h"

namespace dbtools {

namespace {
QString u(const char* text) {
    return QString::fromUtf8(text);
}

std::vector<QString> list(std::initializer_list<const char*> items) {
    std::vector<QString> out;
    out.reserve(items.size());
    for (const char* s : items) out.push_back(u(s));
    return out;
}

bool endsWith(const QString& s, const char* tail) {
    return s.endsWith(u(tail));
}
}  // namespace

// ---- the new file

void refuseExisting(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        throw DataError(QStringLiteral("\"%1\" already exists; nothing was written").arg(path));
}

QString freeNameBeside(const QString& path) {
    for (int attempt = 0;; ++attempt) {
        const QString name =
            QStringLiteral("%1.%2.part")
                .arg(path)
                .arg(QRandomGenerator::global()->generate() & 0xffff, 4, 16, QLatin1Char('0'));
        if (!QFileInfo::exists(name) && !QFileInfo(name).isSymLink()) return name;
        if (attempt > 100)
            throw DataError(QStringLiteral("no free name for a new file beside \"%1\"").arg(path));
    }
}

void requireFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) throw DataError(QStringLiteral("\"%1\" does not exist").arg(path));
    if (!info.isFile()) throw DataError(QStringLiteral("\"%1\" is not a file").arg(path));
}

bool renameNoReplace(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the no-replace rename: a hard link refuses an existing name too.
    if (::link(source.constData(), target.constData()) != 0) return false;
    ::unlink(source.constData());
    return true;
}

void renameWithoutReplacing(const QString& from, const QString& to) {
    if (!renameNoReplace(from, to)) {
        const int error = errno;
        if (error == EEXIST)
            throw DataError(QStringLiteral("\"%1\" already exists; nothing was written").arg(to));
        throw DataError(QStringLiteral("\"%1\" cannot be written: %2")
                            .arg(to, QString::fromLocal8Bit(std::strerror(error))));
    }
}

NewDatabase::NewDatabase(const QString& path, Tables tables) : m_path(path), m_connection(path) {
    refuseExisting(path);
    SqliteConnection::createFile(path);
    m_created = true;
    m_connection.open();
    m_tables = tables;
    if (tables == Tables::Program) schema::create(m_connection);
}

NewDatabase::~NewDatabase() {
    if (m_finished || !m_created) return;
    m_connection.close();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) QFile::remove(m_path + u(suffix));
}

void NewDatabase::finish() {
    // The rows this run wrote are the database's beginning; the journal records what
    // changes from here on.
    if (m_tables == Tables::Program) journal::add(m_connection);
    m_connection.execute(QStringLiteral("PRAGMA journal_mode=WAL"));
    m_connection.close();
    m_finished = true;
}

// ---- inserts

Insert::Insert(Connection& c, const QString& table, const QStringList& columns) : m_connection(c) {
    QStringList names;
    QStringList marks;
    for (const QString& col : columns) {
        names << quoteIdentifier(col);
        marks << QStringLiteral("?");
    }
    m_statement = c.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(quoteIdentifier(table), names.join(QStringLiteral(", ")),
                                     marks.join(QStringLiteral(", "))));
}

void Insert::row(std::initializer_list<QVariant> values) {
    m_statement->reset();
    int i = 1;
    for (const QVariant& v : values) {
        // Empty text is stored as NULL, as the program itself stores it.
        if (v.typeId() == QMetaType::QString && v.toString().isEmpty())
            m_statement->bindNull(i++);
        else
            m_statement->bindValue(i++, v);
    }
    m_statement->step();
}

// ---- people

const std::vector<MaleName>& maleNames() {
    static const std::vector<MaleName> all = [] {
        const char* const rows[][3] = {
            {"Александр", "Александрович", "Александровна"},
            {"Алексей", "Алексеевич", "Алексеевна"},
            {"Андрей", "Андреевич", "Андреевна"},
            {"Антон", "Антонович", "Антоновна"},
            {"Артём", "Артёмович", "Артёмовна"},
            {"Борис", "Борисович", "Борисовна"},
            {"Вадим", "Вадимович", "Вадимовна"},
            {"Василий", "Васильевич", "Васильевна"},
            {"Виктор", "Викторович", "Викторовна"},
            {"Владимир", "Владимирович", "Владимировна"},
            {"Дмитрий", "Дмитриевич", "Дмитриевна"},
            {"Евгений", "Евгеньевич", "Евгеньевна"},
            {"Иван", "Иванович", "Ивановна"},
            {"Игорь", "Игоревич", "Игоревна"},
            {"Илья", "Ильич", "Ильинична"},
            {"Кирилл", "Кириллович", "Кирилловна"},
            {"Константин", "Константинович", "Константиновна"},
            {"Максим", "Максимович", "Максимовна"},
            {"Михаил", "Михайлович", "Михайловна"},
            {"Николай", "Николаевич", "Николаевна"},
            {"Олег", "Олегович", "Олеговна"},
            {"Павел", "Павлович", "Павловна"},
            {"Пётр", "Петрович", "Петровна"},
            {"Роман", "Романович", "Романовна"},
            {"Сергей", "Сергеевич", "Сергеевна"},
            {"Станислав", "Станиславович", "Станиславовна"},
            {"Юрий", "Юрьевич", "Юрьевна"},
            {"Ярослав", "Ярославович", "Ярославовна"},
        };
        std::vector<MaleName> out;
        for (const auto& r : rows) out.push_back({u(r[0]), u(r[1]), u(r[2])});
        return out;
    }();
    return all;
}

const std::vector<QString>& femaleNames() {
    static const std::vector<QString> all =
        list({"Анастасия", "Анна",      "Валентина", "Вера",      "Виктория", "Галина",
              "Дарья",     "Екатерина", "Елена",     "Елизавета", "Ирина",    "Ксения",
              "Любовь",    "Людмила",   "Марина",    "Мария",     "Наталья",  "Ольга",
              "Полина",    "Светлана",  "София",     "Татьяна",   "Юлия",     "Алёна"});
    return all;
}

const std::vector<QString>& surnames() {
    static const std::vector<QString> all =
        list({"Иванов",      "Петров",     "Сидоров",  "Смирнов",    "Кузнецов", "Попов",
              "Васильев",    "Соколов",    "Михайлов", "Новиков",    "Фёдоров",  "Морозов",
              "Волков",      "Алексеев",   "Лебедев",  "Семёнов",    "Егоров",   "Павлов",
              "Козлов",      "Степанов",   "Николаев", "Орлов",      "Андреев",  "Макаров",
              "Никитин",     "Захаров",    "Зайцев",   "Соловьёв",   "Борисов",  "Яковлев",
              "Григорьев",   "Романов",    "Воробьёв", "Сергеев",    "Кузьмин",  "Фролов",
              "Александров", "Дмитриев",   "Королёв",  "Гусев",      "Киселёв",  "Ильин",
              "Максимов",    "Поляков",    "Сорокин",  "Виноградов", "Ковалёв",  "Белов",
              "Медведев",    "Антонов",    "Тарасов",  "Жуков",      "Баранов",  "Филиппов",
              "Комаров",     "Давыдов",    "Беляев",   "Герасимов",  "Богданов", "Осипов",
              "Ковальский",  "Вишневский", "Шевченко", "Бондаренко", "Ткаченко", "Савицкий",
              "Толстой",     "Крутой",     "Ким",      "Цой"});
    return all;
}

QString feminineSurname(const QString& m) {
    if (endsWith(m, "ский")) return m.left(m.size() - 2) + u("ая");
    if (endsWith(m, "цкий")) return m.left(m.size() - 2) + u("ая");
    if (endsWith(m, "ой")) return m.left(m.size() - 2) + u("ая");
    if (endsWith(m, "ов") || endsWith(m, "ев") || endsWith(m, "ёв") || endsWith(m, "ин") ||
        endsWith(m, "ын"))
        return m + u("а");
    return m;  // "Шевченко", "Ким": one form for both
}

const std::vector<QString>& cities() {
    static const std::vector<QString> all =
        list({"Новосибирск", "Томск", "Барнаул", "Кемерово", "Омск", "Новокузнецк", "Бердск",
              "Искитим", "Красноярск", "Иркутск", "Бийск", "Абакан", "Москва", "Екатеринбург"});
    return all;
}

const std::vector<QString>& streets() {
    static const std::vector<QString> all =
        list({"Ленина", "Мира", "Садовая", "Гагарина", "Победы", "Советская", "Пушкина", "Лесная",
              "Школьная", "Кирова", "Чехова", "Молодёжная", "Зелёная", "Титова"});
    return all;
}

Person randomPerson(Random& r, bool female) {
    return randomPerson(r, female, r.pick(surnames()));
}

Person randomPerson(Random& r, bool female, const QString& masculineSurname) {
    Person p;
    p.female = female;
    p.familySurname = masculineSurname;
    p.surname = female ? feminineSurname(masculineSurname) : masculineSurname;
    p.fatherName = r.below(int(maleNames().size()));
    const MaleName& father = maleNames()[size_t(p.fatherName)];
    if (female) {
        p.name = r.pick(femaleNames());
        p.patronymic = father.daughterPatronymic;
    } else {
        // A son is seldom named after his father.
        int own = r.below(int(maleNames().size()));
        if (own == p.fatherName) own = (own + 1) % int(maleNames().size());
        p.name = maleNames()[size_t(own)].name;
        p.patronymic = father.sonPatronymic;
    }
    return p;
}

QString randomHouse(Random& r) {
    QString house = QString::number(r.between(1, 120));
    if (r.chance(10)) house += u("а");
    if (r.chance(8)) house += QStringLiteral("/%1").arg(r.between(1, 4));
    return house;
}

QString randomDate(Random& r, int year) {
    const int month = r.between(1, 12);
    return QDate(year, month, r.between(1, 28)).toString(Qt::ISODate);
}

// ---- the curriculum

const std::vector<QString>& disciplineNames() {
    static const std::vector<QString> all = list({
        "Математический анализ",
        "Линейная алгебра и аналитическая геометрия",
        "Иностранный язык",
        "История России",
        "Информатика",
        "Физическая культура и спорт",
        "Дискретная математика",
        "Физика",
        "Программирование на языке C++",
        "Русский язык и культура речи",
        "Теория вероятностей и математическая статистика",
        "Алгоритмы и структуры данных",
        "Философия",
        "Дифференциальные уравнения",
        "Объектно-ориентированное программирование",
        "Электротехника и электроника",
        "Базы данных",
        "Вычислительная математика",
        "Архитектура вычислительных систем",
        "Экономика",
        "Операционные системы",
        "Теория автоматов",
        "Схемотехника",
        "Компьютерные сети",
        "Методы оптимизации",
        "Теория информации",
        "Web-технологии",
        "Правоведение",
        "Разработка программного обеспечения",
        "Системное программирование",
        "Компьютерная графика",
        "Тестирование программного обеспечения",
        "Безопасность жизнедеятельности",
        "Проектирование информационных систем",
        "Информационная безопасность",
        "Параллельное программирование",
        "Машинное обучение",
        "Теория принятия решений",
        "Менеджмент в IT-проектах",
        "Технологии искусственного интеллекта",
    });
    return all;
}

const std::vector<Specialty>& specialties() {
    static const std::vector<Specialty> all = [] {
        const char* const rows[][3] = {
            {"090301", "Информатика и вычислительная техника", "ИВТ"},
            {"090304", "Программная инженерия", "ПИ"},
            {"010302", "Прикладная математика и информатика", "ПМИ"},
            {"010303", "Механика и математическое моделирование", "ММ"},
            {"090302", "Информационные системы и технологии", "ИСТ"},
            {"090303", "Прикладная информатика", "ПИН"},
            {"100301", "Информационная безопасность", "ИБ"},
            {"110302", "Инфокоммуникационные технологии и системы связи", "ИКТ"},
            {"120304", "Биотехнические системы и технологии", "БТС"},
            {"150306", "Мехатроника и робототехника", "МР"},
            {"270304", "Управление в технических системах", "УТС"},
            {"010301", "Математика", "МАТ"},
        };
        std::vector<Specialty> out;
        for (const auto& r : rows) out.push_back({u(r[0]), u(r[1]), u(r[2])});
        return out;
    }();
    return all;
}

int randomResult(Random& r, int kontrol) {
    const int roll = r.below(100);
    if (kontrol == Credit) return roll < 92 ? Passed : roll < 97 ? NotPassed : Absent;
    if (roll < 30) return Excellent;
    if (roll < 70) return Good;
    if (roll < 91) return Satisfactory;
    if (roll < 97) return Unsatisfactory;
    return Absent;
}

int kontrolOfSlot(int slot, int semester) {
    if (slot < 2) return Exam;
    if (slot < 4) return Credit;
    return semester % 2 == 0 ? CourseWork : GradedCredit;
}

QString sessionDate(int enterYear, int semester, int slot) {
    const int course = (semester + 1) / 2;
    const bool winter = semester % 2 == 1;
    const bool credit = slot >= 2;
    // Credits close the term; the session's exams follow.
    QDate d;
    if (winter)
        d = credit ? QDate(enterYear + course - 1, 12, 20 + slot)
                   : QDate(enterYear + course, 1, 10 + 5 * slot);
    else
        d = credit ? QDate(enterYear + course, 5, 24 + slot)
                   : QDate(enterYear + course, 6, 8 + 6 * slot);
    return d.toString(Qt::ISODate);
}

void writeReferenceTables(Connection& c) {
    Insert kontrol(c, u("ID_kontrol"), {u("ID_KONTROL"), u("Nazvanie")});
    kontrol.row({Exam, u("Экзамен")});
    kontrol.row({Credit, u("Зачет")});
    kontrol.row({GradedCredit, u("Дифференцированный зачет")});
    kontrol.row({CourseWork, u("Курсовая работа")});

    Insert result(c, u("ID_Result"), {u("ID_Result"), u("Nazvanie"), u("Sokr_nazv")});
    result.row({Excellent, u("Отлично"), u("отл.")});
    result.row({Good, u("Хорошо"), u("хор.")});
    result.row({Satisfactory, u("Удовлетворительно"), u("удовл.")});
    result.row({Unsatisfactory, u("Неудовлетворительно"), u("неуд.")});
    result.row({Passed, u("Зачтено"), u("зач.")});
    result.row({NotPassed, u("Не зачтено"), u("незач.")});
    result.row({Absent, u("Неявка"), u("н/я")});

    Insert zvanie(c, u("N_Zvanie"), {u("ID_Zvanie"), u("NAME")});
    zvanie.row({Docent, u("Доцент")});
    zvanie.row({Professor, u("Профессор")});
    zvanie.row({SeniorResearcher, u("Старший научный сотрудник")});

    Insert dolgnost(c, u("Dolgnost"), {u("ID_Dolgnost"), u("SNAME"), u("NAME")});
    dolgnost.row({Assistant, u("асс."), u("Ассистент")});
    dolgnost.row({SeniorLecturer, u("ст. преп."), u("Старший преподаватель")});
    dolgnost.row({AssociateProfessor, u("доц."), u("Доцент")});
    dolgnost.row({FullProfessor, u("проф."), u("Профессор")});
    dolgnost.row({Head, u("зав. каф."), u("Заведующий кафедрой")});

    Insert stepen(c, u("N_Stepen"), {u("ID_Stepen"), u("SNAME"), u("NAME")});
    stepen.row({CandTech, u("к.т.н."), u("Кандидат технических наук")});
    stepen.row({DocTech, u("д.т.н."), u("Доктор технических наук")});
    stepen.row({CandPhysMath, u("к.ф.-м.н."), u("Кандидат физико-математических наук")});
    stepen.row({DocPhysMath, u("д.ф.-м.н."), u("Доктор физико-математических наук")});
    stepen.row({CandPed, u("к.п.н."), u("Кандидат педагогических наук")});
}

}  // namespace dbtools
