// The outputs that read the page list without a painter: the text file (each
// text at its line and column, nothing lost where texts meet, a form feed
// between pages), the HTML document (pages and elements placed in millimetres,
// everything escaped, UTF-8), and the saved report, which loads back equal
// and refuses anything that is not a whole saved report.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "ExportFilter.h"
#include "FileBytes.h"
#include "Layout.h"
#include "Production.h"
#include "SavedReport.h"

using namespace report;

namespace {

const QDate Today(2024, 3, 5);

// A picture with an edge of partly transparent pixels, so a format that drops
// alpha or a channel shows.
QImage testPicture() {
    QImage image(6, 4, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(40 * x, 60 * y, 255 - 30 * x, y == 0 ? 128 : 255));
    return image;
}

// Two title-size bands, each taller than half a page, so the second starts page 2.
Layout twoPageLayout() {
    Layout layout;
    layout.title = QStringLiteral("Сводка <1> & \"2\"");
    Band& title = layout.addBand(BandKind::Title, 150, Frame{Side::Bottom});
    Element heading = layout.label(QStringLiteral("Ведомость"), 0, 0, 190, 8);
    heading.font = Font{QStringLiteral("Times New Roman"), 14, true};
    heading.align = Align::Center;
    title.elements.push_back(heading);
    title.elements.push_back(layout.date(150, 10, 30, 5));
    title.elements.push_back(layout.label(QStringLiteral("Группа:"), 0, 10, 25, 5));
    // Starts right after the colon, so it would touch the text before it.
    title.elements.push_back(layout.label(QStringLiteral("ИВТ-21"), 17, 10, 30, 5));
    title.elements.push_back(
        layout.label(QStringLiteral("Длинная надпись без переноса"), 0, 20, 40, 5));
    // Lies under the end of the long one-line text above.
    title.elements.push_back(layout.label(QStringLiteral("справа"), 50, 20, 40, 5));
    Element words = layout.label(
        QStringLiteral("Студенты второго курса сдают экзамен по дисциплине «Базы данных»"), 0, 30,
        50, 14);
    words.autoWidth = false;
    title.elements.push_back(words);
    Element longWord = layout.label(QStringLiteral("Электроэнергетика"), 60, 30, 20, 9);
    longWord.autoWidth = false;
    title.elements.push_back(longWord);
    title.elements.push_back(
        layout.label(QStringLiteral("Оценка <5> & \"отлично\" 'A'"), 0, 60, 190, 5));
    Element framed = layout.label(QStringLiteral("В рамке"), 100, 60, 40, 6);
    framed.frame = Frame{AllSides, 0.5};
    title.elements.push_back(framed);

    Band& details = layout.addBand(BandKind::Details, 150);
    details.elements.push_back(layout.label(QStringLiteral("Страница вторая"), 0, 0, 60, 5));
    Element picture = layout.image(150, 0, 30, 30);
    picture.picture = testPicture();
    details.elements.push_back(picture);
    details.elements.push_back(layout.label(QStringLiteral("Подпись\nдекана"), 0, 20, 60, 5));
    details.elements.push_back(layout.label(QStringLiteral("Конец   "), 0, 40, 30, 5));
    return layout;
}

PageList twoPages() {
    Layout layout = twoPageLayout();
    return producePages(layout, {}, Today);
}

// A line of the text grid: texts at their columns, blanks between.
QString row(const std::vector<std::pair<int, QString>>& texts) {
    QString line;
    for (const auto& [column, text] : texts) {
        line = line.leftJustified(column, QLatin1Char(' '));
        line += text;
    }
    return line;
}

// Lines of the grid from the top of the page; missing ones are blank.
QString page(const std::map<int, QString>& lines) {
    QString out;
    const int last = lines.empty() ? -1 : lines.rbegin()->first;
    for (int i = 0; i <= last; ++i) {
        auto it = lines.find(i);
        out += (it == lines.end() ? QString() : it->second) + QLatin1Char('\n');
    }
    return out;
}

PageList onePage(std::vector<Item> items) {
    PageList pages;
    pages.pages.push_back(Page{std::move(items)});
    return pages;
}

TextItem text(double left, double top, double width, double height, const QString& s,
              bool wrap = false, Align align = Align::Left) {
    TextItem t;
    t.box = QRectF(left, top, width, height);
    t.text = s;
    t.wrap = wrap;
    t.align = align;
    return t;
}

QString textOf(const PageList& pages) {
    return QString::fromUtf8(TextFilter().write(pages));
}
QString htmlOf(const PageList& pages) {
    return QString::fromUtf8(HtmlFilter().write(pages));
}

// The text of the ReportError an operation throws, or this when it throws none.
const QString NoFailure = QStringLiteral("(no failure)");
template <typename Op>
QString reportFailure(Op&& op) {
    try {
        op();
    } catch (const ReportError& e) {
        return QString::fromStdString(e.what());
    }
    return NoFailure;
}

// The PNG pictures of an HTML document, in order.
std::vector<QImage> htmlPictures(const QString& html) {
    std::vector<QImage> pictures;
    static const QRegularExpression png(QStringLiteral("src=\"data:image/png;base64,([^\"]*)\""));
    for (const auto& m : png.globalMatch(html))
        pictures.push_back(
            QImage::fromData(QByteArray::fromBase64(m.captured(1).toLatin1()), "PNG"));
    return pictures;
}

}  // namespace

