// Creating the data module on a university-scale database: every dataset
// opened with its fields, lookups and links, against the sqlite3 shell reading
// every table of the same file. Run it alone for a true peak memory figure.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QDir>
#include <QFileInfo>
#include <chrono>

#include "BenchDb.h"
#include "DM_Tessaly.h"
#include "Messages.h"
#include "Schema.h"

namespace {

using Clock = std::chrono::steady_clock;

double shellSeconds(const QString& db) {
    QString sql;
    for (const schema::Table& t : schema::tables())
        sql += QStringLiteral("select rowid,* from \"%1\";").arg(t.name);
    return bench::commandSeconds(QStringLiteral("sqlite3"), {db, sql});
}

void BM_OpenDataModule(benchmark::State& state) {
    const QString db = bench::database();
    bench::DataModuleFolder folder(db);
    const double shell = shellSeconds(db);
    double ours = 0;
    int runs = 0;
    int failures = 0;
    for (auto _ : state) {
        platform::MessageRecorder messages;
        const auto t0 = Clock::now();
        auto dm = std::make_unique<TDM>();
        ours += std::chrono::duration<double>(Clock::now() - t0).count();
        ++runs;
        failures += int(messages.messages().size());
        benchmark::DoNotOptimize(dm->T_Ocenki->recordCount());
        state.PauseTiming();
        dm.reset();
        state.ResumeTiming();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = double(usage.ru_maxrss) / 1024.0;
    state.counters["sqlite3_shell_ms"] = shell * 1000;
    state.counters["ratio_to_shell"] = shell > 0 ? (ours / runs) / shell : 0;
    if (failures > 0) state.SkipWithError("the data module reported failures");
}
BENCHMARK(BM_OpenDataModule)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
