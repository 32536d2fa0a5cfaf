// What a text editor remembers of the text its field last refused (a date that
// does not exist): the refusal is reported once, the editor then waits with
// the text selected, and writing the same text again ends the operation
// without a second message. The bound edits and the grid's cells share it.
#pragma once

#include <QLineEdit>
#include <QString>
#include <QTimer>
#include <optional>

#include "Messages.h"

class RefusedText {
public:
    // Writes the editor's text through `write`; a failure is remembered and goes on.
    template <typename Write>
    void write(QLineEdit* editor, Write&& write) {
        const QString text = editor->text();
        if (m_text == text) throw platform::SilentAbort();
        try {
            write(text);
        } catch (...) {
            m_text = text;
            // Once the message is closed the text waits, selected, to be corrected.
            QTimer::singleShot(0, editor, [editor] {
                editor->setFocus(Qt::OtherFocusReason);
                editor->selectAll();
            });
            throw;
        }
    }
    // The text changed or was replaced: a refusal of it no longer stands.
    void forget() { m_text.reset(); }

private:
    std::optional<QString> m_text;
};
