// Binds a line edit to one field: the behaviour a bound edit and the text
// part of a bound choice box share.
//
// Typing puts the dataset into edit first, so the typed character lands in
// the pending row's text; a character the field cannot hold is refused with a
// beep; Esc shows the field's value again; the text is written when the
// editor loses the focus within its window or the dataset settles. Without a
// window limit the length is the text field's size.
//
// A text the field refuses (a date that does not exist) is reported once; the
// focus then returns to the editor with the text selected, and writing the
// same text again ends the operation without a second message.
#pragma once

#include <QObject>
#include <QString>

#include "FieldLink.h"
#include "RefusedText.h"

class DataSource;
class QLineEdit;

class EditBinding : public QObject {
    Q_OBJECT
public:
    explicit EditBinding(QLineEdit* editor);
    // The widget that takes the focus and the keys for the editor (a choice
    // box for its line edit) and hands them on without event filters.
    void setFocusProxy(QWidget* proxy);

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataField(const QString& name);
    QString dataField() const { return m_link.fieldName(); }
    Field* field() const { return m_link.field(); }
    FieldLink& link() { return m_link; }

    // The window's own limit; 0 takes the text field's size.
    void setMaxLength(int length);
    int maxLength() const { return m_maxLength; }
    void setReadOnly(bool on);
    bool isReadOnly() const { return m_readOnly; }

    // Shows the field's value again, dropping what was typed.
    void reset();
    // Writes the typed text into the field, if it changed.
    void commit() { m_link.writeNow(); }
    // Called by the owner when its text was changed other than by typing
    // (a choice from a list): puts the dataset into edit and marks the text.
    bool beginChange();
    void markChanged();

    // Whether the field could hold this character.
    bool accepts(QChar c) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showValue();
    void writeText();
    void commitLeaving();
    void applyLimits();
    bool canChange() const;

    QLineEdit* m_editor;
    QWidget* m_proxy = nullptr;
    FieldLink m_link;
    int m_maxLength = 0;
    bool m_readOnly = false;
    bool m_showing = false;
    RefusedText m_refused;
};
