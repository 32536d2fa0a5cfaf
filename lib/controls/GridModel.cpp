// The grid's table model. The data link's notices arrive synchronously from the
// engine; each becomes the smallest model signal that keeps views right: open,
// close and a view changed as a whole reset; a new or cancelled pending row and
// a deleted row are rows inserted or removed; a stored row is dataChanged for
// its row, after a move when it went to another place in the order; a change
// in a lookup dataset is dataChanged for every row (views repaint only what is
// on screen); the marks are header changes. A count that does not add up
// resets.
#include "GridModel.h"

#include <algorithm>

#include "DataError.h"
#include "DataSource.h"
#include "Dataset.h"
#include "Field.h"

namespace {
// The width of a column without a field: the usual width of a text field.
constexpr int MissingFieldChars = 20;

bool isNumeric(FieldType t) {
    return t != FieldType::Text && t != FieldType::DateTime;
}

class WriteScope {
public:
    explicit WriteScope(GridModel* model) : m_model(model) { m_model->beginWrite(); }
    ~WriteScope() { m_model->endWrite(); }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;

private:
    GridModel* m_model;
};
}  // namespace

class GridModel::Link final : public DataLink {
public:
    explicit Link(GridModel* model) : m_model(model) {}

protected:
    void activeChanged() override { m_model->reset(true); }
    void dataSourceChanged() override { m_model->reset(true); }
    void rowsInserted(int first, int count) override { m_model->rowsInserted(first, count); }
    void rowsRemoved(int first, int count) override { m_model->rowsRemoved(first, count); }
    void rowStored(int from, int to) override { m_model->rowStored(from, to); }
    void viewReset() override { m_model->reset(false); }
    void recordMoved() override { m_model->currentRowMoved(); }
    void recordChanged(Field* field) override { m_model->recordChanged(field); }
    void stateChanged() override { m_model->stateChanged(); }
    void updateData() override {
        if (m_model->onUpdateData) m_model->onUpdateData();
    }

private:
    GridModel* m_model;
};

class GridModel::LookupWatch final : public DataLink {
public:
    explicit LookupWatch(GridModel* model) : m_model(model) {}

protected:
    void activeChanged() override { m_model->lookupsChanged(); }
    void dataSetChanged() override { m_model->lookupsChanged(); }

private:
    GridModel* m_model;
};

// Model rows are the rows as they stood before the change while the views are told of it.
class GridModel::ShiftScope {
public:
    ShiftScope(GridModel* model, Shift shift) : m_model(model) { m_model->m_shift = shift; }
    ~ShiftScope() { m_model->m_shift = Shift(); }
    ShiftScope(const ShiftScope&) = delete;
    ShiftScope& operator=(const ShiftScope&) = delete;

private:
    GridModel* m_model;
};

GridModel::GridModel(QObject* parent)
    : QAbstractTableModel(parent), m_link(std::make_unique<Link>(this)) {}

GridModel::~GridModel() {
    // The link's last notice must not reach a half-destroyed model.
    onCurrentChanged = nullptr;
    onStateChanged = nullptr;
    onRecordChanged = nullptr;
    onUpdateData = nullptr;
    m_lookupWatches.clear();
    m_lookupSources.clear();
    m_link.reset();
}

void GridModel::setDataSource(DataSource* source) {
    m_link->setDataSource(source);
}
DataSource* GridModel::dataSource() const {
    return m_link->dataSource();
}
Dataset* GridModel::dataset() const {
    return m_link->dataset();
}
bool GridModel::isActive() const {
    return m_link->isActive();
}

void GridModel::setColumns(const QList<GridColumn>& columns) {
    m_windowColumns = columns;
    reset(true);
}

void GridModel::resetColumns() {
    reset(true);
}

Field* GridModel::field(int column) const {
    if (column < 0 || column >= int(m_columns.size())) return nullptr;
    return m_columns[size_t(column)].field;
}

