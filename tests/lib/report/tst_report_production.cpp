// Page production: a layout and the datasets' current rows become pages of
// positioned texts, lines and pictures, compared as text dumps.
#include <QTest>
#include <memory>

#include "Dataset.h"
#include "Production.h"
#include "Table.h"
#include "TestDb.h"

using namespace report;

namespace {

const QString schema = QStringLiteral(R"(
CREATE TABLE Studenti (N_Student TEXT(7), Fam TEXT(30), Name TEXT(20));
INSERT INTO Studenti VALUES ('0000001', 'Абрамова', 'Анна'), ('0000002', 'Борисов', 'Олег'),
    ('0000003', 'Васильева', 'Юлия');
CREATE TABLE Gruppa (ID_GRoup INTEGER, Nazvanie TEXT(20));
INSERT INTO Gruppa VALUES (1, 'ИВТ-41'), (2, 'ПМ-31');
CREATE TABLE Pusto (Fam TEXT(30))
)");

// A label naming its band, so a dump says which band landed where.
Element marker(const Layout& layout, const QString& text) {
    return layout.label(text, 0, 0, 30, 5);
}

// "page:text@top" for every text of the pages, the band markers' positions.
QStringList placed(const PageList& pages) {
    QStringList out;
    for (size_t p = 0; p < pages.pages.size(); ++p)
        for (const Item& item : pages.pages[p].items)
            if (const auto* t = std::get_if<TextItem>(&item))
                out << QStringLiteral("%1:%2@%3").arg(p + 1).arg(t->text).arg(t->box.top(), 0, 'f', 1);
    return out;
}

}  // namespace

class TestReportProduction : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void withoutMasterEachBandPrintsOnceFromTheCurrentRows();
    void withMasterEveryRowGetsItsGroupAndTheMasterStaysOnItsLastRow();
    void emptyMasterGivesTheTitleAndOneGroupWithEmptyData();
    void dataElementsFindDatasetAndFieldWhateverTheLetterCase_data();
    void dataElementsFindDatasetAndFieldWhateverTheLetterCase();
    void pageBreaking_data();
    void pageBreaking();
    void bandTallerThanAPageIsCutOnAPageOfItsOwn();
    void framesDateAndPictures();
    void everyProductionRunsTheHookAndReadsTheDataAgain();

private:
    Dataset* named(const QString& name) const;
    DatasetResolver resolver() const {
        return [this](const QString& name) { return named(name); };
    }

    std::unique_ptr<TestDb> m_db;
    std::vector<std::unique_ptr<Table>> m_tables;
    Table* m_students = nullptr;
    Table* m_groups = nullptr;
};

void TestReportProduction::init() {
    m_db = std::make_unique<TestDb>(schema);
    for (const char* name : {"Studenti", "Gruppa", "Pusto"}) {
        auto t = std::make_unique<Table>();
        t->setObjectName(QStringLiteral("T_") + QLatin1String(name));
        t->setConnection(&m_db->connection());
        t->setTableName(QLatin1String(name));
        t->open();
        m_tables.push_back(std::move(t));
    }
    m_students = m_tables[0].get();
    m_groups = m_tables[1].get();
}

void TestReportProduction::cleanup() {
    m_tables.clear();
    m_db.reset();
}

Dataset* TestReportProduction::named(const QString& name) const {
    for (const auto& t : m_tables)
        if (t->objectName().compare(name, Qt::CaseInsensitive) == 0) return t.get();
    return nullptr;
}

