// The painter output and the preview window: pages placed by millimetres on
// any device, fonts resolved to faces the machine has, PDF files whose text and
// embedded fonts poppler reads back, printing a page range and its copies, a
// cancelled print, and the preview window driven as a user drives it: keys,
// zoom, printer set-up, print, save and load.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

#include "ExportFilter.h"
#include "FileDialog.h"
#include "Messages.h"
#include "PainterOutput.h"
#include "Preview.h"
#include "PreviewWindow.h"
#include "SavedReport.h"
#include "Table.h"
#include "TestDb.h"

using namespace report;

namespace {

constexpr int StudentCount = 80;

const QString schema = QStringLiteral("CREATE TABLE Studenti (N_student TEXT(7), FIO TEXT(20))");

const QString wrappedText =
    QStringLiteral("Ведомость заполняется экзаменатором и сдаётся в деканат в день экзамена");

QString studentName(int i) {
    return i == 1 ? QStringLiteral("Иванов И. И.") : QStringLiteral("Петров%1 П. П.").arg(i);
}

// A picture a check can find by its colour.
QImage redPicture() {
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(QColor(220, 0, 0));
    return picture;
}

// A run of a poppler tool: what it wrote and how it ended.
struct ToolRun {
    int exitCode = -1;
    QString out;
};

ToolRun runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

QString pdfText(const QString& path) {
    return runTool(QStringLiteral("pdftotext"),
                   {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")})
        .out;
}

// "Pages:  3" and "Page size:  595.28 x 841.89 pts (A4)" from pdfinfo.
QString pdfInfo(const QString& path, const QString& key) {
    const QStringList lines =
        runTool(QStringLiteral("pdfinfo"), {path}).out.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        if (line.startsWith(key + QLatin1Char(':'))) return line.mid(key.size() + 1).trimmed();
    return {};
}

int pdfPages(const QString& path) {
    return pdfInfo(path, QStringLiteral("Pages")).toInt();
}

// The text of each page, in order.
QStringList pdfPageTexts(const QString& path) {
    QStringList pages = pdfText(path).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.constLast().trimmed().isEmpty()) pages.removeLast();
    for (QString& p : pages) p = p.simplified();
    return pages;
}

// Each font pdffonts lists, without its subset tag, and whether it is embedded.
QStringList pdfFonts(const QString& path, bool* allEmbedded) {
    const ToolRun run = runTool(QStringLiteral("pdffonts"), {path});
    QSet<QString> names;
    *allEmbedded = run.exitCode == 0;
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 2; i < lines.size(); ++i) {
        // name, type (may hold blanks), encoding, emb, sub, uni, object, generation
        const QStringList fields = lines[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 7) continue;
        QString name = fields.constFirst();
        name = name.mid(name.indexOf(QLatin1Char('+')) + 1);
        names << name;
        if (fields[fields.size() - 5] != QLatin1String("yes")) *allEmbedded = false;
    }
    QStringList sorted(names.begin(), names.end());
    sorted.sort();
    return sorted;
}

// A page painted on a white image of the given resolution, the size of A4.
QImage paintedPage(const Page& page, int dpi) {
    QImage image(qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPage(painter, page);
    return image;
}

// The bounds, in millimetres, of the pixels that pass the test.
QRectF inkBounds(const QImage& image, int dpi, const std::function<bool(QRgb)>& ink) {
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (!ink(row[x])) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return {};
    const double mm = 25.4 / dpi;
    return QRectF(QPointF(left * mm, top * mm), QPointF((right + 1) * mm, (bottom + 1) * mm));
}

bool dark(QRgb c) {
    return qGray(c) < 160;
}
bool red(QRgb c) {
    return qRed(c) > 160 && qGreen(c) < 100 && qBlue(c) < 100;
}

bool near(const QRectF& a, const QRectF& b, double tolerance) {
    return std::abs(a.left() - b.left()) <= tolerance && std::abs(a.top() - b.top()) <= tolerance &&
           std::abs(a.right() - b.right()) <= tolerance &&
           std::abs(a.bottom() - b.bottom()) <= tolerance;
}

QString rectText(const QRectF& r) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(r.left(), 0, 'f', 2)
        .arg(r.top(), 0, 'f', 2)
        .arg(r.width(), 0, 'f', 2)
        .arg(r.height(), 0, 'f', 2);
}

// A list of pages, each with one line of text naming it.
PageList namedPages(const QStringList& names) {
    PageList pages;
    for (const QString& name : names) {
        Page page;
        page.items.push_back(TextItem{QRectF(20, 20, 100, 8), name, Font{}, Align::Left, false});
        pages.pages.push_back(page);
    }
    return pages;
}

QToolButton* button(QWidget* window, const QString& caption) {
    for (QToolButton* b : window->findChildren<QToolButton*>())
        if (b->accessibleName() == caption) return b;
    return nullptr;
}

// Keys go where a user's would: to the widget with the focus.
QWidget* focused(QWidget& window) {
    QWidget* w = QApplication::focusWidget();
    return w ? w : &window;
}

void click(QWidget* window, const QString& caption) {
    QToolButton* b = button(window, caption);
    QVERIFY2(b, qPrintable(caption));
    QVERIFY2(b->isEnabled(), qPrintable(caption));
    QTest::mouseClick(b, Qt::LeftButton);
}

// Whether the window shows the top of its current page: the preview's pages
// are the top-level items of its scene, one under the other.
bool pageTopInView(PreviewWindow& window) {
    auto* view = window.previewWidget()->findChild<QGraphicsView*>();
    if (!view || !view->scene()) return false;
    std::vector<QRectF> pages;
    for (const QGraphicsItem* item : view->scene()->items())
        if (!item->parentItem()) pages.push_back(item->sceneBoundingRect());
    std::sort(pages.begin(), pages.end(),
              [](const QRectF& a, const QRectF& b) { return a.top() < b.top(); });
    const int index = window.previewWidget()->currentPage() - 1;
    if (index < 0 || index >= int(pages.size())) return false;
    const QRectF page = pages[size_t(index)];
    const QRectF visible = view->mapToScene(view->viewport()->rect()).boundingRect();
    return visible.top() <= page.top() + page.height() * 0.05 && visible.bottom() > page.top();
}

// A printer set-up as a user makes it: print to this PDF file, these pages.
PrintSetupRecorder::SetUp toPdf(const QString& path, int from = 0, int to = 0) {
    return [=](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        if (from > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(from, to);
        } else {
            printer.setPrintRange(QPrinter::AllPages);
        }
    };
}

}  // namespace

