// Page production: a layout and the datasets' current rows become pages of
// positioned texts, lines and pictures, compared as text dumps.
#include <QRegularExpression>
#include <QTest>
#include <memory>

#include "Dataset.h"
#include "Production.h"
#include "Table.h"
#include "TestDb.h"
#include "TextFit.h"

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

// The page's texts, in the order produced.
std::vector<TextItem> textsOf(const PageList& pages) {
    std::vector<TextItem> out;
    for (const Page& page : pages.pages)
        for (const Item& item : page.items)
            if (const auto* t = std::get_if<TextItem>(&item)) out.push_back(*t);
    return out;
}

// Where a text's ink ends on the paper, mm: its widest line from its box's left.
double inkRight(const TextItem& t) {
    double widest = 0;
    for (const QString& line : t.text.split(QRegularExpression(QStringLiteral("[\\n\\x{2028}]"))))
        widest = std::max(widest, textWidth(t.font, line));
    return t.box.left() + widest;
}

// The text without the line separators where production broke it.
QString unbroken(QString text) {
    return text.remove(QChar::LineSeparator);
}

constexpr double RightMargin = 200;  // mm from the paper's left edge

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

    void aValueStartsAfterItsLabelsWholeText_data();
    void aValueStartsAfterItsLabelsWholeText();
    void aLinePastTheMarginShrinksThenWraps_data();
    void aLinePastTheMarginShrinksThenWraps();
    void aFixedBoxGrowsWithItsLinesAndItsRow();
    void aWordWiderThanItsBoxShrinksBeforeItBreaks_data();
    void aWordWiderThanItsBoxShrinksBeforeItBreaks();
    void aPictureStaysInsideItsBandAndClearOfItsFrame();

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
    QTest::addColumn<double>("closing");
    QTest::newRow("a row that exactly fits") << GroupMode::EveryRow << 257.0 << 10.0 << 1
        << QStringList{"1:T@10.0", "1:H@267.0", "1:Абрамова@277.0", "1:C@287.0"} << 0.0;
    QTest::newRow("a heading moves with its row") << GroupMode::EveryRow << 257.1 << 10.0 << 1
        << QStringList{"1:T@10.0", "2:H@10.0", "2:Абрамова@20.0", "2:C@30.0"} << 0.0;
    QTest::newRow("every row repeats its group") << GroupMode::EveryRow << 230.0 << 10.0 << 3
        << QStringList{"1:T@10.0", "1:H@240.0", "1:Абрамова@250.0", "1:C@260.0",
                       "1:H@260.0", "1:Борисов@270.0", "1:C@280.0",
                       "2:H@10.0", "2:Васильева@20.0", "2:C@30.0"} << 0.0;
    QTest::newRow("the table's heading moves with its first row")
        << GroupMode::Table << 257.1 << 10.0 << 2
        << QStringList{"1:T@10.0", "2:H@10.0", "2:Абрамова@20.0", "2:Борисов@30.0", "2:C@40.0"} << 0.0;
    QTest::newRow("the table repeats its heading on the next page and closes once")
        << GroupMode::Table << 60.0 << 100.0 << 3
        << QStringList{"1:T@10.0", "1:H@70.0", "1:Абрамова@80.0", "1:Борисов@180.0",
                       "2:H@10.0", "2:Васильева@20.0", "2:C@120.0"} << 0.0;
    // The last row ends at the bottom margin: a signature band of no height still fits.
    QTest::newRow("a table's last row at the foot of the page")
        << GroupMode::Table << 237.0 << 10.0 << 3
        << QStringList{"1:T@10.0", "1:H@247.0", "1:Абрамова@257.0", "1:Борисов@267.0",
                       "1:Васильева@277.0", "1:C@287.0"} << 0.0;
    // A signature that does not fit takes the last row with it, never a page of its own.
    QTest::newRow("the closing band keeps the table's last row")
        << GroupMode::Table << 237.0 << 10.0 << 3
        << QStringList{"1:T@10.0", "1:H@247.0", "1:Абрамова@257.0", "1:Борисов@267.0",
                       "2:H@10.0", "2:Васильева@20.0", "2:C@30.0"}
        << 20.0;
}