Q_DECLARE_METATYPE(report::PageList)

class TestReportOutputs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textPlacesTwoPagesOnTheCellGrid();
    void textIsUtf8WithFormFeedsBetweenPages();
    void textPlacement_data();
    void textPlacement();

    void htmlIsOneDocumentWithAPageBlockPerPage();
    void htmlPlacesTextsInMillimetresWithTheirFonts();
    void htmlEscapesEveryText();
    void htmlDrawsFrameLinesAndPictures();
    void htmlIsUtf8();

    void savedReportLoadsBackEqual();
    void savedPicturesKeepTheirFormat_data();
    void savedPicturesKeepTheirFormat();
    void badSavedReportIsRefused_data();
    void badSavedReportIsRefused();

    void reportFileIsWrittenWholeAndReadBack();
    void reportFileInAMissingFolderFailsNamingTheFile();
    void unreadableReportFileFailsNamingTheFile_data();
    void unreadableReportFileFailsNamingTheFile();
};

void TestReportOutputs::textPlacesTwoPagesOnTheCellGrid() {
    // Cells are 2.5 mm by 4.5 mm from the paper's corner: the 10 mm margin is
    // column 4; tops at 10, 20, 30, 40, 50 and 70 mm are lines 2, 4, 7, 9, 11 and 16.
    const QString first = page({
        // Centred in the 76 columns of its 190 mm box.
        {2, row({{37, QStringLiteral("Ведомость")}})},
        // "ИВТ-21" wanted column 11, next to the colon, and keeps one blank.
        {4, row({{4, QStringLiteral("Группа:")},
                 {12, QStringLiteral("ИВТ-21")},
                 {64, QStringLiteral("05.03.2024")}})},
        {7, QStringLiteral("    Длинная надпись без переноса справа")},
        // A 50 mm box holds 20 columns; 14 mm high, it holds three lines, and the
        // fourth follows below it rather than being lost. "Электроэнергетика" is
        // wider than its 8-column box: it stays whole and runs on to the right.
        {9, row({{4, QStringLiteral("Студенты второго")}, {28, QStringLiteral("Электроэнергетика")}})},
        {10, row({{4, QStringLiteral("курса сдают экзамен")}})},
        {11, row({{4, QStringLiteral("по дисциплине «Базы")}})},
        {12, row({{4, QStringLiteral("данных»")}})},
        {16, row({{4, QStringLiteral("Оценка <5> & \"отлично\" 'A'")},
                  {44, QStringLiteral("В рамке")}})},
    });
    const QString second = page({
        {2, row({{4, QStringLiteral("Страница вторая")}})},
        // One line: the line break becomes a blank.
        {7, row({{4, QStringLiteral("Подпись декана")}})},
        {11, row({{4, QStringLiteral("Конец")}})},
    });
    const PageList pages = twoPages();
    QCOMPARE(pages.pages.size(), size_t(2));
    // Line by line, so a failure names the line.
    QCOMPARE(textOf(pages).split(QLatin1Char('\n')),
             (first + QLatin1Char('\f') + second).split(QLatin1Char('\n')));
}

