// A value read straight from a database file on a connection of its own, as
// another program would see it.
#pragma once

#include <QString>
#include <QVariant>

#include "Connection.h"

inline QVariant fileScalar(const QString& db, const QString& sql) {
    SqliteConnection c(db);
    c.open();
    auto st = c.prepare(sql);
    return st->step() ? st->columnValue(0) : QVariant();
}