void TestReportProduction::pageBreaking() {
    QFETCH(GroupMode, mode);
    QFETCH(double, title);
    QFETCH(double, row);
    QFETCH(int, rows);
    QFETCH(QStringList, expected);
    QFETCH(double, closing);
    Layout layout;
    layout.master = QStringLiteral("T_Studenti");
    layout.groupMode = mode;
    layout.addBand(BandKind::Title, title).elements.push_back(marker(layout, QStringLiteral("T")));
    layout.addBand(BandKind::Heading, 10).elements.push_back(marker(layout, QStringLiteral("H")));
    layout.addBand(BandKind::Row, row).elements.push_back(
        layout.data(QStringLiteral("T_Studenti"), QStringLiteral("Fam"), 0, 0, 30, 5));
    // Without a height it marks where the group ended, taking no room.
    layout.addBand(BandKind::Closing, closing)
        .elements.push_back(marker(layout, QStringLiteral("C")));
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

void TestReportProduction::aValueStartsAfterItsLabelsWholeText_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<double>("labelWidth");
    QTest::addColumn<double>("valueLeft");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<bool>("blankAfterLabel");
    // The sheet's examiner line: the label's text is wider than its 82.3 mm box.
    QTest::newRow("a label wider than its box")
        << "Экзаменатор (ученое звание, фамилия и инициалы)" << 82.3 << 84.7 << true << false;
    // "... в количестве " ends in a blank of its own: no second one is added.
    QTest::newRow("a label that ends in a blank")
        << "предмет сдается в обьеме, пройденном за ___ семестр в количестве " << 112.2 << 114.3
        << true << true;
    QTest::newRow("a label that ends before its value") << "ФАМИЛИЯ" << 34.0 << 38.1 << false
                                                          << false;
}

void TestReportProduction::aValueStartsAfterItsLabelsWholeText() {
    QFETCH(QString, label);
    QFETCH(double, labelWidth);
    QFETCH(double, valueLeft);
    QFETCH(bool, moves);
    QFETCH(bool, blankAfterLabel);
    Layout layout;
    Band& band = layout.addBand(BandKind::Title, 20);
    band.elements.push_back(layout.label(label, 0, 5, labelWidth, 4.5));
    band.elements.push_back(layout.label(QStringLiteral("Иванов"), valueLeft, 5, 14.8, 4.5));
    // A value on the next line is no neighbour of the label.
    band.elements.push_back(layout.label(QStringLiteral("ниже"), 20, 10, 10, 4.5));
    const std::vector<TextItem> texts = textsOf(producePages(layout, resolver()));
    QCOMPARE(int(texts.size()), 3);
    const double labelEnd = 10 + textWidth(Font{}, label);
    const double expected = moves ? labelEnd + (blankAfterLabel ? 0 : textWidth(Font{}, QStringLiteral(" ")))
                                  : 10 + valueLeft;
    QVERIFY2(qAbs(texts[1].box.left() - expected) < 0.01,
             qPrintable(QStringLiteral("%1 != %2").arg(texts[1].box.left()).arg(expected)));
    QVERIFY(texts[1].box.left() >= labelEnd - 0.01);
    QCOMPARE(texts[1].font.points, 10.0);
    QCOMPARE(texts[2].box.left(), 30.0);
}

void TestReportProduction::aLinePastTheMarginShrinksThenWraps_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("after");  // a second value on the line, or none
    QTest::addColumn<bool>("picture");   // a picture beside the line, from 150 mm
    QTest::addColumn<bool>("wraps");
    const QString discipline = QStringLiteral(
        "Методы математического моделирования и оптимизации сложных технических систем управления");
    QTest::newRow("a 100-character discipline shrinks") << discipline + QStringLiteral(" данных 12")
                                                        << "" << false << false;
    QTest::newRow("too long even at 7 pt: wraps within the margin")
        << discipline + u' ' + discipline + u' ' + discipline << "" << false << true;
    // The sheet's examiner: a long surname, then the first name after it.
    QTest::newRow("the widest text of the line shrinks first")
        << "Римский-Корсаков-Голенищев-Кутузов-Оболенский-Трубецкой" << "Константин" << false
        << false;
    QTest::newRow("a picture beside the line ends it")
        << "Римский-Корсаков-Голенищев-Кутузов-Оболенский" << "" << true << false;
}

