// A line edit bound to a field. The order matters when the dataset is empty:
// putting it into edit inserts a row, which shows the new row's empty value,
// so the dataset goes into edit before the key reaches the editor.
#include "EditBinding.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "Dataset.h"
#include "Field.h"
#include "KeyText.h"
#include "Messages.h"

EditBinding::EditBinding(QLineEdit* editor) : QObject(editor), m_editor(editor) {
    m_link.onDataChange = [this] { showValue(); };
    m_link.onUpdateData = [this] { writeText(); };
    m_link.onStateChange = [this] { applyLimits(); };
    editor->installEventFilter(this);
    // Text changed by the mouse (a paste from the context menu) starts editing too.
    connect(editor, &QLineEdit::textEdited, this, [this](QString typed) {
        m_refused.forget();
        if (dropControlCharacters(m_editor)) typed = m_editor->text();
        if (m_showing) return;
        if (!m_link.isEditing()) {
            if (!beginChange()) {
                showValue();
                QApplication::beep();
                return;
            }
            if (m_editor->text() != typed) m_editor->setText(typed);
        }
        markChanged();
    });
    showValue();
}

void EditBinding::setDataSource(DataSource* source) {
    m_link.setDataSource(source);
    applyLimits();
}

void EditBinding::setDataField(const QString& name) {
    m_link.setFieldName(name);
    applyLimits();
}

void EditBinding::setMaxLength(int length) {
    m_maxLength = length;
    applyLimits();
}

void EditBinding::setReadOnly(bool on) {
    m_readOnly = on;
    applyLimits();
}

void EditBinding::reset() {
    m_link.setModified(false);
    showValue();
    m_editor->selectAll();
}

bool EditBinding::canChange() const {
    if (m_readOnly || !m_link.isBound() || m_link.isReadOnlyField()) return false;
    const Dataset* ds = m_link.dataset();
    return ds && !ds->isReadOnly();
}

bool EditBinding::beginChange() {
    if (!canChange()) return false;
    return m_link.edit();
}

void EditBinding::markChanged() {
    if (m_link.isBound()) m_link.setModified(true);
}

bool EditBinding::accepts(QChar c) const {
    const Field* f = m_link.field();
    if (!f) return false;
    switch (f->type()) {
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::Counter: return c.isDigit() || c == u'-' || c == u'+';
        case FieldType::Float: return c.isDigit() || c == u'-' || c == u'+' || c == u'.' || c == u',' || c == u'e' || c == u'E';
        case FieldType::DateTime: return c.isDigit() || c == u'.' || c == u' ' || c == u':';
        case FieldType::Text: return true;
    }
    return true;
}

void EditBinding::showValue() {
    m_refused.forget();
    m_showing = true;
    const Field* f = m_link.field();
    QString text;
    if (f) text = m_editor->hasFocus() && m_link.isEditing() ? f->asString() : f->displayText();
    if (m_editor->text() != text) m_editor->setText(text);
    m_showing = false;
}

void EditBinding::writeText() {
    Field* f = m_link.field();
    if (!f) return;
    m_refused.write(m_editor, [f](const QString& text) { f->setAsString(text); });
}

void EditBinding::commitLeaving() {
    // A failure here would unwind through the focus change; it is shown at once instead.
    if (platform::reportingFailures([this] {
            commit();
            return true;
        }))
        showValue();
}

void EditBinding::applyLimits() {
    const Field* f = m_link.field();
    int limit = m_maxLength;
    if (limit <= 0 && f && f->type() == FieldType::Text && f->size() > 0) limit = f->size();
    // Setting either again would drop the editor's selection.
    const int length = limit > 0 ? limit : 32767;
    if (m_editor->maxLength() != length) m_editor->setMaxLength(length);
    if (m_editor->isReadOnly() == canChange()) m_editor->setReadOnly(!canChange());
}

void EditBinding::setFocusProxy(QWidget* proxy) {
    m_proxy = proxy;
    proxy->installEventFilter(this);
}

bool EditBinding::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_editor && (m_proxy == nullptr || watched != m_proxy)) return false;
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) {
                if (m_link.isModified()) {
                    reset();
                    return true;
                }
                return false;
            }
            if (!changesText(key)) return false;
            if (!canChange()) {
                QApplication::beep();
                return true;
            }
            if (typesCharacter(key) && !accepts(key->text().at(0))) {
                QApplication::beep();
                return true;
            }
            // A failure to start editing reaches the general error display.
            if (!m_link.edit()) return true;
            return false;
        }
        case QEvent::FocusOut: {
            // Another window taking the focus (a message box, a menu) leaves the text
            // where it is: the user has not left the control.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                commitLeaving();
            return false;
        }
        case QEvent::FocusIn:
            // Typed text not yet written (it was refused) is kept for correcting.
            if (!m_link.isModified()) showValue();
            return false;
        default: return false;
    }
}