class TestReportPreview : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void layoutFontsResolveToInstalledFaces_data();
    void layoutFontsResolveToInstalledFaces();
    void fontSizeFollowsDeviceResolution_data();
    void fontSizeFollowsDeviceResolution();
    void linesAndPicturesLandByMillimetres_data();
    void linesAndPicturesLandByMillimetres();
    void fixedBoxWrapsUnclippedAutoWidthRunsOn();
    void centredTextCentresOnItsBox();

    void pdfReadsBackWithFontsEmbedded();
    void pdfToUnwritablePathFails_data();
    void pdfToUnwritablePathFails();
    void printsRangeOrderAndCopies_data();
    void printsRangeOrderAndCopies();
    void cancelledPrintLeavesNoFile();

    void previewOpensMaximisedTitledAndNotModal_data();
    void previewOpensMaximisedTitledAndNotModal();
    void keysTurnPages_data();
    void keysTurnPages();
    void zoomButtonsSetZoom_data();
    void zoomButtonsSetZoom();
    void printRunsHookAndReadsDataAgain_data();
    void printRunsHookAndReadsDataAgain();
    void cancelFromProgressWindowStopsPrint();
    void printThatCannotStartShowsError_data();
    void printThatCannotStartShowsError();
    void saveOffersEveryKind();
    void saveExportsProduceAgain_data();
    void saveExportsProduceAgain();
    void savedReportLoadsBackAndPrintsLoadedPages();
    void saveToUnwritablePathShowsError_data();
    void saveToUnwritablePathShowsError();
    void loadOfNonReportShowsErrorKeepsPages();

private:
    void buildLayout();
    PageList produce() { return producePages(m_layout, m_resolver); }
    // Opens the preview of the test layout; the user acts once the window is up,
    // then the window is closed if the user left it open.
    void drivePreview(const std::function<void(PreviewWindow&)>& user);
    QString tempPath(const QString& name) const { return m_dir.filePath(name); }

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<Table> m_students;
    DatasetResolver m_resolver;
    Layout m_layout;
    int m_hookCalls = 0;
    TextFilter m_textFilter;
    HtmlFilter m_htmlFilter;
    QTemporaryDir m_dir;
};