void TestReportProduction::withoutMasterEachBandPrintsOnceFromTheCurrentRows() {
    Layout layout;
    layout.title = QStringLiteral("Карточка");
    Band& title = layout.addBand(BandKind::Title, 20);
    title.elements.push_back(layout.label(QStringLiteral("КАРТОЧКА"), 61.4, 2.1, 61.6, 6.6));
    title.elements.back().font = Font{QStringLiteral("Arial"), 16, true};
    title.elements.back().align = Align::Center;
    Band& details = layout.addBand(BandKind::Details, 10);
    details.elements.push_back(layout.data(QStringLiteral("T_Studenti"), QStringLiteral("Fam"), 38.1, 1, 20, 4.5));
    details.elements.push_back(layout.data(QStringLiteral("T_Gruppa"), QStringLiteral("Nazvanie"), 100, 1, 20, 4.5));
    m_students->next();
    m_groups->last();

    const PageList pages = producePages(layout, resolver());

    QCOMPARE(pages.title, QStringLiteral("Карточка"));
    QCOMPARE(dump(pages), QStringLiteral(
        "page 1 text 71.4,12.1 61.6x6.6 \"Arial\" 16 bold centred \"КАРТОЧКА\"\n"
        "page 1 text 48.1,31.0 20.0x4.5 \"Arial\" 10 \"Борисов\"\n"
        "page 1 text 110.0,31.0 20.0x4.5 \"Arial\" 10 \"ПМ-31\""));
    QCOMPARE(m_students->recNo(), 1);
    QCOMPARE(m_groups->recNo(), 1);
}

void TestReportProduction::withMasterEveryRowGetsItsGroupAndTheMasterStaysOnItsLastRow() {
    Layout layout;
    layout.master = QStringLiteral("t_studenti");
    int hookRow = -2;
    layout.beforePrint = [&](Layout&) { hookRow = m_students->recNo(); };
    layout.addBand(BandKind::Title, 10).elements.push_back(marker(layout, QStringLiteral("T")));
    Band& heading = layout.addBand(BandKind::Heading, 5);
    heading.elements.push_back(marker(layout, QStringLiteral("H")));
    Band& row = layout.addBand(BandKind::Row, 5);
    row.elements.push_back(layout.data(QStringLiteral("T_Studenti"), QStringLiteral("Fam"), 0, 0, 30, 5));
    row.elements.push_back(layout.data(QStringLiteral("T_Gruppa"), QStringLiteral("Nazvanie"), 40, 0, 30, 5));
    layout.addBand(BandKind::Closing, 5).elements.push_back(marker(layout, QStringLiteral("C")));
    m_students->setRecNo(2);
    m_groups->next();

    const PageList pages = producePages(layout, resolver());

    QCOMPARE(hookRow, 2);
    QCOMPARE(placed(pages), QStringList({
        "1:T@10.0",
        "1:H@20.0", "1:Абрамова@25.0", "1:ПМ-31@25.0", "1:C@30.0",
        "1:H@35.0", "1:Борисов@40.0", "1:ПМ-31@40.0", "1:C@45.0",
        "1:H@50.0", "1:Васильева@55.0", "1:ПМ-31@55.0", "1:C@60.0"}));
    QCOMPARE(m_students->recNo(), 2);
    QCOMPARE(m_groups->recNo(), 1);
}

void TestReportProduction::emptyMasterGivesTheTitleAndOneGroupWithEmptyData() {
    for (const QString& master : {QStringLiteral("T_Pusto"), QStringLiteral("NoSuchDataset")}) {
        Layout layout;
        layout.master = master;
        layout.addBand(BandKind::Title, 10).elements.push_back(marker(layout, QStringLiteral("T")));
        Band& row = layout.addBand(BandKind::Row, 5);
        row.elements.push_back(layout.data(QStringLiteral("T_Pusto"), QStringLiteral("Fam"), 0, 0, 30, 5));
        row.elements.push_back(layout.data(QStringLiteral("T_Gruppa"), QStringLiteral("Nazvanie"), 40, 0, 30, 5));
        layout.addBand(BandKind::Closing, 5).elements.push_back(marker(layout, QStringLiteral("C")));

        QCOMPARE(placed(producePages(layout, resolver())),
                 QStringList({"1:T@10.0", "1:@20.0", "1:ИВТ-41@20.0", "1:C@25.0"}));
    }
}

void TestReportProduction::dataElementsFindDatasetAndFieldWhateverTheLetterCase_data() {
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("as declared") << "T_Studenti" << "N_Student" << "0000001";
    QTest::newRow("other case") << "t_STUDENTI" << "n_student" << "0000001";
    QTest::newRow("missing field") << "T_Studenti" << "Spec" << "";
    QTest::newRow("missing dataset") << "T_Facultet" << "Nazvanie" << "";
    QTest::newRow("bound to nothing") << "" << "" << "";
    QTest::newRow("closed dataset") << "T_Pusto" << "Fam" << "";
}

