// A field of a dataset: a data column, a value looked up in another dataset,
// or a value set by the dataset's calculation hook.
//
// A field reads and writes the dataset's active row: the current row while
// browsing, the pending row while editing or inserting, the row being
// calculated while lookups and the calculation hook run. Values speak QVariant
// of the field's type (QString, int, QDate, double); text is shown and parsed
// in the short Russian form dd.MM.yyyy for dates.
#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

#include "FieldType.h"

class Dataset;

class Field {
public:
    Field(Dataset* dataset, int index, QString name, FieldKind kind, FieldType type, int size);
    Field(const Field&) = delete;
    Field& operator=(const Field&) = delete;

    // Declaration; each returns the field so declarations read as one statement.
    Field& setObjectName(const QString& name);
    Field& setLabel(const QString& label);
    Field& setDisplayWidth(int chars);
    Field& setVisible(bool visible);
    Field& setRequired(bool required);
    Field& setReadOnly(bool readOnly);
    // A number pattern such as "#" (digits only; 0 and empty both show as empty).
    Field& setDisplayFormat(const QString& pattern);
    // The value is `resultField` of the first row of `dataset` whose `lookupKeyField`
    // equals this dataset's `keyField`.
    Field& setLookup(Dataset* dataset, const QString& keyField, const QString& lookupKeyField,
                     const QString& resultField);

    Dataset* dataset() const { return m_dataset; }
    int index() const { return m_index; }
    const QString& name() const { return m_name; }
    const QString& objectName() const { return m_objectName; }
    FieldKind kind() const { return m_kind; }
    FieldType type() const { return m_type; }
    int size() const { return m_size; }
    QString label() const { return m_label; }
    // The label a grid titles the field with: its own, else its name.
    QString displayLabel() const { return m_label.isEmpty() ? m_name : m_label; }
    // Grid width in characters: its own, else the text size or the type's usual width.
    int displayWidth() const;
    bool isVisible() const { return m_visible; }
    bool isRequired() const { return m_required; }
    // Counters and lookups are never written by the program; nor is a field declared read-only.
    bool isReadOnly() const;
    QString displayFormat() const { return m_displayFormat; }
    Dataset* lookupDataset() const { return m_lookupDataset; }
    QString keyFieldName() const { return m_keyField; }
    QString lookupKeyFieldName() const { return m_lookupKeyField; }
    QString lookupResultFieldName() const { return m_lookupResultField; }
    bool isCalculated() const { return m_kind != FieldKind::Data; }

    // The active row's value.
    QVariant value() const;
    bool isNull() const;
    QString asString() const;
    int asInteger() const;
    QDate asDate() const;
    // The text a control shows: with the display pattern when the field has one.
    QString displayText() const;

    // Writing needs the dataset in edit or insert state (or, for a calculated
    // field, in its calculation hook). Conversion failures carry the user's text.
    void setValue(const QVariant& v);
    void setAsString(const QString& text);
    void clear() { setValue(QVariant()); }

    // Converts a value to the field's type: text is cut to the size, empty text
    // and invalid values become null. Fails with the conversion's message.
    QVariant convert(const QVariant& v) const;
    // A value of the field's type as text (dates dd.MM.yyyy) and as shown.
    QString format(const QVariant& v) const;
    QString formatDisplay(const QVariant& v) const;

    // The storage column of a data field, -1 until the dataset opens.
    int column() const { return m_column; }
    // Names match without regard to letter case, Cyrillic included.
    bool hasName(const QString& name) const;

private:
    friend class Dataset;
    void setColumn(int column) { m_column = column; }
    Dataset* m_dataset;
    int m_index;
    QString m_name;
    QString m_objectName;
    FieldKind m_kind;
    FieldType m_type;
    int m_size;
    QString m_label;
    int m_displayWidth = 0;
    bool m_visible = true;
    bool m_required = false;
    bool m_readOnly = false;
    QString m_displayFormat;
    Dataset* m_lookupDataset = nullptr;
    QString m_keyField;
    QString m_lookupKeyField;
    QString m_lookupResultField;
    int m_column = -1;
};

// Formats a number with a pattern of '#' and '0' digit places, an optional '.'
// and ',' for thousands: "#" gives digits only and an empty text for 0.
QString formatNumber(double v, const QString& pattern);
// Parses dd.MM.yyyy (also d.M.yyyy); an invalid QDate when it is not a date.
QDate parseShortDate(const QString& text);
// The short Russian form dd.MM.yyyy, whatever the machine's locale.
QString formatShortDate(const QDate& date);