void TestReportPreview::init() {
    QVERIFY(m_dir.isValid());
    m_db = std::make_unique<TestDb>(schema);
    for (int i = 1; i <= StudentCount; ++i)
        m_db->exec(QStringLiteral("INSERT INTO Studenti VALUES (?, ?)"),
                   {QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')), studentName(i)});
    m_students = std::make_unique<Table>();
    m_students->setConnection(&m_db->connection());
    m_students->setTableName(QStringLiteral("Studenti"));
    m_students->setIndexFieldNames(QStringLiteral("N_student"));
    m_students->open();
    m_resolver = [this](const QString& name) -> Dataset* {
        return name.compare(QStringLiteral("studenti"), Qt::CaseInsensitive) == 0 ? m_students.get()
                                                                                  : nullptr;
    };
    buildLayout();
}

void TestReportPreview::cleanup() {
    m_students.reset();
    m_db.reset();
}

// A statement of 80 students over three pages: a title band with a title, a
// numbered line the hook writes, a framed box whose words wrap and a picture;
// a table heading repeated on every page, a row per student, a closing line
// with the date.
void TestReportPreview::buildLayout() {
    m_layout = Layout();
    m_layout.title = QStringLiteral("Экзаменационная ведомость");
    m_layout.master = QStringLiteral("STUDENTI");
    m_layout.groupMode = GroupMode::Table;
    m_hookCalls = 0;
    m_layout.beforePrint = [this](Layout& layout) {
        ++m_hookCalls;
        layout.element(QStringLiteral("number"))->text =
            QStringLiteral("Ведомость № %1").arg(m_hookCalls);
    };

    Band& title = m_layout.addBand(BandKind::Title, 40);
    Element heading = m_layout.label(QStringLiteral("Экзаменационная ведомость"), 0, 0, 190, 8);
    heading.font = Font{QStringLiteral("Times New Roman"), 14, true};
    heading.align = Align::Center;
    title.elements.push_back(heading);
    Element number = m_layout.label(QString(), 0, 9, 60, 6);
    number.name = QStringLiteral("number");
    title.elements.push_back(number);
    Element box = m_layout.label(wrappedText, 0, 17, 70, 20);
    box.autoWidth = false;
    box.frame = Frame{AllSides, 1};
    title.elements.push_back(box);
    Element picture = m_layout.image(150, 10, 32, 24);
    picture.picture = redPicture();
    title.elements.push_back(picture);

    Band& head = m_layout.addBand(BandKind::Heading, 8, Frame{Side::Bottom, 1});
    for (auto [text, left] : {std::pair{QStringLiteral("№ зачётки"), 0.0},
                              std::pair{QStringLiteral("Фамилия И. О."), 30.0}}) {
        Element e = m_layout.label(text, left, 1, 30, 6);
        e.font.bold = true;
        head.elements.push_back(e);
    }

    Band& row = m_layout.addBand(BandKind::Row, 7);
    row.elements.push_back(
        m_layout.data(QStringLiteral("Studenti"), QStringLiteral("n_student"), 0, 1, 28, 5));
    Element fio = m_layout.data(QStringLiteral("studenti"), QStringLiteral("FIO"), 30, 1, 80, 5);
    fio.font.family = QStringLiteral("MS Sans Serif");
    row.elements.push_back(fio);

    Band& closing = m_layout.addBand(BandKind::Closing, 10, Frame{Side::Top, 0.5});
    closing.elements.push_back(m_layout.label(QStringLiteral("Дата:"), 0, 2, 15, 5));
    closing.elements.push_back(m_layout.date(16, 2, 30, 5));
}

void TestReportPreview::drivePreview(const std::function<void(PreviewWindow&)>& user) {
    bool acted = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        PreviewWindow* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<PreviewWindow*>(w); p && p->isVisible()) window = p;
        if (!window || acted) return;
        acted = true;
        poll.stop();
        window->activateWindow();
        if (QTest::qWaitForWindowActive(window)) {
            user(*window);
        } else {
            qWarning("the preview window never became active");
        }
        // A failed check inside the user's turn must not leave the test waiting.
        if (window->isVisible()) window->close();
    });
    poll.start();
    preview(m_layout, m_resolver, {&m_textFilter, &m_htmlFilter});
    QVERIFY2(acted, "the preview window was never shown");
}

// --- fonts ---------------------------------------------------------------

void TestReportPreview::layoutFontsResolveToInstalledFaces_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("face");

    QTest::newRow("Arial") << "Arial" << false << "Liberation Sans";
    QTest::newRow("Arial, any letter case") << "ARIAL" << false << "Liberation Sans";
    QTest::newRow("Arial bold") << "Arial" << true << "Liberation Sans";
    QTest::newRow("MS Sans Serif") << "MS Sans Serif" << false << "Liberation Sans";
    QTest::newRow("Times New Roman") << "Times New Roman" << false << "Liberation Serif";
    QTest::newRow("Times New Roman bold") << "Times New Roman" << true << "Liberation Serif";
    QTest::newRow("a face of its own name") << "DejaVu Sans" << false << "DejaVu Sans";
}

void TestReportPreview::layoutFontsResolveToInstalledFaces() {
    QFETCH(QString, family);
    QFETCH(bool, bold);
    QFETCH(QString, face);

    const QFontInfo info(deviceFont(Font{family, 10, bold}, nullptr));
    QCOMPARE(info.family(), face);
    QCOMPARE(info.bold(), bold);
}

void TestReportPreview::fontSizeFollowsDeviceResolution_data() {
    QTest::addColumn<int>("dpi");
    QTest::addColumn<double>("points");

    QTest::newRow("screen") << 96 << 10.0;
    QTest::newRow("printer") << 600 << 10.0;
    QTest::newRow("PDF") << 1200 << 14.0;
}

