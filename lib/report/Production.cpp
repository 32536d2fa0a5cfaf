// Page production.
//
// One pass over the bands: a cursor (the page being filled and the height
// used on it) and one rule for breaking, fitsOrNewPage(). Each band is laid
// out before it is placed, with its texts measured as they print (TextFit):
//
// 1. A one-line text that the text before it on its line runs into starts
//    after that text and a blank, so a label and its value never overlap.
// 2. While a line runs past the right margin (or into a picture beside it),
//    its widest text shrinks, half a point at a time down to 7 pt; a text
//    that still does not fit wraps within the margin (on the next line when
//    almost no room is left).
// 3. A fixed box's text is broken into lines where the painter breaks it; a
//    box its lines do not fit grows, the elements under it move down by as
//    much, and the band grows with its tallest element. A word wider than its
//    box shrinks (down to 7 pt) before it is broken. Elements that reach
//    the band's bottom (a table row's cells) grow with it, so their frame
//    lines meet. No text is cut or hidden.
// 4. A picture keeps its proportions, centred in its box, inside the band and
//    clear of the band's frame lines.
//
// A band that does not fit in the rest of a page starts a new one; a band
// taller than a whole page gets a page of its own and is cut at the bottom
// margin, so production always moves on. In a table the closing band stays
// with the last row. Each data element's dataset and field are resolved once
// per production; the master is the only dataset moved, one next() per row.
// Cost: linear in rows × elements, a few text measurements per text; a line
// that runs past the margin is placed again for every half point it shrinks.
#include "Production.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>

#include "DataError.h"
#include "Dataset.h"
#include "TextFit.h"

