// Text measurement. One image at 1200 dots per inch stands for the printer
// (the preview's printer and the PDF writer paint at that resolution), so the
// font's hinting at screen sizes plays no part. Line breaking is Qt's own
// (QTextLayout), the same the painter applies to a fixed box.
// Cost: one text layout per wrapped text; fonts are cached by Qt.
#include "TextFit.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTextLayout>
#include <QTextOption>

#include "PainterOutput.h"

namespace report {

namespace {

constexpr double Dpi = 1200;
constexpr double MmPerInch = 25.4;

// Not const: a text layout takes its device as a plain pointer.
QImage& device() {
    static QImage image = [] {
        QImage i(1, 1, QImage::Format_Mono);
        const int dotsPerMetre = int(Dpi / MmPerInch * 1000 + 0.5);
        i.setDotsPerMeterX(dotsPerMetre);
        i.setDotsPerMeterY(dotsPerMetre);
        return i;
    }();
    return image;
}

double mm(double dots) {
    return dots / Dpi * MmPerInch;
}

QFont fontOf(const Font& font) {
    return deviceFont(font, &device());
}

}  // namespace

double textWidth(const Font& font, const QString& text) {
    return mm(QFontMetricsF(fontOf(font), &device()).horizontalAdvance(text));
}

double lineHeight(const Font& font) {
    return mm(QFontMetricsF(fontOf(font), &device()).lineSpacing());
}

QStringList wrapLines(const Font& font, const QString& text, double width) {
    const QFont f = fontOf(font);
    const double widthDots = width / MmPerInch * Dpi;
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, f, &device());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        bool any = false;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(widthDots);
            // A line keeps the blank it broke at, so joining the lines gives the text again.
            lines << paragraph.mid(line.textStart(), line.textLength());
            any = true;
        }
        layout.endLayout();
        if (!any) lines << QString();
    }
    return lines;
}

}  // namespace report