void TestReportPreview::fontSizeFollowsDeviceResolution() {
    QFETCH(int, dpi);
    QFETCH(double, points);

    QImage device(10, 10, QImage::Format_RGB32);
    device.setDotsPerMeterX(qRound(dpi / 0.0254));
    device.setDotsPerMeterY(qRound(dpi / 0.0254));
    const QFontInfo info(deviceFont(Font{QStringLiteral("Arial"), points, false}, &device));
    QVERIFY2(std::abs(info.pixelSize() - points * dpi / 72) <= 1,
             qPrintable(QString::number(info.pixelSize())));
}

// --- painting --------------------------------------------------------------

void TestReportPreview::linesAndPicturesLandByMillimetres_data() {
    QTest::addColumn<int>("dpi");
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QRectF>("expected");  // mm

    // A 2 pt line is 0.7 mm thick; square caps reach half of it past each end.
    const QRectF line(20 - 0.35, 30 - 0.35, 40 + 0.7, 0.7);
    const QRectF picture(100, 120, 40, 15);
    for (int dpi : {96, 300}) {
        QTest::addRow("line at %d dpi", dpi) << dpi << false << line;
        QTest::addRow("picture at %d dpi", dpi) << dpi << true << picture;
    }
}

void TestReportPreview::linesAndPicturesLandByMillimetres() {
    QFETCH(int, dpi);
    QFETCH(bool, picture);
    QFETCH(QRectF, expected);

    Page page;
    if (picture) {
        page.items.push_back(PictureItem{expected, redPicture()});
    } else {
        page.items.push_back(LineItem{QPointF(20, 30), QPointF(60, 30), 2});
    }
    const QRectF ink = inkBounds(paintedPage(page, dpi), dpi, picture ? red : dark);
    // Within a pixel and a half of where the millimetres put it.
    QVERIFY2(near(ink, expected, 1.5 * 25.4 / dpi), qPrintable(rectText(ink)));
}

void TestReportPreview::fixedBoxWrapsUnclippedAutoWidthRunsOn() {
    const int dpi = 150;
    const QRectF box(20, 50, 30, 12);
    Page page;
    page.items.push_back(TextItem{box, wrappedText, Font{}, Align::Left, true});
    const QRectF wrapped = inkBounds(paintedPage(page, dpi), dpi, dark);
    page.items.front() = TextItem{box, wrappedText, Font{}, Align::Left, false};
    const QRectF oneLine = inkBounds(paintedPage(page, dpi), dpi, dark);

    // The fixed box: several lines within its width. Production makes a box
    // tall enough for its lines; one that is not still shows them all, below
    // it, for nothing on the paper may be hidden.
    QVERIFY2(wrapped.left() >= box.left() - 0.2 && wrapped.right() <= box.right() + 0.2,
             qPrintable(rectText(wrapped)));
    QVERIFY2(wrapped.height() > 8, qPrintable(rectText(wrapped)));
    QVERIFY2(wrapped.bottom() > box.bottom(), qPrintable(rectText(wrapped)));
    // Auto width: one line running far past the box.
    QVERIFY2(oneLine.right() > box.right() + 40, qPrintable(rectText(oneLine)));
    QVERIFY2(oneLine.height() < 5, qPrintable(rectText(oneLine)));
    QVERIFY2(oneLine.top() >= box.top() - 0.2, qPrintable(rectText(oneLine)));
}

void TestReportPreview::centredTextCentresOnItsBox() {
    const int dpi = 150;
    const QRectF box(20, 80, 100, 6);
    Page page;
    page.items.push_back(TextItem{box, QStringLiteral("Итого"), Font{}, Align::Center, false});
    const QRectF ink = inkBounds(paintedPage(page, dpi), dpi, dark);
    QVERIFY(!ink.isNull());
    QVERIFY2(std::abs(ink.center().x() - box.center().x()) < 0.5, qPrintable(rectText(ink)));
}

// --- PDF and printing --------------------------------------------------------

