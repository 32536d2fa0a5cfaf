// One screen of the grade sheet's grid over 1.5 million grades: the data
// module's grades with the columns the grade sheet shows (three of them
// lookups, two of those lookups of lookups), every cell of 40 rows read as Qt
// reads them to paint, at a random place in the list.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFileInfo>
#include <random>

#include "BenchDb.h"
#include "DM_Tessaly.h"
#include "GridModel.h"
#include "Messages.h"

namespace {

constexpr int ScreenRows = 40;

void BM_GridScreen(benchmark::State& state) {
    platform::MessageRecorder messages;
    auto folder = std::make_unique<bench::DataModuleFolder>(bench::database());
    TDM dm;
    folder.reset();
    if (!messages.messages().empty()) {
        state.SkipWithError("the data module reported failures");
        return;
    }
    GridModel model;
    model.setColumns({{QStringLiteral("DIS"), {}, 0},
                      {QStringLiteral("Semestr"), {}, 0},
                      {QStringLiteral("KONTOL"), {}, 0},
                      {QStringLiteral("Date"), {}, 0},
                      {QStringLiteral("Result"), {}, 0}});
    model.setDataSource(dm.DS_Ocenki);
    const int rows = model.rowCount();
    const int columns = model.columnCount();
    if (rows < ScreenRows) {
        state.SkipWithError("the grades are not there");
        return;
    }
    // A screen whose lookups find nothing would measure nothing.
    int found = 0;
    for (int r = 0; r < ScreenRows; ++r)
        for (int c : {0, 2, 4}) found += model.data(model.index(r, c)).toString().isEmpty() ? 0 : 1;
    if (found == 0) {
        state.SkipWithError("the lookup columns are empty");
        return;
    }

    std::mt19937 random(20240901);
    std::uniform_int_distribution<int> place(0, rows - ScreenRows);
    for (auto _ : state) {
        const int top = place(random);
        for (int r = top; r < top + ScreenRows; ++r)
            for (int c = 0; c < columns; ++c) {
                QVariant v = model.data(model.index(r, c), Qt::DisplayRole);
                benchmark::DoNotOptimize(v);
            }
    }
    state.counters["rows"] = rows;
    state.counters["cells_per_screen"] = ScreenRows * columns;
    state.counters["lookups_found_of_120"] = found;
}
BENCHMARK(BM_GridScreen)->Unit(benchmark::kMicrosecond);

}  // namespace
