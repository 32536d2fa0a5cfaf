// What the curriculum tests do as a user does: clicking buttons and grid
// cells, typing over what a control shows, and reading what a grid shows.
#pragma once

#include <QStringList>
#include <QTest>

#include "DBGrid.h"
#include "GridModel.h"
#include "TypeText.h"

inline void click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
}

// Clicks a cell of a grid, as a user points at it.
inline void clickCell(DBGrid* grid, int row, int column = 0) {
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

// Types into a control, replacing what it shows.
inline void retype(QWidget* control, const QString& text) {
    control->setFocus();
    QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);
    typeText(control, text);
}

// The rows a grid shows, each as its cells joined by "|".
inline QStringList shown(DBGrid* grid) {
    GridModel* model = grid->gridModel();
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->data(model->index(r, c)).toString();
        rows << cells.join(u'|');
    }
    return rows;
}
