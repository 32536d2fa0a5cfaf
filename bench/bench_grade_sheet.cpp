// The grade sheet of the student window over 1.5 million grades: changing a
// semester tab and moving to the next student while the sheet is visible
// (each filters the grades to one student and semester), and filling a
// semester of 12 plan rows against the 12 posts it amounts to. The fill runs
// on a copy of the benchmark database, so the added plan rows stay there; so
// does the clear of those 12 rows, each time after a fill puts them back.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

#include "BenchDb.h"
#include "Connection.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Messages.h"
#include "References.h"
#include "Studenti.h"

namespace {

// The data module opened on a database, with a student window showing the grade sheet.
class Sheet {
public:
    explicit Sheet(const QString& db) {
        {
            bench::DataModuleFolder folder(db);
            dm = std::make_unique<TDM>();
        }
        window = new TStuds;
        window->PageControl1->setCurrentIndex(1);
        QApplication::processEvents();
    }
    ~Sheet() {
        delete Studs;
        dm.reset();
    }
    bool failed() const { return !messages.messages().empty() || DM->T_Ocenki->recordCount() == 0; }

    platform::MessageRecorder messages;
    std::unique_ptr<TDM> dm;
    TStuds* window = nullptr;
};

void BM_SheetTabChange(benchmark::State& state) {
    Sheet sheet(bench::database());
    if (sheet.failed()) return state.SkipWithError("the data module reported failures");
    int tab = 0;
    for (auto _ : state) {
        tab = 1 - tab;
        sheet.window->SemesterTabs->setCurrentIndex(tab);
        benchmark::DoNotOptimize(DM->T_Ocenki->recordCount());
    }
    state.counters["rows_shown"] = DM->T_Ocenki->recordCount();
}
BENCHMARK(BM_SheetTabChange)->Unit(benchmark::kMillisecond);

void BM_SheetStudentMove(benchmark::State& state) {
    Sheet sheet(bench::database());
    if (sheet.failed()) return state.SkipWithError("the data module reported failures");
    Dataset* students = DM->Q_Studenti;
    for (auto _ : state) {
        if (students->isLast()) {
            state.PauseTiming();
            students->first();
            state.ResumeTiming();
        }
        students->next();
        benchmark::DoNotOptimize(DM->T_Ocenki->recordCount());
    }
    state.counters["rows_shown"] = DM->T_Ocenki->recordCount();
}
BENCHMARK(BM_SheetStudentMove)->Unit(benchmark::kMillisecond);

// A copy of the database with one more student in a specialty that has 12 plan
// rows in semester 3 (the tabs' first semester), and that student current.
class FillSetup {
public:
    FillSetup() {
        db = dir.filePath(QStringLiteral("verdikon.mdb"));
        QFile::copy(bench::database(), db);
        SqliteConnection c(db);
        c.open();
        auto groupOf = c.prepare(QStringLiteral(
            "SELECT g.ID_GRoup, g.ID_Specialnost FROM Gruppa g ORDER BY g.ID_GRoup LIMIT 1"));
        groupOf->step();
        const QVariant group = groupOf->columnValue(0);
        specialty = groupOf->columnValue(1).toString();
        auto count = c.prepare(
            QStringLiteral("SELECT count(*) FROM PlanSpec WHERE ID_Spec = ? AND Semestr = 3"));
        count->bindValue(1, specialty);
        count->step();
        for (int k = count->columnValue(0).toInt(); k < 12; ++k) {
            auto add = c.prepare(QStringLiteral(
                "INSERT INTO PlanSpec (ID_Spec, Ndis, Semestr, ID_Kontrol) VALUES (?, ?, 3, 1)"));
            add->bindValue(1, specialty);
            add->bindValue(2, k + 1);
            add->step();
        }
        auto student =
            c.prepare(QStringLiteral("INSERT INTO Studenti (N_student, Fam, Name, ID_group) VALUES "
                                     "('Z000001', 'Замыкающий', "
                                     "'Ян', ?)"));
        student->bindValue(1, group);
        student->step();
    }
    QTemporaryDir dir;
    QString db;
    QString specialty;
};

void BM_SheetFill12(benchmark::State& state) {
    FillSetup setup;
    Sheet sheet(setup.db);
    if (sheet.failed()) return state.SkipWithError("the data module reported failures");
    DM->Q_Studenti->last();
    Dataset* grades = DM->T_Ocenki;
    auto clear = [grades] {
        while (!grades->isEmpty()) {
            grades->first();
            grades->remove();
        }
    };
    // The first rows added after opening grow every column once; that is not the fill's cost.
    sheet.window->FillButtonClick();
    clear();
    double posts = 0;
    int runs = 0;
    for (auto _ : state) {
        sheet.window->FillButtonClick();
        state.PauseTiming();
        const int added = grades->recordCount();
        // The same 12 rows stored one post each, for comparison.
        for (int i = 0; i < added; ++i) {
            grades->first();
            grades->remove();
        }
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < added; ++i) {
            grades->insert();
            grades->fieldByName(QStringLiteral("N_student")).setValue(QStringLiteral("Z000001"));
            grades->fieldByName(QStringLiteral("ID_Plan")).setValue(i + 1);
            grades->fieldByName(QStringLiteral("Semestr")).setValue(3);
            grades->post();
        }
        posts += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
        state.counters["rows_added"] = added;
        clear();
        sheet.messages.clear();
        state.ResumeTiming();
    }
    state.counters["twelve_posts_ms"] = runs ? posts / runs * 1000 : 0;
}
BENCHMARK(BM_SheetFill12)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_SheetClear(benchmark::State& state) {
    FillSetup setup;
    Sheet sheet(setup.db);
    if (sheet.failed()) return state.SkipWithError("the data module reported failures");
    DM->Q_Studenti->last();
    // A change of tab shows the last student's semester 3.
    sheet.window->SemesterTabs->setCurrentIndex(1);
    sheet.window->SemesterTabs->setCurrentIndex(0);
    Dataset* grades = DM->T_Ocenki;
    int cleared = 0;
    for (auto _ : state) {
        state.PauseTiming();
        sheet.window->FillButtonClick();
        cleared = grades->recordCount();
        sheet.messages.clear();
        state.ResumeTiming();
        sheet.window->ClearButtonClick();
        benchmark::DoNotOptimize(grades->recordCount());
    }
    if (!grades->isEmpty()) return state.SkipWithError("the cleared rows are still shown");
    state.counters["rows_cleared"] = cleared;
}
BENCHMARK(BM_SheetClear)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
