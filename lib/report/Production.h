// Page production: a layout and the current rows of the datasets it names
// become a page list. Nothing here paints or knows a device.
#pragma once

#include <QDate>
#include <functional>

#include "Layout.h"
#include "Pages.h"

class Dataset;

namespace report {

// Finds a dataset by the name a layout gives it, without regard to letter
// case; null when there is none.
using DatasetResolver = std::function<Dataset*(const QString& name)>;

// Runs the before-print hook, then prints the bands. Without a master each
// band prints once from the current rows; with one the master moves to its
// first row, the title and details bands print, then every row's group, and
// the master is left on its last row. Only the master is moved.
PageList producePages(Layout& layout, const DatasetResolver& datasets,
                      const QDate& today = QDate::currentDate());

}  // namespace report
