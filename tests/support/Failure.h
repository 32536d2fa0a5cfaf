// The text of the DataError an operation throws, or noFailure when it throws none;
// or what tells it apart in any language.
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

// What tells a failure apart in any language: a server's failure by its code
// ("SQLSTATE 23505"), the server's words being in the server's own language;
// any other failure by its text.
inline QString failureId(const DataError& e) {
    return e.code().isEmpty() ? e.text() : QStringLiteral("SQLSTATE ") + QString::fromLatin1(e.code());
}

template <typename Op>
QString failureIdOf(Op&& op) {
    try {
        op();
    } catch (const DataError& e) {
        return failureId(e);
    }
    return noFailure;
}
