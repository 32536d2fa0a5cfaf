// The data grid. Qt's view machinery moves its current index and commits its
// editors on its own; the grid takes those paths over so that the dataset
// decides: clicks and navigation keys become dataset moves, and the editor's
// text is written by the grid (never from inside the view's commitData, which
// a thrown failure would leave half done), so a failure reaches the caller of
// the key or click and the editor stays open.
#include "DBGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>
#include <QTimer>

#include "DataError.h"
#include "DataSource.h"
#include "Dataset.h"
#include "Field.h"
#include "KeyText.h"
#include "Messages.h"

namespace {
const char* const LoadedProperty = "gridEditorLoaded";
}  // namespace

// Creates the cell editors and hands their keys to the grid. It never writes
// into the model itself (setModelData is empty): the grid writes the text.
class GridDelegate final : public QStyledItemDelegate {
public:
    explicit GridDelegate(DBGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        GridModel* model = m_grid->m_model;
        const int column = index.column();
        QWidget* editor = nullptr;
        if (model->isLookup(column)) {
            auto* box = new QComboBox(parent);
            fillLookupList(box, model->field(column), model->pickList(column));
            DBGrid* grid = m_grid;
            QObject::connect(box, &QComboBox::activated, grid,
                             [grid, box](int) { grid->lookupChosen(box); });
            editor = box;
        } else {
            auto* line = new QLineEdit(parent);
            line->setFrame(false);
            const Field* f = model->editField(column);
            if (f && f->type() == FieldType::Text && f->size() > 0) line->setMaxLength(f->size());
            DBGrid* grid = m_grid;
            QObject::connect(line, &QLineEdit::textChanged, grid,
                             [grid] { grid->m_refusedText.forget(); });
            QObject::connect(line, &QLineEdit::textEdited, grid,
                             [line] { dropControlCharacters(line); });
            editor = line;
        }
        editor->setAccessibleName(model->title(column));
        editor->setProperty(LoadedProperty, false);
        m_grid->m_editor = editor;
        m_grid->m_editorColumn = column;
        return editor;
    }

    // Qt reloads editors whenever their row changes; the grid reloads them only
    // for a change of their own field, so typed text survives other changes.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (editor->property(LoadedProperty).toBool() && !m_grid->m_reloadingEditor) return;
        editor->setProperty(LoadedProperty, true);
        GridModel* model = m_grid->m_model;
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            const QVariant key = model->editKey(index.column());
            box->setCurrentIndex(key.isNull() ? -1 : box->findData(key));
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(model->editText(index.column()));
            line->setModified(false);
        }
    }

    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
        if (editor == m_grid->m_editor) {
            m_grid->m_editor = nullptr;
            m_grid->m_editorColumn = -1;
            m_grid->m_refusedText.forget();
        }
        QStyledItemDelegate::destroyEditor(editor, index);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
                return m_grid->editorKeyPress(static_cast<QKeyEvent*>(event));
            case QEvent::FocusOut:
                // The editor keeps its text when focus leaves; settling writes it.
                return false;
            default:
                return QStyledItemDelegate::eventFilter(object, event);
        }
    }

private:
    // The rows the list shows, in its order: each row's result under its key.
    static void fillLookupList(QComboBox* box, const Field* lookupField, Dataset* list) {
        if (!lookupField || !list || !list->isActive()) return;
        const Field* key = list->findField(lookupField->lookupKeyFieldName());
        const Field* result = list->findField(lookupField->lookupResultFieldName());
        if (!key || !result) return;
        const int count = list->recordCount();
        for (int i = 0; i < count; ++i)
            if (!list->isPendingRow(i))
                box->addItem(list->viewDisplayText(i, result), list->viewValue(i, key));
    }

    DBGrid* m_grid;
};

