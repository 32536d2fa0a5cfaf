// Key indexes (see KeyIndex.h) and the searches that use them: a lookup
// field's value, and Dataset::lookup. A key is converted the way a field of
// the key column would read it: text from dates in dd.MM.yyyy, integers from
// trimmed text.
#include "KeyIndex.h"

#include "Dataset.h"
#include "RowOrder.h"

KeyIndexes::Index& KeyIndexes::indexFor(int column) {
    for (auto& ix : m_indexes)
        if (ix->column == column) return *ix;
    m_indexes.push_back(std::make_unique<Index>());
    m_indexes.back()->column = column;
    return *m_indexes.back();
}

Row KeyIndexes::find(const Column& col, int columnIndex, const RowOrder& order, quint64 rowsStamp,
                     const QVariant& value) {
    Index& index = indexFor(columnIndex);
    if (index.stamp != rowsStamp) {
        // Every row counts, whatever the view; the first in order wins.
        index.numbers.clear();
        index.byTextId.clear();
        if (col.type() == FieldType::Text) {
            const auto& text = static_cast<const TextColumn&>(col);
            index.byTextId.assign(text.distinctCount(), NoRow);
            for (Row r : order.rows()) {
                Row& slot = index.byTextId[text.id(r)];
                if (slot == NoRow) slot = r;
            }
        } else if (col.type() != FieldType::Float) {
            const std::vector<int64_t> keys = col.sortKeys();
            for (Row r : order.rows())
                if (!col.isNull(r)) index.numbers.try_emplace(keys[r], r);
        }
        index.stamp = rowsStamp;
    }
    switch (col.type()) {
        case FieldType::Text: {
            const auto& text = static_cast<const TextColumn&>(col);
            const QString s = value.typeId() == QMetaType::QDate ? formatShortDate(value.toDate())
                                                                 : value.toString();
            const uint32_t id = s.isEmpty() ? 0 : text.find(s);
            return id == 0 || id >= index.byTextId.size() ? NoRow : index.byTextId[id];
        }
        case FieldType::Float:
            for (Row r : order.rows())
                if (!col.isNull(r) && col.compareValue(r, value) == 0) return r;
            return NoRow;
        case FieldType::DateTime: {
            const int64_t k = DateColumn::encode(value);
            auto it = index.numbers.find(k);
            return it == index.numbers.end() ? NoRow : it->second;
        }
        default: {
            bool ok = false;
            const qlonglong n = value.typeId() == QMetaType::QString
                                    ? value.toString().trimmed().toLongLong(&ok)
                                    : value.toLongLong(&ok);
            if (!ok) return NoRow;
            auto it = index.numbers.find(n);
            return it == index.numbers.end() ? NoRow : it->second;
        }
    }
}

// ---- the dataset's searches

Row Dataset::findByKey(const Field* keyField, const QVariant& value) {
    if (!isActive() || keyField->kind() != FieldKind::Data || value.isNull()) return NoRow;
    const int column = keyField->column();
    return m_indexes.find(m_snapshot.column(size_t(column)), column, m_order, m_rowsStamp, value);
}

QVariant Dataset::lookup(const QString& keyField, const QVariant& keyValue,
                         const QString& resultField) {
    checkActive();
    const Field& key = fieldByName(keyField);
    const Field& result = fieldByName(resultField);
    if (key.kind() != FieldKind::Data)
        throw DataError(
            QStringLiteral("Cannot search on the calculated field '%1'").arg(key.name()));
    const Row r = findByKey(&key, keyValue);
    return r == NoRow ? QVariant() : rowValue(r, &result);
}
