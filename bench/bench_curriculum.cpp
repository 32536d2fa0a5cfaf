// The educational-process window over the university-scale register: opening
// it (the plan query takes its statement again and reads every plan row) and
// choosing another faculty, with the specialty list, the plan grid and the
// quick-add lists following and drawn.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPointer>
#include <QTabWidget>
#include <memory>

#include "BenchDb.h"
#include "DBLookupComboBox.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Messages.h"
#include "References.h"
#include "YMO.h"

namespace {

std::unique_ptr<TDM> openDataModule() {
    bench::DataModuleFolder folder(bench::database());
    return std::make_unique<TDM>();
}

void BM_CurriculumOpen(benchmark::State& state) {
    platform::MessageRecorder messages;
    std::unique_ptr<TDM> dm = openDataModule();
    if (!messages.messages().empty())
        return state.SkipWithError("the data module reported failures");
    for (auto _ : state) {
        QPointer<Typ> window = new Typ;
        QApplication::processEvents();
        state.PauseTiming();
        // Closing destroys the window.
        window->close();
        QApplication::processEvents();
        delete window.data();
        state.ResumeTiming();
    }
    state.counters["plan_rows"] = DM->Q_Plan_Spec->recordCount();
    if (!messages.messages().empty()) state.SkipWithError("opening reported a failure");
    dm.reset();
}
BENCHMARK(BM_CurriculumOpen)->Unit(benchmark::kMillisecond);

void BM_CurriculumFaculty(benchmark::State& state) {
    platform::MessageRecorder messages;
    std::unique_ptr<TDM> dm = openDataModule();
    auto* window = new Typ;
    window->PageControl1->setCurrentIndex(0);
    window->PlanPages->setCurrentIndex(1);
    QApplication::processEvents();
    QList<QVariant> faculties;
    for (DM->facultet->first(); faculties.size() < DM->facultet->recordCount();
         DM->facultet->next())
        faculties << DM->facultetID_Facultet->value();
    if (!messages.messages().empty() || faculties.size() < 2)
        return state.SkipWithError("the register has too few faculties");
    qsizetype next = 0;
    int planRows = 0;
    for (auto _ : state) {
        window->FacultyPicker->setKeyValue(faculties[next]);
        next = (next + 1) % faculties.size();
        QApplication::processEvents();
        planRows += DM->T_Plan_Spec->recordCount();
    }
    state.counters["faculties"] = double(faculties.size());
    state.counters["plan_rows"] = benchmark::Counter(planRows, benchmark::Counter::kAvgIterations);
    if (!messages.messages().empty()) state.SkipWithError("a choice reported a failure");
    delete window;
    dm.reset();
}
BENCHMARK(BM_CurriculumFaculty)->Unit(benchmark::kMillisecond);

}  // namespace