Field* GridModel::editField(int column) const {
    if (column < 0 || column >= int(m_columns.size())) return nullptr;
    return m_columns[size_t(column)].editField;
}

QString GridModel::title(int column) const {
    if (column < 0 || column >= int(m_columns.size())) return {};
    return m_columns[size_t(column)].title;
}

int GridModel::widthPixels(int column) const {
    if (column < 0 || column >= int(m_columns.size())) return 0;
    return m_columns[size_t(column)].def.width;
}

int GridModel::widthChars(int column) const {
    if (column < 0 || column >= int(m_columns.size())) return 0;
    return m_columns[size_t(column)].widthChars;
}

bool GridModel::isLookup(int column) const {
    const Field* f = field(column);
    return f && f->kind() == FieldKind::Lookup && f->lookupDataset();
}

Dataset* GridModel::pickList(int column) const {
    if (!isLookup(column)) return nullptr;
    Dataset* own = m_columns[size_t(column)].def.pickList;
    return own ? own : field(column)->lookupDataset();
}

void GridModel::setEditable(bool on) {
    if (on == m_editable) return;
    m_editable = on;
    if (m_rowCount > 0 && !m_columns.empty())
        emit dataChanged(index(0, 0), index(m_rowCount - 1, int(m_columns.size()) - 1));
}

bool GridModel::isColumnEditable(int column) const {
    if (!m_editable || !isActive() || dataset()->isReadOnly()) return false;
    const Field* f = field(column);
    const Field* target = editField(column);
    return f && target && target->kind() == FieldKind::Data && !target->isReadOnly() &&
           (f == target || isLookup(column));
}

QString GridModel::editText(int column) const {
    const Field* f = editField(column);
    return f && isActive() ? f->asString() : QString();
}

QVariant GridModel::editKey(int column) const {
    const Field* f = editField(column);
    return f && isActive() ? f->value() : QVariant();
}

void GridModel::checkWritable(int column) const {
    Field* target = editField(column);
    if (!target) {
        const Field* f = field(column);
        throw DataError(
            msg::fieldReadOnly(f ? f->name() : m_windowColumns.value(column).fieldName));
    }
}

void GridModel::writeText(int column, const QString& text) {
    checkWritable(column);
    WriteScope scope(this);
    if (!dataSource()->edit()) throw DataError(msg::notEditing());
    editField(column)->setAsString(text);
}

void GridModel::writeKey(int column, const QVariant& key) {
    checkWritable(column);
    WriteScope scope(this);
    if (!dataSource()->edit()) throw DataError(msg::notEditing());
    editField(column)->setValue(key);
}

void GridModel::beginWrite() {
    ++m_writing;
}

void GridModel::endWrite() {
    if (--m_writing > 0 || !m_resetPending) return;
    reset(m_columnsPending);
}

QString GridModel::browseMark() {
    return QStringLiteral("\u25B6");
}
QString GridModel::editMark() {
    return QStringLiteral("\u270E");
}
QString GridModel::insertMark() {
    return QStringLiteral("*");
}

// ---- notices

void GridModel::resolveColumns() {
    m_columns.clear();
    const Dataset* ds = dataset();
    auto describe = [](Column& c) {
        if (!c.field) {
            c.widthChars = MissingFieldChars;
            return;
        }
        c.widthChars = c.field->displayWidth();
        c.numeric = isNumeric(c.field->type());
        if (c.field->kind() == FieldKind::Data)
            c.editField = c.field;
        else if (c.field->kind() == FieldKind::Lookup)
            c.editField = c.field->dataset()->findField(c.field->keyFieldName());
    };
    if (!m_windowColumns.isEmpty()) {
        for (const GridColumn& def : m_windowColumns) {
            Column c;
            c.def = def;
            c.field = ds ? ds->findField(def.fieldName) : nullptr;
            c.title = !def.title.isEmpty() ? def.title
                      : c.field            ? c.field->displayLabel()
                                           : def.fieldName;
            describe(c);
            m_columns.push_back(c);
        }
        return;
    }
    if (!ds) return;
    for (int i = 0; i < ds->fieldCount(); ++i) {
        Field* f = ds->field(i);
        if (!f->isVisible()) continue;
        Column c;
        c.def.fieldName = f->name();
        c.field = f;
        c.title = f->displayLabel();
        describe(c);
        m_columns.push_back(c);
    }
}

