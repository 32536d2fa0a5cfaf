// The teacher window over the university-scale register (750 teachers): moving
// to the next teacher with the window open, its five pickers following and the
// teacher's photo found and shown. Runs on a copy of the benchmark database in
// which every teacher has a photo in a photo store of its own.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <memory>

#include "BenchDb.h"
#include "Connection.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Messages.h"
#include "PhotoStore.h"
#include "Prepod.h"
#include "References.h"

namespace {

// A copy of the database whose teachers all have a photo, alternately a JPEG
// and a bitmap of passport size, and the photo store holding them.
class PhotoSetup {
public:
    PhotoSetup() {
        db = dir.filePath(QStringLiteral("verdikon.mdb"));
        QFile::copy(bench::database(), db);
        QDir(dir.path()).mkpath(QStringLiteral("bin/Foto/Prepod"));
        SqliteConnection c(db);
        c.open();
        c.execute(QStringLiteral(
            "UPDATE Prepodavateli SET Foto = ID_Prepod || CASE WHEN ID_Prepod % 2 = 0 "
            "THEN '.BMP' ELSE '.jpg' END"));
        QImage face(300, 400, QImage::Format_RGB32);
        face.fill(QColor(0xc8, 0xa0, 0x80));
        auto ids = c.prepare(QStringLiteral("SELECT Foto FROM Prepodavateli"));
        while (ids->step())
            face.save(
                dir.filePath(QStringLiteral("bin/Foto/Prepod/") + ids->columnValue(0).toString()));
        photos::setSettingsSource([this] { return dir.filePath(QStringLiteral("bin/tessaly")); },
                                  [this] { return dir.filePath(QStringLiteral("bin")); });
    }
    ~PhotoSetup() { photos::setSettingsSource({}, {}); }

    QTemporaryDir dir;
    QString db;
};

void BM_TeacherMove(benchmark::State& state) {
    PhotoSetup setup;
    platform::MessageRecorder messages;
    std::unique_ptr<TDM> dm;
    {
        bench::DataModuleFolder folder(setup.db);
        dm = std::make_unique<TDM>();
    }
    auto* window = new TPrep;
    QApplication::processEvents();
    Dataset* teachers = DM->Q_Prepod;
    if (!messages.messages().empty() || teachers->recordCount() == 0)
        return state.SkipWithError("the data module reported failures");
    int photos = 0;
    for (auto _ : state) {
        if (teachers->isLast()) {
            state.PauseTiming();
            teachers->first();
            state.ResumeTiming();
        }
        teachers->next();
        photos += window->Photo->isVisibleTo(window) ? 1 : 0;
        benchmark::DoNotOptimize(DM->T_Kafedra->recNo());
    }
    state.counters["teachers"] = teachers->recordCount();
    state.counters["photos_shown"] = benchmark::Counter(photos, benchmark::Counter::kAvgIterations);
    if (!messages.messages().empty()) state.SkipWithError("a move reported a failure");
    delete window;
    dm.reset();
}
BENCHMARK(BM_TeacherMove)->Unit(benchmark::kMillisecond);

}  // namespace
