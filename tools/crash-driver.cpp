// crash-driver: posts students, grade rows and plan rows through the data module
// as the windows do, and writes one line per post or delete the moment it
// returns, so that a process killed at any moment can be checked against what
// it confirmed (scripts/crash-test).
//
// Usage: crash-driver SEED [--report-unmade]   (in the folder of verdikon.mdb)
// Each line on standard output is a JSON object: {"table", "key" (column),
// "id", "row" (every data column as stored)} or {"table", "key", "id",
// "deleted": true}. Before a post or delete of a row whose key is known, the
// same line with "pending": true says what is about to be written: a kill
// between the two may find it done or not. --report-unmade first reports a
// student that is never posted, so that the checker's test can see it report
// a loss.
#include <QCoreApplication>
#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cstdio>
#include <exception>
#include <random>
#include <vector>

#include "DM_Tessaly.h"
#include "Messages.h"

namespace {

const QStringList Surnames = {QStringLiteral("Иванов"),     QStringLiteral("Петрова"),
                              QStringLiteral("Сидоренко"),  QStringLiteral("Кузнецова"),
                              QStringLiteral("Ёлкин"),      QStringLiteral("Щербаков"),
                              QStringLiteral("Шевчук"),     QStringLiteral("Юрьева"),
                              QStringLiteral("Д'Артаньян"), QStringLiteral("Эйхман-Жуков")};
const QStringList Names = {QStringLiteral("Анна"),  QStringLiteral("Борис"), QStringLiteral("Вера"),
                           QStringLiteral("Глеб"),  QStringLiteral("Жанна"), QStringLiteral("Юлий"),
                           QStringLiteral("Фёкла"), QStringLiteral("Эдуард")};
const QStringList Patronymics = {QStringLiteral("Петрович"),  QStringLiteral("Ивановна"),
                                 QStringLiteral("Ильич"),     QStringLiteral("Сергеевна"),
                                 QStringLiteral("Яковлевич"), QString()};
const QStringList Cities = {
    QStringLiteral("Москва"), QStringLiteral("Тверь"),           QStringLiteral("Орёл"),
    QStringLiteral("Уфа"),    QStringLiteral("Нижний Новгород"), QStringLiteral("Йошкар-Ола")};
const QStringList Streets = {QStringLiteral("Ленина"), QStringLiteral("Мира"),
                             QStringLiteral("Садовая"), QStringLiteral("Школьная"),
                             QStringLiteral("«Новая»")};
const QStringList Kinds = {QStringLiteral("бюджет"), QStringLiteral("контракт")};
const QStringList Sexes = {QStringLiteral("мужской"), QStringLiteral("женский")};

class Driver {
public:
    Driver(TDM& dm, unsigned seed) : m_dm(dm), m_random(seed), m_seed(seed) {
        for (m_dm.Q_Studenti->first(); !m_dm.Q_Studenti->isEmpty();) {
            m_students << m_dm.Q_StudentiN_student->asString();
            if (m_dm.Q_Studenti->isLast()) break;
            m_dm.Q_Studenti->next();
        }
        for (m_dm.T_Plan_Spec->first(); !m_dm.T_Plan_Spec->isEmpty();) {
            m_plans.push_back(m_dm.T_Plan_SpecID_Plan->asInteger());
            if (m_dm.T_Plan_Spec->isLast()) break;
            m_dm.T_Plan_Spec->next();
        }
    }

    void reportUnmade() {
        QJsonObject row{{QStringLiteral("N_student"), QStringLiteral("НЕТ-%1").arg(m_seed)},
                        {QStringLiteral("Fam"), QStringLiteral("Несуществующий")}};
        report(QStringLiteral("Studenti"), QStringLiteral("N_student"), row[u"N_student"], row);
    }

