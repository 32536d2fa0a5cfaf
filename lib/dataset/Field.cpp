// Field declarations, conversions and text forms. A field holds no value of
// its own: reading and writing go through its dataset's active row, so a field
// costs a name and a few flags whatever the number of rows.
#include "Field.h"

#include <QRegularExpression>
#include <cmath>

#include "DataError.h"
#include "Dataset.h"

Field::Field(Dataset* dataset, int index, QString name, FieldKind kind, FieldType type, int size)
    : m_dataset(dataset),
      m_index(index),
      m_name(std::move(name)),
      m_kind(kind),
      m_type(type),
      m_size(size) {}

Field& Field::setObjectName(const QString& name) {
    m_objectName = name;
    return *this;
}
Field& Field::setLabel(const QString& label) {
    m_label = label;
    return *this;
}
Field& Field::setDisplayWidth(int chars) {
    m_displayWidth = chars;
    return *this;
}
Field& Field::setVisible(bool visible) {
    m_visible = visible;
    return *this;
}
Field& Field::setRequired(bool required) {
    m_required = required;
    return *this;
}
Field& Field::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    return *this;
}
Field& Field::setDisplayFormat(const QString& pattern) {
    m_displayFormat = pattern;
    return *this;
}
Field& Field::setLookup(Dataset* dataset, const QString& keyField, const QString& lookupKeyField,
                        const QString& resultField) {
    m_lookupDataset = dataset;
    m_keyField = keyField;
    m_lookupKeyField = lookupKeyField;
    m_lookupResultField = resultField;
    m_dataset->lookupsDeclared();
    return *this;
}

int Field::displayWidth() const {
    if (m_displayWidth > 0) return m_displayWidth;
    switch (m_type) {
        case FieldType::Text: return m_size > 0 ? m_size : 20;
        case FieldType::SmallInt: return 6;
        case FieldType::DateTime: return 10;
        case FieldType::Integer:
        case FieldType::Counter:
        case FieldType::Float: break;
    }
    return 11;
}

bool Field::isReadOnly() const {
    return m_readOnly || m_type == FieldType::Counter || m_kind == FieldKind::Lookup;
}

bool Field::hasName(const QString& name) const {
    return QString::compare(m_name, name, Qt::CaseInsensitive) == 0;
}

QVariant Field::value() const { return m_dataset->activeValue(this); }
bool Field::isNull() const { return value().isNull(); }
QString Field::asString() const { return format(value()); }
int Field::asInteger() const { return value().toInt(); }
QDate Field::asDate() const { return value().toDate(); }
QString Field::displayText() const { return formatDisplay(value()); }

void Field::setValue(const QVariant& v) { m_dataset->setActiveValue(this, convert(v)); }

void Field::setAsString(const QString& text) { setValue(QVariant(text)); }

namespace {
bool isBlank(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return true;
    return v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty();
}
}  // namespace