void GridModel::reset(bool columnsToo) {
    if (m_writing > 0 || m_resetting) {
        m_resetPending = true;
        m_columnsPending = m_columnsPending || columnsToo;
        return;
    }
    m_resetting = true;
    do {
        columnsToo = columnsToo || m_columnsPending;
        m_resetPending = false;
        m_columnsPending = false;
        beginResetModel();
        if (columnsToo) {
            resolveColumns();
            watchLookups();
        }
        m_rowCount = isActive() ? dataset()->recordCount() : 0;
        m_markedRow = currentRow();
        endResetModel();
        if (columnsToo) emit columnsChanged();
        columnsToo = false;
    } while (m_resetPending);
    m_resetting = false;
    if (onCurrentChanged) onCurrentChanged();
}

void GridModel::watchLookups() {
    m_lookupWatches.clear();
    m_lookupSources.clear();
    m_selfLookup = false;
    // The lookup datasets of the columns, and the ones their results are looked up in.
    std::vector<Dataset*> watched;
    std::vector<Dataset*> pending;
    for (const Column& c : m_columns)
        if (c.field && c.field->kind() == FieldKind::Lookup && c.field->lookupDataset())
            pending.push_back(c.field->lookupDataset());
    while (!pending.empty()) {
        Dataset* ds = pending.back();
        pending.pop_back();
        if (ds == dataset()) m_selfLookup = true;
        if (ds == dataset() || std::find(watched.begin(), watched.end(), ds) != watched.end())
            continue;
        watched.push_back(ds);
        for (int i = 0; i < ds->fieldCount(); ++i)
            if (ds->field(i)->kind() == FieldKind::Lookup && ds->field(i)->lookupDataset())
                pending.push_back(ds->field(i)->lookupDataset());
    }
    for (Dataset* ds : watched) {
        auto source = std::make_unique<DataSource>();
        source->setDataset(ds);
        auto watch = std::make_unique<LookupWatch>(this);
        watch->setDataSource(source.get());
        m_lookupSources.push_back(std::move(source));
        m_lookupWatches.push_back(std::move(watch));
    }
}

void GridModel::lookupsChanged() {
    if (m_resetting || m_rowCount == 0 || m_columns.empty()) return;
    emit dataChanged(index(0, 0), index(m_rowCount - 1, int(m_columns.size()) - 1),
                     {Qt::DisplayRole, Qt::EditRole});
}

bool GridModel::deferRows() {
    if (m_writing == 0 && !m_resetting) return false;
    m_resetPending = true;
    return true;
}

void GridModel::rowsInserted(int first, int count) {
    if (deferRows()) return;
    if (!isActive() || count <= 0 || first < 0 || first > m_rowCount ||
        dataset()->recordCount() != m_rowCount + count)
        return reset(false);
    {
        ShiftScope shift(this, {Shift::Insert, first, count, 0});
        beginInsertRows(QModelIndex(), first, first + count - 1);
    }
    m_rowCount += count;
    endInsertRows();
    rowsSettled();
}

void GridModel::rowsRemoved(int first, int count) {
    if (deferRows()) return;
    if (!isActive() || count <= 0 || first < 0 || first + count > m_rowCount ||
        dataset()->recordCount() != m_rowCount - count)
        return reset(false);
    removeModelRows(first, count);
    rowsSettled();
}

void GridModel::removeModelRows(int first, int count) {
    {
        ShiftScope shift(this, {Shift::Remove, first, count, 0});
        beginRemoveRows(QModelIndex(), first, first + count - 1);
    }
    m_rowCount -= count;
    endRemoveRows();
}

