// The same engine on a PostgreSQL server over the local socket: opening the
// grades beside psql reading the same rows, and one post of an edited grade
// and of a new one. The server is started for the run in a folder of its own,
// keeping data as a real one does (each commit on disk when it returns), and
// gets the university database copied in once.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDate>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "BenchDb.h"
#include "Copy.h"
#include "Dataset.h"
#include "PgConnection.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

const QString serverScript = QStringLiteral(TESSALY_SOURCE_DIR "/scripts/pg-test-server");

// The run's server, holding a copy of the university database; stopped at exit.
class BenchServer {
public:
    ~BenchServer() {
        if (!m_running) return;
        QProcess stop;
        stop.start(serverScript, {QStringLiteral("stop"), m_dir.path()});
        stop.waitForFinished(120000);
    }

    // The connection string, or empty with the reason in `error`.
    QString conninfo(QString& error) {
        if (!m_conninfo.isEmpty() || !m_error.isEmpty()) {
            error = m_error;
            return m_conninfo;
        }
        QProcess start;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PG_TEST_SERVER_DURABLE"), QStringLiteral("1"));
        start.setProcessEnvironment(env);
        start.start(serverScript, {QStringLiteral("start"), m_dir.path(),
                                   QString::number(QCoreApplication::applicationPid())});
        if (!start.waitForFinished(120000) || start.exitCode() != 0) {
            m_error = QStringLiteral("the server did not start: ") +
                      QString::fromUtf8(start.readAllStandardError());
            error = m_error;
            return {};
        }
        m_running = true;
        const QString conninfo = QString::fromUtf8(start.readAllStandardOutput()).trimmed();
        std::fprintf(stderr, "copying the benchmark database to the server ...\n");
        try {
            dbtools::copyDatabase({bench::database(), false}, {conninfo, true});
            PgConnection c(conninfo);
            c.execute(QStringLiteral("VACUUM ANALYZE"));
        } catch (const DataError& e) {
            m_error = QStringLiteral("the copy to the server failed: ") + e.text();
            error = m_error;
            return {};
        }
        m_conninfo = conninfo;
        return m_conninfo;
    }

private:
    QTemporaryDir m_dir;
    QString m_conninfo;
    QString m_error;
    bool m_running = false;
};

BenchServer& server() {
    static BenchServer s;
    return s;
}

// psql printing the same rows, best of three.
double psqlSeconds(const QString& conninfo) {
    return bench::commandSeconds(
        QStringLiteral("psql"),
        {conninfo, QStringLiteral("-c"), QStringLiteral("select * from \"Ocenki\"")});
}

// The connection a benchmark runs on: the server, or the university file.
std::unique_ptr<Connection> connect(benchmark::State& state, bool onServer) {
    if (!onServer) {
        auto c = std::make_unique<SqliteConnection>(bench::database());
        c->open();
        return c;
    }
    QString error;
    const QString conninfo = server().conninfo(error);
    if (conninfo.isEmpty()) {
        state.SkipWithError(error.toStdString().c_str());
        return nullptr;
    }
    auto c = std::make_unique<PgConnection>(conninfo);
    c->open();
    return c;
}

void BM_OpenGradesServer(benchmark::State& state) {
    auto c = connect(state, true);
    if (!c) return;
    const double psql = psqlSeconds(static_cast<PgConnection&>(*c).conninfo());
    double ours = 0;
    int runs = 0;
    for (auto _ : state) {
        auto t = bench::gradesTable(*c);
        const auto t0 = Clock::now();
        t->open();
        ours += seconds(Clock::now() - t0);
        ++runs;
        benchmark::DoNotOptimize(t->recordCount());
        state.PauseTiming();
        t.reset();
        // Each open reads the server again, as a reopened window does.
        c->sharedTables() = SharedTables();
        state.ResumeTiming();
    }
    state.counters["psql_ms"] = psql * 1000;
    state.counters["ratio_to_psql"] = psql > 0 ? (ours / runs) / psql : 0;
}

// One grade edited and posted: the check that no other desk changed it, then the UPDATE.
void BM_EditPost(benchmark::State& state) {
    auto c = connect(state, state.range(0) != 0);
    if (!c) return;
    auto t = bench::gradesTable(*c);
    t->open();
    Field& semester = t->fieldByName(QStringLiteral("Semestr"));
    const int original = semester.asInteger();
    int i = 0;
    for (auto _ : state) {
        t->edit();
        semester.setValue(original + 1 + (i++ % 2));
        t->post();
    }
    t->edit();
    semester.setValue(original);
    t->post();
}

// One grade appended and posted, read back for its row key.
void BM_AppendPostServer(benchmark::State& state) {
    auto c = connect(state, true);
    if (!c) return;
    auto t = bench::gradesTable(*c);
    t->open();
    for (auto _ : state) {
        t->append();
        t->fieldByName(QStringLiteral("N_student")).setValue(QStringLiteral("9999999"));
        t->fieldByName(QStringLiteral("ID_Plan")).setValue(1);
        t->fieldByName(QStringLiteral("Semestr")).setValue(3);
        t->fieldByName(QStringLiteral("Date")).setValue(QDate(2026, 12, 10));
        t->post();
        state.PauseTiming();
        t->remove();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_OpenGradesServer)
    ->Name("BM_OpenGrades/server")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_EditPost)
    ->ArgName("server")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300);
BENCHMARK(BM_AppendPostServer)
    ->Name("BM_AppendPost/server")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300);
