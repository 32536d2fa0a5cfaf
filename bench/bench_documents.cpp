// The documents over the university-scale register: the exam statement of a
// group of 30 from the press of "Отчет" to its pages produced (the students'
// query opened again over all 30,000 students, then the title block and a
// table row per student), on a copy of the benchmark database in which the
// first group has 30 students; and every statement of a faculty of 1,000
// students printed to one PDF by tessaly-db.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "BenchDb.h"
#include "Connection.h"
#include "DBLookupComboBox.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Messages.h"
#include "Preview.h"
#include "References.h"
#include "Report.h"
#include "otchet.h"

namespace {

constexpr int GroupSize = 30;

// A copy of the database whose first group takes five students of the second.
class GroupSetup {
public:
    GroupSetup() {
        db = dir.filePath(QStringLiteral("verdikon.mdb"));
        QFile::copy(bench::database(), db);
        SqliteConnection c(db);
        c.open();
        auto first = c.prepare(QStringLiteral("SELECT min(ID_GRoup) FROM Gruppa"));
        group = first->step() ? first->columnValue(0).toInt() : 0;
        auto size = c.prepare(QStringLiteral("SELECT count(*) FROM Studenti WHERE ID_group = ?"));
        size->bind(1, int64_t(group));
        const int have = size->step() ? size->columnValue(0).toInt() : 0;
        auto move = c.prepare(QStringLiteral(
            "UPDATE Studenti SET ID_group = ?1 WHERE rowid IN (SELECT rowid FROM Studenti "
            "WHERE ID_group <> ?1 LIMIT ?2)"));
        move->bind(1, int64_t(group));
        move->bind(2, int64_t(GroupSize - have));
        move->step();
    }

    QTemporaryDir dir;
    QString db;
    int group = 0;
};

void BM_Statement(benchmark::State& state) {
    GroupSetup setup;
    platform::MessageRecorder messages;
    auto reports = std::make_unique<TF_Report>();
    std::unique_ptr<TDM> dm;
    {
        bench::DataModuleFolder folder(setup.db);
        dm = std::make_unique<TDM>();
    }
    auto window = std::make_unique<Tf_otchet>();
    window->PageControl1->setCurrentIndex(Tf_otchet::StatementIndex);
    window->GroupPicker->setKeyValue(setup.group);
    QApplication::processEvents();
    if (!messages.messages().empty() || !window->ReportButton->isEnabled())
        return state.SkipWithError("the data module reported failures");

    std::optional<report::PreviewRecorder> previews(std::in_place);
    size_t pages = 0;
    int rows = 0;
    for (auto _ : state) {
        window->ReportButtonClick();
        state.PauseTiming();
        pages = previews->previews().back().pages.size();
        rows = DM->Q_Report->recordCount();
        // The recorder keeps every preview's pages; a fresh one keeps memory flat.
        if (previews->previews().size() >= 64) previews.emplace();
        state.ResumeTiming();
    }
    state.counters["students"] = rows;
    state.counters["pages"] = double(pages);
    if (rows != GroupSize) state.SkipWithError("the group does not have 30 students");
    if (!messages.messages().empty()) state.SkipWithError("the statement reported a failure");
    window.reset();
    dm.reset();
    reports.reset();
}
BENCHMARK(BM_Statement)->Unit(benchmark::kMillisecond);

// A copy of the database whose first faculty keeps forty groups (1,000
// students); its other groups go to the second faculty's first specialty.
class FacultySetup {
public:
    static constexpr int Groups = 40;

    FacultySetup() {
        db = dir.filePath(QStringLiteral("university.mdb"));
        QFile::copy(bench::database(), db);
        SqliteConnection c(db);
        c.open();
        const auto scalar = [&](const QString& sql) {
            auto st = c.prepare(sql);
            return st->step() ? st->columnValue(0) : QVariant();
        };
        faculty = scalar(QStringLiteral("SELECT Nazvanie FROM Facultet WHERE ID_Facultet = 1")).toString();
        discipline = scalar(QStringLiteral("SELECT NameDis FROM Disciplins ORDER BY Ndis LIMIT 1")).toString();
        c.execute(QStringLiteral(
            "UPDATE Gruppa SET ID_Specialnost = (SELECT ID_Spec FROM Specialnost WHERE "
            "ID_Facultet = 2 LIMIT 1) WHERE ID_GRoup IN (SELECT g.ID_GRoup FROM Gruppa g JOIN "
            "Specialnost s ON s.ID_Spec = g.ID_Specialnost WHERE s.ID_Facultet = 1 ORDER BY "
            "g.ID_GRoup LIMIT -1 OFFSET %1)").arg(Groups));
        students = scalar(QStringLiteral(
            "SELECT count(*) FROM Studenti t JOIN Gruppa g ON g.ID_GRoup = t.ID_group JOIN "
            "Specialnost s ON s.ID_Spec = g.ID_Specialnost WHERE s.ID_Facultet = 1")).toInt();
    }

    QTemporaryDir dir;
    QString db, faculty, discipline;
    int students = 0;
};

// `tessaly-db print statement --all-groups` for a faculty of 1,000 students
// on the university-scale register: the data module opened on the file, every
// group's statement produced, one PDF written. The best of three runs.
void BM_PrintFacultyStatements(benchmark::State& state) {
    FacultySetup setup;
    const QString pdf = setup.dir.filePath(QStringLiteral("faculty.pdf"));
    double seconds = 0;
    for (auto _ : state) {
        seconds = bench::commandSeconds(
            QStringLiteral(TESSALY_DB_EXECUTABLE),
            {QStringLiteral("print"), QStringLiteral("statement"), setup.db, QStringLiteral("--pdf"),
             pdf, QStringLiteral("--all-groups"), QStringLiteral("--faculty"), setup.faculty,
             QStringLiteral("--discipline"), setup.discipline, QStringLiteral("--semester"),
             QStringLiteral("1"), QStringLiteral("--year"), QStringLiteral("2026")});
        state.SetIterationTime(seconds);
    }
    state.counters["students"] = setup.students;
    state.counters["pdf_kb"] = double(QFileInfo(pdf).size()) / 1024;
    if (seconds <= 0) state.SkipWithError("tessaly-db print failed");
}
BENCHMARK(BM_PrintFacultyStatements)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace
