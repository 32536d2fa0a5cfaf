#include "Layout.h"

namespace report {

Band& Layout::addBand(BandKind kind, double height, Frame frame) {
    Band b;
    b.kind = kind;
    b.height = height;
    b.frame = frame;
    bands.push_back(std::move(b));
    return bands.back();
}

Band* Layout::band(BandKind kind) {
    for (Band& b : bands)
        if (b.kind == kind) return &b;
    return nullptr;
}

const Band* Layout::band(BandKind kind) const {
    return const_cast<Layout*>(this)->band(kind);
}

Element* Layout::element(const QString& name) {
    for (Band& b : bands)
        for (Element& e : b.elements)
            if (!name.isEmpty() && e.name == name) return &e;
    return nullptr;
}

namespace {
Element placed(ElementKind kind, const Font& font, double left, double top, double width,
               double height) {
    Element e;
    e.kind = kind;
    e.font = font;
    e.left = left;
    e.top = top;
    e.width = width;
    e.height = height;
    return e;
}
}  // namespace

Element Layout::label(const QString& text, double left, double top, double width,
                      double height) const {
    Element e = placed(ElementKind::Label, defaultFont, left, top, width, height);
    e.text = text;
    return e;
}

Element Layout::data(const QString& dataset, const QString& field, double left, double top,
                     double width, double height) const {
    Element e = placed(ElementKind::Data, defaultFont, left, top, width, height);
    e.dataset = dataset;
    e.field = field;
    return e;
}

Element Layout::date(double left, double top, double width, double height) const {
    return placed(ElementKind::Date, defaultFont, left, top, width, height);
}

Element Layout::image(double left, double top, double width, double height) const {
    Element e = placed(ElementKind::Image, defaultFont, left, top, width, height);
    e.autoWidth = false;
    return e;
}

}  // namespace report
