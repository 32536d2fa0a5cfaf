// The import of a Jet file: every table of the largest public Jet file
// (nwind.mdb, nine tables, memo text and pictures) into a new SQLite file,
// reported as rows a second.
#include <benchmark/benchmark.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "DataError.h"
#include "Import.h"

namespace {

void BM_ImportMdb(benchmark::State& state) {
    const QString source = QStringLiteral(TESSALY_JET_TESTDATA "/nwind.mdb");
    QTemporaryDir dir;
    qint64 rows = 0;
    int run = 0;
    for (auto _ : state) {
        QString report;
        try {
            report =
                dbtools::importMdb(source, dir.filePath(QStringLiteral("%1.sqlite").arg(++run)),
                                   dbtools::ImportScope::AllTables);
        } catch (const DataError& e) {
            state.SkipWithError(e.what());
            return;
        }
        static const QRegularExpression written(QStringLiteral(": (\\d+) rows read"));
        for (auto m = written.globalMatch(report); m.hasNext();)
            rows += m.next().captured(1).toLongLong();
    }
    state.counters["rows_per_second"] =
        benchmark::Counter(double(rows), benchmark::Counter::kIsRate);
    state.counters["rows"] = double(rows) / double(state.iterations());
}
BENCHMARK(BM_ImportMdb)->Unit(benchmark::kMillisecond);

}  // namespace