DBGrid::DBGrid(QWidget* parent)
    : QTableView(parent), m_model(new GridModel(this)), m_delegate(new GridDelegate(this)) {
    setModel(m_model);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(true);
    setSortingEnabled(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setHighlightSections(false);
    // Uniform row heights: Qt then asks only for the rows on screen.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionsClickable(false);
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->viewport()->installEventFilter(this);

    m_model->onCurrentChanged = [this] { syncCurrent(); };
    m_model->onRecordChanged = [this](Field* f) { recordChanged(f); };
    m_model->onUpdateData = [this] { commitEditor(); };
    connect(m_model, &GridModel::columnsChanged, this, &DBGrid::columnsChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DBGrid::applyWidths);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) {
                if (m_applyingWidths || logical < 0) return;
                if (size_t(logical) >= m_userWidths.size())
                    m_userWidths.resize(size_t(logical) + 1);
                m_userWidths[size_t(logical)] = size;
            });
    connect(qApp, &QApplication::focusChanged, this, &DBGrid::focusChanged);
    applyMetrics();
    applyOptions();
}

DBGrid::~DBGrid() {
    // Focus moves while the widget parts are destroyed; the grid part is gone by then.
    disconnect(qApp, nullptr, this, nullptr);
    // The model outlives the view's last moments; its notices must not reach the grid.
    m_model->onCurrentChanged = nullptr;
    m_model->onRecordChanged = nullptr;
    m_model->onUpdateData = nullptr;
}

void DBGrid::setDataSource(DataSource* source) {
    m_model->setDataSource(source);
}
DataSource* DBGrid::dataSource() const {
    return m_model->dataSource();
}
void DBGrid::setColumns(const QList<GridColumn>& columns) {
    m_model->setColumns(columns);
}
QList<GridColumn> DBGrid::columns() const {
    return m_model->columns();
}
void DBGrid::resetColumns() {
    m_model->resetColumns();
}

void DBGrid::setOptions(Options options) {
    m_options = options;
    applyOptions();
}

void DBGrid::setOption(Option option, bool on) {
    setOptions(m_options.setFlag(option, on));
}

Field* DBGrid::selectedField() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? m_model->field(current.column()) : nullptr;
}

void DBGrid::keyboardSearch(const QString&) {
    // Searching would move the current index past the dataset.
}

// ---- options and looks

bool DBGrid::canEditCells() const {
    return testOption(Editing) && !testOption(ReadOnly) && !testOption(RowSelect);
}

bool DBGrid::canInsertRows() const {
    const Dataset* ds = m_model->dataset();
    return canEditCells() && ds && ds->isActive() && !ds->isReadOnly();
}

bool DBGrid::canDeleteRows() const {
    const Dataset* ds = m_model->dataset();
    return !testOption(ReadOnly) && ds && ds->isActive() && !ds->isReadOnly() && !ds->isEmpty();
}

void DBGrid::applyOptions() {
    const bool rows = testOption(RowSelect);
    setSelectionBehavior(rows ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    EditTriggers triggers = NoEditTriggers;
    if (canEditCells()) {
        triggers = AnyKeyPressed | EditKeyPressed | DoubleClicked;
        if (testOption(AlwaysShowEditor)) triggers |= CurrentChanged;
    }
    setEditTriggers(triggers);
    verticalHeader()->setVisible(testOption(Indicator));
    m_model->setEditable(canEditCells());
    if (!canEditCells()) closeOpenEditor();
    syncCurrent();
}

void DBGrid::applyMetrics() {
    const QFontMetrics fm = fontMetrics();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fm.height() + 6);
    verticalHeader()->setFixedWidth(fm.horizontalAdvance(GridModel::browseMark()) + 10);
    applyWidths();
}

void DBGrid::columnsChanged() {
    m_userWidths.clear();
    applyWidths();
}

void DBGrid::applyWidths() {
    QScopedValueRollback guard(m_applyingWidths, true);
    const int average = fontMetrics().averageCharWidth();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        int width = size_t(c) < m_userWidths.size() ? m_userWidths[size_t(c)] : 0;
        if (width <= 0) width = m_model->widthPixels(c);
        if (width <= 0) width = m_model->widthChars(c) * average + CellPadding;
        horizontalHeader()->resizeSection(c, width);
    }
}

void DBGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) applyMetrics();
}

// ---- the current row

