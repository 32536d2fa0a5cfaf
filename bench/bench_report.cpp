// The report engine: producing the pages of a layout whose master has 1,000
// rows, each row's group three bands of five elements, and writing its PDF.
#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

#include "Connection.h"
#include "PainterOutput.h"
#include "Production.h"
#include "Table.h"

namespace {

using namespace report;

constexpr int Rows = 1000;

// A table of 1,000 students in a database of its own.
class Register {
public:
    Register() {
        const QString path = m_dir.filePath(QStringLiteral("report.mdb"));
        SqliteConnection::createFile(path);
        m_connection = std::make_unique<SqliteConnection>(path);
        m_connection->open();
        m_connection->execute(QStringLiteral(
            "CREATE TABLE Studenti (N_Student TEXT(7), Fam TEXT(30), Name TEXT(20), "
            "SecName TEXT(20), BirthDate DATETIME)"));
        m_connection->execute(QStringLiteral("BEGIN"));
        auto insert = m_connection->prepare(
            QStringLiteral("INSERT INTO Studenti VALUES (?, ?, ?, ?, ?)"));
        for (int i = 0; i < Rows; ++i) {
            insert->reset();
            insert->bind(1, QStringLiteral("%1").arg(i, 7, 10, QLatin1Char('0')));
            insert->bind(2, QStringLiteral("Фамилия%1").arg(i));
            insert->bind(3, QStringLiteral("Имя%1").arg(i));
            insert->bind(4, QStringLiteral("Отчество%1").arg(i));
            insert->bind(5, QStringLiteral("2001-02-03"));
            insert->step();
        }
        m_connection->execute(QStringLiteral("COMMIT"));
        students.setObjectName(QStringLiteral("Q_Report"));
        students.setConnection(m_connection.get());
        students.setTableName(QStringLiteral("Studenti"));
        students.open();
    }

    DatasetResolver resolver() {
        return [this](const QString& name) -> Dataset* {
            return name.compare(students.objectName(), Qt::CaseInsensitive) == 0 ? &students
                                                                                  : nullptr;
        };
    }

    Table students;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SqliteConnection> m_connection;
};

Layout rowLayout() {
    Layout layout;
    layout.master = QStringLiteral("Q_Report");
    Band& heading = layout.addBand(BandKind::Heading, 8, Frame{Side::Left | Side::Right});
    Band& row = layout.addBand(BandKind::Row, 6, Frame{AllSides});
    Band& closing = layout.addBand(BandKind::Closing, 6, Frame{Side::Bottom});
    const QStringList fields{"N_Student", "Fam", "Name", "SecName", "BirthDate"};
    for (int i = 0; i < 5; ++i) {
        heading.elements.push_back(layout.label(fields[i], i * 38.0, 0, 38, 8));
        heading.elements.back().autoWidth = false;
        heading.elements.back().frame = Frame{Side::Right};
        row.elements.push_back(layout.data(QStringLiteral("Q_Report"), fields[i], i * 38.0, 0, 38, 6));
        closing.elements.push_back(layout.label(QStringLiteral("____"), i * 38.0, 1, 38, 5));
    }
    return layout;
}

void BM_ReportProduce(benchmark::State& state) {
    Register reg;
    Layout layout = rowLayout();
    size_t pages = 0;
    for (auto _ : state) {
        PageList list = producePages(layout, reg.resolver());
        pages = list.pages.size();
        benchmark::DoNotOptimize(list);
    }
    state.counters["pages"] = double(pages);
}
BENCHMARK(BM_ReportProduce)->Unit(benchmark::kMillisecond);

void BM_ReportPdf(benchmark::State& state) {
    Register reg;
    Layout layout = rowLayout();
    const PageList pages = producePages(layout, reg.resolver());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    for (auto _ : state) writePdf(path, pages);
    state.counters["pages"] = double(pages.pages.size());
    state.counters["bytes"] = double(QFileInfo(path).size());
}
BENCHMARK(BM_ReportPdf)->Unit(benchmark::kMillisecond);

}  // namespace
