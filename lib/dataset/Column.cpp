// Typed column storage; see Column.h for the layout and its costs.
#include "Column.h"

#include <QDateTime>
#include <QHashFunctions>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "Connection.h"

QString fieldTypeName(FieldType t) {
    switch (t) {
        case FieldType::Text: return QStringLiteral("text");
        case FieldType::Integer: return QStringLiteral("integer");
        case FieldType::SmallInt: return QStringLiteral("small integer");
        case FieldType::DateTime: return QStringLiteral("date-time");
        case FieldType::Counter: return QStringLiteral("counter");
        case FieldType::Float: return QStringLiteral("float");
    }
    return {};
}

std::shared_ptr<Column> Column::create(FieldType type) {
    switch (type) {
        case FieldType::Text: return std::make_shared<TextColumn>();
        case FieldType::DateTime: return std::make_shared<DateColumn>();
        case FieldType::Float: return std::make_shared<FloatColumn>();
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::Counter: break;
    }
    return std::make_shared<IntColumn>(type);
}

namespace {
bool isNullVariant(const QVariant& v) { return !v.isValid() || v.isNull(); }

template <typename T>
int cmp(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

bool bit(const std::vector<uint64_t>& bits, Row row) { return (bits[row >> 6] >> (row & 63)) & 1u; }

void pushBit(std::vector<uint64_t>& bits, size_t index, bool on) {
    if ((index & 63) == 0) bits.push_back(0);
    if (on) bits[index >> 6] |= uint64_t(1) << (index & 63);
}

void setBit(std::vector<uint64_t>& bits, Row row, bool on) {
    const uint64_t mask = uint64_t(1) << (row & 63);
    if (on)
        bits[row >> 6] |= mask;
    else
        bits[row >> 6] &= ~mask;
}

// Both null: equal; one null: it sorts first. Returns 2 when neither is null.
int compareNulls(bool a, bool b) {
    if (a && b) return 0;
    if (a) return -1;
    if (b) return 1;
    return 2;
}
}  // namespace

// ---- integers

void IntColumn::reserve(size_t n) {
    m_values.reserve(n);
    m_nulls.reserve(n / 64 + 1);
}

void IntColumn::push(int32_t v, bool null) {
    pushBit(m_nulls, m_values.size(), null);
    m_values.push_back(null ? 0 : v);
}

QVariant IntColumn::value(Row row) const {
    if (isNull(row)) return {};
    return QVariant(int(m_values[row]));
}

void IntColumn::append(const QVariant& v) { push(v.toInt(), isNullVariant(v)); }

void IntColumn::set(Row row, const QVariant& v) {
    const bool null = isNullVariant(v);
    m_values[row] = null ? 0 : v.toInt();
    setBit(m_nulls, row, null);
}

void IntColumn::appendFrom(Statement& st, int col) {
    // Most values are integers other than 0, and one call settles them (SQLite reads
    // a number stored as text, or a fraction, as its integer part).
    const int64_t v = st.columnInt64(col);
    if (v != 0) return push(int32_t(v), false);
    switch (st.columnType(col)) {
        case Statement::ValueType::Integer: return push(int32_t(st.columnInt64(col)), false);
        case Statement::ValueType::Float: return push(int32_t(std::lround(st.columnDouble(col))), false);
        case Statement::ValueType::Text: {
            // SQLite keeps whatever was written; text that is not a number reads as null.
            bool ok = false;
            const auto t = st.columnText8(col);
            const int v = QByteArray::fromRawData(t.data(), qsizetype(t.size())).trimmed().toInt(&ok);
            return push(v, !ok);
        }
        default: return push(0, true);
    }
}

int IntColumn::compare(Row a, Row b) const {
    const int n = compareNulls(isNull(a), isNull(b));
    return n != 2 ? n : cmp(m_values[a], m_values[b]);
}

int IntColumn::compareValue(Row a, const QVariant& v) const {
    const int n = compareNulls(isNull(a), isNullVariant(v));
    return n != 2 ? n : cmp<int64_t>(m_values[a], v.toLongLong());
}

std::vector<int64_t> IntColumn::sortKeys() const {
    std::vector<int64_t> keys(m_values.size());
    for (size_t i = 0; i < keys.size(); ++i)
        keys[i] = bit(m_nulls, Row(i)) ? INT64_MIN : int64_t(m_values[i]);
    return keys;
}

// ---- floats

void FloatColumn::reserve(size_t n) {
    m_values.reserve(n);
    m_nulls.reserve(n / 64 + 1);
}

void FloatColumn::push(double v, bool null) {
    pushBit(m_nulls, m_values.size(), null);
    m_values.push_back(null ? 0.0 : v);
}

QVariant FloatColumn::value(Row row) const {
    if (isNull(row)) return {};
    return QVariant(m_values[row]);
}

void FloatColumn::append(const QVariant& v) { push(v.toDouble(), isNullVariant(v)); }

void FloatColumn::set(Row row, const QVariant& v) {
    const bool null = isNullVariant(v);
    m_values[row] = null ? 0.0 : v.toDouble();
    setBit(m_nulls, row, null);
}

void FloatColumn::appendFrom(Statement& st, int col) {
    switch (st.columnType(col)) {
        case Statement::ValueType::Integer:
        case Statement::ValueType::Float: return push(st.columnDouble(col), false);
        case Statement::ValueType::Text: {
            bool ok = false;
            const auto t = st.columnText8(col);
            const double v = QByteArray(t.data(), qsizetype(t.size())).trimmed().toDouble(&ok);
            return push(v, !ok);
        }
        default: return push(0, true);
    }
}

int FloatColumn::compare(Row a, Row b) const {
    const int n = compareNulls(isNull(a), isNull(b));
    return n != 2 ? n : cmp(m_values[a], m_values[b]);
}

int FloatColumn::compareValue(Row a, const QVariant& v) const {
    const int n = compareNulls(isNull(a), isNullVariant(v));
    return n != 2 ? n : cmp(m_values[a], v.toDouble());
}

std::vector<int64_t> FloatColumn::sortKeys() const {
    // Rank the values: doubles do not map to integers in order directly.
    std::vector<Row> idx(m_values.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::stable_sort(idx.begin(), idx.end(), [this](Row a, Row b) { return compare(a, b) < 0; });
    std::vector<int64_t> keys(m_values.size());
    int64_t rank = 0;
    for (size_t i = 0; i < idx.size(); ++i) {
        if (i > 0 && compare(idx[i - 1], idx[i]) != 0) ++rank;
        keys[idx[i]] = rank;
    }
    return keys;
}

// ---- dates

int64_t DateColumn::encode(const QVariant& v) {
    if (isNullVariant(v)) return Null;
    if (v.typeId() == QMetaType::QDateTime) {
        const QDateTime dt = v.toDateTime();
        if (!dt.isValid()) return Null;
        return dt.date().toJulianDay() * 86400 + dt.time().msecsSinceStartOfDay() / 1000;
    }
    const QDate d = v.toDate();
    return d.isValid() ? d.toJulianDay() * 86400 : Null;
}

namespace {
// Julian day of a proleptic Gregorian date, in integers (days from civil, shifted to JD).
int64_t julianDay(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 2440588;
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}
}  // namespace

int64_t DateColumn::parseIso(const char* s, int len) {
    auto digits = [&](int pos, int count, int& out) {
        if (pos + count > len) return false;
        out = 0;
        for (int i = pos; i < pos + count; ++i) {
            if (s[i] < '0' || s[i] > '9') return false;
            out = out * 10 + (s[i] - '0');
        }
        return true;
    };
    int y, m, d;
    if (len < 10 || !digits(0, 4, y) || s[4] != '-' || !digits(5, 2, m) || s[7] != '-' ||
        !digits(8, 2, d))
        return Null;
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m)) return Null;
    int64_t secs = 0;
    int hh, mm, ss = 0;
    if (len >= 16 && (s[10] == ' ' || s[10] == 'T') && digits(11, 2, hh) && s[13] == ':' &&
        digits(14, 2, mm)) {
        if (len >= 19 && s[16] == ':') digits(17, 2, ss);
        if (hh < 24 && mm < 60 && ss < 60) secs = hh * 3600 + mm * 60 + ss;
    }
    return julianDay(y, m, d) * 86400 + secs;
}