void TestReportPreview::pdfReadsBackWithFontsEmbedded() {
    const PageList pages = produce();
    QCOMPARE(int(pages.pages.size()), 3);
    const QString path = tempPath(QStringLiteral("ведомость.pdf"));
    writePdf(path, pages);

    QCOMPARE(pdfPages(path), 3);
    QVERIFY2(pdfInfo(path, QStringLiteral("Page size")).contains(QLatin1String("(A4)")),
             qPrintable(pdfInfo(path, QStringLiteral("Page size"))));
    QCOMPARE(pdfInfo(path, QStringLiteral("Title")), m_layout.title);

    const QStringList texts = pdfPageTexts(path);
    QCOMPARE(texts.size(), 3);
    QVERIFY2(texts[0].contains(QStringLiteral("Экзаменационная ведомость")), qPrintable(texts[0]));
    QVERIFY2(texts[0].contains(QStringLiteral("Ведомость № 1")), qPrintable(texts[0]));
    QVERIFY2(texts[0].contains(QStringLiteral("0001 Иванов И. И.")), qPrintable(texts[0]));
    // The framed box's words, wrapped over its lines.
    QVERIFY2(texts[0].contains(QStringLiteral("сдаётся в деканат")), qPrintable(texts[0]));
    QVERIFY2(texts[1].contains(QStringLiteral("№ зачётки Фамилия И. О.")), qPrintable(texts[1]));
    QVERIFY2(texts[2].contains(studentName(StudentCount)), qPrintable(texts[2]));
    QVERIFY2(texts[2].contains(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))),
             qPrintable(texts[2]));

    bool embedded = false;
    const QStringList fonts = pdfFonts(path, &embedded);
    QCOMPARE(fonts,
             QStringList({QStringLiteral("LiberationSans"), QStringLiteral("LiberationSans-Bold"),
                          QStringLiteral("LiberationSerif-Bold")}));
    QVERIFY(embedded);
}

void TestReportPreview::pdfToUnwritablePathFails_data() {
    QTest::addColumn<QString>("path");

    QTest::newRow("missing folder") << "нет такой папки/отчёт.pdf";
    QTest::newRow("a folder") << ".";
}

void TestReportPreview::pdfToUnwritablePathFails() {
    QFETCH(QString, path);
    path = tempPath(path);
    try {
        writePdf(path, produce());
        QFAIL("the file was written");
    } catch (const ReportError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).startsWith(QLatin1String("Cannot create file")),
                 e.what());
    }
    QVERIFY(!QFileInfo(path).isFile());
}

void TestReportPreview::printsRangeOrderAndCopies_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("copies");
    QTest::addColumn<bool>("collate");
    QTest::addColumn<bool>("lastFirst");
    QTest::addColumn<QStringList>("sheets");

    QTest::newRow("all") << 1 << 3 << 1 << false << false << QStringList{"один", "два", "три"};
    QTest::newRow("range") << 2 << 3 << 1 << false << false << QStringList{"два", "три"};
    QTest::newRow("range past the end") << 3 << 9 << 1 << false << false << QStringList{"три"};
    QTest::newRow("last page first")
        << 1 << 3 << 1 << false << true << QStringList{"три", "два", "один"};
    QTest::newRow("collated copies")
        << 1 << 2 << 2 << true << false << QStringList{"один", "два", "один", "два"};
    QTest::newRow("uncollated copies")
        << 1 << 2 << 2 << false << false << QStringList{"один", "один", "два", "два"};
}