namespace report {

namespace {

constexpr double Tolerance = 1e-6;
constexpr double MinPoints = 7;
constexpr double ShrinkStep = 0.5;
// An element whose bottom is this near the band's bottom reaches it.
constexpr double ReachTolerance = 0.5;
// Less room than this before the margin, and a text starts on the next line.
constexpr double MinRoom = 20;
// How far a text keeps from a picture beside it.
constexpr double PictureClearance = 1;
// How far a picture keeps from a frame line of its band.
constexpr double FrameClearance = 0.5;

// An element as this band's instance prints it: the box within the band (mm),
// the font, the text. A wrapped text's lines are joined by the line separator
// (U+2028), which every output breaks at and the text output may break again;
// a line break in the data stays a line break.
struct Placed {
    const Element* element = nullptr;
    QRectF box;
    Font font;
    QString text;
    bool wrap = false;
    double grow = 0;  // how much taller than its box the text needs
};

struct LaidBand {
    const Band* band = nullptr;
    double height = 0;
    std::vector<Placed> items;
};

const QRegularExpression LineBreaks(QStringLiteral("[\\n\\x{2028}]"));

bool isText(const Element& e) {
    return e.kind != ElementKind::Image;
}

bool endsWithBlank(const QString& text) {
    return !text.isEmpty() && text.back().isSpace();
}

// How far right a text's ink reaches within its band.
double rightOf(const Placed& p) {
    if (p.wrap) {
        double widest = 0;
        for (const QString& line : p.text.split(LineBreaks))
            widest = std::max(widest, textWidth(p.font, line));
        return p.box.left() + std::min(widest, p.box.width());
    }
    const double width = textWidth(p.font, p.text);
    if (p.element->align == Align::Center)
        return std::max(p.box.right(), p.box.center().x() + width / 2);
    return p.box.left() + width;
}

// Two boxes stand on one line when they share at least half the lower one's
// height; a title whose box reaches a little into the line under it does not.
bool sameLine(const QRectF& a, const QRectF& b) {
    const double shared = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top());
    return shared >= std::min(a.height(), b.height()) / 2 - Tolerance && shared > Tolerance;
}

// A one-line, left-aligned text: the kind that moves and shrinks.
bool isRunning(const Placed& p) {
    return isText(*p.element) && !p.wrap && p.element->align == Align::Left;
}

// The texts in the order they stand on their lines, left to right.
std::vector<Placed*> textsByLeft(std::vector<Placed>& items) {
    std::vector<Placed*> texts;
    for (Placed& p : items)
        if (isText(*p.element)) texts.push_back(&p);
    std::stable_sort(texts.begin(), texts.end(), [](const Placed* a, const Placed* b) {
        return a->element->left < b->element->left;
    });
    return texts;
}

// A text that the text before it on its line runs into moves right past it,
// a blank after it; the others stay where the layout puts them.
void keepApart(const std::vector<Placed*>& texts) {
    for (size_t i = 0; i < texts.size(); ++i) {
        Placed& p = *texts[i];
        if (!isRunning(p)) continue;
        p.box.moveLeft(p.element->left);
        for (size_t j = 0; j < i; ++j) {
            // An empty value moves too, so its frame (an underline) follows the label.
            const Placed& before = *texts[j];
            if (before.text.isEmpty() || before.element->left >= p.element->left - Tolerance ||
                !sameLine(before.box, p.box))
                continue;
            const double gap =
                endsWithBlank(before.text) ? 0 : textWidth(before.font, QStringLiteral(" "));
            const double start = rightOf(before) + gap;
            if (start > p.box.left() + Tolerance) p.box.moveLeft(start);
        }
    }
}

// Texts past the right margin: the widest text of the line that runs past
// it becomes smaller, half a point at a time down to 7 pt, and the line is
// placed again, until the line fits; a text that still does not is wrapped
// within the margin, or starts on the next line when almost nothing of the
// line is left for it.
void fitToMargin(std::vector<Placed>& items, double bandWidth) {
    const std::vector<Placed*> texts = textsByLeft(items);
    keepApart(texts);
    // Where a text must end: the margin, or a picture beside it on its line.
    const auto limit = [&](const Placed& p) {
        double end = bandWidth;
        for (const Placed& q : items)
            if (!isText(*q.element) && !q.element->picture.isNull() &&
                q.box.left() > p.box.left() + Tolerance && q.box.top() < p.box.bottom() &&
                p.box.top() < q.box.bottom())
                end = std::min(end, q.box.left() - PictureClearance);
        return end;
    };
    const auto past = [&](const Placed& p) {
        return isRunning(p) && !p.text.isEmpty() && rightOf(p) > limit(p) + Tolerance;
    };
    for (;;) {
        const auto over = std::find_if(texts.begin(), texts.end(),
                                       [&](const Placed* p) { return past(*p); });
        if (over == texts.end()) return;
        // The widest text still above the floor among those on the overflowing line.
        Placed* widest = nullptr;
        double widestWidth = 0;
        for (Placed* p : texts) {
            if (!isRunning(*p) || p->text.isEmpty() || !sameLine(p->box, (*over)->box) ||
                p->font.points - ShrinkStep < MinPoints - Tolerance)
                continue;
            const double w = textWidth(p->font, p->text);
            if (w > widestWidth) {
                widestWidth = w;
                widest = p;
            }
        }
        if (!widest) break;
        widest->font.points -= ShrinkStep;
        keepApart(texts);
    }
    for (Placed* p : texts) {
        if (!past(*p)) continue;
        const double end = limit(*p);
        double room = end - p->box.left();
        const bool nextLine = room < MinRoom;
        if (nextLine) {
            // From where the layout puts the text, under what runs into it.
            p->box.moveLeft(std::max(0.0, std::min(p->element->left, end - MinRoom)));
            room = end - p->box.left();
        }
        p->wrap = true;
        p->box.setWidth(room);
        QStringList lines = wrapLines(p->font, p->text, room);
        if (nextLine) lines.prepend(QString());
        p->text = lines.join(QChar::LineSeparator);
        p->grow = std::max(0.0, lines.size() * lineHeight(p->font) - p->box.height());
    }
}

// The widest piece of the text the painter would not break: a word, or the
// part of a hyphenated one up to its hyphen.
double widestWord(const Font& font, const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\\s+|(?<=-)"));
    double widest = 0;
    for (const QString& word : text.split(breaks, Qt::SkipEmptyParts))
        widest = std::max(widest, textWidth(font, word));
    return widest;
}

// A fixed box's text in the lines the painter will give it. A word wider than
// the box first makes the font smaller, down to 7 pt, before it is broken.
void breakLines(Placed& p) {
    if (p.text.trimmed().isEmpty()) return;
    while (p.font.points - ShrinkStep >= MinPoints - Tolerance &&
           widestWord(p.font, p.text) > p.box.width() + Tolerance)
        p.font.points -= ShrinkStep;
    const QStringList lines = wrapLines(p.font, p.text, p.box.width());
    if (lines.size() > 1) p.text = lines.join(QChar::LineSeparator);
    p.grow = std::max(0.0, lines.size() * lineHeight(p.font) - p.box.height());
}

// Grown texts push what lies under them down; the band grows with its contents.
double growBand(std::vector<Placed>& items, double height) {
    std::vector<QRectF> old;
    double oldBottom = height;
    for (const Placed& p : items) {
        old.push_back(p.box);
        oldBottom = std::max(oldBottom, p.box.bottom());
    }
    std::vector<double> shift(items.size(), 0);
    std::vector<size_t> order(items.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return old[a].top() < old[b].top(); });
    bool any = false;
    for (size_t oi = 0; oi < order.size(); ++oi) {
        const size_t i = order[oi];
        for (size_t oj = 0; oj < oi; ++oj) {
            const size_t j = order[oj];
            const double push = shift[j] + items[j].grow;
            if (push > Tolerance && old[j].bottom() <= old[i].top() + Tolerance)
                shift[i] = std::max(shift[i], push);
        }
        any = any || items[i].grow > Tolerance;
    }
    if (!any) return height;
    double newBottom = height;
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].box.translate(0, shift[i]);
        items[i].box.setHeight(old[i].height() + items[i].grow);
        newBottom = std::max(newBottom, items[i].box.bottom());
    }
    const double delta = std::max(0.0, newBottom - oldBottom);
    for (size_t i = 0; i < items.size(); ++i)
        if (old[i].bottom() >= height - ReachTolerance && isText(*items[i].element))
            items[i].box.setBottom(std::max(items[i].box.bottom(), old[i].bottom() + shift[i] + delta));
    return height + delta;
}

