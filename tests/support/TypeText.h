// Types text of any script into a widget as key presses, each carrying its
// character, as a keyboard with that layout sends them. QTest::keyClicks
// takes only Latin-1 characters.
#pragma once

#include <QTest>

inline void typeText(QWidget* widget, const QString& text,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    for (const QChar c : text) {
        const auto code = Qt::Key(c.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Press, widget, code, QString(c), modifiers);
        QTest::sendKeyEvent(QTest::Release, widget, code, QString(c), modifiers);
    }
}