QString DateColumn::toIso(int64_t v) {
    const QDate date = toDate(v);
    const int secs = int(v % 86400);
    if (secs == 0) return date.toString(Qt::ISODate);
    return date.toString(Qt::ISODate) + QLatin1Char(' ') +
           QTime::fromMSecsSinceStartOfDay(secs * 1000).toString(QStringLiteral("HH:mm:ss"));
}

QVariant DateColumn::value(Row row) const {
    if (isNull(row)) return {};
    return QVariant(toDate(m_values[row]));
}

void DateColumn::appendFrom(Statement& st, int col) {
    if (st.columnType(col) != Statement::ValueType::Text) {
        m_values.push_back(Null);
        return;
    }
    const auto t = st.columnText8(col);
    m_values.push_back(parseIso(t.data(), int(t.size())));
}

int DateColumn::compare(Row a, Row b) const { return cmp(m_values[a], m_values[b]); }

int DateColumn::compareValue(Row a, const QVariant& v) const { return cmp(m_values[a], encode(v)); }

// ---- text

int TextColumn::compareText(QStringView a, QStringView b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    if (c != 0) return c < 0 ? -1 : 1;
    const int s = a.compare(b, Qt::CaseSensitive);
    return s < 0 ? -1 : (s > 0 ? 1 : 0);
}

