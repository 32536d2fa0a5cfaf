// The preview window: the produced pages with zoom and paging, printer set-up,
// print, save (saved report, PDF and the export filters), load and close.
// preview() returns when the window closes; every other window stays usable.
#pragma once

#include <QString>
#include <vector>

#include "ExportFilter.h"
#include "Layout.h"
#include "Pages.h"
#include "Production.h"

class QWidget;

namespace report {

// Produces the pages of the layout and shows them in a new preview window,
// maximised and titled with the report title when the layout has one;
// returns when the window closes. Print and export produce the layout again.
void preview(Layout& layout, const DatasetResolver& datasets,
             const std::vector<const ExportFilter*>& filters);

// While a recorder lives, preview() opens no window: it produces the pages
// once and records them, so a test sees what a user would have been shown.
class PreviewRecorder {
public:
    PreviewRecorder();
    ~PreviewRecorder();
    PreviewRecorder(const PreviewRecorder&) = delete;
    PreviewRecorder& operator=(const PreviewRecorder&) = delete;

    const std::vector<PageList>& previews() const;
};

}  // namespace report