    [[noreturn]] void run() {
        for (;;) {
            switch (pick(9)) {
                case 0:
                case 1:
                    insertStudent();
                    break;
                case 2:
                    editStudent();
                    break;
                case 3:
                    removeStudent();
                    break;
                case 4:
                    insertGrade();
                    break;
                case 5:
                    editGrade();
                    break;
                case 6:
                    removeGrade();
                    break;
                case 7:
                    insertPlan();
                    break;
                default:
                    pick(2) ? editPlan() : removePlan();
                    break;
            }
        }
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    QString any(const QStringList& list) { return list[pick(int(list.size()))]; }
    QDate anyDate(int fromYear, int years) {
        return QDate(fromYear, 1, 1).addDays(pick(years * 365));
    }

    // The value as the file holds it: dates as ISO text, numbers as numbers.
    static QJsonValue stored(const Field* f) {
        if (f->isNull()) return QJsonValue::Null;
        switch (f->type()) {
            case FieldType::DateTime:
                return f->asDate().toString(Qt::ISODate);
            case FieldType::Text:
                return f->asString();
            case FieldType::Float:
                return f->value().toDouble();
            default:
                return f->value().toLongLong();
        }
    }

    static QJsonObject storedRow(Dataset* ds) {
        QJsonObject row;
        for (int i = 0; i < ds->fieldCount(); ++i) {
            const Field* f = ds->field(i);
            if (f->kind() == FieldKind::Data) row[f->name()] = stored(f);
        }
        return row;
    }

    static void report(const QString& table, const QString& key, const QJsonValue& id,
                       const QJsonValue& rowOrDeleted, bool pending = false) {
        QJsonObject line{{QStringLiteral("table"), table},
                         {QStringLiteral("key"), key},
                         {QStringLiteral("id"), id}};
        if (pending) line[QStringLiteral("pending")] = true;
        if (rowOrDeleted.isObject())
            line[QStringLiteral("row")] = rowOrDeleted;
        else
            line[QStringLiteral("deleted")] = true;
        const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
    }

    void fillStudent() {
        m_dm.Q_StudentiFam->setValue(any(Surnames));
        m_dm.Q_StudentiName->setValue(any(Names));
        m_dm.Q_StudentiSecName->setValue(any(Patronymics));
        m_dm.Q_StudentiBirthDate->setValue(anyDate(1995, 12));
        m_dm.Q_StudentiSex->setValue(any(Sexes));
        if (pick(2)) m_dm.Q_StudentiEnterDate->setValue(anyDate(2015, 10));
        m_dm.Q_StudentiCity->setValue(any(Cities));
        m_dm.Q_StudentiStreet->setValue(any(Streets));
        m_dm.Q_StudentiHouse->setValue(QString::number(1 + pick(120)) +
                                       (pick(3) ? QString() : QStringLiteral("а")));
        m_dm.Q_StudentiApar->setValue(pick(4) ? QVariant(QString::number(1 + pick(300)))
                                              : QVariant());
        m_dm.Q_StudentiType_Stud->setValue(any(Kinds));
        m_dm.Q_StudentiPodGroupe->setValue(1 + pick(2));
        m_dm.Q_StudentiCitizen->setValue(QStringLiteral("Россия"));
    }

    // The student, grade and plan rows as the driver reports them: the key
    // column, its value, and the row (false for a delete).
    void student(const QJsonValue& row, bool pending = false) {
        report(QStringLiteral("Studenti"), QStringLiteral("N_student"),
               m_dm.Q_StudentiN_student->asString(), row, pending);
    }
    void grade(const QJsonValue& row, bool pending = false) {
        report(QStringLiteral("Ocenki"), QStringLiteral("ID_Plan"),
               m_dm.T_OcenkiID_Plan->asInteger(), row, pending);
    }
    void plan(const QJsonValue& row, bool pending = false) {
        report(QStringLiteral("PlanSpec"), QStringLiteral("ID_Plan"),
               m_dm.T_Plan_SpecID_Plan->asInteger(), row, pending);
    }

    void insertStudent() {
        m_dm.Q_Studenti->append();
        const QString number = QStringLiteral("З%1-%2").arg(m_seed).arg(++m_serial);
        m_dm.Q_StudentiN_student->setValue(number);
        fillStudent();
        student(storedRow(m_dm.Q_Studenti), true);
        m_dm.Q_Studenti->post();
        m_students << number;
        student(storedRow(m_dm.Q_Studenti));
    }

    bool locateStudent() {
        if (m_students.isEmpty()) return false;
        const QString number = any(m_students);
        if (!m_dm.Q_Studenti->locate(QStringLiteral("N_student"), number))
            throw DataError(QStringLiteral("student %1 is not in the dataset").arg(number));
        return true;
    }

    void editStudent() {
        if (!locateStudent()) return insertStudent();
        m_dm.Q_Studenti->edit();
        fillStudent();
        student(storedRow(m_dm.Q_Studenti), true);
        m_dm.Q_Studenti->post();
        student(storedRow(m_dm.Q_Studenti));
    }

    void removeStudent() {
        if (!locateStudent()) return;
        const QString number = m_dm.Q_StudentiN_student->asString();
        student(false, true);
        m_dm.Q_Studenti->remove();
        m_students.removeOne(number);
        report(QStringLiteral("Studenti"), QStringLiteral("N_student"), number, false);
    }

    // Grade rows have no key of their own, and SQLite gives a deleted row's
    // rowid to the next insert: each row the driver writes carries a plan
    // number no other row has, which names it for good.
    void fillGrade() {
        m_dm.T_OcenkiN_student->setValue(m_students.isEmpty() ? QStringLiteral("Ж-0")
                                                              : any(m_students));
        m_dm.T_OcenkiDate->setValue(pick(5) ? QVariant(anyDate(2020, 5)) : QVariant());
        m_dm.T_OcenkiID_Result->setValue(1 + pick(5));
        m_dm.T_OcenkiSemestr->setValue(1 + pick(10));
    }

    void insertGrade() {
        m_dm.T_Ocenki->append();
        const int tag = 1000000 + int(++m_serial);
        m_dm.T_OcenkiID_Plan->setValue(tag);
        fillGrade();
        grade(storedRow(m_dm.T_Ocenki), true);
        m_dm.T_Ocenki->post();
        m_grades.push_back(tag);
        grade(storedRow(m_dm.T_Ocenki));
    }

    int locateGrade() {
        if (m_grades.empty()) return -1;
        const int i = pick(int(m_grades.size()));
        if (!m_dm.T_Ocenki->locate(QStringLiteral("ID_Plan"), m_grades[size_t(i)]))
            throw DataError(
                QStringLiteral("grade row %1 is not in the dataset").arg(m_grades[size_t(i)]));
        return i;
    }

    void editGrade() {
        if (locateGrade() < 0) return insertGrade();
        m_dm.T_Ocenki->edit();
        fillGrade();
        grade(storedRow(m_dm.T_Ocenki), true);
        m_dm.T_Ocenki->post();
        grade(storedRow(m_dm.T_Ocenki));
    }

    void removeGrade() {
        const int i = locateGrade();
        if (i < 0) return;
        const int tag = m_grades[size_t(i)];
        grade(false, true);
        m_dm.T_Ocenki->remove();
        m_grades.erase(m_grades.begin() + i);
        report(QStringLiteral("Ocenki"), QStringLiteral("ID_Plan"), tag, false);
    }

    // Plan rows stay in the specialty that is current at start, as the plan
    // page shows them. A new row's number is known only once it is stored, and
    // no other row ever had it, so its insert is reported only when done.
    void fillPlan() {
        m_dm.T_Plan_SpecNdis->setValue(1 + pick(20));
        m_dm.T_Plan_SpecSemestr->setValue(1 + pick(10));
        m_dm.T_Plan_SpecTime_Lekcii->setValue(2 * pick(40));
        m_dm.T_Plan_SpecTime_Prakt->setValue(pick(3) ? QVariant(2 * pick(40)) : QVariant());
        m_dm.T_Plan_SpecID_Kontrol->setValue(1 + pick(2));
    }

    void insertPlan() {
        m_dm.T_Plan_Spec->append();
        fillPlan();
        m_dm.T_Plan_Spec->post();
        m_plans.push_back(m_dm.T_Plan_SpecID_Plan->asInteger());
        plan(storedRow(m_dm.T_Plan_Spec));
    }

    int locatePlan() {
        if (m_plans.empty()) return -1;
        const int i = pick(int(m_plans.size()));
        if (!m_dm.T_Plan_Spec->locate(QStringLiteral("ID_Plan"), m_plans[size_t(i)]))
            throw DataError(
                QStringLiteral("plan row %1 is not in the dataset").arg(m_plans[size_t(i)]));
        return i;
    }

    void editPlan() {
        if (locatePlan() < 0) return insertPlan();
        m_dm.T_Plan_Spec->edit();
        fillPlan();
        plan(storedRow(m_dm.T_Plan_Spec), true);
        m_dm.T_Plan_Spec->post();
        plan(storedRow(m_dm.T_Plan_Spec));
    }

    void removePlan() {
        const int i = locatePlan();
        if (i < 0) return;
        const int id = m_plans[size_t(i)];
        plan(false, true);
        m_dm.T_Plan_Spec->remove();
        m_plans.erase(m_plans.begin() + i);
        report(QStringLiteral("PlanSpec"), QStringLiteral("ID_Plan"), id, false);
    }
    TDM& m_dm;
    std::mt19937 m_random;
    unsigned m_seed;
    unsigned m_serial = 0;
    QStringList m_students;
    std::vector<int> m_grades;
    std::vector<int> m_plans;
};

int fail(const QString& text) {
    std::fprintf(stderr, "crash-driver: %s\n", text.toUtf8().constData());
    return 1;
}
}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    bool ok = false;
    const unsigned seed = args.value(0).toUInt(&ok);
    const bool unmade = args.size() == 2 && args[1] == QLatin1String("--report-unmade");
    if (!ok || args.size() > 2 || (args.size() == 2 && !unmade))
        return fail(QStringLiteral("usage: crash-driver SEED [--report-unmade]"));

    // Nothing here may wait on a window: every message the data module gives
    // is kept, and any of them ends the run.
    platform::MessageRecorder messages;
    TDM dm;
    if (!messages.texts().isEmpty()) return fail(messages.texts().join(QStringLiteral("; ")));
    try {
        Driver driver(dm, seed);
        if (unmade) driver.reportUnmade();
        driver.run();
    } catch (const std::exception& e) {
        return fail(QString::fromUtf8(e.what()));
    }
}