void TestReportPreview::printsRangeOrderAndCopies() {
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, copies);
    QFETCH(bool, collate);
    QFETCH(bool, lastFirst);
    QFETCH(QStringList, sheets);

    const QString path = tempPath(QStringLiteral("печать.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setCopyCount(copies);
    printer.setCollateCopies(collate);
    printer.setPageOrder(lastFirst ? QPrinter::LastPageFirst : QPrinter::FirstPageFirst);
    QVector<int> progress;
    int count = 0;
    const bool printed = printPages(
        printer, namedPages({QStringLiteral("один"), QStringLiteral("два"), QStringLiteral("три")}),
        first, last, [&](int sheet, int sheetCount) {
            progress << sheet;
            count = sheetCount;
            return true;
        });
    QVERIFY(printed);
    QCOMPARE(pdfPageTexts(path), sheets);
    QCOMPARE(count, int(sheets.size()));
    QCOMPARE(progress.size(), sheets.size());
    QCOMPARE(progress.constLast(), int(sheets.size()));
}

void TestReportPreview::cancelledPrintLeavesNoFile() {
    const QString path = tempPath(QStringLiteral("отменено.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    QVector<int> progress;
    const bool printed = printPages(printer, produce(), 1, 3, [&](int sheet, int) {
        progress << sheet;
        return sheet < 2;
    });
    QVERIFY(!printed);
    QCOMPARE(progress, QVector<int>({1, 2}));
    QVERIFY(!QFile::exists(path));
}

// --- the preview window ------------------------------------------------------

void TestReportPreview::previewOpensMaximisedTitledAndNotModal_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("caption");

    QTest::newRow("report title") << "Экзаменационная ведомость"
                                  << "Экзаменационная ведомость";
    QTest::newRow("no title") << ""
                              << "Предварительный просмотр";
}

void TestReportPreview::previewOpensMaximisedTitledAndNotModal() {
    QFETCH(QString, title);
    QFETCH(QString, caption);

    m_layout.title = title;
    bool maximised = false, modal = true, closedByEsc = false;
    QString shownCaption;
    int pageCount = 0;
    drivePreview([&](PreviewWindow& window) {
        maximised = window.isMaximized();
        shownCaption = window.windowTitle();
        modal = window.isModal() || QApplication::activeModalWidget() != nullptr;
        pageCount = window.previewWidget()->pageCount();
        QTest::keyClick(focused(window), Qt::Key_Escape);
        closedByEsc = !window.isVisible();
    });
    QVERIFY(maximised);
    QCOMPARE(shownCaption, caption);
    QVERIFY(!modal);
    QCOMPARE(pageCount, 3);
    QVERIFY(closedByEsc);
    QCOMPARE(m_hookCalls, 1);
}

void TestReportPreview::keysTurnPages_data() {
    QTest::addColumn<QList<int>>("keys");  // key | modifiers
    QTest::addColumn<int>("page");

    const int ctrl = int(Qt::ControlModifier);
    QTest::newRow("PgDn") << QList<int>{Qt::Key_PageDown} << 2;
    QTest::newRow("PgDn stops at the last")
        << QList<int>{Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageDown} << 3;
    QTest::newRow("End") << QList<int>{Qt::Key_End} << 3;
    QTest::newRow("End, PgUp") << QList<int>{Qt::Key_End, Qt::Key_PageUp} << 2;
    QTest::newRow("PgUp stops at the first") << QList<int>{Qt::Key_PageUp} << 1;
    QTest::newRow("End, Home") << QList<int>{Qt::Key_End, Qt::Key_Home} << 1;
    QTest::newRow("Ctrl+PgDn") << QList<int>{Qt::Key_PageDown | ctrl} << 3;
    QTest::newRow("End, Ctrl+PgUp") << QList<int>{Qt::Key_End, Qt::Key_PageUp | ctrl} << 1;
}

void TestReportPreview::keysTurnPages() {
    QFETCH(QList<int>, keys);
    QFETCH(int, page);

    int shown = 0;
    QString indicator;
    drivePreview([&](PreviewWindow& window) {
        QCOMPARE(window.previewWidget()->currentPage(), 1);
        for (int k : keys) {
            QTest::keyClick(focused(window), Qt::Key(k & ~int(Qt::KeyboardModifierMask)),
                            Qt::KeyboardModifiers(k & int(Qt::KeyboardModifierMask)));
        }
        shown = window.previewWidget()->currentPage();
        indicator = window.findChild<QLabel*>(QStringLiteral("pageIndicator"))->text();
    });
    QCOMPARE(shown, page);
    QCOMPARE(indicator, QStringLiteral("Страница %1 из 3").arg(page));
}

void TestReportPreview::zoomButtonsSetZoom_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("mode");
    QTest::addColumn<double>("factor");  // 0: fitted to the window

    QTest::newRow("100 %") << "Вся страница"
                           << "100 %" << int(QPrintPreviewWidget::CustomZoom) << 1.0;
    QTest::newRow("page width") << "100 %"
                                << "По ширине" << int(QPrintPreviewWidget::FitToWidth) << 0.0;
    QTest::newRow("whole page") << "По ширине"
                                << "Вся страница" << int(QPrintPreviewWidget::FitInView) << 0.0;
}

void TestReportPreview::zoomButtonsSetZoom() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, mode);
    QFETCH(double, factor);

    int shownMode = -1;
    double before = 0, after = 0;
    bool checked = false;
    int page = 0;
    bool topInView = false;
    drivePreview([&](PreviewWindow& window) {
        QTest::keyClick(focused(window), Qt::Key_PageDown);
        click(&window, from);
        before = window.previewWidget()->zoomFactor();
        click(&window, to);
        shownMode = window.previewWidget()->zoomMode();
        after = window.previewWidget()->zoomFactor();
        checked = button(&window, to)->isChecked() && !button(&window, from)->isChecked();
        page = window.previewWidget()->currentPage();
        topInView = pageTopInView(window);
    });
    QCOMPARE(shownMode, mode);
    // The zoom stays on the page the user was reading, its top in view.
    QCOMPARE(page, 2);
    QVERIFY(topInView);
    if (factor > 0) QCOMPARE(after, factor);
    QVERIFY(after != before);
    QVERIFY(checked);
}

void TestReportPreview::printRunsHookAndReadsDataAgain_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("sheets");

    QTest::newRow("every page") << 0 << 0 << 3;
    QTest::newRow("page range") << 1 << 2 << 2;
}

