// Backup and restore of the university-scale database through tessaly-db's
// library (online copy, check, compressed archive with checksums), and what
// starting the program's daily copy costs the thread that starts it.
#include <benchmark/benchmark.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <thread>

#include "Backup.h"
#include "BenchDb.h"
#include "DailyBackup.h"

namespace {

void BM_Backup(benchmark::State& state) {
    const QString db = bench::database();
    QTemporaryDir dir;
    int run = 0;
    int64_t bytes = 0;
    for (auto _ : state) {
        const QString archive = dir.filePath(QStringLiteral("u%1.tar.zst").arg(run++));
        try {
            bytes = backup::backupDatabase(db, archive).archiveBytes;
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
        state.PauseTiming();
        QFile::remove(archive);
        state.ResumeTiming();
    }
    state.counters["database_mb"] = double(QFileInfo(db).size()) / 1e6;
    state.counters["archive_mb"] = double(bytes) / 1e6;
}
BENCHMARK(BM_Backup)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Restore(benchmark::State& state) {
    const QString db = bench::database();
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("u.tar.zst"));
    try {
        backup::backupDatabase(db, archive);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    int run = 0;
    for (auto _ : state) {
        const QString restored = dir.filePath(QStringLiteral("r%1.mdb").arg(run++));
        try {
            backup::restoreDatabase(archive, restored);
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
        state.PauseTiming();
        QFile::remove(restored);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Restore)->Unit(benchmark::kMillisecond)->Iterations(3);

// Only the start is timed: the copy itself runs on its own thread. What the
// program's exit waits for when it stops a copy under way is counted apart.
void BM_DailyBackupStart(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const QString db = bench::database();
    QTemporaryDir dir;
    double longestStop = 0;
    for (auto _ : state) {
        auto daily = std::make_unique<DailyBackup>(db, dir.filePath(QStringLiteral("backups")),
                                                   QDate(2026, 12, 11));
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(20 * (state.iterations() % 10)));
        const auto t0 = Clock::now();
        daily.reset();
        longestStop =
            std::max(longestStop, std::chrono::duration<double>(Clock::now() - t0).count());
        QDir(dir.filePath(QStringLiteral("backups"))).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["longest_stop_ms"] = longestStop * 1000;
}
BENCHMARK(BM_DailyBackupStart)->Unit(benchmark::kMicrosecond)->Iterations(20);

}  // namespace
