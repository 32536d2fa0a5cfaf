// Lists of names and the characters of a name, as the engine's texts write
// them: "Fam;Name" for field lists, ":NAME" for parameters, NAME in filters.
// Both are linear in the text and allocate only the names they return.
#pragma once

#include <QChar>
#include <QStringList>

// The names of a list separated by ';', each trimmed; empty ones are dropped.
QStringList splitNames(const QString& names);

// Letters (any script), digits and the underscore.
inline bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}
