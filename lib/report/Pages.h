// The page list: what page production makes of a layout and its data, and
// what every output reads. Positions are millimetres from the top-left corner
// of the paper.
#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <variant>
#include <vector>

#include "Layout.h"

namespace report {

struct TextItem {
    QRectF box;  // mm
    QString text;
    Font font;
    Align align = Align::Left;
    // A fixed box: its lines, as production broke them (at line separators,
    // U+2028), lie inside the box, which production made tall enough. Otherwise
    // one line that may run past the box.
    bool wrap = false;
    bool operator==(const TextItem&) const = default;
};

struct LineItem {
    QPointF from, to;  // mm
    double widthPt = 1.0;
    bool operator==(const LineItem&) const = default;
};

struct PictureItem {
    QRectF box;  // mm, the picture stretched to it
    QImage picture;
    bool operator==(const PictureItem&) const = default;
};

using Item = std::variant<TextItem, LineItem, PictureItem>;

struct Page {
    std::vector<Item> items;
    bool operator==(const Page&) const = default;
};

struct PageList {
    double pageWidth = 210, pageHeight = 297;  // mm
    QString title;
    std::vector<Page> pages;
    bool operator==(const PageList&) const = default;
};

// One line a primitive, for tests and for following a run:
//   page 1 text 20.4,12.6 149.5x6.6 "Arial" 12 bold centred wrap "Текст"
//   page 1 line 10.0,10.0 200.0,10.0 1pt
//   page 1 picture 158.2,69.3 40.5x40.5 64x64
// Numbers carry one decimal; pages count from 1.
QString dump(const PageList& pages);

}  // namespace report