void TestReportProduction::aLinePastTheMarginShrinksThenWraps() {
    QFETCH(QString, value);
    QFETCH(QString, after);
    QFETCH(bool, picture);
    QFETCH(bool, wraps);
    Layout layout;
    Band& band = layout.addBand(BandKind::Title, 40);
    const Font times{QStringLiteral("Times New Roman"), 14, false};
    band.elements.push_back(layout.label(QStringLiteral("Название предмета : "), 0, 5, 44.5, 6.6));
    band.elements.back().font = times;
    band.elements.push_back(layout.label(value, 46.6, 5, 18.3, 5.8));
    band.elements.back().font = times;
    if (!after.isEmpty()) {
        band.elements.push_back(layout.label(after, 114.3, 5, 6.9, 5.8));
        band.elements.back().font = times;
    }
    if (picture) {
        band.elements.push_back(layout.image(140, 0, 40, 40));
        band.elements.back().picture = QImage(40, 40, QImage::Format_RGB32);
    }
    // The next line, which a wrapped value pushes down rather than overprints.
    band.elements.push_back(layout.label(QStringLiteral("Предмет сдается"), 0, 15, 58.5, 5.8));
    band.elements.back().font = times;

    const std::vector<TextItem> texts = textsOf(producePages(layout, resolver()));
    const TextItem& v = texts[1];
    QCOMPARE(unbroken(v.text).remove(QLatin1Char(' ')), QString(value).remove(QLatin1Char(' ')));
    QVERIFY2(v.font.points < 14 && v.font.points >= 7, qPrintable(QString::number(v.font.points)));
    QCOMPARE(v.wrap, wraps);
    const double end = picture ? 10 + 140 - 1 : RightMargin;
    for (const TextItem& t : texts)
        QVERIFY2(inkRight(t) <= end + 0.01, qPrintable(t.text + u' ' + QString::number(inkRight(t))));
    // Nothing on the line overlaps: each text starts after the one before ends.
    for (size_t i = 1; i + 1 < texts.size(); ++i)
        QVERIFY2(texts[i].box.left() >= inkRight(texts[i - 1]) - 0.01, qPrintable(texts[i].text));
    if (!after.isEmpty()) {
        // The first name keeps its size; the surname, the widest, gave way.
        QCOMPARE(texts[2].text, after);
        QCOMPARE(texts[2].font.points, 14.0);
    }
    const TextItem& next = texts.back();
    QVERIFY2(next.box.top() >= v.box.bottom() - 0.01 || !wraps, qPrintable(QString::number(next.box.top())));
    if (wraps) QCOMPARE(v.font.points, 7.0);
}