void TestReportOutputs::textIsUtf8WithFormFeedsBetweenPages() {
    const QByteArray bytes = TextFilter().write(twoPages());
    // "Ведомость" in UTF-8, no byte-order mark, a form feed only between the pages.
    QVERIFY(
        bytes.contains("\xD0\x92\xD0\xB5\xD0\xB4\xD0\xBE\xD0\xBC\xD0\xBE\xD1\x81\xD1\x82\xD1\x8C"));
    QVERIFY(bytes.startsWith("\n\n "));
    QCOMPARE(bytes.count('\f'), 1);
    QVERIFY(bytes.endsWith("    \xD0\x9A\xD0\xBE\xD0\xBD\xD0\xB5\xD1\x86\n"));
    QVERIFY(!bytes.contains('\r'));
    QVERIFY(!bytes.contains(" \n"));
    QCOMPARE(TextFilter().description(), QStringLiteral("Text file"));
    QCOMPARE(TextFilter().extension(), QStringLiteral("TXT"));
}

void TestReportOutputs::textPlacement_data() {
    QTest::addColumn<PageList>("pages");
    QTest::addColumn<QString>("expected");

    QTest::newRow("centred text longer than its box starts at the box")
        << onePage({text(10, 0, 5, 5, QStringLiteral("Заголовок"), false, Align::Center)})
        << QStringLiteral("    Заголовок\n");
    QTest::newRow("centred wrapped lines each centred")
        << onePage({text(0, 0, 25, 9, QStringLiteral("один два три"), true, Align::Center)})
        << QStringLiteral(" один два\n   три\n");
    QTest::newRow("line breaks in a fixed box start lines; empty ones stay")
        << onePage({text(0, 0, 50, 20, QStringLiteral("а\n\nб"), true)})
        << QStringLiteral("а\n\nб\n");
    QTest::newRow("a box lower than a cell loses no line")
        << onePage({text(0, 0, 10, 2, QStringLiteral("раз два три"), true)})
        << QStringLiteral("раз\nдва\nтри\n");
    // A heading cell's word one column wider than its box: whole, never "Оценк" and "а".
    QTest::newRow("a word wider than its box is not broken")
        << onePage({text(0, 0, 13.2, 13.2, QStringLiteral("Оценка"), true),
                    text(15, 0, 16.1, 13.2, QStringLiteral("Подпись"), true)})
        << QStringLiteral("Оценка Подпись\n");
    QTest::newRow("a compound wider than its box breaks after its hyphens")
        << onePage({text(0, 0, 39.7, 10.8, QStringLiteral("Голенищева-Кутузова-Оболенская Марина"), true)})
        << QStringLiteral("Голенищева-\nКутузова-\nОболенская\nМарина\n");
    QTest::newRow("overlapping texts later in the list but further left keep their order")
        << onePage({text(10, 0, 50, 5, QStringLiteral("второй")),
                    text(0, 0, 50, 5, QStringLiteral("первый текст"))})
        << QStringLiteral("первый текст второй\n");
    QTest::newRow("three texts on one cell all survive")
        << onePage({text(0, 0, 5, 5, QStringLiteral("a")), text(0, 0, 5, 5, QStringLiteral("b")),
                    text(0, 0, 5, 5, QStringLiteral("c"))})
        << QStringLiteral("a b c\n");
    QTest::newRow("a wrapped box moves line by line past a text in its way")
        << onePage({text(0, 4.5, 20, 5, QStringLiteral("слева")),
                    text(5, 0, 15, 9, QStringLiteral("верх низ"), true)})
        << QStringLiteral("  верх\nслева низ\n");
    QTest::newRow("control characters print as blanks, a form feed never starts a page")
        << onePage({text(0, 0, 50, 5, QStringLiteral("а\fб\tв"))}) << QStringLiteral("а б в\n");
    QTest::newRow("a page without texts is empty, lines and pictures print nothing")
        << onePage(
               {LineItem{{0, 0}, {100, 0}, 1}, PictureItem{QRectF(0, 0, 10, 10), testPicture()}})
        << QString();
    PageList three;
    three.pages = {Page{{text(0, 0, 10, 5, QStringLiteral("1"))}}, Page{},
                   Page{{text(0, 0, 10, 5, QStringLiteral("3"))}}};
    QTest::newRow("an empty page still has its form feeds")
        << three << QStringLiteral("1\n\f\f3\n");
    QTest::newRow("a text far off the paper stops at the grid's edge")
        << onePage({text(1e12, 0, 1e12, 5, QStringLiteral("x"))})
        << QString(4096, QLatin1Char(' ')) + QStringLiteral("x\n");
    QTest::newRow("no pages, no text") << PageList{} << QString();
}

