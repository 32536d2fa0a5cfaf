// Which keys change the text of a line edit: the bound edits and the grid's
// cell editors put the dataset into edit before such a key lands.
#pragma once

#include <QKeyEvent>

inline bool changesText(const QKeyEvent* key) {
    if (key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut) ||
        key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
        key->matches(QKeySequence::DeleteEndOfWord) ||
        key->matches(QKeySequence::DeleteStartOfWord))
        return true;
    if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete) return true;
    const QString text = key->text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}
