#include "Pages.h"

#include <QStringList>

namespace report {

namespace {

QString mm(double v) { return QString::number(v, 'f', 1); }

QString point(QPointF p) { return mm(p.x()) + QLatin1Char(',') + mm(p.y()); }

QString box(const QRectF& r) {
    return point(r.topLeft()) + QLatin1Char(' ') + mm(r.width()) + QLatin1Char('x') +
           mm(r.height());
}

QString quoted(QString text) {
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('"'), QLatin1String("\\\""));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    // Where a fixed box broke its text: a line break on the paper too.
    text.replace(QChar::LineSeparator, QLatin1String("\\n"));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString line(int page, const TextItem& t) {
    QString s = QStringLiteral("page %1 text %2 %3 %4").arg(page).arg(box(t.box),
                                                                   quoted(t.font.family),
                                                                   QString::number(t.font.points));
    if (t.font.bold) s += QLatin1String(" bold");
    if (t.align == Align::Center) s += QLatin1String(" centred");
    if (t.wrap) s += QLatin1String(" wrap");
    return s + QLatin1Char(' ') + quoted(t.text);
}

QString line(int page, const LineItem& l) {
    return QStringLiteral("page %1 line %2 %3 %4pt")
        .arg(page)
        .arg(point(l.from), point(l.to), QString::number(l.widthPt));
}

QString line(int page, const PictureItem& p) {
    return QStringLiteral("page %1 picture %2 %3x%4")
        .arg(page)
        .arg(box(p.box))
        .arg(p.picture.width())
        .arg(p.picture.height());
}

}  // namespace

QString dump(const PageList& pages) {
    QStringList lines;
    for (size_t i = 0; i < pages.pages.size(); ++i)
        for (const Item& item : pages.pages[i].items)
            lines << std::visit([&](const auto& it) { return line(int(i) + 1, it); }, item);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace report