void TestReportOutputs::textPlacement() {
    QFETCH(PageList, pages);
    QFETCH(QString, expected);
    QCOMPARE(textOf(pages), expected);
}

void TestReportOutputs::htmlIsOneDocumentWithAPageBlockPerPage() {
    const QString html = htmlOf(twoPages());
    QVERIFY(
        html.startsWith(QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n"
                                       "<meta charset=\"utf-8\">\n")));
    QVERIFY(html.endsWith(QStringLiteral("</body>\n</html>\n")));
    QCOMPARE(html.count(QStringLiteral("<title>")), 1);
    const QString pageBlock =
        QStringLiteral("<div class=\"page\" style=\"width:210mm;height:297mm\">");
    QCOMPARE(html.count(pageBlock), 2);
    QCOMPARE(html.count(QStringLiteral("<div")), html.count(QStringLiteral("</div>")));
    // Every element in the block of its own page.
    const QStringList blocks = html.split(pageBlock);
    QCOMPARE(blocks.size(), 3);
    QVERIFY(blocks[1].contains(QStringLiteral(">Ведомость</div>")));
    QVERIFY(!blocks[1].contains(QStringLiteral("Страница вторая")));
    QVERIFY(blocks[2].contains(QStringLiteral(">Страница вторая</div>")));
    QVERIFY(blocks[2].contains(QStringLiteral("<img ")));

    PageList other;
    other.pageWidth = 148.5;
    other.pageHeight = 210;
    other.pages.resize(1);
    const QString small = htmlOf(other);
    QVERIFY(small.contains(
        QStringLiteral("<div class=\"page\" style=\"width:148.5mm;height:210mm\">")));
    QVERIFY(small.contains(QStringLiteral("size: 148.5mm 210mm;")));
    // A document without a report title still has one.
    QVERIFY(small.contains(QStringLiteral("<title>Отчет</title>")));
    QCOMPARE(HtmlFilter().description(), QStringLiteral("HTML document"));
    QCOMPARE(HtmlFilter().extension(), QStringLiteral("HTM"));
}

void TestReportOutputs::htmlPlacesTextsInMillimetresWithTheirFonts() {
    const QString html = htmlOf(twoPages());
    // Centred, bold, a serif face: its box on the paper is the band's margin plus its place.
    QVERIFY(html.contains(QStringLiteral(
        "<div class=\"t c\" style=\"left:10mm;top:10mm;width:190mm;height:8mm;"
        "font-family:&#39;Times New Roman&#39;,serif;font-size:14pt;font-weight:bold\">"
        "Ведомость</div>")));
    // The layout's default font, a sans-serif one, one line.
    QVERIFY(html.contains(QStringLiteral(
        "<div class=\"t\" style=\"left:160mm;top:20mm;width:30mm;height:5mm;"
        "font-family:&#39;Arial&#39;,sans-serif;font-size:10pt\">05.03.2024</div>")));
    // A fixed box keeps production's lines, unclipped; the line break of a one-line text is a blank.
    QVERIFY(html.contains(
        QStringLiteral("<div class=\"t w\" style=\"left:10mm;top:40mm;width:50mm;height:14mm;")));
    QVERIFY(html.contains(QStringLiteral(">Подпись декана</div>")));
    QVERIFY(html.contains(QStringLiteral(".w { white-space: pre; }")));
    // A fixed box breaks where the PDF breaks it: at production's line separators.
    const PageList pages = twoPages();
    QString broken;
    for (const Item& item : pages.pages.front().items)
        if (const auto* t = std::get_if<TextItem>(&item); t && t->text.startsWith(QStringLiteral("Студенты")))
            broken = t->text;
    QVERIFY2(broken.contains(QChar::LineSeparator), qPrintable(broken));
    QVERIFY(html.contains(u'>' + broken.replace(QChar::LineSeparator, u'\n') + QStringLiteral("</div>")));
    QVERIFY(!html.contains(QStringLiteral("overflow: hidden; overflow-wrap")));
    QVERIFY(html.contains(QStringLiteral(".t { position: absolute; margin: 0; white-space: pre;")));

    // Fractions of a millimetre and of a point are kept.
    TextItem t = text(12.25, 7.5, 33.3, 4.75, QStringLiteral("x"));
    t.font = Font{QStringLiteral("MS Sans Serif"), 8.5, false};
    QVERIFY(htmlOf(onePage({t}))
                .contains(QStringLiteral(
                    "style=\"left:12.25mm;top:7.5mm;width:33.3mm;height:4.75mm;"
                    "font-family:&#39;MS Sans Serif&#39;,sans-serif;font-size:8.5pt\">x<")));
}