// The picture's proportions kept, centred in what is left of its box inside
// the band and clear of the band's frame lines.
QRectF pictureBox(const QRectF& box, const QSize& picture, double bandWidth, double bandHeight,
                  const Frame& frame) {
    QRectF band(0, 0, bandWidth, bandHeight);
    const double clear = FrameClearance;
    if (frame.sides.testFlag(Side::Left)) band.setLeft(band.left() + clear);
    if (frame.sides.testFlag(Side::Top)) band.setTop(band.top() + clear);
    if (frame.sides.testFlag(Side::Right)) band.setRight(band.right() - clear);
    if (frame.sides.testFlag(Side::Bottom)) band.setBottom(band.bottom() - clear);
    const QRectF area = box.intersected(band);
    if (area.isEmpty() || picture.isEmpty()) return {};
    QRectF fitted(QPointF(), QSizeF(picture).scaled(area.size(), Qt::KeepAspectRatio));
    fitted.moveCenter(area.center());
    return fitted;
}

class Producer {
public:
    Producer(Layout& layout, const DatasetResolver& datasets, const QDate& today)
        : m_layout(layout), m_datasets(datasets), m_today(today.toString(QStringLiteral("dd.MM.yyyy"))) {
        m_out.pageWidth = layout.pageWidth;
        m_out.pageHeight = layout.pageHeight;
        m_out.title = layout.title;
    }

