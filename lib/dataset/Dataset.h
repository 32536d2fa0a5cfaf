// A dataset: a snapshot of the rows of a table or a statement, one current
// row, and the operations that browse and change it.
//
// Invariants and costs:
// - Opening reads every row once into typed columns (Column.h); the snapshot
//   then changes only by this dataset's own posts and deletes, each written to
//   the database at once (autocommit). Others' changes appear after reopening.
// - Rows are identified for UPDATE and DELETE by the hidden key (SQLite rowid),
//   so two equal rows are changed one at a time. Every value is a bound
//   parameter; no SQL text is built from values.
// - The order is every live row sorted by the order columns (or the sort), ties
//   in reading order. The view is what the user sees: the rows matching the
//   master's current link values (a range of the order found by binary search
//   when the order starts with the link columns) and the filter (a list built by
//   one pass over that range). A pending inserted row is shown at its position.
// - Lookups search all rows of the lookup dataset, whatever view is in force,
//   through a hash index per key column built on first use after a change; they
//   are computed for a row when it becomes current, when a grid reads it (no
//   caching beyond the row last read, kept until this dataset or one its
//   lookups read changes) and while a field of a pending row changes, unless
//   the dataset keeps its lookups while editing.
// - Settling (before every move, insert, append, filter, sort and master move):
//   details settle first, bound controls write their text, then the pending row
//   is posted if modified, else cancelled. A failure leaves the row pending and
//   the operation undone.
// - Hooks are plain callables; anything they throw reaches the caller.
// - Data sources hear of each change after it is made: a row inserted into or
//   removed from the view, a pending row stored (where it stood, where it
//   stands now), or the view changed as a whole.
//
// The units: FieldInference (fields from columns), Snapshot (reading, sharing,
// copy on write), RowOrder (sort and order), View (master range and filter),
// MasterLink, KeyIndex (lookup searches), Values (records and calculation),
// Locate, SqlWriter, Editing; Dataset.cpp keeps the states,
// settling, moves and notifications.
#pragma once

#include <QObject>
#include <QStringList>
#include <QVarLengthArray>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "Column.h"
#include "DataError.h"
#include "DataSource.h"
#include "Field.h"
#include "KeyIndex.h"
#include "RowOrder.h"
#include "Snapshot.h"
#include "View.h"

class Connection;
class Filter;
class MasterLink;
class SqlWriter;
class Statement;

enum class DatasetState { Inactive, Browse, Edit, Insert };