QStringView TextColumn::string(uint32_t id) const {
    if (id == 0) return {};
    const uint32_t from = m_offsets[id - 1];
    return QStringView(m_pool.data() + from, qsizetype(m_offsets[id] - from));
}

uint32_t TextColumn::find(QStringView s) const {
    if (m_slots.empty()) return 0;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = qHash(s) & mask;; i = (i + 1) & mask) {
        const uint32_t id = m_slots[i];
        if (id == 0) return 0;
        if (string(id) == s) return id;
    }
}

void TextColumn::grow() {
    std::vector<uint32_t> table(m_slots.empty() ? 64 : m_slots.size() * 2, 0);
    const size_t mask = table.size() - 1;
    for (uint32_t id = 1; id < distinctCount(); ++id) {
        size_t i = qHash(string(id)) & mask;
        while (table[i] != 0) i = (i + 1) & mask;
        table[i] = id;
    }
    m_slots.swap(table);
}

uint32_t TextColumn::intern(QStringView s) {
    if (s.isNull()) return 0;
    if (2 * (size_t(distinctCount()) + 1) > m_slots.size()) grow();
    const size_t mask = m_slots.size() - 1;
    size_t i = qHash(s) & mask;
    for (; m_slots[i] != 0; i = (i + 1) & mask)
        if (string(m_slots[i]) == s) return m_slots[i];
    m_pool.insert(m_pool.end(), s.utf16(), s.utf16() + s.size());
    m_offsets.push_back(uint32_t(m_pool.size()));
    const uint32_t id = distinctCount() - 1;
    m_slots[i] = id;
    return id;
}

QVariant TextColumn::value(Row row) const {
    if (m_ids[row] == 0) return {};
    return QVariant(text(row).toString());
}

namespace {
QStringView textOf(const QVariant& v, QString& holder) {
    if (isNullVariant(v)) return {};
    holder = v.toString();
    if (holder.isEmpty()) return {};  // empty text is stored as null
    return holder;
}
}  // namespace

void TextColumn::append(const QVariant& v) {
    QString holder;
    m_ids.push_back(intern(textOf(v, holder)));
}

void TextColumn::set(Row row, const QVariant& v) {
    QString holder;
    m_ids[row] = intern(textOf(v, holder));
}

void TextColumn::appendFrom(Statement& st, int col) {
    if (st.columnType(col) == Statement::ValueType::Null) {
        m_ids.push_back(0);
        return;
    }
    const auto t = st.columnText8(col);
    if (t.empty()) {
        m_ids.push_back(0);
        return;
    }
    if (m_lastId != 0 && t == m_lastText) {
        m_ids.push_back(m_lastId);
        return;
    }
    bool ascii = true;
    for (char c : t) ascii = ascii && (static_cast<unsigned char>(c) < 0x80);
    uint32_t id;
    if (ascii) {
        m_buffer.assign(t.begin(), t.end());
        id = intern(QStringView(m_buffer.data(), qsizetype(m_buffer.size())));
    } else {
        id = intern(QString::fromUtf8(t.data(), qsizetype(t.size())));
    }
    m_lastText.assign(t);
    m_lastId = id;
    m_ids.push_back(id);
}

int TextColumn::compare(Row a, Row b) const {
    const uint32_t ia = m_ids[a], ib = m_ids[b];
    if (ia == ib) return 0;
    const int n = compareNulls(ia == 0, ib == 0);
    return n != 2 ? n : compareText(string(ia), string(ib));
}

int TextColumn::compareValue(Row a, const QVariant& v) const {
    QString holder;
    const QStringView s = textOf(v, holder);
    const int n = compareNulls(m_ids[a] == 0, s.isNull());
    return n != 2 ? n : compareText(text(a), s);
}

std::vector<uint32_t> TextColumn::ranks() const {
    // Sort the distinct strings once; every row then takes its string's rank.
    std::vector<uint32_t> ids(distinctCount() - 1);
    std::iota(ids.begin(), ids.end(), 1);
    std::sort(ids.begin(), ids.end(),
              [this](uint32_t a, uint32_t b) { return compareText(string(a), string(b)) < 0; });
    std::vector<uint32_t> rank(distinctCount(), 0);
    for (size_t i = 0; i < ids.size(); ++i) rank[ids[i]] = uint32_t(i) + 1;
    return rank;
}

std::vector<int64_t> TextColumn::sortKeys() const {
    const std::vector<uint32_t> rank = ranks();
    std::vector<int64_t> keys(m_ids.size());
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = rank[m_ids[i]];
    return keys;
}