    PageList run();

private:
    double top() const { return m_layout.topMargin; }
    double bottom() const { return m_layout.pageHeight - m_layout.bottomMargin; }
    bool pageEmpty() const { return m_y <= top() + Tolerance; }
    bool fits(double height) const { return m_y + height <= bottom() + Tolerance; }
    void newPage() {
        m_out.pages.emplace_back();
        m_y = top();
    }
    // The page breaking rule: keep `height` together unless the page is still empty.
    void fitsOrNewPage(double height) {
        if (!fits(height) && !pageEmpty()) newPage();
    }

    LaidBand layOut(const Band* band);
    void print(const LaidBand& band);
    void emitBand(const LaidBand& band);
    void emitItem(const Placed& p, double x, double y);
    void addLine(QPointF from, QPointF to, double widthPt);
    void addFrame(const QRectF& box, const Frame& frame);
    QString dataText(const Element& e);
    Dataset* dataset(const QString& name);

    Layout& m_layout;
    const DatasetResolver& m_datasets;
    QString m_today;
    PageList m_out;
    double m_y = 0;
    double m_clip = 0;  // the bottom margin while a band is emitted
    QHash<QString, Dataset*> m_resolved;
};

Dataset* Producer::dataset(const QString& name) {
    const QString key = name.toCaseFolded();
    auto it = m_resolved.constFind(key);
    if (it != m_resolved.constEnd()) return *it;
    Dataset* ds = name.isEmpty() || !m_datasets ? nullptr : m_datasets(name);
    m_resolved.insert(key, ds);
    return ds;
}

QString Producer::dataText(const Element& e) {
    Dataset* ds = dataset(e.dataset);
    if (!ds || !ds->isActive() || ds->recNo() < 0 || e.field.isEmpty()) return {};
    const Field* field = ds->findField(e.field);
    return field ? field->displayText() : QString();
}

void Producer::addLine(QPointF from, QPointF to, double widthPt) {
    if (from.y() > m_clip + Tolerance) return;
    from.setY(std::min(from.y(), m_clip));
    to.setY(std::min(to.y(), m_clip));
    LineItem line;
    line.from = from;
    line.to = to;
    line.widthPt = widthPt;
    m_out.pages.back().items.emplace_back(std::in_place_type<LineItem>, line);
}

void Producer::addFrame(const QRectF& box, const Frame& frame) {
    if (frame.sides.testFlag(Side::Top)) addLine(box.topLeft(), box.topRight(), frame.widthPt);
    if (frame.sides.testFlag(Side::Bottom))
        addLine(box.bottomLeft(), box.bottomRight(), frame.widthPt);
    if (frame.sides.testFlag(Side::Left)) addLine(box.topLeft(), box.bottomLeft(), frame.widthPt);
    if (frame.sides.testFlag(Side::Right))
        addLine(box.topRight(), box.bottomRight(), frame.widthPt);
}

LaidBand Producer::layOut(const Band* band) {
    LaidBand laid;
    laid.band = band;
    if (!band) return laid;
    laid.height = band->height;
    const double width = m_layout.bandWidth();
    laid.items.reserve(band->elements.size());
    for (const Element& e : band->elements) {
        Placed p;
        p.element = &e;
        p.box = QRectF(e.left, e.top, e.width, e.height);
        p.font = e.font;
        p.wrap = !e.autoWidth;
        if (isText(e))
            p.text = e.kind == ElementKind::Label  ? e.text
                     : e.kind == ElementKind::Date ? m_today
                                                   : dataText(e);
        laid.items.push_back(std::move(p));
    }
    for (Placed& p : laid.items)
        if (p.wrap) breakLines(p);
    fitToMargin(laid.items, width);
    laid.height = growBand(laid.items, band->height);
    for (Placed& p : laid.items)
        if (!isText(*p.element) && !p.element->picture.isNull())
            p.box = pictureBox(p.box, p.element->picture.size(), width, laid.height, band->frame);
    return laid;
}

