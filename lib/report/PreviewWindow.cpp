// The preview window.
//
// Qt's print preview widget shows the pages: it asks for them on its printer,
// which is also the printer the set-up changes and every print goes to, so
// the preview shows the paper the user chose. The window keeps the layout it
// came from: print and export produce it again (the before-print hook runs and
// the data is read again), while saving a saved report keeps the pages shown.
// Once a saved report is loaded there is no layout behind the pages, and they
// are what prints and exports.
#include "PreviewWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <deque>

#include "FileDialog.h"
#include "Messages.h"
#include "PainterOutput.h"
#include "SavedReport.h"

namespace report {

namespace {

struct SetupRecording {
    bool on = false;
    int requests = 0;
    std::deque<PrintSetupRecorder::SetUp> answers;
};
SetupRecording& setupRecording() {
    static SetupRecording r;
    return r;
}

const QString SetupCaption = QStringLiteral("Настройка принтера");

// The kinds a save offers, in the order of its filters; the export filters follow.
enum SaveKind { SavedReportKind, PdfKind, FirstFilterKind };

QString savedReportFilter() {
    return QStringLiteral("Report file (*.%1)").arg(QLatin1String(savedReportExtension));
}

QPageSize pageSizeOf(const PageList& pages) {
    return QPageSize(QSizeF(pages.pageWidth, pages.pageHeight), QPageSize::Millimeter);
}

}  // namespace

PreviewWindow::PreviewWindow(Layout* layout, DatasetResolver datasets,
                             std::vector<const ExportFilter*> filters, PageList pages,
                             QWidget* parent)
    : QMainWindow(parent),
      m_layout(layout),
      m_datasets(std::move(datasets)),
      m_filters(std::move(filters)),
      m_pages(std::move(pages)),
      m_printer(QPrinter::HighResolution) {
    // The pages are placed from the paper's corner, not from the printer's margins.
    m_printer.setFullPage(true);
    m_printer.setPageSize(pageSizeOf(m_pages));
    m_printer.setDocName(m_pages.title);

    m_preview = new QPrintPreviewWidget(&m_printer, this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setAccessibleName(QStringLiteral("Страницы отчёта"));
    m_preview->fitInView();
    setCentralWidget(m_preview);
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, &PreviewWindow::paintPreview);
    connect(m_preview, &QPrintPreviewWidget::previewChanged, this,
            &PreviewWindow::updatePageIndicator);

    auto* toolBar = new QToolBar(QStringLiteral("Просмотр"), this);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    addToolBar(Qt::TopToolBarArea, toolBar);
    setContextMenuPolicy(Qt::NoContextMenu);

    auto* zoom = new QActionGroup(this);
    const auto addZoom = [&](const QString& caption, auto apply, bool checked) {
        QAction* a = addButton(caption);
        a->setCheckable(true);
        a->setChecked(checked);
        zoom->addAction(a);
        connect(a, &QAction::triggered, this, apply);
        connect(a, &QAction::triggered, this, &PreviewWindow::scrollToPageTop);
        toolBar->addAction(a);
    };
    addZoom(
        QStringLiteral("Вся страница"), [this] { m_preview->fitInView(); }, true);
    addZoom(
        QStringLiteral("100 %"),
        [this] {
            m_preview->setZoomMode(QPrintPreviewWidget::CustomZoom);
            m_preview->setZoomFactor(1.0);
        },
        false);
    addZoom(
        QStringLiteral("По ширине"), [this] { m_preview->fitToWidth(); }, false);
    toolBar->addSeparator();

    m_first = addButton(QStringLiteral("Первая"));
    m_first->setShortcuts({QKeySequence(Qt::Key_Home), QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
    connect(m_first, &QAction::triggered, this, [this] { showPage(1); });
    m_previous = addButton(QStringLiteral("Предыдущая"));
    m_previous->setShortcut(QKeySequence(Qt::Key_PageUp));
    connect(m_previous, &QAction::triggered, this,
            [this] { showPage(m_preview->currentPage() - 1); });
    m_next = addButton(QStringLiteral("Следующая"));
    m_next->setShortcut(QKeySequence(Qt::Key_PageDown));
    connect(m_next, &QAction::triggered, this, [this] { showPage(m_preview->currentPage() + 1); });
    m_last = addButton(QStringLiteral("Последняя"));
    m_last->setShortcuts({QKeySequence(Qt::Key_End), QKeySequence(Qt::CTRL | Qt::Key_PageDown)});
    connect(m_last, &QAction::triggered, this, [this] { showPage(m_preview->pageCount()); });
    m_pageIndicator = new QLabel(this);
    m_pageIndicator->setObjectName(QStringLiteral("pageIndicator"));
    m_pageIndicator->setAccessibleName(QStringLiteral("Страница"));
    m_pageIndicator->setContentsMargins(8, 0, 8, 0);
    toolBar->addAction(m_first);
    toolBar->addAction(m_previous);
    toolBar->addWidget(m_pageIndicator);
    toolBar->addAction(m_next);
    toolBar->addAction(m_last);
    toolBar->addSeparator();

    QAction* setUp = addButton(SetupCaption);
    connect(setUp, &QAction::triggered, this, [this] { setUpPrinter(); });
    QAction* printAction = addButton(QStringLiteral("Печать"));
    connect(printAction, &QAction::triggered, this, [this] { print(); });
    QAction* saveAction = addButton(QStringLiteral("Сохранить"));
    connect(saveAction, &QAction::triggered, this, &PreviewWindow::save);
    QAction* loadAction = addButton(QStringLiteral("Открыть"));
    connect(loadAction, &QAction::triggered, this, &PreviewWindow::load);
    QAction* closeAction = addButton(QStringLiteral("Закрыть"));
    closeAction->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    for (QAction* a : {setUp, printAction}) toolBar->addAction(a);
    toolBar->addSeparator();
    for (QAction* a : {saveAction, loadAction}) toolBar->addAction(a);
    toolBar->addSeparator();
    toolBar->addAction(closeAction);

    // Buttons carry their captions for a screen reader.
    for (QAction* a : toolBar->actions())
        if (QWidget* button = toolBar->widgetForAction(a); qobject_cast<QToolButton*>(button))
            button->setAccessibleName(a->text());

    showPages(m_pages);
    m_preview->setFocus();
}

PreviewWindow::~PreviewWindow() = default;

QAction* PreviewWindow::addButton(const QString& caption) {
    auto* a = new QAction(caption, this);
    // The keys act wherever the focus is in the window.
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
    return a;
}

void PreviewWindow::showPage(int page) {
    m_preview->setCurrentPage(std::clamp(page, 1, std::max(1, m_preview->pageCount())));
    updatePageIndicator();
}

// Qt keeps the middle of the view where it was when the zoom changes; a user
// reading a page wants to see its top, and its left edge when it is wider
// than the window.
void PreviewWindow::scrollToPageTop() {
    auto* view = m_preview->findChild<QGraphicsView*>();
    if (!view || !view->scene()) return;
    // The scene's top-level items are the pages, one under the other.
    std::vector<QRectF> pages;
    for (const QGraphicsItem* item : view->scene()->items())
        if (!item->parentItem()) pages.push_back(item->sceneBoundingRect());
    std::sort(pages.begin(), pages.end(),
              [](const QRectF& a, const QRectF& b) { return a.top() < b.top(); });
    const int index = m_preview->currentPage() - 1;
    if (index < 0 || index >= int(pages.size())) return;
    const QRectF page = pages[size_t(index)];
    const QRectF visible = view->mapToScene(view->viewport()->rect()).boundingRect();
    const double x =
        visible.width() < page.width() ? page.left() + visible.width() / 2 : page.center().x();
    view->centerOn(x, page.top() + visible.height() / 2);
    updatePageIndicator();
}

void PreviewWindow::updatePageIndicator() {
    const int page = m_preview->currentPage();
    const int count = int(m_pages.pages.size());
    m_pageIndicator->setText(QStringLiteral("Страница %1 из %2").arg(page).arg(count));
    m_first->setEnabled(page > 1);
    m_previous->setEnabled(page > 1);
    m_next->setEnabled(page < count);
    m_last->setEnabled(page < count);
}

void PreviewWindow::showPages(PageList pages) {
    m_pages = std::move(pages);
    setWindowTitle(m_pages.title.isEmpty() ? QStringLiteral("Предварительный просмотр")
                                           : m_pages.title);
    m_printer.setPageSize(pageSizeOf(m_pages));
    m_preview->updatePreview();
    showPage(1);
}

void PreviewWindow::paintPreview(QPrinter* printer) {
    QPainter painter(printer);
    for (size_t i = 0; i < m_pages.pages.size(); ++i) {
        if (i > 0) printer->newPage();
        paintPage(painter, m_pages.pages[i]);
    }
}

PageList PreviewWindow::freshPages() {
    return m_layout ? producePages(*m_layout, m_datasets) : m_pages;
}

bool PreviewWindow::setUpPrinter() {
    SetupRecording& r = setupRecording();
    std::fprintf(stderr, "printer set-up: %s\n", SetupCaption.toLocal8Bit().constData());
    std::fflush(stderr);
    bool accepted = false;
    if (r.on) {
        ++r.requests;
        if (!r.answers.empty()) {
            const PrintSetupRecorder::SetUp setUp = std::move(r.answers.front());
            r.answers.pop_front();
            accepted = bool(setUp);
            if (accepted) setUp(m_printer);
        }
    } else {
        QPrintDialog dialog(&m_printer, this);
        dialog.setWindowTitle(SetupCaption);
        dialog.setOptions(
            QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintCurrentPage |
            QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintShowPageSize);
        dialog.setMinMax(1, std::max(1, int(m_pages.pages.size())));
        accepted = dialog.exec() == QDialog::Accepted;
    }
    // Paper and orientation may have changed.
    if (accepted) m_preview->updatePreview();
    return accepted;
}

bool PreviewWindow::print() {
    const PageList pages = freshPages();
    const int count = int(pages.pages.size());
    int first = 1, last = count;
    switch (m_printer.printRange()) {
        case QPrinter::PageRange:
            first = m_printer.fromPage();
            last = m_printer.toPage();
            break;
        case QPrinter::CurrentPage:
            first = last = m_preview->currentPage();
            break;
        default:
            break;
    }

    QProgressDialog progress(QStringLiteral("Печать…"), QStringLiteral("Отмена"), 0, 1, this);
    progress.setWindowTitle(QStringLiteral("Печать"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.show();
    const auto sheetStarts = [&](int sheet, int sheets) {
        progress.setMaximum(sheets);
        progress.setLabelText(QStringLiteral("Печать… страница %1 из %2").arg(sheet).arg(sheets));
        // A window-modal progress handles the events, the Cancel click among them, here.
        progress.setValue(sheet - 1);
        return !progress.wasCanceled();
    };
    try {
        return printPages(m_printer, pages, first, last, sheetStarts);
    } catch (const ReportError& e) {
        // A job that cannot start is told the way a file that cannot be saved is.
        progress.close();
        platform::showError(e);
        return false;
    }
}

void PreviewWindow::save() {
    QStringList filters{savedReportFilter(), QStringLiteral("PDF document (*.pdf)")};
    QStringList extensions{QLatin1String(savedReportExtension), QStringLiteral("pdf")};
    for (const ExportFilter* f : m_filters) {
        extensions << f->extension().toLower();
        filters << QStringLiteral("%1 (*.%2)").arg(f->description(), extensions.constLast());
    }
    const platform::FileChoice choice =
        platform::chooseSaveFile(this, QStringLiteral("Сохранить отчёт"), filters);
    if (choice.path.isEmpty()) return;

    // A file named with one of the offered extensions is of that kind; any
    // other gets the kind of the filter it was chosen under.
    QString path = choice.path;
    const QString suffix = QFileInfo(path).suffix();
    int kind = int(extensions.indexOf(suffix.toLower()));
    if (kind < 0) {
        kind = std::max(0, int(filters.indexOf(choice.filter)));
        if (suffix.isEmpty()) path += QLatin1Char('.') + extensions[kind];
    }
    try {
        savePages(path, kind);
    } catch (const ReportError& e) {
        platform::showError(e);
    }
}

void PreviewWindow::savePages(const QString& path, int kind) {
    if (kind == SavedReportKind) {
        writeReportFile(path, saveReport(m_pages));
        return;
    }
    const PageList pages = freshPages();
    if (kind == PdfKind) {
        writePdf(path, pages);
    } else {
        writeReportFile(path, m_filters[size_t(kind - FirstFilterKind)]->write(pages));
    }
}

void PreviewWindow::load() {
    const platform::FileChoice choice =
        platform::chooseOpenFile(this, QStringLiteral("Открыть отчёт"), {savedReportFilter()});
    if (choice.path.isEmpty()) return;
    try {
        PageList pages = loadReport(readReportFile(choice.path));
        m_layout = nullptr;
        showPages(std::move(pages));
    } catch (const ReportError& e) {
        platform::showError(e);
    }
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) emit closed();
}

PrintSetupRecorder::PrintSetupRecorder() {
    setupRecording() = SetupRecording();
    setupRecording().on = true;
}

PrintSetupRecorder::~PrintSetupRecorder() {
    setupRecording() = SetupRecording();
}

void PrintSetupRecorder::answer(SetUp setUp) {
    setupRecording().answers.push_back(std::move(setUp));
}

int PrintSetupRecorder::requests() const {
    return setupRecording().requests;
}

}  // namespace report