enum class LocateOption { CaseInsensitive = 1, PartialKey = 2 };
Q_DECLARE_FLAGS(LocateOptions, LocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(LocateOptions)

struct Bookmark {
    Row row = NoRow;
    quint64 generation = 0;
    bool isValid() const { return row != NoRow; }
};

class Dataset : public QObject {
    Q_OBJECT
public:
    explicit Dataset(QObject* parent = nullptr);
    ~Dataset() override;

    void setConnection(Connection* connection);
    Connection* connection() const { return m_connection; }

    // ---- fields (declared while the dataset is closed; none declared: every column)
    Field& addDataField(const QString& name, FieldType type, int size = 0);
    Field& addLookupField(const QString& name, FieldType type, int size, Dataset* lookupDataset,
                          const QString& keyField, const QString& lookupKeyField,
                          const QString& resultField);
    Field& addCalculatedField(const QString& name, FieldType type, int size = 0);
    int fieldCount() const { return int(m_fields.size()); }
    Field* field(int i) const { return m_fields[size_t(i)].get(); }
    Field* findField(const QString& name) const;
    // Like findField, but an unknown name fails with "Field '%s' not found".
    Field& fieldByName(const QString& name) const;
    bool hasDeclaredFields() const { return m_declared; }

    // ---- lifecycle
    void open();
    void close();
    bool isActive() const { return m_state != DatasetState::Inactive; }
    DatasetState state() const { return m_state; }
    bool isModified() const { return m_modified; }
    bool isEditing() const {
        return m_state == DatasetState::Edit || m_state == DatasetState::Insert;
    }
    // Settles, then reads every row again and keeps the current row where it still exists.
    void refresh();
    // Computes the current row's lookups and calculated values again, for
    // datasets they read that opened after the row was read. Only while browsing.
    void recalculate();
    // No statement or table to write to: editing fails.
    bool isReadOnly() const { return m_readOnly || m_baseTable.isEmpty(); }
    void setReadOnly(bool on) { m_readOnly = on; }

    // ---- the view
    // Rows shown, the pending inserted row included.
    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    // 0-based position of the current row in the view; -1 when there is none.
    int recNo() const { return m_cur; }
    bool isFirst() const { return m_cur <= 0; }
    bool isLast() const { return m_cur >= recordCount() - 1; }

    // ---- moves (each settles first; after-scroll runs when the row changes)
    void first();
    void last();
    void next();
    void prior();
    void moveBy(int distance);
    void setRecNo(int index);
    // Finds the first row of the view whose fields (names separated by ';')
    // hold the values, and makes it current. False (and no move) when none does.
    bool locate(const QString& fields, const QVariant& values, LocateOptions options = {});
    Bookmark bookmark() const;
    void gotoBookmark(const Bookmark& b);
    bool bookmarkValid(const Bookmark& b) const;

    // The result field of the first row whose key field holds the value,
    // searching every row whatever view is in force, without moving.
    QVariant lookup(const QString& keyField, const QVariant& keyValue, const QString& resultField);

    // ---- editing
    void edit();
    void insert();
    void append();
    void post();
    void cancel();
    // Deletes the current row at once (inserting: cancels). After-scroll runs
    // whatever remains, also when the view is then empty.
    void remove();
    // Settles, then deletes every row of the table whose fields (names separated by ';')
    // hold the values, the rows of the snapshot and of the database alike, whatever the
    // view shows, without reading the rest again. A null value matches no row. The
    // current row stays where it still exists; the number of rows deleted.
    int removeMatching(const QString& fields, const std::vector<QVariant>& values);
    // Settles a pending row: controls write their text, then post if modified, else cancel.
    void checkBrowseMode();
    // Asks bound controls to write their text into the fields.
    void updateRecord();

    // ---- filter and sort
    void setFilterText(const QString& text);
    QString filterText() const { return m_filterText; }
    void setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }
    // Text comparisons of the filter count letter case (off: they do not, the default).
    void setFilterCaseSensitive(bool on);
    bool filterCaseSensitive() const { return m_filterCaseSensitive; }
    // Column list such as "ID_Group ASC, Fam DESC"; empty: the order list, else reading order.
    void setSort(const QString& sort);
    QString sort() const { return m_sortText; }

    // ---- master and detail
    // The view shows only rows whose link fields (the leading order fields)
    // equal the master's current values of masterFields (names separated by ';').
    void setMaster(DataSource* master, const QString& masterFields);
    DataSource* masterSource() const;

    // A pending row's lookups and calculated values stay as they were until it is posted.
    void setKeepLookupsWhileEditing(bool on) { m_keepLookups = on; }
    bool keepLookupsWhileEditing() const { return m_keepLookups; }

    // ---- hooks
    std::function<void(Dataset&)> afterScroll;
    std::function<void(Dataset&)> onCalcFields;
    // Runs when a new row starts (insert, append), after the row is set up and
    // before controls are told; the values it sets start the row and do not
    // count as a change, so an untouched new row is still dropped when settled
    // (the grid's cancel on exit, checkBrowseMode cancels it).
    std::function<void(Dataset&)> onNewRecord;
    // Run when putting a row into edit state fails, or posting it; the failure
    // continues to the caller after the hook returns.
    std::function<void(Dataset&, const DataError&)> onEditError;
    std::function<void(Dataset&, const DataError&)> onPostError;

    // ---- for grids: any row of the view without moving to it
    QVariant viewValue(int index, const Field* field) const;
    QString viewDisplayText(int index, const Field* field) const;
    bool isPendingRow(int index) const;

protected:
    // The statement that reads the rows, its first result column the hidden key
    // when the dataset can be written; fills m_baseTable (empty: read-only).
    virtual std::unique_ptr<Statement> openStatement() = 0;
    // How many rows the statement will give, when that is cheap to know (0: unknown).
    virtual int64_t expectedRows() { return 0; }
    // The leading order fields, used as link fields under a master.
    virtual QStringList orderFieldNames() const { return {}; }
    void ensureConnected();
    void checkInactive() const;
    void checkActive() const;

    Connection* m_connection = nullptr;
    QString m_baseTable;        // the table posts and deletes write to
    bool m_hasKey = false;      // the statement's first column is the hidden key
    bool m_wholeTable = false;  // the statement reads every row of m_baseTable in rowid order

private:
    struct Record {
        Row row = NoRow;               // storage row; none for a new row
        bool buffered = false;         // data values live in `values`, not in storage
        std::vector<QVariant> values;  // per field: data (when buffered), lookups, calculated
        std::vector<bool> changed;     // per field, for the pending row
    };
    // The change stamps a computed row depends on: this dataset's and those its lookups read.
    using Stamps = QVarLengthArray<std::pair<const Dataset*, quint64>, 8>;
    class ActiveScope;
    friend class Field;
    friend class DataSource;
    friend class MasterLink;

    // fields and columns (FieldInference.cpp)
    Field& addField(const QString& name, FieldKind kind, FieldType type, int size);
    // The fields to declare when the dataset declares none (called at open); `stepped`:
    // the statement is on its first row, whose values tell the type of untyped columns.
    void createDefaultFields(Statement& st, int firstColumn, bool stepped);
    void bindFields(Statement& st);
    std::vector<FieldType> dataTypes() const;

    // snapshot (Snapshot.cpp)
    void loadRows(Statement& st, bool hasRow);
    // Reads the rows, or adopts the same table's snapshot from another dataset.
    void readSnapshot(Statement& st, bool declareFromColumns);
    Column& ownColumn(size_t k);
    void releaseSnapshot();

    // order, view, filter and master (RowOrder.cpp, View.cpp, MasterLink.cpp)
    std::vector<SortColumn> resolveSort() const;
    void rebuildView();
    void showFromFirst();
    size_t viewCount() const { return m_view.count(); }
    Row viewRow(size_t i) const { return m_view.row(i); }
    Row rowAt(int index) const;
    int viewIndexOf(Row r) const;
    std::unique_ptr<Filter> compileFilter(const QString& text) const;
    std::unique_ptr<Filter> compileAndSettle(const QString& text);
    void masterChanged();
    void masterFieldChanged(Field* field);
    void masterCheckBrowseMode();

    // records and values (Values.cpp, KeyIndex.cpp)
    QVariant activeValue(const Field* field) const;
    void setActiveValue(Field* field, const QVariant& v);
    void readCurrent();
    void calculate(Record& rec) const;
    QVariant recordValue(const Record& rec, const Field* f) const;
    QVariant storageValue(Row row, const Field* f) const;
    QVariant rowValue(Row row, const Field* f) const;
    Row findByKey(const Field* keyField, const QVariant& value);
    void lookupsDeclared();
    void collectStamps(Stamps& out) const;
    void touch() { ++m_changeStamp; }

    // states, moves and notifications (Dataset.cpp, Editing.cpp)
    void attachSource(DataSource* source);
    void detachSource(DataSource* source);
    void moveTo(int index, bool always);
    void doScroll();
    void rowGone();
    void notify(DataSource::Event event, Field* field = nullptr);
    void notifyRows(DataSource::Event event, int first, int second);
    void setState(DatasetState s);
    void startInsert(bool atEnd);
    void writeRow();
    void checkRequired() const;
    // How the stored row r is now, against what this dataset read of it.
    enum class StoredRow { AsRead, Changed, Gone };
    StoredRow storedRow(SqlWriter& writer, Row r);
    // The values of row r as read, one per storage column, as parameters.
    std::vector<QVariant> readValues(Row r) const;
    template <typename Op>
    void guarded(const std::function<void(Dataset&, const DataError&)>& hook, Op op);

    std::vector<std::unique_ptr<Field>> m_fields;
    bool m_declared = false;
    QStringList m_columnNames;  // database column of each storage column
    bool m_readOnly = false;

    Snapshot m_snapshot;
    RowOrder m_order{m_snapshot};
    View m_view{m_order};
    QString m_sortText;
    KeyIndexes m_indexes;
    std::vector<Dataset*> m_lookupTargets;  // the datasets lookup fields read, each once

    int m_cur = -1;
    Record m_current;
    Record m_edit;
    mutable Record m_scratch;  // the row a grid read last
    mutable Row m_scratchRow = NoRow;
    mutable Stamps m_scratchStamps;
    mutable Record* m_active = &m_current;
    mutable bool m_calculating = false;
    mutable int m_lookupDepth = 0;
    int m_insertPos = -1;
    int m_curBeforeInsert = -1;
    std::optional<Row> m_insertBefore;

    DatasetState m_state = DatasetState::Inactive;
    bool m_modified = false;
    bool m_keepLookups = false;
    bool m_settling = false;
    bool m_startingRow = false;  // onNewRecord is setting up a new row
    quint64 m_generation = 0;
    quint64 m_rowsStamp = 0;     // bumps on every change of rows
    quint64 m_changeStamp = 1;   // bumps on every change a computed row may depend on
    quint64 m_columnCopies = 0;  // shared columns copied before a change

    QString m_filterText;
    bool m_filtered = false;
    bool m_filterCaseSensitive = false;
    std::unique_ptr<Filter> m_filter;

    std::unique_ptr<MasterLink> m_masterLink;

    std::vector<DataSource*> m_sources;
};

// Callers reach the dataset kinds through this header.
#include "Query.h"
#include "Table.h"