void Producer::emitItem(const Placed& p, double x, double y) {
    const Element& e = *p.element;
    QRectF box = p.box.translated(x, y);
    if (box.top() > m_clip + Tolerance) return;
    const QRectF whole = box;
    if (box.bottom() > m_clip) box.setBottom(m_clip);
    Page& page = m_out.pages.back();
    if (e.kind == ElementKind::Image) {
        if (e.picture.isNull() || box.isEmpty()) return;
        QImage picture = e.picture;
        if (box.height() < whole.height()) {
            // Cut at the bottom margin: the part of the picture that falls on the page.
            const int rows = std::max(1, int(picture.height() * box.height() / whole.height()));
            picture = picture.copy(0, 0, picture.width(), rows);
        }
        page.items.push_back(PictureItem{box, picture});
        // The frame is the element's, not the picture's.
        addFrame(QRectF(x + e.left, y + e.top, e.width, e.height), e.frame);
        return;
    }
    TextItem t;
    t.box = box;
    t.font = p.font;
    t.align = e.align;
    t.wrap = p.wrap;
    t.text = p.text;
    page.items.push_back(std::move(t));
    // A one-line text's frame (an underline) runs under the whole text.
    QRectF framed = whole;
    if (!p.wrap && e.frame.sides && !p.text.isEmpty())
        framed.setRight(std::max(framed.right(), x + rightOf(p)));
    addFrame(framed, e.frame);
}

void Producer::emitBand(const LaidBand& band) {
    const double x = m_layout.leftMargin;
    m_clip = bottom();
    addFrame(QRectF(x, m_y, m_layout.bandWidth(), band.height), band.band->frame);
    for (const Placed& p : band.items) emitItem(p, x, m_y);
    // A band cut at the margin leaves the page full, so the next band starts a new one.
    m_y = std::min(m_y + band.height, bottom());
}

void Producer::print(const LaidBand& band) {
    if (!band.band) return;
    fitsOrNewPage(band.height);
    emitBand(band);
}

PageList Producer::run() {
    if (m_layout.beforePrint) m_layout.beforePrint(m_layout);
    newPage();
    const Band* heading = m_layout.band(BandKind::Heading);
    const Band* row = m_layout.band(BandKind::Row);
    const Band* closing = m_layout.band(BandKind::Closing);

    if (m_layout.master.isEmpty()) {
        for (const Band& b : m_layout.bands) print(layOut(&b));
        return std::move(m_out);
    }

    Dataset* master = dataset(m_layout.master);
    const bool rows = master && master->isActive() && !master->isEmpty();
    if (rows) master->first();
    print(layOut(m_layout.band(BandKind::Title)));
    print(layOut(m_layout.band(BandKind::Details)));
    const bool table = m_layout.groupMode == GroupMode::Table;
    const LaidBand headingBand = layOut(heading);
    const LaidBand closingBand = layOut(closing);
    for (bool firstRow = true;; firstRow = false) {
        const bool lastRow = !rows || master->isLast();
        const LaidBand rowBand = layOut(row);
        // A table's last row keeps the closing band (the signature) on its page.
        const double keep = rowBand.height + (table && lastRow ? closingBand.height : 0);
        if (firstRow || !table) {
            // Every row's own group reads the row's values in all three bands.
            const LaidBand rowHeading = table ? headingBand : layOut(heading);
            fitsOrNewPage(rowHeading.height + keep);
            if (rowHeading.band) emitBand(rowHeading);
        } else if (!fits(keep)) {
            newPage();
            if (headingBand.band) emitBand(headingBand);
        }
        print(rowBand);
        if (!table) print(layOut(closing));
        if (lastRow) break;
        master->next();
    }
    if (table) print(closingBand);
    return std::move(m_out);
}

}  // namespace

PageList producePages(Layout& layout, const DatasetResolver& datasets, const QDate& today) {
    return Producer(layout, datasets, today).run();
}

}  // namespace report