void TestReportOutputs::htmlEscapesEveryText() {
    const QString html = htmlOf(twoPages());
    QVERIFY(html.contains(QStringLiteral("<title>Сводка &lt;1&gt; &amp; &quot;2&quot;</title>")));
    QVERIFY(html.contains(
        QStringLiteral(">Оценка &lt;5&gt; &amp; &quot;отлично&quot; &#39;A&#39;</div>")));

    // A font name cannot end the style attribute or the CSS string.
    TextItem t = text(0, 0, 10, 5, QStringLiteral("</div><script>"));
    t.font.family = QStringLiteral("Bad\" onclick=\"x' </style>");
    const QString hostile = htmlOf(onePage({t}));
    QVERIFY(!hostile.contains(QStringLiteral("<script>")));
    QVERIFY(!hostile.contains(QStringLiteral("\" onclick")));
    QVERIFY(
        hostile.contains(QStringLiteral("font-family:&#39;Bad&quot; onclick=&quot;x\\&#39; "
                                        "&lt;/style&gt;&#39;,sans-serif")));
    QVERIFY(hostile.contains(QStringLiteral(">&lt;/div&gt;&lt;script&gt;</div>")));
}

void TestReportOutputs::htmlDrawsFrameLinesAndPictures() {
    const QString html = htmlOf(twoPages());
    // The 0.5 pt frame of the 40 × 6 mm box at 110, 70 mm: each side a block as
    // thick as the pen, reaching half a pen past its ends so the corners close.
    QVERIFY(html.contains(QStringLiteral(
        "<div class=\"l\" style=\"left:109.91mm;top:69.91mm;width:40.18mm;height:0.5pt\"></div>")));
    QVERIFY(html.contains(QStringLiteral(
        "<div class=\"l\" style=\"left:109.91mm;top:75.91mm;width:40.18mm;height:0.5pt\"></div>")));
    QVERIFY(html.contains(QStringLiteral(
        "<div class=\"l\" style=\"left:109.91mm;top:69.91mm;width:0.5pt;height:6.18mm\"></div>")));
    QVERIFY(html.contains(QStringLiteral(
        "<div class=\"l\" style=\"left:149.91mm;top:69.91mm;width:0.5pt;height:6.18mm\"></div>")));
    // The title band's bottom line, 1 pt, across the band at 160 mm.
    QVERIFY(html.contains(QStringLiteral(
        "<div class=\"l\" style=\"left:9.82mm;top:159.82mm;width:190.35mm;height:1pt\"></div>")));

    // The 6 × 4 picture centred in its 30 mm square, its pixels in the data URL.
    QVERIFY(html.contains(QStringLiteral(
        "<img class=\"p\" alt=\"\" style=\"left:160mm;top:15mm;width:30mm;height:20mm\" "
        "src=\"data:image/png;base64,")));
    const std::vector<QImage> pictures = htmlPictures(html);
    QCOMPARE(pictures.size(), size_t(1));
    QCOMPARE(pictures[0].convertToFormat(QImage::Format_ARGB32), testPicture());
}

void TestReportOutputs::htmlIsUtf8() {
    const QByteArray bytes = HtmlFilter().write(twoPages());
    QVERIFY(bytes.contains(
        ">\xD0\x92\xD0\xB5\xD0\xB4\xD0\xBE\xD0\xBC\xD0\xBE\xD1\x81\xD1\x82\xD1\x8C<"));
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(QString::fromUtf8(bytes).toUtf8(), bytes);
}

