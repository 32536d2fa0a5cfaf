// Text measured as it prints: widths, line heights and line breaks of a
// layout's font in millimetres, taken at the printer's resolution so that the
// pages production plans are the pages the painter draws. Needs a GUI
// application (the font database).
#pragma once

#include <QString>
#include <QStringList>

#include "Layout.h"

namespace report {

// The width of one line of the text, mm.
double textWidth(const Font& font, const QString& text);
// The distance from one line's top to the next one's, mm.
double lineHeight(const Font& font);
// The text broken into lines no wider than `width` mm, where the painter
// breaks them: between words, after a hyphen, and inside a word only where it
// is wider than a whole line. A line ends with the blank it broke at, if any,
// so the lines joined give the text back. A line break starts a new line.
QStringList wrapLines(const Font& font, const QString& text, double width);

}  // namespace report