void DBGrid::syncCurrent(int column) {
    QScopedValueRollback guard(m_syncing, true);
    const Dataset* ds = m_model->dataset();
    const int row = m_model->isActive() ? ds->recNo() : -1;
    const int columns = m_model->columnCount();
    if (row < 0 || row >= m_model->rowCount() || columns == 0) {
        if (currentIndex().isValid()) selectionModel()->clear();
        return;
    }
    if (column < 0) column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex target = m_model->index(row, qBound(0, column, columns - 1));
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
    if (testOption(RowSelect)) flags |= QItemSelectionModel::Rows;
    selectionModel()->setCurrentIndex(target, flags);
    scrollTo(target);
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid() || !m_model->isActive()) return;
    // Only the dataset moves rows; anything else that moved the view is undone.
    if (current.row() != m_model->dataset()->recNo() && !m_snapQueued) {
        m_snapQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_snapQueued = false;
            syncCurrent();
        });
    }
}

void DBGrid::moveToRow(int row) {
    Dataset* ds = m_model->dataset();
    if (!ds || !ds->isActive()) return;
    const int current = ds->recNo();
    if (row < 0 || row == current || row >= ds->recordCount()) return;
    // The dataset lands on the row shown there now, wherever settling the pending row puts it.
    ds->setRecNo(row);
}

void DBGrid::moveDown() {
    Dataset* ds = m_model->dataset();
    const int current = ds->recNo();
    if (current < ds->recordCount() - 1) return moveToRow(current + 1);
    if (!canInsertRows()) return;
    // An untouched new row at the end is not followed by another.
    if (ds->state() == DatasetState::Insert && !ds->isModified() && !editorModified()) return;
    ds->append();
}

int DBGrid::pageRows() const {
    const int rowHeight = qMax(1, verticalHeader()->defaultSectionSize());
    return qMax(1, viewport()->height() / rowHeight);
}

bool DBGrid::navigationKey(QKeyEvent* event) {
    Dataset* ds = m_model->dataset();
    if (!ds || !ds->isActive()) return false;
    const int current = ds->recNo();
    switch (event->key()) {
        case Qt::Key_Up:
            moveToRow(current - 1);
            return true;
        case Qt::Key_Down:
            moveDown();
            return true;
        case Qt::Key_PageUp:
            moveToRow(qMax(0, current - pageRows()));
            return true;
        case Qt::Key_PageDown:
            moveToRow(qMin(ds->recordCount() - 1, current + pageRows()));
            return true;
        case Qt::Key_Home:
            ds->first();
            return true;
        case Qt::Key_End:
            ds->last();
            return true;
        default:
            return false;
    }
}

void DBGrid::moveColumn(int step) {
    const int columns = m_model->columnCount();
    const QModelIndex current = currentIndex();
    int next = (current.isValid() ? current.column() : 0) + step;
    // Where rows are typed into, a column that takes no typing (a counter, a
    // calculated value) is no stop for Tab.
    if (canInsertRows())
        while (next >= 0 && next < columns && !m_model->isColumnEditable(next)) next += step;
    if (testOption(RowSelect) || next < 0 || next >= columns) {
        closeOpenEditor();
        QAbstractScrollArea::focusNextPrevChild(step > 0);
        return;
    }
    syncCurrent(next);
}

// ---- keys and mouse

void DBGrid::keyPressEvent(QKeyEvent* event) {
    if (navigationKey(event)) return;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
        case Qt::Key_Insert:
            if (event->modifiers() == Qt::NoModifier) return insertRow();
            break;
        case Qt::Key_Delete:
            if (ctrl) return deleteRow();
            break;
        case Qt::Key_Escape:
            return cancelEdit();
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return openEditor();
        case Qt::Key_Tab:
        case Qt::Key_Backtab: {
            const bool back =
                event->key() == Qt::Key_Backtab || event->modifiers().testFlag(Qt::ShiftModifier);
            return moveColumn(back ? -1 : 1);
        }
        default:
            break;
    }
    QTableView::keyPressEvent(event);
}