void TestReportOutputs::savedReportLoadsBackEqual() {
    PageList pages = twoPages();
    pages.pageWidth = 209.999;
    // Positions in full, not as the dump rounds them; a text with every kind of character.
    TextItem odd = text(10.123456789, 20.987654321, 0.1, 1e-3,
                        QStringLiteral("ёЁ\n\t\"'<&> \U0001F600"), true, Align::Center);
    odd.font = Font{QStringLiteral("Times New Roman"), 7.25, true};
    pages.pages[1].items.push_back(odd);
    pages.pages[1].items.push_back(LineItem{{1.5, 2.25}, {3.125, 4.0625}, 0.3});
    pages.pages[1].items.push_back(PictureItem{QRectF(1, 2, 3, 4), QImage()});
    pages.pages.push_back(Page{});
    QVERIFY(std::holds_alternative<PictureItem>(pages.pages[1].items[1]));

    const PageList loaded = loadReport(saveReport(pages));
    QCOMPARE(dump(loaded), dump(pages));
    QVERIFY(loaded == pages);
    QCOMPARE(loaded.title, pages.title);
    QCOMPARE(loaded.pageWidth, 209.999);
    QCOMPARE(std::get<PictureItem>(loaded.pages[1].items[1]).picture, testPicture());

    QVERIFY(loadReport(saveReport(PageList{})) == PageList{});
}

void TestReportOutputs::savedPicturesKeepTheirFormat_data() {
    QTest::addColumn<QImage>("picture");
    const QImage colours = testPicture();
    QTest::newRow("ARGB32") << colours;
    QTest::newRow("ARGB32 premultiplied")
        << colours.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QTest::newRow("RGB32") << colours.convertToFormat(QImage::Format_RGB32);
    QTest::newRow("RGB888") << colours.convertToFormat(QImage::Format_RGB888);
    QTest::newRow("RGBA8888") << colours.convertToFormat(QImage::Format_RGBA8888);
    QTest::newRow("Grayscale8") << colours.convertToFormat(QImage::Format_Grayscale8);
    QTest::newRow("RGBA64") << colours.convertToFormat(QImage::Format_RGBA64);
    QImage mono(9, 3, QImage::Format_Mono);
    mono.fill(0);
    mono.setPixel(1, 1, 1);
    mono.setPixel(8, 2, 1);
    QTest::newRow("Mono") << mono;
    QImage indexed(3, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 128, 0), qRgb(0, 0, 255)});
    for (int i = 0; i < 6; ++i) indexed.setPixel(i % 3, i / 3, uint(i % 3));
    QTest::newRow("Indexed8") << indexed;
}

void TestReportOutputs::savedPicturesKeepTheirFormat() {
    QFETCH(QImage, picture);
    const PageList pages = onePage({PictureItem{QRectF(5, 5, 20, 10), picture}});
    const PageList loaded = loadReport(saveReport(pages));
    const QImage back = std::get<PictureItem>(loaded.pages[0].items[0]).picture;
    QCOMPARE(back.format(), picture.format());
    QCOMPARE(back, picture);
}

