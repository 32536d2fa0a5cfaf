// Which keys change the text of a line edit: the bound edits and the grid's
// cell editors put the dataset into edit before such a key lands. A typed
// control character never lands; a pasted one is dropped the same way.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

// A shortcut (Ctrl+V) carries a letter as its text on some keyboards; only a
// plain key types its character.
inline bool typesCharacter(const QKeyEvent* key) {
    const QString text = key->text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

inline bool changesText(const QKeyEvent* key) {
    if (key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut) ||
        key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
        key->matches(QKeySequence::DeleteEndOfWord) ||
        key->matches(QKeySequence::DeleteStartOfWord))
        return true;
    if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete) return true;
    return typesCharacter(key);
}

// Tabs and line breaks from a paste would be stored in a one-line text and
// break its printouts: they are dropped with a beep, the rest of the paste
// kept. True when some were dropped.
inline bool dropControlCharacters(QLineEdit* line) {
    QString text = line->text();
    int cursor = line->cursorPosition();
    bool dropped = false;
    for (qsizetype i = text.size(); i-- > 0;)
        if (text.at(i).category() == QChar::Other_Control) {
            text.remove(i, 1);
            if (i < cursor) --cursor;
            dropped = true;
        }
    if (!dropped) return false;
    line->setText(text);
    line->setCursorPosition(cursor);
    // The text is still the user's own, not the field's.
    line->setModified(true);
    QApplication::beep();
    return true;
}
