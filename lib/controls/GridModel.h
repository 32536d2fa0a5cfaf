// The table model behind a data grid: the rows a dataset shows and the columns
// a window names (or the dataset's visible fields), read on demand.
//
// Only the cells Qt asks for are computed: a cell is one viewDisplayText() of
// its row, so a screen of a 1.5-million-row dataset costs a screen of rows.
// The model keeps its own row count, changed only when it tells the views, so
// views never see a count that moved without notice. The dataset tells of a
// change after making it; while the model tells the views beforehand
// (rowsAboutToBeInserted and the like), its rows are mapped back to the rows
// as they stood.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class DataSource;
class Dataset;
class Field;

// A column a window asks for: the field it shows, its title (empty: the
// field's label) and its width in pixels (0: the field's width in characters).
struct GridColumn {
    QString fieldName;
    QString title;
    int width = 0;
    // For a lookup column: the rows its drop-down offers, instead of the rows
    // its lookup dataset shows.
    Dataset* pickList = nullptr;
};

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(QObject* parent = nullptr);
    ~GridModel() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const;
    Dataset* dataset() const;
    // The dataset is there and open.
    bool isActive() const;

    // The window's columns; none: the dataset's visible fields.
    void setColumns(const QList<GridColumn>& columns);
    QList<GridColumn> columns() const { return m_windowColumns; }
    // Reads the columns' fields, labels and widths again (after a field was shown or hidden).
    void resetColumns();

    // The field a column shows; null when the dataset has no field of that name.
    Field* field(int column) const;
    // The field a cell editor writes: the column's own field, or a lookup column's key field.
    Field* editField(int column) const;
    QString title(int column) const;
    // The window's width in pixels, 0 when the width comes from the field.
    int widthPixels(int column) const;
    // The field's width in characters (a column without a field: a text field's usual width).
    int widthChars(int column) const;
    bool isLookup(int column) const;
    // The dataset whose rows a lookup column's drop-down offers.
    Dataset* pickList(int column) const;

    // Cells may be edited at all (the grid's options); each column also needs a writable field.
    void setEditable(bool on);
    bool isColumnEditable(int column) const;

    // The current row's value as typed into an editor (no display pattern).
    QString editText(int column) const;
    QVariant editKey(int column) const;
    // Write into the current row, putting the dataset into edit first. A value the
    // field cannot hold fails with the conversion's message; nothing is written.
    void writeText(int column, const QString& text);
    void writeKey(int column, const QVariant& key);

    // While a write is under way, a reset the dataset asks for waits until it ends,
    // so an editor being committed is not torn down under its own feet.
    void beginWrite();
    void endWrite();

    // The mark a row's indicator shows: the current row while browsing, editing, inserting.
    static QString browseMark();
    static QString editMark();
    static QString insertMark();

    // Told after the current row or the rows as a whole changed (sync the view's current cell).
    std::function<void()> onCurrentChanged;
    // Told when the dataset's state changed.
    std::function<void()> onStateChanged;
    // Told when values of the current row changed (one field, or all when null).
    std::function<void(Field*)> onRecordChanged;
    // The dataset settles: write what the editor holds into its field now.
    std::function<void()> onUpdateData;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Writes the current row's cell (EditRole); a conversion failure is thrown, not returned.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // The columns were resolved again (new fields, titles or widths).
    void columnsChanged();

private:
    class Link;
    class LookupWatch;
    friend class Link;
    friend class LookupWatch;
    struct Column {
        GridColumn def;
        Field* field = nullptr;
        Field* editField = nullptr;
        QString title;
        int widthChars = 0;
        bool numeric = false;
    };

    // A change of rows the dataset has made and the views are being told of.
    struct Shift {
        enum Kind { None, Insert, Remove, Move } kind = None;
        int first = 0;  // Insert, Remove: the first row; Move: where the row stood
        int count = 0;  // Insert, Remove
        int to = 0;     // Move: where it stands now
    };
    class ShiftScope;

    void resolveColumns();
    void reset(bool columnsToo);
    // True when a write or a reset is under way: the views hear of the rows after it.
    bool deferRows();
    void rowsInserted(int first, int count);
    void rowsRemoved(int first, int count);
    void rowStored(int from, int to);
    void removeModelRows(int first, int count);
    void rowChanged(int row);
    void rowsSettled();
    // The dataset's row of a model row, -1 for a row the dataset no longer has.
    int datasetRow(int row) const;
    void currentRowMoved();
    void stateChanged();
    void recordChanged(Field* field);
    void markRow(int row);
    void updateMark();
    // Lookup columns read other datasets; their changes show on every row.
    void watchLookups();
    void lookupsChanged();
    int currentRow() const;
    void checkWritable(int column) const;

    std::unique_ptr<Link> m_link;
    std::vector<std::unique_ptr<DataSource>> m_lookupSources;
    std::vector<std::unique_ptr<LookupWatch>> m_lookupWatches;
    QList<GridColumn> m_windowColumns;
    std::vector<Column> m_columns;
    int m_rowCount = 0;
    Shift m_shift;
    // A lookup column reads this dataset (through its lookups): a stored row shows on others.
    bool m_selfLookup = false;
    int m_markedRow = -1;
    bool m_editable = true;
    int m_writing = 0;
    bool m_resetPending = false;
    bool m_columnsPending = false;
    bool m_resetting = false;
};