void TestReportProduction::dataElementsFindDatasetAndFieldWhateverTheLetterCase() {
    QFETCH(QString, dataset);
    QFETCH(QString, field);
    QFETCH(QString, text);
    named(QStringLiteral("T_Pusto"))->close();
    Layout layout;
    layout.addBand(BandKind::Title, 10).elements.push_back(layout.data(dataset, field, 0, 0, 20, 5));
    QCOMPARE(placed(producePages(layout, resolver())), QStringList({"1:" + text + "@10.0"}));
}

void TestReportProduction::pageBreaking_data() {
    // The page holds 277 mm between the margins, from 10 to 287; headings are 10 mm.
    QTest::addColumn<GroupMode>("mode");
    QTest::addColumn<double>("title");
    QTest::addColumn<double>("row");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("a row that exactly fits") << GroupMode::EveryRow << 257.0 << 10.0 << 1
        << QStringList{"1:T@10.0", "1:H@267.0", "1:Абрамова@277.0", "1:C@287.0"};
    QTest::newRow("a heading moves with its row") << GroupMode::EveryRow << 257.1 << 10.0 << 1
        << QStringList{"1:T@10.0", "2:H@10.0", "2:Абрамова@20.0", "2:C@30.0"};
    QTest::newRow("every row repeats its group") << GroupMode::EveryRow << 230.0 << 10.0 << 3
        << QStringList{"1:T@10.0", "1:H@240.0", "1:Абрамова@250.0", "1:C@260.0",
                       "1:H@260.0", "1:Борисов@270.0", "1:C@280.0",
                       "2:H@10.0", "2:Васильева@20.0", "2:C@30.0"};
    QTest::newRow("the table's heading moves with its first row")
        << GroupMode::Table << 257.1 << 10.0 << 2
        << QStringList{"1:T@10.0", "2:H@10.0", "2:Абрамова@20.0", "2:Борисов@30.0", "2:C@40.0"};
    QTest::newRow("the table repeats its heading on the next page and closes once")
        << GroupMode::Table << 60.0 << 100.0 << 3
        << QStringList{"1:T@10.0", "1:H@70.0", "1:Абрамова@80.0", "1:Борисов@180.0",
                       "2:H@10.0", "2:Васильева@20.0", "2:C@120.0"};
}

void TestReportProduction::pageBreaking() {
    QFETCH(GroupMode, mode);
    QFETCH(double, title);
    QFETCH(double, row);
    QFETCH(int, rows);
    QFETCH(QStringList, expected);
    Layout layout;
    layout.master = QStringLiteral("T_Studenti");
    layout.groupMode = mode;
    layout.addBand(BandKind::Title, title).elements.push_back(marker(layout, QStringLiteral("T")));
    layout.addBand(BandKind::Heading, 10).elements.push_back(marker(layout, QStringLiteral("H")));
    layout.addBand(BandKind::Row, row).elements.push_back(
        layout.data(QStringLiteral("T_Studenti"), QStringLiteral("Fam"), 0, 0, 30, 5));
    // No height: it marks where the group ended without taking room.
    layout.addBand(BandKind::Closing, 0).elements.push_back(marker(layout, QStringLiteral("C")));
    m_students->setFilterText(QStringLiteral("N_Student <= '000000%1'").arg(rows));
    m_students->setFiltered(true);
    QCOMPARE(m_students->recordCount(), rows);

    QCOMPARE(placed(producePages(layout, resolver())), expected);
}