void TestReportOutputs::badSavedReportIsRefused_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");

    const QByteArray whole = saveReport(twoPages());
    const QString notReport = QStringLiteral("The file is not a saved report");
    const QString cutShort = QStringLiteral("The saved report is cut short");
    // The header: the magic, then the version as a big-endian 32-bit number.
    const qsizetype magic = 19;
    QCOMPARE(whole.left(magic), QByteArray("\x89TESSALY REPORT\r\n\x1A\n"));

    QTest::newRow("empty") << QByteArray()
                           << QStringLiteral("The file is empty; it is not a saved report");
    QTest::newRow("a text file") << TextFilter().write(twoPages()) << notReport;
    QTest::newRow("an HTML document") << HtmlFilter().write(twoPages()) << notReport;
    QByteArray changed = whole;
    changed[1] = 't';
    QTest::newRow("another magic") << changed << notReport;
    QByteArray crlf = whole;
    crlf.replace("\r\n", "\n");
    QTest::newRow("newlines converted") << crlf << notReport;
    QTest::newRow("half the magic") << whole.left(7) << cutShort;
    QTest::newRow("the magic alone") << whole.left(magic) << cutShort;
    QTest::newRow("the header alone") << whole.left(magic + 4) << cutShort;
    QTest::newRow("half of it") << whole.left(whole.size() / 2) << cutShort;
    QTest::newRow("all but its last byte") << whole.chopped(1) << cutShort;

    QByteArray newer = whole;
    newer[magic + 3] = 2;
    QTest::newRow("a newer version")
        << newer
        << QStringLiteral(
               "The saved report is of version 2, newer than this program reads (version 1 and "
               "older)");
    QByteArray zero = whole;
    zero[magic + 3] = 0;
    QTest::newRow("version 0") << zero
                               << QStringLiteral("The saved report is damaged: its version is 0");
    QTest::newRow("a byte more") << whole + '\0'
                                 << QStringLiteral(
                                        "The saved report is damaged: bytes follow its end");

    QByteArray badPicture = whole;
    const qsizetype png = badPicture.indexOf("\x89PNG");
    QVERIFY(png > 0);
    badPicture[png + 1] = 'X';
    QTest::newRow("a picture that is no PNG")
        << badPicture << QStringLiteral("The saved report is damaged: a picture cannot be read");

    // A page with one line: the line's five numbers are the file's last 40 bytes,
    // its kind the byte before them.
    QByteArray badKind = saveReport(onePage({LineItem{{0, 0}, {1, 1}, 1}}));
    badKind[badKind.size() - 41] = 7;
    QTest::newRow("an item of unknown kind")
        << badKind << QStringLiteral("The saved report is damaged: an item of unknown kind");
    // A page with one text: its alignment and wrap are the last two bytes.
    QByteArray badAlign = saveReport(onePage({text(0, 0, 1, 1, QStringLiteral("x"))}));
    badAlign[badAlign.size() - 2] = 5;
    QTest::newRow("a text of unknown alignment")
        << badAlign << QStringLiteral("The saved report is damaged: a text of unknown alignment");
    // A page with one line: its pen width is the last number.
    QByteArray infinite = saveReport(onePage({LineItem{{0, 0}, {1, 1}, 1}}));
    infinite.replace(infinite.size() - 8, 8, QByteArray("\x7F\xF0\0\0\0\0\0\0", 8));
    QTest::newRow("an infinite pen")
        << infinite << QStringLiteral("The saved report is damaged: a number that is not finite");
}

void TestReportOutputs::badSavedReportIsRefused() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QCOMPARE(reportFailure([&] { loadReport(bytes); }), message);
}

void TestReportOutputs::reportFileIsWrittenWholeAndReadBack() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Ведомость.rep"));
    writeFile(path, QByteArray(100000, 'x'));
    const QByteArray bytes = saveReport(twoPages());
    QVERIFY(bytes.size() < 100000);
    writeReportFile(path, bytes);
    // The longer old file is gone whole, and no temporary file is left beside it.
    QCOMPARE(fileBytes(path), bytes);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Ведомость.rep")});
    QVERIFY(loadReport(readReportFile(path)) == twoPages());
}

void TestReportOutputs::reportFileInAMissingFolderFailsNamingTheFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("нет/отчет.rep"));
    const QString message = reportFailure([&] { writeReportFile(path, QByteArray("x")); });
    const QString named = QStringLiteral("Cannot create file \"%1\". ").arg(path);
    // The file, then the system's reason.
    QVERIFY2(message.startsWith(named) && message.size() > named.size(), qPrintable(message));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("нет"))));
}

void TestReportOutputs::unreadableReportFileFailsNamingTheFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QStringLiteral("нет.rep")
                             << QStringLiteral("No such file or directory");
    QTest::newRow("a folder") << QStringLiteral("папка.rep") << QStringLiteral("Is a directory");
}

void TestReportOutputs::unreadableReportFileFailsNamingTheFile() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("папка.rep")));
    const QString path = dir.filePath(name);
    QCOMPARE(reportFailure([&] { readReportFile(path); }),
             QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
}

QTEST_MAIN(TestReportOutputs)
#include "tst_report_outputs.moc"
