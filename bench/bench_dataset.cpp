// The dataset engine at university scale: opening the grades, locating a
// student, reading lookups for a screenful of grades, moving a master with the
// grades following, filtering the grades, and appending one grade.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>

#include "BenchDb.h"
#include "Connection.h"
#include "DataSource.h"
#include "Dataset.h"
#include "Journal.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

long residentBytes() {
    long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// The sqlite3 shell reading the same rows, best of three.
double shellSeconds(const QString& db) {
    return bench::commandSeconds(QStringLiteral("sqlite3"),
                                 {db, QStringLiteral("select rowid,* from Ocenki")});
}

using bench::gradesTable;

std::unique_ptr<Query> studentsQuery(Connection& c) {
    auto q = std::make_unique<Query>();
    q->setConnection(&c);
    q->setSql(QStringLiteral("Select * From Studenti"));
    q->addDataField(QStringLiteral("N_student"), FieldType::Text, 50);
    q->addDataField(QStringLiteral("Fam"), FieldType::Text, 30);
    q->addDataField(QStringLiteral("Name"), FieldType::Text, 20);
    q->addDataField(QStringLiteral("SecName"), FieldType::Text, 20);
    q->addDataField(QStringLiteral("BirthDate"), FieldType::DateTime);
    q->addDataField(QStringLiteral("ID_group"), FieldType::Integer);
    q->addCalculatedField(QStringLiteral("FIO"), FieldType::Text, 20);
    q->onCalcFields = [](Dataset& ds) {
        const QString name = ds.fieldByName(QStringLiteral("Name")).asString();
        const QString sec = ds.fieldByName(QStringLiteral("SecName")).asString();
        ds.fieldByName(QStringLiteral("FIO"))
            .setValue(ds.fieldByName(QStringLiteral("Fam")).asString() + QLatin1Char(' ') +
                      name.left(1) + QLatin1Char('.') + sec.left(1) + QLatin1Char('.'));
    };
    return q;
}

void BM_OpenGrades(benchmark::State& state) {
    const QString db = bench::database();
    SqliteConnection c(db);
    c.open();
    const double shell = shellSeconds(db);
    double ours = 0;
    double perRow = 0;
    int runs = 0;
    for (auto _ : state) {
        auto t = gradesTable(c);
        malloc_trim(0);
        const long before = residentBytes();
        const auto t0 = Clock::now();
        t->open();
        ours += seconds(Clock::now() - t0);
        if (runs == 0) perRow = double(residentBytes() - before) / t->recordCount();
        ++runs;
        benchmark::DoNotOptimize(t->recordCount());
        state.PauseTiming();
        t.reset();
        state.ResumeTiming();
    }
    state.counters["bytes_per_row"] = perRow;
    state.counters["sqlite3_shell_ms"] = shell * 1000;
    state.counters["ratio_to_shell"] = shell > 0 ? (ours / runs) / shell : 0;
}
BENCHMARK(BM_OpenGrades)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LocatePrefix(benchmark::State& state) {
    SqliteConnection c(bench::database());
    auto q = studentsQuery(c);
    q->open();
    // Prefixes of surnames spread over the list, and one that matches nobody (a full pass).
    const QStringList prefixes = {QStringLiteral("ив"),   QStringLiteral("Соло"),
                                  QStringLiteral("ЯКОВ"), QStringLiteral("зайцевич"),
                                  QStringLiteral("щ"),    QStringLiteral("ми")};
    int i = 0;
    for (auto _ : state) {
        const bool hit = q->locate(QStringLiteral("Fam"), prefixes[i++ % prefixes.size()],
                                   LocateOption::CaseInsensitive | LocateOption::PartialKey);
        benchmark::DoNotOptimize(hit);
    }
    state.counters["rows"] = q->recordCount();
}
BENCHMARK(BM_LocatePrefix)->Unit(benchmark::kMicrosecond);

void BM_LookupScreen(benchmark::State& state) {
    SqliteConnection c(bench::database());
    Table disciplines;
    disciplines.setConnection(&c);
    disciplines.setTableName(QStringLiteral("Disciplins"));
    disciplines.open();
    Query plan;
    plan.setConnection(&c);
    plan.setSql(QStringLiteral("Select * From PlanSpec"));
    plan.addLookupField(QStringLiteral("DIS"), FieldType::Text, 20, &disciplines,
                        QStringLiteral("Ndis"), QStringLiteral("Ndis"), QStringLiteral("NameDis"));
    plan.addDataField(QStringLiteral("Semestr"), FieldType::Integer);
    plan.addDataField(QStringLiteral("ID_Plan"), FieldType::Counter);
    plan.addDataField(QStringLiteral("Ndis"), FieldType::Integer);
    plan.addDataField(QStringLiteral("ID_Spec"), FieldType::Text, 50);
    plan.open();
    auto grades = gradesTable(c);
    // Declared after the data fields the grades table already has.
    grades->addLookupField(QStringLiteral("DIS"), FieldType::Text, 20, &plan,
                           QStringLiteral("ID_Plan"), QStringLiteral("ID_Plan"),
                           QStringLiteral("DIS"));
    grades->open();
    const Field* dis = grades->findField(QStringLiteral("DIS"));
    int top = 0;
    for (auto _ : state) {
        // A screenful of 40 grade rows, each needing its discipline's name (a lookup of a lookup).
        for (int r = top; r < top + 40; ++r)
            benchmark::DoNotOptimize(grades->viewDisplayText(r, dis));
        top = (top + 40) % (grades->recordCount() - 40);
    }
}
BENCHMARK(BM_LookupScreen)->Unit(benchmark::kMicrosecond);

void BM_MasterMove(benchmark::State& state) {
    SqliteConnection c(bench::database());
    auto students = studentsQuery(c);
    students->open();
    DataSource source;
    source.setDataset(students.get());
    auto grades = gradesTable(c);
    grades->setMaster(&source, QStringLiteral("N_student"));
    grades->open();
    bool forward = true;
    for (auto _ : state) {
        if (forward)
            students->next();
        else
            students->prior();
        if (students->isLast()) forward = false;
        if (students->isFirst()) forward = true;
        benchmark::DoNotOptimize(grades->recordCount());
    }
    state.counters["grades_shown"] = grades->recordCount();
}
BENCHMARK(BM_MasterMove)->Unit(benchmark::kMicrosecond);

void BM_FilterGrades(benchmark::State& state) {
    SqliteConnection c(bench::database());
    auto grades = gradesTable(c);
    grades->open();
    int i = 0;
    int shown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        grades->setFiltered(false);
        grades->setFilterText(QStringLiteral("(N_Student=%1) and (Semestr=3)")
                                  .arg(bench::studentNumber((i++ * 7919) % bench::Students)));
        state.ResumeTiming();
        grades->setFiltered(true);
        shown = grades->recordCount();
    }
    state.counters["rows_shown"] = shown;
}
BENCHMARK(BM_FilterGrades)->Unit(benchmark::kMillisecond)->Iterations(20);