void TestReportProduction::bandTallerThanAPageIsCutOnAPageOfItsOwn() {
    Layout layout;
    layout.addBand(BandKind::Title, 20).elements.push_back(marker(layout, QStringLiteral("T")));
    Band& tall = layout.addBand(BandKind::Details, 400, Frame{AllSides});
    tall.elements.push_back(layout.label(QStringLiteral("верх"), 0, 0, 30, 5));
    tall.elements.push_back(layout.label(QStringLiteral("край"), 0, 275, 30, 5));
    tall.elements.push_back(layout.label(QStringLiteral("низ"), 0, 300, 30, 5));
    QImage picture(10, 100, QImage::Format_RGB32);
    picture.fill(Qt::red);
    tall.elements.push_back(layout.image(100, 177, 20, 200));
    tall.elements.back().picture = picture;
    layout.addBand(BandKind::Row, 10).elements.push_back(marker(layout, QStringLiteral("R")));

    const PageList pages = producePages(layout, resolver());

    QCOMPARE(placed(pages), QStringList({"1:T@10.0", "2:верх@10.0", "2:край@285.0", "3:R@10.0"}));
    const QString out = dump(pages);
    // The frame's sides stop at the bottom margin and its bottom line is not printed.
    QVERIFY2(out.contains("page 2 line 10.0,10.0 10.0,287.0 1pt"), qPrintable(out));
    QVERIFY2(out.contains("page 2 line 200.0,10.0 200.0,287.0 1pt"), qPrintable(out));
    QVERIFY2(!out.contains("410.0"), qPrintable(out));
    // The box of the text cut at the margin ends there; the picture keeps its upper part.
    QVERIFY2(out.contains("page 2 text 10.0,285.0 30.0x2.0"), qPrintable(out));
    QVERIFY2(out.contains("page 2 picture 110.0,187.0 20.0x100.0 10x50"), qPrintable(out));
}

void TestReportProduction::framesDateAndPictures() {
    Layout layout;
    Band& band = layout.addBand(BandKind::Title, 30, Frame{Side::Left | Side::Right});
    band.elements.push_back(layout.date(74.1, 2, 9.5, 4.5));
    band.elements.push_back(layout.label(QStringLiteral("Оценка"), 101.9, 6.6, 13.2, 13.2));
    band.elements.back().frame = Frame{Side::Bottom, 2};
    band.elements.back().autoWidth = false;
    band.elements.push_back(layout.image(148.2, 5, 40.5, 40.5));
    Band& second = layout.addBand(BandKind::Details, 40.5);
    QImage photo(64, 48, QImage::Format_RGB32);
    photo.fill(Qt::blue);
    second.elements.push_back(layout.image(148.2, 0, 40.5, 40.5));
    second.elements.back().picture = photo;

    QCOMPARE(dump(producePages(layout, resolver(), QDate(2026, 12, 1))), QStringLiteral(
        "page 1 line 10.0,10.0 10.0,40.0 1pt\n"
        "page 1 line 200.0,10.0 200.0,40.0 1pt\n"
        "page 1 text 84.1,12.0 9.5x4.5 \"Arial\" 10 \"01.12.2026\"\n"
        "page 1 text 111.9,16.6 13.2x13.2 \"Arial\" 10 wrap \"Оценка\"\n"
        "page 1 line 111.9,29.8 125.1,29.8 2pt\n"
        // The 4:3 photo keeps its proportions, centred in its square.
        "page 1 picture 158.2,45.1 40.5x30.4 64x48"));
}

void TestReportProduction::everyProductionRunsTheHookAndReadsTheDataAgain() {
    Layout layout;
    int runs = 0;
    layout.beforePrint = [&](Layout& l) {
        l.element(QStringLiteral("Semestr"))->text = QString::number(++runs);
    };
    Band& band = layout.addBand(BandKind::Title, 10);
    band.elements.push_back(layout.label(QString(), 0, 0, 10, 5));
    band.elements.back().name = QStringLiteral("Semestr");
    band.elements.push_back(layout.data(QStringLiteral("T_Gruppa"), QStringLiteral("Nazvanie"), 20, 0, 20, 5));

    QCOMPARE(placed(producePages(layout, resolver())), QStringList({"1:1@10.0", "1:ИВТ-41@10.0"}));
    m_groups->next();
    QCOMPARE(placed(producePages(layout, resolver())), QStringList({"1:2@10.0", "1:ПМ-31@10.0"}));
}

QTEST_MAIN(TestReportProduction)
#include "tst_report_production.moc"
