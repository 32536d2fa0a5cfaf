// The text of the DataError an operation throws, or noFailure when it throws none.
#pragma once

#include <QString>

#include "DataError.h"

inline const QString noFailure = QStringLiteral("(no failure)");

template <typename Op>
QString failureOf(Op&& op) {
    try {
        op();
    } catch (const DataError& e) {
        return e.text();
    }
    return noFailure;
}
