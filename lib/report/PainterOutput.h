// The painter output: a page list painted on a device (screen, printer, PDF).
// Millimetres become device units only here, and the layouts' font names
// become the faces the machine has.
#pragma once

#include <QFont>
#include <QString>
#include <functional>

#include "Pages.h"

class QPaintDevice;
class QPainter;
class QPrinter;

namespace report {

// The face a layout's font name is printed in: Arial and MS Sans Serif in
// Liberation Sans, Times New Roman in Liberation Serif (their metric twins);
// any other name as it is.
QString deviceFamily(const QString& family);
// The font at its size in points for the device's resolution.
QFont deviceFont(const Font& font, const QPaintDevice* device);

// Paints one page with the paper's top-left corner at the painter's origin.
void paintPage(QPainter& painter, const Page& page);

// Runs before each sheet goes to the printer, with the sheet's number and the
// job's count of sheets; false cancels the job.
using PrintProgress = std::function<bool(int sheet, int sheets)>;

// Prints pages first to last (counting from 1) as one job, in the printer's
// page order, making the copies the printer does not make itself. The printer
// paints from the paper's corner (full page). Returns false when the progress
// cancelled: the job is aborted, and a PDF file the printer was writing is
// removed rather than left with part of the pages. Fails with ReportError when
// the job cannot start.
bool printPages(QPrinter& printer, const PageList& pages, int first, int last,
                const PrintProgress& progress = {});

// Writes the pages as a PDF file, the paper size the pages', the fonts
// embedded; nothing half written stays. Fails with ReportError.
void writePdf(const QString& path, const PageList& pages);

}  // namespace report