// One fdatasync of a small write in the database's folder: the floor under any durable post.
double fsyncSeconds(const QString& db) {
    const QByteArray path = (db + QStringLiteral(".fsync-probe")).toLocal8Bit();
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    if (fd < 0) return 0;
    char block[4096] = {};
    double best = 1e9;
    for (int i = 0; i < 10; ++i) {
        const auto t0 = Clock::now();
        if (::pwrite(fd, block, sizeof block, 0) < 0) break;
        ::fdatasync(fd);
        best = std::min(best, seconds(Clock::now() - t0));
    }
    ::close(fd);
    ::unlink(path.constData());
    return best;
}

// A copy of the university database with the journal of changes (true) or without it.
QString journalCopy(bool withJournal) {
    static QTemporaryDir dir;
    const QString path =
        dir.filePath(withJournal ? QStringLiteral("journal.mdb") : QStringLiteral("plain.mdb"));
    if (QFile::exists(path)) return path;
    {
        SqliteConnection source(bench::database());
        auto st = source.prepare(QStringLiteral("VACUUM INTO ?"));
        st->bind(1, path);
        st->step();
    }
    SqliteConnection c(path);
    c.open();
    c.execute(QStringLiteral("BEGIN"));
    if (withJournal) {
        journal::install(c);
    } else {
        QStringList triggers;
        auto st =
            c.prepare(QStringLiteral("SELECT name FROM sqlite_schema WHERE type = 'trigger' AND "
                                     "name LIKE 'Journal\\_%' ESCAPE '\\'"));
        while (st->step()) triggers << st->columnValue(0).toString();
        st.reset();
        for (const QString& t : triggers)
            c.execute(QStringLiteral("DROP TRIGGER ") + quoteIdentifier(t));
    }
    c.execute(QStringLiteral("COMMIT"));
    return path;
}

// One grade appended and posted, on the database with the journal (journal:1) and without
// (journal:0).
void BM_AppendPost(benchmark::State& state) {
    const QString db = journalCopy(state.range(0) != 0);
    SqliteConnection c(db);
    auto grades = gradesTable(c);
    grades->open();
    Field& student = grades->fieldByName(QStringLiteral("N_student"));
    Field& plan = grades->fieldByName(QStringLiteral("ID_Plan"));
    Field& semester = grades->fieldByName(QStringLiteral("Semestr"));
    Field& date = grades->fieldByName(QStringLiteral("Date"));
    for (auto _ : state) {
        grades->append();
        student.setValue(QStringLiteral("9999999"));
        plan.setValue(1);
        semester.setValue(3);
        date.setValue(QDate(2026, 12, 10));
        grades->post();
        // The benchmark's own row goes again, so the database stays as it was.
        state.PauseTiming();
        grades->remove();
        state.ResumeTiming();
    }
    state.counters["fsync_ms"] = fsyncSeconds(db) * 1000;
}
BENCHMARK(BM_AppendPost)
    ->ArgName("journal")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(500);

}  // namespace

int main(int argc, char** argv) {
    // The grade sheet's benchmarks make a window; no screen is needed for it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const DataError& e) {
        std::fprintf(stderr, "bench_dataset: %s\n", e.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