void TestReportProduction::aFixedBoxGrowsWithItsLinesAndItsRow() {
    Layout layout;
    layout.master = QStringLiteral("T_Studenti");
    layout.groupMode = GroupMode::Table;
    Band& row = layout.addBand(BandKind::Row, 10.6, Frame{AllSides});
    const auto cell = [&](Element e, double left, double width, double height) -> Element& {
        e.left = left;
        e.width = width;
        e.height = height;
        e.autoWidth = false;
        e.font = Font{QStringLiteral("Arial"), 12, false};
        e.frame.sides = Side::Right;
        row.elements.push_back(std::move(e));
        return row.elements.back();
    };
    cell(layout.data(QStringLiteral("T_Studenti"), QStringLiteral("Fam"), 0, 0, 0, 0), 0, 39.7, 10.8);
    cell(layout.data(QStringLiteral("T_Studenti"), QStringLiteral("N_Student"), 0, 0, 0, 0), 66.1,
         21.2, 10.6);
    cell(layout.label(QStringLiteral(" "), 0, 0, 0, 0), 87.3, 14.6, 10.6);
    layout.addBand(BandKind::Closing, 10).elements.push_back(marker(layout, QStringLiteral("C")));
    m_db->connection().execute(QStringLiteral(
        "UPDATE Studenti SET Fam = 'Голенищева-Кутузова-Оболенская', N_Student = '0000001-а' "
        "WHERE N_Student = '0000001'"));
    m_students->close();
    m_students->open();
    m_students->setFilterText(QStringLiteral("N_Student = '0000001-а'"));
    m_students->setFiltered(true);

    const PageList pages = producePages(layout, resolver());
    const std::vector<TextItem> texts = textsOf(pages);
    const TextItem& surname = texts[0];
    QCOMPARE(unbroken(surname.text), QStringLiteral("Голенищева-Кутузова-Оболенская"));
    const int lines = int(surname.text.count(QChar::LineSeparator)) + 1;
    QVERIFY2(lines >= 2, qPrintable(surname.text));
    QVERIFY(surname.box.height() >= lines * lineHeight(surname.font) - 0.01);
    QCOMPARE(surname.font.points, 12.0);
    // Every cell reaches the row's new bottom, and so do their frame lines and the row's.
    const double bottom = 10 + surname.box.height() - 0.2;  // the surname's box is 0.2 mm taller
    for (size_t i = 1; i < 3; ++i)
        QVERIFY2(qAbs(texts[i].box.bottom() - bottom) < 0.01, qPrintable(QString::number(texts[i].box.bottom())));
    int tallLines = 0;
    for (const Item& item : pages.pages.front().items)
        if (const auto* l = std::get_if<LineItem>(&item); l && l->from.x() == l->to.x())
            tallLines += qAbs(std::max(l->from.y(), l->to.y()) - bottom) < 0.25 ? 1 : 0;
    QCOMPARE(tallLines, 5);  // the row's two sides and the three cells' right sides
    // The closing band starts under the grown row.
    QCOMPARE(texts.back().text, QStringLiteral("C"));
    QVERIFY(qAbs(texts.back().box.top() - bottom) < 0.01);
}

void TestReportProduction::aWordWiderThanItsBoxShrinksBeforeItBreaks_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<double>("width");
    QTest::addColumn<bool>("shrinks");
    QTest::addColumn<bool>("breaks");
    QTest::newRow("a heading that fits") << "Оценка" << 13.2 << false << false;
    QTest::newRow("a word a little too wide") << "Подпись" << 12.0 << true << false;
    QTest::newRow("a word too wide even at 7 pt") << "Электроэнергетика" << 15.0 << true << true;
}

void TestReportProduction::aWordWiderThanItsBoxShrinksBeforeItBreaks() {
    QFETCH(QString, word);
    QFETCH(double, width);
    QFETCH(bool, shrinks);
    QFETCH(bool, breaks);
    Layout layout;
    Band& band = layout.addBand(BandKind::Title, 20);
    band.elements.push_back(layout.label(word, 0, 0, width, 13.2));
    band.elements.back().autoWidth = false;
    band.elements.back().font = Font{QStringLiteral("MS Sans Serif"), 10, false};
    const TextItem t = textsOf(producePages(layout, resolver())).front();
    QCOMPARE(t.font.points < 10, shrinks);
    QCOMPARE(t.text.contains(QChar::LineSeparator), breaks);
    QCOMPARE(unbroken(t.text), word);
    if (!breaks) QVERIFY(textWidth(t.font, t.text) <= width + 0.01);
    if (breaks) QCOMPARE(t.font.points, 7.0);
}

void TestReportProduction::aPictureStaysInsideItsBandAndClearOfItsFrame() {
    Layout layout;
    Band& band = layout.addBand(BandKind::Details, 152.4, Frame{Side::Top | Side::Bottom});
    // The teacher card's photo box reaches 0.8 mm past the right margin.
    band.elements.push_back(layout.image(150.3, 0, 40.5, 40.5));
    band.elements.back().picture = QImage(30, 30, QImage::Format_RGB32);
    const PageList pages = producePages(layout, resolver());
    const PictureItem* picture = nullptr;
    for (const Item& item : pages.pages.front().items)
        if (const auto* p = std::get_if<PictureItem>(&item)) picture = p;
    QVERIFY(picture);
    QVERIFY2(picture->box.right() <= RightMargin + 1e-6, qPrintable(QString::number(picture->box.right())));
    QVERIFY(picture->box.top() >= 10 + 0.5 - 1e-6);
    QCOMPARE(picture->box.width(), picture->box.height());  // a square stays square
}

QTEST_MAIN(TestReportProduction)
#include "tst_report_production.moc"