bool DBGrid::editorKeyPress(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool line = qobject_cast<QLineEdit*>(m_editor.data()) != nullptr;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!commitEditorFromKey()) return true;
            if (!testOption(AlwaysShowEditor)) closeOpenEditor();
            return true;
        case Qt::Key_Escape:
            cancelEdit();
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (!commitEditorFromKey()) return true;
            moveColumn(event->key() == Qt::Key_Backtab ||
                               event->modifiers().testFlag(Qt::ShiftModifier)
                           ? -1
                           : 1);
            return true;
        case Qt::Key_Insert:
            if (event->modifiers() != Qt::NoModifier) break;
            insertRow();
            return true;
        case Qt::Key_Delete:
            if (!ctrl) break;
            deleteRow();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            // A drop-down moves through its list; a line edit leaves them to the grid.
            if (!line) return false;
            return navigationKey(event);
        default:
            break;
    }
    if (line && changesText(event)) return !beginEditing(event);
    return false;
}

void DBGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QModelIndex hit = indexAt(pos);
    if (!hit.isValid() || !m_model->isActive()) {
        event->accept();
        return;
    }
    Dataset* ds = m_model->dataset();
    if (hit.row() != ds->recNo()) {
        moveToRow(hit.row());
        // Settling moved rows: the clicked row is current but no longer under the mouse.
        if (indexAt(pos).row() != ds->recNo()) {
            syncCurrent(hit.column());
            event->accept();
            return;
        }
    } else if (m_editor && hit.column() != m_editorColumn) {
        commitEditor();
    } else if (m_editor) {
        m_editor->setFocus(Qt::MouseFocusReason);
    }
    QTableView::mousePressEvent(event);
}

void DBGrid::mouseMoveEvent(QMouseEvent* event) {
    // Dragging would carry the current index over rows the dataset did not move to.
    if (event->buttons() != Qt::NoButton) {
        event->accept();
        return;
    }
    QTableView::mouseMoveEvent(event);
}

bool DBGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == verticalHeader()->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton) {
            setFocus(Qt::MouseFocusReason);
            const int row = verticalHeader()->logicalIndexAt(me->position().toPoint().y());
            if (row >= 0) moveToRow(row);
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

void DBGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    if (testOption(AlwaysShowEditor) && !m_editor) openEditor();
}

void DBGrid::focusChanged(QWidget* old, QWidget* now) {
    if (!testOption(CancelOnExit) || !now || !ownsWidget(old) || ownsWidget(now)) return;
    // Cancelling runs hooks that may fail; a failure must not unwind through Qt's focus change.
    QMetaObject::invokeMethod(this, &DBGrid::cancelUntouchedRow, Qt::QueuedConnection);
}

void DBGrid::cancelUntouchedRow() {
    Dataset* ds = m_model->dataset();
    if (!ds || ds->state() != DatasetState::Insert || ds->isModified() || editorModified()) return;
    if (ownsWidget(QApplication::focusWidget())) return;
    ds->cancel();
}

bool DBGrid::ownsWidget(const QWidget* widget) const {
    // Walks past window boundaries too: a drop-down's list is a window of the editor.
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w == this) return true;
    return false;
}

// ---- editing

bool DBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!index.isValid() || !canEditCells() || !m_model->isActive() ||
        !m_model->isColumnEditable(index.column()) || index.row() != m_model->dataset()->recNo())
        return false;
    if (trigger == CurrentChanged && !ownsWidget(QApplication::focusWidget())) return false;
    if (trigger == AnyKeyPressed && event && event->type() == QEvent::KeyPress &&
        !m_model->isLookup(index.column())) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!keyFitsColumn(key, index.column())) {
            QApplication::beep();
            return true;
        }
        if (!beginEditing(key)) return true;
    }
    return QTableView::edit(index, trigger, event);
}

void DBGrid::openEditor() {
    const QModelIndex current = currentIndex();
    if (current.isValid() && !m_editor) edit(current, AllEditTriggers, nullptr);
}

void DBGrid::closeOpenEditor() {
    if (m_editor) closeEditor(m_editor, QAbstractItemDelegate::NoHint);
}

