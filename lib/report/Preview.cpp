// The preview call: the window runs in an event loop of its own, not modal,
// so the caller waits for it to close while every other window goes on
// working. A test's recorder takes the pages instead of a window.
#include "Preview.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

#include "PreviewWindow.h"

namespace report {

namespace {
struct Recording {
    bool on = false;
    std::vector<PageList> previews;
};
Recording& recording() {
    static Recording r;
    return r;
}
}  // namespace

PreviewRecorder::PreviewRecorder() {
    recording().on = true;
    recording().previews.clear();
}

PreviewRecorder::~PreviewRecorder() {
    recording().on = false;
    recording().previews.clear();
}

const std::vector<PageList>& PreviewRecorder::previews() const {
    return recording().previews;
}

void preview(Layout& layout, const DatasetResolver& datasets,
             const std::vector<const ExportFilter*>& filters) {
    PageList pages = producePages(layout, datasets);
    if (recording().on) {
        recording().previews.push_back(std::move(pages));
        return;
    }
    PreviewWindow window(&layout, datasets, filters, std::move(pages));
    QEventLoop loop;
    QObject::connect(&window, &PreviewWindow::closed, &loop, &QEventLoop::quit);
    // Without a window manager to honour the maximised state the window
    // still covers the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    loop.exec();
}

}  // namespace report
