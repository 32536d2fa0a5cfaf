// Page production.
//
// One pass over the bands: a cursor (the page being filled and the height
// used on it) and one rule for breaking, fitsOrNewPage(). A band that does not
// fit in the rest of a page starts a new one; a band taller than a whole page
// gets a page of its own and is cut at the bottom margin, so production always
// moves on. Each data element's dataset and field are resolved once per
// production; the master is the only dataset moved, one next() per row.
// Cost: linear in rows × elements.
#include "Production.h"

#include <QHash>
#include <algorithm>

#include "DataError.h"
#include "Dataset.h"

namespace report {

namespace {

constexpr double Tolerance = 1e-6;

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

    void print(const Band* band);
    void printGroupStart(const Band* heading, const Band* row);
    void emitBand(const Band& band);
    void emitElement(const Element& e, double x, double y);
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

void Producer::emitElement(const Element& e, double x, double y) {
    QRectF box(x + e.left, y + e.top, e.width, e.height);
    if (box.top() > m_clip + Tolerance) return;
    const QRectF whole = box;
    if (box.bottom() > m_clip) box.setBottom(m_clip);
    Page& page = m_out.pages.back();
    if (e.kind == ElementKind::Image) {
        if (e.picture.isNull()) return;
        QImage picture = e.picture;
        if (box.height() < whole.height()) {
            // Cut at the bottom margin: the part of the picture that falls on the page.
            const int rows = std::max(1, int(picture.height() * box.height() / whole.height()));
            picture = picture.copy(0, 0, picture.width(), rows);
        }
        page.items.push_back(PictureItem{box, picture});
    } else {
        TextItem t;
        t.box = box;
        t.font = e.font;
        t.align = e.align;
        t.wrap = !e.autoWidth;
        t.text = e.kind == ElementKind::Label  ? e.text
                 : e.kind == ElementKind::Date ? m_today
                                               : dataText(e);
        page.items.push_back(std::move(t));
    }
    addFrame(whole, e.frame);
}

void Producer::emitBand(const Band& band) {
    const double x = m_layout.leftMargin;
    m_clip = bottom();
    addFrame(QRectF(x, m_y, m_layout.bandWidth(), band.height), band.frame);
    for (const Element& e : band.elements) emitElement(e, x, m_y);
    // A band cut at the margin leaves the page full, so the next band starts a new one.
    m_y = std::min(m_y + band.height, bottom());
}

void Producer::print(const Band* band) {
    if (!band) return;
    fitsOrNewPage(band->height);
    emitBand(*band);
}

void Producer::printGroupStart(const Band* heading, const Band* row) {
    if (heading) {
        fitsOrNewPage(heading->height + (row ? row->height : 0));
        emitBand(*heading);
    }
    print(row);
}

PageList Producer::run() {
    if (m_layout.beforePrint) m_layout.beforePrint(m_layout);
    newPage();
    const Band* title = m_layout.band(BandKind::Title);
    const Band* details = m_layout.band(BandKind::Details);
    const Band* heading = m_layout.band(BandKind::Heading);
    const Band* row = m_layout.band(BandKind::Row);
    const Band* closing = m_layout.band(BandKind::Closing);

    if (m_layout.master.isEmpty()) {
        for (const Band& b : m_layout.bands) print(&b);
        return std::move(m_out);
    }

    Dataset* master = dataset(m_layout.master);
    const bool rows = master && master->isActive() && !master->isEmpty();
    if (rows) master->first();
    print(title);
    print(details);
    const bool table = m_layout.groupMode == GroupMode::Table;
    for (bool firstRow = true;; firstRow = false) {
        if (firstRow || !table) {
            printGroupStart(heading, row);
        } else if (row && !fits(row->height)) {
            newPage();
            printGroupStart(heading, row);
        } else {
            print(row);
        }
        if (!table) print(closing);
        if (!rows || master->isLast()) break;
        master->next();
    }
    if (table) print(closing);
    return std::move(m_out);
}

}  // namespace

PageList producePages(Layout& layout, const DatasetResolver& datasets, const QDate& today) {
    return Producer(layout, datasets, today).run();
}

}  // namespace report