bool DBGrid::editorModified() const {
    const auto* line = qobject_cast<const QLineEdit*>(m_editor.data());
    return line && line->isModified();
}

void DBGrid::reloadEditor() {
    if (!m_editor || !m_model->isActive()) return;
    QScopedValueRollback guard(m_reloadingEditor, true);
    m_delegate->setEditorData(m_editor,
                              m_model->index(m_model->dataset()->recNo(), m_editorColumn));
}

bool DBGrid::keyFitsColumn(const QKeyEvent* key, int column) const {
    const Field* f = m_model->editField(column);
    const QString text = key->text();
    if (!f || text.isEmpty() || key->matches(QKeySequence::Paste)) return true;
    for (const QChar c : text) {
        bool fits = true;
        switch (f->type()) {
            case FieldType::Integer:
            case FieldType::SmallInt:
            case FieldType::Counter:
                fits = c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('+');
                break;
            case FieldType::Float:
                fits = c.isDigit() || QStringLiteral("-+.,eE").contains(c);
                break;
            case FieldType::DateTime:
                fits = c.isDigit() || c == QLatin1Char('.');
                break;
            case FieldType::Text:
                break;
        }
        if (!fits && c.isPrint()) return false;
    }
    return true;
}

bool DBGrid::beginEditing(const QKeyEvent* key) {
    if (key && m_editor && !keyFitsColumn(key, m_editorColumn)) {
        QApplication::beep();
        return false;
    }
    Dataset* ds = m_model->dataset();
    if (!ds || !ds->isActive()) return false;
    if (ds->isEditing()) return true;
    if (m_model->dataSource()->edit()) return true;
    QApplication::beep();
    return false;
}

void DBGrid::commitEditor() {
    auto* line = qobject_cast<QLineEdit*>(m_editor.data());
    if (!line || !line->isModified() || m_writingEditor) return;
    QPointer<QLineEdit> guarded(line);
    {
        QScopedValueRollback guard(m_writingEditor, true);
        m_refusedText.write(line,
                            [this](const QString& text) { m_model->writeText(m_editorColumn, text); });
    }
    if (!guarded) return;
    guarded->setModified(false);
    // Shows the text as the field keeps it (a date typed 1.2.2024 reads 01.02.2024).
    if (guarded == m_editor) reloadEditor();
}

bool DBGrid::commitEditorFromKey() {
    // A failure would unwind through Qt's key dispatch; it is shown here, once.
    return platform::reportingFailures([this] {
        commitEditor();
        return true;
    });
}

void DBGrid::lookupChosen(QComboBox* box) {
    if (box != m_editor || box->currentIndex() < 0) return;
    {
        QScopedValueRollback guard(m_writingEditor, true);
        m_model->writeKey(m_editorColumn, box->currentData());
    }
    if (!testOption(AlwaysShowEditor)) closeOpenEditor();
}

void DBGrid::recordChanged(Field* field) {
    if (!m_editor || m_writingEditor) return;
    if (!field || field == m_model->editField(m_editorColumn) ||
        field == m_model->field(m_editorColumn))
        reloadEditor();
}

void DBGrid::cancelEdit() {
    if (m_editor && editorModified()) {
        reloadEditor();
        if (!testOption(AlwaysShowEditor)) closeOpenEditor();
        return;
    }
    if (!testOption(AlwaysShowEditor)) closeOpenEditor();
    Dataset* ds = m_model->dataset();
    if (ds && ds->isEditing()) ds->cancel();
}

void DBGrid::insertRow() {
    if (!canInsertRows()) return;
    m_model->dataset()->insert();
}

void DBGrid::deleteRow() {
    if (!canDeleteRows()) return;
    if (testOption(ConfirmDelete) &&
        platform::ask(QStringLiteral("Delete record?"), platform::Buttons::OkCancel, this) !=
            platform::Answer::Ok)
        return;
    // Whatever the editor holds belongs to the row going away.
    closeOpenEditor();
    m_model->dataset()->remove();
}
