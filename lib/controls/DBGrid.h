// The data grid: the rows of one data source's dataset in a table, the
// dataset's current row marked, moved by clicks and keys, and edited in place
// (typing, Insert, appending past the last row, Ctrl+Del), with a drop-down
// of the lookup list for lookup columns. Where rows are typed into, Tab
// passes over the columns that take no typing.
//
// The dataset is the one truth about the current row: every click and key
// that moves asks the dataset to move (it settles first), and the view's
// current cell follows the dataset's notices. Failures reach the caller.
#pragma once

#include <QPointer>
#include <QTableView>

#include "GridModel.h"
#include "RefusedText.h"

class DataSource;
class Field;
class GridDelegate;
class QComboBox;
class QKeyEvent;

class DBGrid : public QTableView {
    Q_OBJECT
public:
    enum Option {
        RowSelect = 0x01,      // the whole row is marked; no cell editing, inserting or appending
        Editing = 0x02,        // typing edits; Insert inserts; Down past the last row appends
        ReadOnly = 0x04,       // no editing, inserting or deleting
        ConfirmDelete = 0x08,  // Ctrl+Del asks "Delete record?" first
        CancelOnExit = 0x10,   // focus leaving the grid cancels an untouched new row
        AlwaysShowEditor = 0x20,  // the cell editor opens when the grid gets focus
        Indicator = 0x40,         // a narrow header marks the current row and its state
    };
    Q_DECLARE_FLAGS(Options, Option)
    Q_FLAG(Options)

    static constexpr Options DefaultOptions{Editing, ConfirmDelete, CancelOnExit, Indicator};
    // Pixels added to a column's width in characters, for the cell's margins.
    static constexpr int CellPadding = 4;

    explicit DBGrid(QWidget* parent = nullptr);
    ~DBGrid() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const;
    // The window's columns; none: the dataset's visible fields under their labels.
    void setColumns(const QList<GridColumn>& columns);
    QList<GridColumn> columns() const;
    // Reads the columns again: a field shown or hidden, a label changed.
    void resetColumns();
    GridModel* gridModel() const { return m_model; }

    Options options() const { return m_options; }
    void setOptions(Options options);
    void setOption(Option option, bool on = true);
    bool testOption(Option option) const { return m_options.testFlag(option); }

    // The field of the current column; null when it has none.
    Field* selectedField() const;
    // The open cell editor (a line edit, or a drop-down for a lookup column); null when none.
    QWidget* editor() const { return m_editor; }
    // Writes the open editor's text into its field (the dataset goes into edit first).
    // A text the field cannot hold fails with the conversion's message; the editor
    // then stays open with the text and the row stays pending.
    void commitEditor();

    void keyboardSearch(const QString& search) override;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class GridDelegate;

    bool canEditCells() const;
    bool canInsertRows() const;
    bool canDeleteRows() const;
    void applyOptions();
    void applyMetrics();
    void applyWidths();
    void columnsChanged();
    void syncCurrent(int column = -1);
    // Makes a row of the view current; the settling of a pending row may move
    // rows, so the target is followed to where it then stands.
    void moveToRow(int row);
    void moveDown();
    bool navigationKey(QKeyEvent* event);
    void moveColumn(int step);
    void insertRow();
    void deleteRow();
    void cancelEdit();
    void openEditor();
    void closeOpenEditor();
    bool editorModified() const;
    void reloadEditor();
    // Writes the editor's text for a key; false (the failure shown) when it was refused.
    bool commitEditorFromKey();
    // Puts the dataset into edit before a key changes the editor's text; false
    // (with a beep) when the key is refused.
    bool beginEditing(const QKeyEvent* key);
    bool keyFitsColumn(const QKeyEvent* key, int column) const;
    // A key pressed in the cell editor; true when the grid handled it.
    bool editorKeyPress(QKeyEvent* event);
    void lookupChosen(QComboBox* box);
    void recordChanged(Field* field);
    void focusChanged(QWidget* old, QWidget* now);
    void cancelUntouchedRow();
    bool ownsWidget(const QWidget* widget) const;
    int pageRows() const;

    GridModel* m_model;
    GridDelegate* m_delegate;
    Options m_options = DefaultOptions;
    QPointer<QWidget> m_editor;
    int m_editorColumn = -1;
    std::vector<int> m_userWidths;
    bool m_syncing = false;
    bool m_writingEditor = false;
    RefusedText m_refusedText;
    bool m_reloadingEditor = false;
    bool m_applyingWidths = false;
    bool m_snapQueued = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(DBGrid::Options)
