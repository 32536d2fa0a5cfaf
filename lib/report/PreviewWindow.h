// The preview window: the pages as they will print, zoom and paging, printer
// set-up, print behind a cancellable progress window, save, load and close.
// A window of its own beside the others, never modal.
#pragma once

#include <QMainWindow>
#include <QPrinter>
#include <functional>
#include <vector>

#include "ExportFilter.h"
#include "Layout.h"
#include "Pages.h"
#include "Production.h"

class QAction;
class QLabel;
class QPrintPreviewWidget;

namespace report {

class PreviewWindow : public QMainWindow {
    Q_OBJECT
public:
    // The layout (may be null) is produced again for print and export; the
    // pages are what it gave for the preview.
    PreviewWindow(Layout* layout, DatasetResolver datasets,
                  std::vector<const ExportFilter*> filters, PageList pages,
                  QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // The pages shown: produced for the preview, or loaded from a saved report.
    const PageList& pages() const { return m_pages; }
    // The printer the set-up changes and every print uses.
    QPrinter& printer() { return m_printer; }
    QPrintPreviewWidget* previewWidget() const { return m_preview; }

    // Printer set-up: printer, copies, page range. False when cancelled.
    bool setUpPrinter();
    // Produces the layout again and prints the set-up's page range behind a
    // progress window. False when cancelled, when the range holds no page, or
    // when the job cannot start, which is shown as an error.
    bool print();
    // Asks for a file and a kind: the saved report of the shown pages, or PDF
    // and the export filters from the layout produced again. A file that
    // cannot be written is shown as an error.
    void save();
    // Asks for a saved report and shows its pages instead.
    void load();

Q_SIGNALS:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* addButton(const QString& caption);
    void showPage(int page);
    void scrollToPageTop();
    void updatePageIndicator();
    void showPages(PageList pages);
    void paintPreview(QPrinter* printer);
    PageList freshPages();
    void savePages(const QString& path, int kind);

    Layout* m_layout;
    DatasetResolver m_datasets;
    std::vector<const ExportFilter*> m_filters;
    PageList m_pages;
    QPrinter m_printer;
    QPrintPreviewWidget* m_preview = nullptr;
    QLabel* m_pageIndicator = nullptr;
    QAction* m_first = nullptr;
    QAction* m_previous = nullptr;
    QAction* m_next = nullptr;
    QAction* m_last = nullptr;
};

// While a recorder lives, printer set-up shows no dialog: each set-up takes
// the next answer given in advance, an accepted dialog that sets up the
// printer as a user would. An empty answer, or none left, is a cancel, which
// leaves the printer as it was.
class PrintSetupRecorder {
public:
    using SetUp = std::function<void(QPrinter&)>;
    PrintSetupRecorder();
    ~PrintSetupRecorder();
    PrintSetupRecorder(const PrintSetupRecorder&) = delete;
    PrintSetupRecorder& operator=(const PrintSetupRecorder&) = delete;

    void answer(SetUp setUp);
    // How many set-ups were asked for.
    int requests() const;
};

}  // namespace report
