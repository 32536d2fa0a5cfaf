// The HTML filter: the page list as one HTML 5 document in UTF-8, a block the
// size of the paper per page with every primitive placed in millimetres, so a
// browser shows and prints the pages as the preview does.
//
// A fixed box's text keeps the lines production broke it into, the lines the
// PDF shows, and nothing is clipped; any other text keeps to one line and may
// run past its box. Frame lines are thin blocks as wide as
// their pen, drawn past their ends by half the pen as the painter's square caps
// are, so the corners of a frame close. Pictures are PNG data URLs filling
// their boxes. Every text from the page list is escaped.
#include <QBuffer>
#include <QLineF>
#include <QStringList>
#include <cmath>

#include "ExportFilter.h"

namespace report {

namespace {

constexpr double MmPerPt = 25.4 / 72;

// Millimetres with at most two decimals, without trailing zeros: "10", "12.5".
QString mm(double v) {
    QString s = QString::number(v, 'f', 2);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0'))) s.chop(1);
        if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    }
    if (s == QLatin1String("-0")) s = QStringLiteral("0");
    return s + QLatin1String("mm");
}

QString number(double v) {
    return QString::number(v, 'g', 6);
}

// For text and attribute values alike. Control characters are not allowed in
// HTML text, so they become blanks.
QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (QChar c : text) {
        switch (c.unicode()) {
            case '&':
                out += QLatin1String("&amp;");
                break;
            case '<':
                out += QLatin1String("&lt;");
                break;
            case '>':
                out += QLatin1String("&gt;");
                break;
            case '"':
                out += QLatin1String("&quot;");
                break;
            case '\'':
                out += QLatin1String("&#39;");
                break;
            case '\n':
                out += c;
                break;
            default:
                out += c.unicode() < 0x20 || c.unicode() == 0x7F ? QChar(u' ') : c;
        }
    }
    return out;
}

// A CSS string of the family, then the generic family a browser falls back to.
QString fontFamily(const QString& family) {
    QString name = family;
    name.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    name.replace(QLatin1Char('\''), QLatin1String("\\'"));
    name.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString f = family.toLower();
    const char* generic =
        f.contains(QLatin1String("courier")) || f.contains(QLatin1String("mono")) ? "monospace"
        : f.contains(QLatin1String("times")) ||
                (f.contains(QLatin1String("serif")) && !f.contains(QLatin1String("sans")))
            ? "serif"
            : "sans-serif";
    return QLatin1Char('\'') + name + QLatin1String("',") + QLatin1String(generic);
}

QString placed(const QRectF& box) {
    return QStringLiteral("left:%1;top:%2;width:%3;height:%4")
        .arg(mm(box.left()), mm(box.top()), mm(box.width()), mm(box.height()));
}

QString html(const TextItem& t) {
    QString style = placed(t.box);
    style += QStringLiteral(";font-family:%1;font-size:%2pt")
                 .arg(fontFamily(t.font.family), number(t.font.points));
    if (t.font.bold) style += QLatin1String(";font-weight:bold");
    QString classes = QStringLiteral("t");
    if (t.wrap) classes += QLatin1String(" w");
    if (t.align == Align::Center) classes += QLatin1String(" c");
    QString text = t.text;
    // A fixed box breaks where the paper does; one line: a line break in the
    // text would start a second one.
    if (t.wrap) {
        text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    } else {
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        text.replace(QChar::LineSeparator, QLatin1Char(' '));
    }
    return QStringLiteral("<div class=\"%1\" style=\"%2\">%3</div>\n")
        .arg(classes, escaped(style), escaped(text));
}

QString html(const LineItem& l) {
    const QLineF line(l.from, l.to);
    const double pen = l.widthPt * MmPerPt;
    const QString thickness = number(l.widthPt) + QLatin1String("pt");
    if (std::abs(l.from.y() - l.to.y()) < 1e-9 || std::abs(l.from.x() - l.to.x()) < 1e-9) {
        const double left = std::min(l.from.x(), l.to.x()) - pen / 2;
        const double top = std::min(l.from.y(), l.to.y()) - pen / 2;
        const bool across = std::abs(l.from.y() - l.to.y()) < 1e-9;
        const QString length = mm(line.length() + pen);
        return QStringLiteral(
                   "<div class=\"l\" style=\"left:%1;top:%2;width:%3;height:%4\"></div>\n")
            .arg(mm(left), mm(top), across ? length : thickness, across ? thickness : length);
    }
    // Any other slope: a horizontal block turned about its starting end.
    return QStringLiteral(
               "<div class=\"l\" style=\"left:%1;top:%2;width:%3;height:%4;"
               "transform-origin:%5 50%;transform:rotate(%6deg)\"></div>\n")
        .arg(mm(l.from.x() - pen / 2), mm(l.from.y() - pen / 2), mm(line.length() + pen), thickness,
             mm(pen / 2), number(-line.angle()));
}

QString html(const PictureItem& p) {
    if (p.picture.isNull()) return {};
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    p.picture.save(&buffer, "PNG");
    return QStringLiteral(
               "<img class=\"p\" alt=\"\" style=\"%1\" src=\"data:image/png;base64,%2\">\n")
        .arg(placed(p.box), QString::fromLatin1(png.toBase64()));
}

const char* const Head = R"(<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width">
<title>%1</title>
<style>
@page { size: %2 %3; margin: 0; }
body { margin: 0; padding: 5mm 0; background: #888; }
.page { position: relative; overflow: hidden; margin: 0 auto 5mm; background: #fff;
  color: #000; box-shadow: 0 0 0 1px #444, 1mm 1mm 2mm rgba(0,0,0,.4); }
.t { position: absolute; margin: 0; white-space: pre; line-height: 1.15; }
.w { white-space: pre; }
.c { text-align: center; }
.l { position: absolute; background: #000; }
.p { position: absolute; display: block; }
@media print {
  body { padding: 0; background: none; }
  .page { margin: 0; box-shadow: none; break-after: page; }
  .page:last-child { break-after: auto; }
}
</style>
</head>
<body>
)";

}  // namespace

QByteArray HtmlFilter::write(const PageList& pages) const {
    // HTML wants a title that is not blank; an untitled report gets the plain word.
    const QString title = pages.title.trimmed().isEmpty() ? QStringLiteral("Отчет") : pages.title;
    QString out = QString::fromLatin1(Head).arg(escaped(title).replace(QLatin1Char('\n'), u' '),
                                                mm(pages.pageWidth), mm(pages.pageHeight));
    for (const Page& page : pages.pages) {
        out += QStringLiteral("<div class=\"page\" style=\"width:%1;height:%2\">\n")
                   .arg(mm(pages.pageWidth), mm(pages.pageHeight));
        for (const Item& item : page.items)
            out += std::visit([](const auto& it) { return html(it); }, item);
        out += QLatin1String("</div>\n");
    }
    out += QLatin1String("</body>\n</html>\n");
    return out.toUtf8();
}

}  // namespace report