void TestReportPreview::printRunsHookAndReadsDataAgain() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, sheets);

    const QString path = tempPath(QStringLiteral("напечатано.pdf"));
    PrintSetupRecorder setUp;
    setUp.answer(toPdf(path, from, to));
    QString shownFirstRow;
    drivePreview([&](PreviewWindow& window) {
        click(&window, QStringLiteral("Настройка принтера"));
        // Someone changes the first student while the preview is open.
        m_students->first();
        m_students->edit();
        m_students->fieldByName(QStringLiteral("FIO")).setValue(QStringLiteral("Новиков Н. Н."));
        m_students->post();
        click(&window, QStringLiteral("Печать"));
        shownFirstRow = dump(window.pages());
    });
    QCOMPARE(setUp.requests(), 1);
    QCOMPARE(m_hookCalls, 2);
    // The preview still shows what it was opened with.
    QVERIFY(shownFirstRow.contains(QStringLiteral("Иванов И. И.")));
    QCOMPARE(pdfPages(path), sheets);
    const QString text = pdfText(path);
    QVERIFY2(text.contains(QStringLiteral("Новиков Н. Н.")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("Иванов И. И.")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Ведомость № 2")), qPrintable(text));
}

void TestReportPreview::cancelFromProgressWindowStopsPrint() {
    const QString path = tempPath(QStringLiteral("прервано.pdf"));
    PrintSetupRecorder setUp;
    setUp.answer(toPdf(path));
    bool printed = true, cancelled = false;
    QString label;
    drivePreview([&](PreviewWindow& window) {
        click(&window, QStringLiteral("Настройка принтера"));
        // The user presses Cancel once the second page is under way.
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* progress = window.findChild<QProgressDialog*>();
            if (!progress || !progress->isVisible() || progress->value() < 1) return;
            poll.stop();
            label = progress->labelText();
            auto* cancel = progress->findChild<QPushButton*>();
            if (!cancel) return;
            QTest::mouseClick(cancel, Qt::LeftButton);
            cancelled = true;
        });
        poll.start();
        printed = window.print();
    });
    QVERIFY(cancelled);
    // Cancelled while a page after the first was under way.
    QVERIFY2(
        QRegularExpression(QStringLiteral("^Печать… страница [23] из 3$")).match(label).hasMatch(),
        qPrintable(label));
    QVERIFY(!printed);
    QVERIFY(!QFile::exists(path));
}

void TestReportPreview::printThatCannotStartShowsError_data() {
    QTest::addColumn<QString>("file");  // the PDF the printer writes; empty: none named
    QTest::addColumn<QString>("message");
    QTest::newRow("a file in a missing folder")
        << tempPath(QStringLiteral("нет такой папки/печать.pdf")) << "печать.pdf";
    // A machine without a printer gives Qt's PDF output without a file name.
    QTest::newRow("no printer") << "" << "Принтер не найден.";
}

void TestReportPreview::printThatCannotStartShowsError() {
    QFETCH(QString, file);
    QFETCH(QString, message);
    platform::MessageRecorder messages;
    PrintSetupRecorder setUp;
    setUp.answer([file](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    });
    bool printed = true;
    drivePreview([&](PreviewWindow& window) {
        click(&window, QStringLiteral("Настройка принтера"));
        printed = window.print();
    });
    QVERIFY(!printed);
    QCOMPARE(messages.messages().size(), size_t(1));
    QCOMPARE(messages.messages()[0].kind, platform::MessageKind::Error);
    QVERIFY2(messages.messages()[0].text.contains(message), qPrintable(messages.messages()[0].text));
}

void TestReportPreview::saveOffersEveryKind() {
    platform::FileDialogRecorder files;
    drivePreview([&](PreviewWindow& window) { click(&window, QStringLiteral("Сохранить")); });
    QCOMPARE(files.requests().size(), size_t(1));
    QCOMPARE(files.requests()[0].kind, platform::FileDialogKind::Save);
    QCOMPARE(files.requests()[0].filters,
             QStringList(
                 {QStringLiteral("Report file (*.rep)"), QStringLiteral("PDF document (*.pdf)"),
                  QStringLiteral("Text file (*.txt)"), QStringLiteral("HTML document (*.htm)")}));
    // A cancelled dialog writes nothing and produces nothing.
    QCOMPARE(m_hookCalls, 1);
}

void TestReportPreview::saveExportsProduceAgain_data() {
    QTest::addColumn<QString>("name");    // as typed in the dialog
    QTest::addColumn<QString>("filter");  // chosen in the dialog
    QTest::addColumn<QString>("file");    // written

    QTest::newRow("PDF by its filter") << "отчёт"
                                       << "PDF document (*.pdf)"
                                       << "отчёт.pdf";
    QTest::newRow("PDF by its extension") << "отчёт.PDF"
                                          << "Report file (*.rep)"
                                          << "отчёт.PDF";
    QTest::newRow("text") << "отчёт"
                          << "Text file (*.txt)"
                          << "отчёт.txt";
    QTest::newRow("HTML") << "отчёт.htm"
                          << ""
                          << "отчёт.htm";
}