void GridModel::rowStored(int from, int to) {
    if (deferRows()) return;
    const int count = isActive() ? dataset()->recordCount() : 0;
    if (!isActive() || from < 0 || from >= m_rowCount || count != m_rowCount - (to < 0 ? 1 : 0) ||
        to >= count)
        return reset(false);
    if (to < 0) {
        removeModelRows(from, 1);
    } else {
        if (to != from) {
            bool moving;
            {
                ShiftScope shift(this, {Shift::Move, from, 0, to});
                moving = beginMoveRows(QModelIndex(), from, from, QModelIndex(),
                                       to > from ? to + 1 : to);
            }
            if (!moving) return reset(false);
            endMoveRows();
        }
        rowChanged(to);
    }
    if (m_selfLookup) lookupsChanged();
    rowsSettled();
}

void GridModel::rowChanged(int row) {
    if (!m_columns.empty()) emit dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
}

void GridModel::rowsSettled() {
    updateMark();
    if (onCurrentChanged) onCurrentChanged();
}

int GridModel::datasetRow(int row) const {
    switch (m_shift.kind) {
        case Shift::None:
            break;
        case Shift::Insert:
            return row < m_shift.first ? row : row + m_shift.count;
        case Shift::Remove:
            if (row < m_shift.first) return row;
            return row < m_shift.first + m_shift.count ? -1 : row - m_shift.count;
        case Shift::Move: {
            if (row == m_shift.first) return m_shift.to;
            const int without = row > m_shift.first ? row - 1 : row;
            return without >= m_shift.to ? without + 1 : without;
        }
    }
    return row;
}

void GridModel::currentRowMoved() {
    updateMark();
    if (onCurrentChanged) onCurrentChanged();
}

void GridModel::stateChanged() {
    updateMark();
    if (onStateChanged) onStateChanged();
}

void GridModel::recordChanged(Field* field) {
    const int row = currentRow();
    if (row >= 0 && row < m_rowCount && !m_columns.empty())
        emit dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1),
                         {Qt::DisplayRole, Qt::EditRole});
    if (onRecordChanged) onRecordChanged(field);
}

void GridModel::markRow(int row) {
    if (row >= 0 && row < m_rowCount) emit headerDataChanged(Qt::Vertical, row, row);
}

void GridModel::updateMark() {
    const int old = m_markedRow;
    m_markedRow = currentRow();
    markRow(old);
    if (m_markedRow != old) markRow(m_markedRow);
}

int GridModel::currentRow() const {
    return isActive() ? dataset()->recNo() : -1;
}

// ---- the model

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rowCount;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= int(m_columns.size())) return {};
    const Column& c = m_columns[size_t(index.column())];
    switch (role) {
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (c.numeric ? Qt::AlignRight : Qt::AlignLeft));
        case Qt::DisplayRole:
        case Qt::EditRole:
            break;
        default:
            return {};
    }
    const int row = datasetRow(index.row());
    if (!c.field || !isActive() || row < 0) return {};
    // A row whose lookups or calculation fail shows empty cells while painting;
    // moving to the row reports the failure to whoever moved.
    try {
        if (role == Qt::DisplayRole) return dataset()->viewDisplayText(row, c.field);
        return c.field->format(dataset()->viewValue(row, c.field));
    } catch (const DataError&) {
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole && section >= 0 && section < int(m_columns.size()))
            return m_columns[size_t(section)].title;
        return {};
    }
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignCenter);
    const int row = datasetRow(section);
    if (role != Qt::DisplayRole || row < 0 || row != currentRow()) return {};
    const Dataset* ds = dataset();
    if (ds->isPendingRow(row)) return insertMark();
    return ds->state() == DatasetState::Edit ? editMark() : browseMark();
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isColumnEditable(index.column())) f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() != currentRow() ||
        !isColumnEditable(index.column()))
        return false;
    if (isLookup(index.column()))
        writeKey(index.column(), value);
    else
        writeText(index.column(), value.toString());
    return true;
}
