#include "Preview.h"

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

const std::vector<PageList>& PreviewRecorder::previews() const { return recording().previews; }

void preview(Layout& layout, const DatasetResolver& datasets,
             const std::vector<const ExportFilter*>& filters) {
    Q_UNUSED(filters);
    PageList pages = producePages(layout, datasets);
    if (recording().on) recording().previews.push_back(std::move(pages));
    // The preview window comes next.
}

}  // namespace report
