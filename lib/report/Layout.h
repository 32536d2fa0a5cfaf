// A report layout: the page, its bands and their elements, all in millimetres.
// A definition knows nothing of painting or of a device's resolution; page
// production (Production.h) turns it and the datasets' rows into pages.
#pragma once

#include <QFlags>
#include <QImage>
#include <QString>
#include <functional>
#include <vector>

namespace report {

enum class Side { Left = 1, Top = 2, Right = 4, Bottom = 8 };
Q_DECLARE_FLAGS(Sides, Side)
Q_DECLARE_OPERATORS_FOR_FLAGS(Sides)
inline constexpr Sides AllSides = Sides(Side::Left) | Side::Top | Side::Right | Side::Bottom;

// Frame lines on some sides of a box, all of one width.
struct Frame {
    Sides sides;
    double widthPt = 1.0;
};

struct Font {
    QString family = QStringLiteral("Arial");
    double points = 10;
    bool bold = false;
    bool operator==(const Font&) const = default;
};

enum class Align { Left, Center };

enum class ElementKind {
    Label,  // its text, which a before-print hook may replace
    Data,   // the display text of a field of a dataset's current row
    Date,   // the day of production, dd.MM.yyyy
    Image,  // a picture stretched to the box; none prints nothing
};

struct Element {
    ElementKind kind = ElementKind::Label;
    // How a hook finds the element; may be empty.
    QString name;
    // Within the band, millimetres.
    double left = 0, top = 0, width = 0, height = 0;
    Font font;
    Align align = Align::Left;
    Frame frame;
    // Auto width: one line that runs past the box as far as its text needs.
    // Otherwise a fixed box whose words wrap inside it.
    bool autoWidth = true;
    QString text;              // Label
    QString dataset, field;    // Data: names resolved at production, letter case ignored
    QImage picture;            // Image
};

enum class BandKind { Title, Details, Heading, Row, Closing };

struct Band {
    BandKind kind = BandKind::Title;
    double height = 0;
    Frame frame;
    std::vector<Element> elements;
};

// How a master's row group prints.
enum class GroupMode {
    // Heading, row and closing band for every row; a heading moves to a new
    // page unless its row fits after it.
    EveryRow,
    // A table: the heading before the first row and again at the top of every
    // following page, a row band per row, the closing band once after the last.
    Table,
};

class Layout {
public:
    // A4 portrait, one column.
    double pageWidth = 210, pageHeight = 297;
    double leftMargin = 10, topMargin = 10, rightMargin = 10, bottomMargin = 10;
    Font defaultFont;
    QString title;
    // Name of the dataset whose rows drive the row group; empty: none.
    QString master;
    GroupMode groupMode = GroupMode::EveryRow;
    // Runs first every time the layout is produced (preview, print, export).
    std::function<void(Layout&)> beforePrint;
    // In printing order: title, details, then the row group's heading, row, closing.
    std::vector<Band> bands;

    double bandWidth() const { return pageWidth - leftMargin - rightMargin; }

    // Appends a band and returns it.
    Band& addBand(BandKind kind, double height, Frame frame = {});
    // The band of that kind, or null.
    Band* band(BandKind kind);
    const Band* band(BandKind kind) const;
    // The first element of that name in any band, or null.
    Element* element(const QString& name);

    // Element builders: they take the layout's default font.
    Element label(const QString& text, double left, double top, double width, double height) const;
    Element data(const QString& dataset, const QString& field, double left, double top,
                 double width, double height) const;
    Element date(double left, double top, double width, double height) const;
    Element image(double left, double top, double width, double height) const;
};

}  // namespace report
