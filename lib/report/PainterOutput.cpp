// The painter output.
//
// Every primitive of a page is placed by one scale per axis, the device's
// dots per millimetre, so the same page list lands in the same place on the
// preview's printer, a real printer and a PDF whatever their resolution.
// Fonts keep their size in points: Qt converts points for the device the font
// is made for. Cost: one pass over a page's items.
#include "PainterOutput.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <algorithm>

#include "Messages.h"
#include "SavedReport.h"

namespace report {

namespace {

constexpr double MillimetresPerInch = 25.4;
constexpr double PointsPerInch = 72;

// In the words the saved-report file uses for the same failures.
[[noreturn]] void fileFailure(const char* pattern, const QString& path, const QString& reason) {
    throw ReportError(
        QString::fromLatin1(pattern).arg(QFileInfo(path).absoluteFilePath(), reason).trimmed());
}
constexpr const char* createText = "Cannot create file \"%1\". %2";
constexpr const char* writeText = "Cannot write file \"%1\". %2";

class DeviceScale {
public:
    explicit DeviceScale(const QPaintDevice* device)
        : m_x(device->logicalDpiX() / MillimetresPerInch),
          m_y(device->logicalDpiY() / MillimetresPerInch),
          m_pt(device->logicalDpiY() / PointsPerInch) {}

    QPointF point(QPointF mm) const { return {mm.x() * m_x, mm.y() * m_y}; }
    QRectF box(const QRectF& mm) const { return {point(mm.topLeft()), point(mm.bottomRight())}; }
    double points(double pt) const { return pt * m_pt; }

private:
    double m_x, m_y, m_pt;
};

void paintText(QPainter& painter, const DeviceScale& scale, const TextItem& item) {
    if (item.text.isEmpty()) return;
    const QRectF box = scale.box(item.box);
    int flags = Qt::AlignTop | (item.align == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft);
    painter.setFont(deviceFont(item.font, painter.device()));
    if (item.wrap) {
        // Production broke the lines and made the box tall enough for them;
        // nothing is clipped, so no text is hidden on the paper.
        painter.drawText(box, flags | Qt::TextWordWrap | Qt::TextDontClip, item.text);
    } else {
        painter.drawText(box, flags | Qt::TextSingleLine | Qt::TextDontClip, item.text);
    }
}

void paintLine(QPainter& painter, const DeviceScale& scale, const LineItem& item) {
    // Square caps close the corners where a frame's sides meet.
    painter.setPen(QPen(Qt::black, scale.points(item.widthPt), Qt::SolidLine, Qt::SquareCap));
    painter.drawLine(scale.point(item.from), scale.point(item.to));
}

void paintPicture(QPainter& painter, const DeviceScale& scale, const PictureItem& item) {
    if (item.picture.isNull()) return;
    painter.drawImage(scale.box(item.box), item.picture);
}

QPageSize pageSizeOf(const PageList& pages) {
    return QPageSize(QSizeF(pages.pageWidth, pages.pageHeight), QPageSize::Millimeter);
}

}  // namespace

QString deviceFamily(const QString& family) {
    const auto is = [&](const char* name) {
        return family.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    if (is("Arial") || is("MS Sans Serif")) return QStringLiteral("Liberation Sans");
    if (is("Times New Roman")) return QStringLiteral("Liberation Serif");
    return family;
}

QFont deviceFont(const Font& font, const QPaintDevice* device) {
    QFont f(deviceFamily(font.family));
    f.setPointSizeF(font.points);
    f.setBold(font.bold);
    return device ? QFont(f, device) : f;
}

void paintPage(QPainter& painter, const Page& page) {
    const DeviceScale scale(painter.device());
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    for (const Item& item : page.items) {
        painter.setPen(Qt::black);
        std::visit(
            [&](const auto& it) {
                using T = std::decay_t<decltype(it)>;
                if constexpr (std::is_same_v<T, TextItem>) {
                    paintText(painter, scale, it);
                } else if constexpr (std::is_same_v<T, LineItem>) {
                    paintLine(painter, scale, it);
                } else {
                    paintPicture(painter, scale, it);
                }
            },
            item);
    }
    painter.restore();
}

bool printPages(QPrinter& printer, const PageList& pages, int first, int last,
                const PrintProgress& progress) {
    first = std::max(first, 1);
    last = std::min(last, int(pages.pages.size()));
    if (first > last) return false;

    std::vector<int> order;
    for (int n = first; n <= last; ++n) order.push_back(n - 1);
    if (printer.pageOrder() == QPrinter::LastPageFirst) std::reverse(order.begin(), order.end());
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    std::vector<int> sheets;
    if (printer.collateCopies()) {
        for (int c = 0; c < copies; ++c) sheets.insert(sheets.end(), order.begin(), order.end());
    } else {
        for (int index : order) sheets.insert(sheets.end(), copies, index);
    }

    printer.setFullPage(true);
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    const QString file = printer.outputFileName();
    QPainter painter;
    // Without a printer Qt falls back to a PDF file nobody named.
    if (toFile && file.isEmpty())
        throw ReportError(QStringLiteral(
            "Принтер не найден. Установите принтер в системе или сохраните отчёт в PDF "
            "кнопкой «Сохранить»"));
    if (!painter.begin(&printer)) {
        if (toFile) fileFailure(createText, file, QString());
        throw ReportError(QStringLiteral("Не удалось начать печать на принтере «%1»")
                              .arg(printer.printerName()));
    }
    const int count = int(sheets.size());
    for (int i = 0; i < count; ++i) {
        if (progress && !progress(i + 1, count)) {
            // Qt's PDF engine cannot abort; removing its file leaves no half job behind.
            const bool aborted = printer.abort();
            painter.end();
            if (!aborted && toFile && !file.isEmpty()) QFile::remove(file);
            return false;
        }
        if (i > 0) printer.newPage();
        paintPage(painter, pages.pages[sheets[i]]);
    }
    return painter.end();
}

void writePdf(const QString& path, const PageList& pages) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) fileFailure(createText, path, file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(QPageLayout(pageSizeOf(pages), QPageLayout::Portrait, QMarginsF(),
                                         QPageLayout::Millimeter));
        writer.setTitle(pages.title);
        writer.setCreator(platform::applicationTitle());
        QPainter painter;
        if (!painter.begin(&writer)) fileFailure(writeText, path, file.errorString());
        for (size_t i = 0; i < pages.pages.size(); ++i) {
            if (i > 0) writer.newPage();
            paintPage(painter, pages.pages[i]);
        }
        painter.end();
    }
    if (!file.commit()) fileFailure(writeText, path, file.errorString());
}

}  // namespace report
