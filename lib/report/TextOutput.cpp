// The text filter: the page list as plain UTF-8 text on a grid of fixed
// character cells, 2.5 mm wide and 4.5 mm high (84 columns and 66 lines on A4).
//
// Lines and columns count from the paper's top-left corner, so the margins
// show as blank lines and columns. A text starts in the cell nearest its box's
// top-left corner; a centred one is centred within the columns its box covers.
// A fixed box breaks its words within those columns onto following lines, as
// many as its text needs; a word wider than the columns breaks only after a
// hyphen, and a part still wider stays whole and runs on to the right. Texts that would
// touch or overlap on a line move right past what is already there, keeping
// one blank between, so no text is lost. Lines and pictures print nothing.
// Lines end "\n" without trailing blanks; a form feed separates pages.
// Cost: linear in the characters of the page, times the texts sharing a line.
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>

#include "ExportFilter.h"

namespace report {

namespace {

constexpr double CellWidth = 2.5;   // mm
constexpr double CellHeight = 4.5;  // mm
constexpr double Tolerance = 1e-6;

using Cells = std::u32string;

// A loaded report may place a text anywhere: the grid stops at a size no paper
// reaches rather than at the memory's end.
constexpr int MaxCells = 4096;

int cellCount(double cells) {
    return cells > 0 ? int(std::min(cells, double(MaxCells))) : 0;
}

int nearestCell(double mm, double cell) {
    return cellCount(std::floor(mm / cell + 0.5));
}

// How many whole cells a length holds; a box smaller than one cell still shows one.
int cellsIn(double mm, double cell) {
    return std::max(1, cellCount(std::floor(mm / cell + Tolerance)));
}

// Control characters would break the grid (a form feed would even start a page).
Cells toCells(const QString& text) {
    Cells cells;
    // A line separator is where the paper's box broke the line, after its
    // blank or inside a word: the grid breaks the text again its own way.
    for (char32_t c : text.toUcs4()) {
        if (c == 0x2028) continue;
        cells.push_back(c < 0x20 || c == 0x7F ? U' ' : c);
    }
    return cells;
}

bool isBlank(char32_t c) {
    return c == U' ' || c == 0xA0 || c == 0x3000;
}

// Greedy word breaking within `width` columns; a word longer than a line is
// never cut inside (its letters would read as two words): it breaks only
// after a hyphen, and a part still longer than the line has a line of its own.
std::vector<Cells> wrapped(const QString& text, int width) {
    std::vector<Cells> lines;
    const QStringList paragraphs = text.split(QLatin1Char('\n'));
    for (const QString& paragraph : paragraphs) {
        const Cells cells = toCells(paragraph);
        Cells line;
        bool any = false;
        auto flush = [&] {
            lines.push_back(line);
            line.clear();
        };
        size_t i = 0;
        while (i < cells.size()) {
            if (isBlank(cells[i])) {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < cells.size() && !isBlank(cells[end])) ++end;
            Cells word = cells.substr(i, end - i);
            i = end;
            any = true;
            if (!line.empty() && line.size() + 1 + word.size() <= size_t(width)) {
                line += U' ';
                line += word;
                continue;
            }
            if (!line.empty()) flush();
            // A compound wider than the line breaks after its hyphens, as the paper does;
            // each part stays whole.
            size_t start = 0;
            for (size_t h = 0; h < word.size(); ++h) {
                if (word[h] != U'-' || h + 1 == word.size()) continue;
                const Cells part = word.substr(start, h + 1 - start);
                if (!line.empty() && line.size() + part.size() > size_t(width)) flush();
                line += part;
                start = h + 1;
            }
            const Cells rest = word.substr(start);
            if (!line.empty() && line.size() + rest.size() > size_t(width)) flush();
            line += rest;
        }
        if (!line.empty() || !any) flush();
    }
    return lines;
}

// One line of one text, where it wants to start.
struct Fragment {
    int line = 0;
    int column = 0;
    Cells text;
};

void addFragments(const TextItem& t, std::vector<Fragment>& out) {
    const int column = nearestCell(t.box.left(), CellWidth);
    const int line = nearestCell(t.box.top(), CellHeight);
    const int width = cellsIn(t.box.width(), CellWidth);
    std::vector<Cells> lines;
    if (t.wrap)
        lines = wrapped(t.text, width);
    else
        lines.push_back(toCells(t.text));
    for (size_t i = 0; i < lines.size(); ++i) {
        Fragment f{line + int(i), column, std::move(lines[i])};
        if (t.align == Align::Center && int(f.text.size()) < width)
            f.column += (width - int(f.text.size())) / 2;
        if (!f.text.empty()) out.push_back(std::move(f));
    }
}

class PageGrid {
public:
    void place(const Fragment& f) {
        Row& row = m_rows[f.line];
        const int length = int(f.text.size());
        int start = f.column;
        // A text needs a free cell on each side as well as its own.
        for (;;) {
            const int from = std::max(0, start - 1);
            const int to = std::min(int(row.used.size()) - 1, start + length);
            int last = -1;
            for (int c = to; c >= from; --c)
                if (row.used[size_t(c)]) {
                    last = c;
                    break;
                }
            if (last < 0) break;
            start = last + 2;
        }
        const size_t end = size_t(start + length);
        if (row.cells.size() < end) {
            row.cells.resize(end, U' ');
            row.used.resize(end, false);
        }
        for (int i = 0; i < length; ++i) {
            row.cells[size_t(start + i)] = f.text[size_t(i)];
            row.used[size_t(start + i)] = true;
        }
    }

    QString text() const {
        QString out;
        int next = 0;
        for (const auto& [line, row] : m_rows) {
            Cells cells = row.cells;
            while (!cells.empty() && isBlank(cells.back())) cells.pop_back();
            if (cells.empty()) continue;
            out += QString(line - next, QLatin1Char('\n'));
            out += QString::fromUcs4(cells.data(), qsizetype(cells.size()));
            out += QLatin1Char('\n');
            next = line + 1;
        }
        return out;
    }

private:
    struct Row {
        Cells cells;
        std::vector<bool> used;
    };
    std::map<int, Row> m_rows;
};

QString pageText(const Page& page) {
    std::vector<Fragment> fragments;
    for (const Item& item : page.items)
        if (const auto* t = std::get_if<TextItem>(&item)) addFragments(*t, fragments);
    // Left to right along each line, so a text that must move is the one further right.
    std::stable_sort(fragments.begin(), fragments.end(), [](const Fragment& a, const Fragment& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    PageGrid grid;
    for (const Fragment& f : fragments) grid.place(f);
    return grid.text();
}

}  // namespace

QByteArray TextFilter::write(const PageList& pages) const {
    QStringList texts;
    for (const Page& page : pages.pages) texts << pageText(page);
    return texts.join(QLatin1Char('\f')).toUtf8();
}

}  // namespace report
