#include "BenchDb.h"

#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <random>

#include "Connection.h"

namespace bench {

QString studentNumber(int i) { return QStringLiteral("%1").arg(1000000 + i * 7, 7, 10, QLatin1Char('0')); }

namespace {
const char* const schema = R"(
CREATE TABLE Studenti (N_student TEXT(50), Fam TEXT(30), Name TEXT(20), SecName TEXT(20),
  BirthDate DATETIME, Sex TEXT(50), City TEXT(20), Type_Stud TEXT(50), ID_group INTEGER,
  PodGroupe SMALLINT, Foto TEXT(255));
CREATE TABLE Ocenki (N_student TEXT(50), Date DATETIME, ID_Result INTEGER, ID_Plan INTEGER,
  Semestr INTEGER);
CREATE TABLE PlanSpec (ID_Plan INTEGER PRIMARY KEY AUTOINCREMENT, ID_Spec TEXT(50), Ndis INTEGER,
  Semestr INTEGER, Time_Lekcii INTEGER, Time_Prakt INTEGER, ID_Kontrol INTEGER);
CREATE TABLE Disciplins (Ndis INTEGER PRIMARY KEY AUTOINCREMENT, NameDis TEXT(150), TypeDis INTEGER);
)";

void build(const QString& path) {
    std::fprintf(stderr, "building the benchmark database %s ...\n", qPrintable(path));
    SqliteConnection::createFile(path);
    SqliteConnection c(path);
    c.open();
    c.execute(QString::fromUtf8(schema));
    c.execute(QStringLiteral("BEGIN"));
    std::mt19937 rng(20261210);
    const QStringList roots = {
        QStringLiteral("Иванов"),   QStringLiteral("Петров"),   QStringLiteral("Сидоров"),
        QStringLiteral("Смирнов"),  QStringLiteral("Кузнецов"), QStringLiteral("Попов"),
        QStringLiteral("Васильев"), QStringLiteral("Соколов"),  QStringLiteral("Михайлов"),
        QStringLiteral("Новиков"),  QStringLiteral("Фёдоров"),  QStringLiteral("Морозов"),
        QStringLiteral("Волков"),   QStringLiteral("Алексеев"), QStringLiteral("Лебедев"),
        QStringLiteral("Семёнов"),  QStringLiteral("Егоров"),   QStringLiteral("Павлов"),
        QStringLiteral("Козлов"),   QStringLiteral("Степанов"), QStringLiteral("Николаев"),
        QStringLiteral("Орлов"),    QStringLiteral("Андреев"),  QStringLiteral("Макаров"),
        QStringLiteral("Никитин"),  QStringLiteral("Захаров"),  QStringLiteral("Зайцев"),
        QStringLiteral("Соловьёв"), QStringLiteral("Борисов"),  QStringLiteral("Яковлев")};
    const QStringList suffixes = {QString(), QStringLiteral("ский"), QStringLiteral("ич"),
                                  QStringLiteral("енко"), QStringLiteral("ин")};
    const QStringList names = {QStringLiteral("Александр"), QStringLiteral("Мария"),
                               QStringLiteral("Дмитрий"), QStringLiteral("Анна"),
                               QStringLiteral("Сергей"), QStringLiteral("Елена")};
    {
        auto st = c.prepare(QStringLiteral(
            "INSERT INTO Studenti (N_student, Fam, Name, SecName, BirthDate, Sex, City, "
            "Type_Stud, ID_group, PodGroupe) VALUES (?,?,?,?,?,?,?,?,?,?)"));
        // Shuffled so the list order is not the record-book order.
        std::vector<int> ids(Students);
        for (int i = 0; i < Students; ++i) ids[i] = i;
        std::shuffle(ids.begin(), ids.end(), rng);
        for (int i : ids) {
            st->reset();
            const QString fam = roots[int(rng() % roots.size())] +
                                suffixes[int(rng() % suffixes.size())] +
                                (rng() % 3 == 0 ? QStringLiteral("а") : QString());
            st->bind(1, studentNumber(i));
            st->bind(2, fam);
            st->bind(3, names[int(rng() % names.size())]);
            st->bind(4, QStringLiteral("Петрович"));
            st->bind(5, QStringLiteral("200%1-0%2-1%3").arg(rng() % 6).arg(1 + rng() % 9).arg(rng() % 9));
            st->bind(6, rng() % 2 ? QStringLiteral("М") : QStringLiteral("Ж"));
            st->bind(7, QStringLiteral("Москва"));
            st->bind(8, rng() % 2 ? QStringLiteral("Бюджет") : QStringLiteral("Контракт"));
            st->bind(9, int64_t(1 + rng() % 1000));
            st->bind(10, int64_t(1 + rng() % 2));
            st->step();
        }
    }
    {
        auto st = c.prepare(QStringLiteral("INSERT INTO Disciplins (NameDis, TypeDis) VALUES (?, ?)"));
        for (int i = 0; i < Disciplines; ++i) {
            st->reset();
            st->bind(1, QStringLiteral("Дисциплина номер %1 (курс лекций)").arg(i + 1));
            st->bind(2, int64_t(i % 3));
            st->step();
        }
    }
    {
        auto st = c.prepare(QStringLiteral(
            "INSERT INTO PlanSpec (ID_Spec, Ndis, Semestr, Time_Lekcii, Time_Prakt, ID_Kontrol) "
            "VALUES (?,?,?,?,?,?)"));
        for (int i = 0; i < PlanRows; ++i) {
            st->reset();
            st->bind(1, QStringLiteral("%1").arg(100000 + i / 500));
            st->bind(2, int64_t(1 + rng() % Disciplines));
            st->bind(3, int64_t(1 + (i / 50) % 10));
            st->bind(4, int64_t(36));
            st->bind(5, int64_t(18));
            st->bind(6, int64_t(1 + rng() % 2));
            st->step();
        }
    }
    {
        auto st = c.prepare(QStringLiteral(
            "INSERT INTO Ocenki (N_student, Date, ID_Result, ID_Plan, Semestr) VALUES (?,?,?,?,?)"));
        const int perSemester = GradesPerStudent / 10;
        for (int sem = 1; sem <= 10; ++sem)
            for (int s = 0; s < Students; ++s)
                for (int k = 0; k < perSemester; ++k) {
                    st->reset();
                    st->bind(1, studentNumber(s));
                    st->bind(2, QStringLiteral("20%1-01-%2").arg(10 + sem, 2, 10, QLatin1Char('0')).arg(10 + k));
                    st->bind(3, int64_t(1 + rng() % 5));
                    st->bind(4, int64_t(1 + rng() % PlanRows));
                    st->bind(5, int64_t(sem));
                    st->step();
                }
    }
    c.execute(QStringLiteral("COMMIT"));
    c.execute(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}
}  // namespace

QString database() {
    QString path = qEnvironmentVariable("TESSALY_BENCH_DB");
    if (path.isEmpty()) path = QStringLiteral("bench.mdb");
    if (!QFileInfo::exists(path)) build(path);
    return path;
}

}  // namespace bench