void TestReportPreview::saveExportsProduceAgain() {
    QFETCH(QString, name);
    QFETCH(QString, filter);
    QFETCH(QString, file);

    platform::FileDialogRecorder files;
    files.answer(tempPath(name), filter);
    drivePreview([&](PreviewWindow& window) {
        m_students->first();
        m_students->edit();
        m_students->fieldByName(QStringLiteral("FIO")).setValue(QStringLiteral("Новиков Н. Н."));
        m_students->post();
        click(&window, QStringLiteral("Сохранить"));
    });
    QCOMPARE(m_hookCalls, 2);
    const QString path = tempPath(file);
    QVERIFY2(QFile::exists(path), qPrintable(path));
    QString text;
    if (file.endsWith(QLatin1String("pdf"), Qt::CaseInsensitive)) {
        QCOMPARE(pdfPages(path), 3);
        text = pdfText(path);
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        text = QString::fromUtf8(f.readAll());
    }
    QVERIFY2(text.contains(QStringLiteral("Новиков Н. Н.")), qPrintable(text.left(2000)));
    QVERIFY2(text.contains(QStringLiteral("Ведомость № 2")), qPrintable(text.left(2000)));
}

void TestReportPreview::savedReportLoadsBackAndPrintsLoadedPages() {
    const QString saved = tempPath(QStringLiteral("сохранён"));
    const QString printed = tempPath(QStringLiteral("из файла.pdf"));
    const PageList original = produce();
    m_hookCalls = 0;

    // Saved from one preview, the pages as shown.
    {
        platform::FileDialogRecorder files;
        files.answer(saved, QStringLiteral("Report file (*.rep)"));
        drivePreview([&](PreviewWindow& window) { click(&window, QStringLiteral("Сохранить")); });
    }
    QCOMPARE(m_hookCalls, 1);
    QVERIFY(QFile::exists(saved + QLatin1String(".rep")));

    // Loaded into another preview whose own layout has changed meanwhile.
    m_layout.bands.pop_back();
    m_layout.title = QStringLiteral("Другой отчёт");
    platform::FileDialogRecorder files;
    files.answer(saved + QLatin1String(".rep"));
    PrintSetupRecorder setUp;
    setUp.answer(toPdf(printed));
    QString loaded, caption;
    int pageCount = 0;
    drivePreview([&](PreviewWindow& window) {
        click(&window, QStringLiteral("Открыть"));
        loaded = dump(window.pages());
        caption = window.windowTitle();
        pageCount = window.previewWidget()->pageCount();
        click(&window, QStringLiteral("Настройка принтера"));
        click(&window, QStringLiteral("Печать"));
    });
    QCOMPARE(files.requests().size(), size_t(1));
    QCOMPARE(files.requests()[0].kind, platform::FileDialogKind::Open);
    QCOMPARE(files.requests()[0].filters, QStringList{QStringLiteral("Report file (*.rep)")});
    // Numbered 1 by its own production; the loaded pages are not produced again.
    QCOMPARE(loaded, dump(original));
    QCOMPARE(caption, QStringLiteral("Экзаменационная ведомость"));
    QCOMPARE(pageCount, 3);
    QCOMPARE(m_hookCalls, 2);
    const QString text = pdfText(printed);
    QVERIFY2(text.contains(QStringLiteral("Ведомость № 1")), qPrintable(text));
    QCOMPARE(pdfPages(printed), 3);
}

void TestReportPreview::saveToUnwritablePathShowsError_data() {
    QTest::addColumn<QString>("name");

    QTest::newRow("saved report") << "отчёт.rep";
    QTest::newRow("PDF") << "отчёт.pdf";
    QTest::newRow("text") << "отчёт.txt";
}

void TestReportPreview::saveToUnwritablePathShowsError() {
    QFETCH(QString, name);

    platform::MessageRecorder messages;
    platform::FileDialogRecorder files;
    files.answer(tempPath(QStringLiteral("нет такой папки/") + name));
    drivePreview([&](PreviewWindow& window) { click(&window, QStringLiteral("Сохранить")); });
    QCOMPARE(messages.messages().size(), size_t(1));
    QCOMPARE(messages.messages()[0].kind, platform::MessageKind::Error);
    QVERIFY2(messages.messages()[0].text.contains(name), qPrintable(messages.messages()[0].text));
}

void TestReportPreview::loadOfNonReportShowsErrorKeepsPages() {
    const QString path = tempPath(QStringLiteral("не отчёт.rep"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("не отчёт");
    }
    platform::MessageRecorder messages;
    platform::FileDialogRecorder files;
    files.answer(path);
    QString before, after;
    drivePreview([&](PreviewWindow& window) {
        before = dump(window.pages());
        click(&window, QStringLiteral("Открыть"));
        after = dump(window.pages());
    });
    QCOMPARE(messages.messages().size(), size_t(1));
    QCOMPARE(messages.messages()[0].kind, platform::MessageKind::Error);
    QCOMPARE(after, before);
}

QTEST_MAIN(TestReportPreview)
#include "tst_report_preview.moc"