QVariant Field::convert(const QVariant& v) const {
    if (m_type == FieldType::Text) {
        if (!v.isValid() || v.isNull()) return {};
        QString s = v.typeId() == QMetaType::QDate ? formatShortDate(v.toDate()) : v.toString();
        if (s.isEmpty()) return {};
        if (m_size > 0 && s.size() > m_size) s.truncate(m_size);
        return s;
    }
    if (isBlank(v)) return {};
    switch (m_type) {
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::Counter: {
            qlonglong n = 0;
            bool ok = false;
            if (v.typeId() == QMetaType::QString) {
                // A typed number is read as a 32-bit one first, whatever the column's own
                // range: beyond that it is no integer at all, within it a value out of range.
                n = v.toString().trimmed().toLongLong(&ok);
                if (!ok || n < INT32_MIN || n > INT32_MAX)
                    throw DataError(msg::invalidInteger(v.toString()));
            } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
                const double d = v.toDouble();
                ok = std::isfinite(d);
                n = ok ? std::llround(d) : 0;
                if (!ok) throw DataError(msg::invalidInteger(v.toString()));
            } else {
                n = v.toLongLong(&ok);
                if (!ok) throw DataError(msg::invalidInteger(v.toString()));
            }
            const qlonglong lo = m_type == FieldType::SmallInt ? -32768 : INT32_MIN;
            const qlonglong hi = m_type == FieldType::SmallInt ? 32767 : INT32_MAX;
            if (n < lo || n > hi)
                throw DataError(QStringLiteral("%1 is not a valid value for field '%2'. "
                                               "The allowed range is %3 to %4")
                                    .arg(n)
                                    .arg(displayLabel())
                                    .arg(lo)
                                    .arg(hi));
            return QVariant(int(n));
        }
        case FieldType::Float: {
            bool ok = false;
            double d = 0;
            if (v.typeId() == QMetaType::QString) {
                QString s = v.toString().trimmed();
                s.replace(QLatin1Char(','), QLatin1Char('.'));
                d = s.toDouble(&ok);
            } else {
                d = v.toDouble(&ok);
            }
            if (!ok) throw DataError(msg::invalidFloat(v.toString()));
            return QVariant(d);
        }
        case FieldType::DateTime: {
            if (v.typeId() == QMetaType::QDate) return v;
            if (v.typeId() == QMetaType::QDateTime) return QVariant(v.toDateTime().date());
            const QString s = v.toString().trimmed();
            QDate d = parseShortDate(s);
            if (!d.isValid()) d = QDate::fromString(s, Qt::ISODate);
            if (!d.isValid()) throw DataError(msg::invalidDate(v.toString()));
            return QVariant(d);
        }
        case FieldType::Text: break;
    }
    return {};
}

QString Field::format(const QVariant& v) const {
    if (!v.isValid() || v.isNull()) return {};
    switch (m_type) {
        case FieldType::DateTime: return formatShortDate(v.toDate());
        case FieldType::Float: return QString::number(v.toDouble(), 'g', 15);
        default: return v.toString();
    }
}

QString Field::formatDisplay(const QVariant& v) const {
    if (m_displayFormat.isEmpty() || m_type == FieldType::Text || m_type == FieldType::DateTime)
        return format(v);
    if (!v.isValid() || v.isNull()) return {};
    return formatNumber(v.toDouble(), m_displayFormat);
}

QDate parseShortDate(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch()) return {};
    return QDate(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
}

QString formatShortDate(const QDate& date) { return date.toString(QStringLiteral("dd.MM.yyyy")); }

QString formatNumber(double v, const QString& pattern) {
    // Digit places before and after the point; '0' forces a digit, '#' shows one only if needed.
    const int point = pattern.indexOf(QLatin1Char('.'));
    const QString intPart = point < 0 ? pattern : pattern.left(point);
    const QString fracPart = point < 0 ? QString() : pattern.mid(point + 1);
    const int minInt = int(intPart.count(QLatin1Char('0')));
    const int maxFrac = int(fracPart.count(QLatin1Char('0')) + fracPart.count(QLatin1Char('#')));
    const int minFrac = int(fracPart.count(QLatin1Char('0')));
    const bool thousands = intPart.contains(QLatin1Char(','));

    const bool negative = v < 0;
    QString digits = QString::number(std::fabs(v), 'f', maxFrac);
    QString whole = digits.section(QLatin1Char('.'), 0, 0);
    QString frac = maxFrac > 0 ? digits.section(QLatin1Char('.'), 1, 1) : QString();
    while (frac.size() > minFrac && frac.endsWith(QLatin1Char('0'))) frac.chop(1);
    if (whole == QLatin1String("0") && minInt == 0) whole.clear();
    while (whole.size() < minInt) whole.prepend(QLatin1Char('0'));
    if (thousands)
        for (int i = int(whole.size()) - 3; i > 0; i -= 3) whole.insert(i, QLatin1Char(' '));
    QString out = whole;
    if (!frac.isEmpty()) out += QLatin1Char(',') + frac;
    if (out.isEmpty()) return {};
    return negative ? QLatin1Char('-') + out : out;
}
