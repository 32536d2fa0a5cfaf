// A data source connects bound controls (and detail datasets) to one dataset
// and tells each of them, synchronously and in order, what happened to it.
//
// Each bound control owns a DataLink by composition and overrides the events
// it cares about. An exception thrown while a link handles an event reaches
// the caller of the dataset operation that caused it.
//
// Changes of the rows shown come as they were made: rows inserted into the
// view, rows removed from it, a pending row stored, or the view changed as a
// whole. A link that does not tell them apart hears each as dataSetChanged().
// Row positions count the pending inserted row, as recNo() does, and each
// event arrives after the change.
#pragma once

#include <QObject>
#include <vector>

class Dataset;
class DataSource;
class Field;

class DataLink {
public:
    DataLink() = default;
    virtual ~DataLink();
    DataLink(const DataLink&) = delete;
    DataLink& operator=(const DataLink&) = delete;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return m_source; }
    Dataset* dataset() const;
    // The dataset is there and open.
    bool isActive() const;

protected:
    friend class DataSource;
    // The dataset opened or closed.
    virtual void activeChanged() {}
    // The current row changed.
    virtual void recordMoved() {}
    // The rows shown changed; each of the four below comes here unless overridden.
    virtual void dataSetChanged() {}
    // `count` rows now stand at `first` (a new pending row); the rows from there on moved down.
    virtual void rowsInserted(int first, int count);
    // The `count` rows that stood at `first` are gone (deleted, or a pending row cancelled).
    virtual void rowsRemoved(int first, int count);
    // The pending row was stored: it stood at `from` and stands at `to` now (-1: it
    // left the view), the rows between moving by one to make room.
    virtual void rowStored(int from, int to);
    // The view changed as a whole (filter, master move, refresh, sort).
    virtual void viewReset();
    // Values of the current row changed: one field, or all of them when field is null.
    virtual void recordChanged(Field* field) { (void)field; }
    virtual void stateChanged() {}
    // Write the text you show into your field now.
    virtual void updateData() {}
    // The dataset is about to settle or move: settle whatever depends on its current row.
    virtual void checkBrowseMode() {}
    // The data source now points at another dataset (or none).
    virtual void dataSourceChanged() {}

private:
    DataSource* m_source = nullptr;
};

class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(QObject* parent = nullptr);
    ~DataSource() override;

    Dataset* dataset() const { return m_dataset; }
    void setDataset(Dataset* dataset);
    // Typing into a bound control puts the dataset into edit state.
    bool autoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool on) { m_autoEdit = on; }
    // Puts the dataset into edit state if it is browsing and auto-edit is on;
    // true when it is then editing or inserting.
    bool edit();

    enum class Event {
        ActiveChanged,
        RecordMoved,
        RowsInserted,
        RowsRemoved,
        RowStored,
        ViewReset,
        RecordChanged,
        StateChanged,
        UpdateData,
        CheckBrowseMode
    };

private:
    friend class DataLink;
    friend class Dataset;
    void notify(Event event, Field* field = nullptr);
    // Row events: RowsInserted and RowsRemoved give the first row and the count,
    // RowStored the position before and after.
    void notifyRows(Event event, int first, int second);
    void dispatch(Event event, Field* field, int first, int second);
    void attach(DataLink* link);
    void detach(DataLink* link);
    Dataset* m_dataset = nullptr;
    bool m_autoEdit = true;
    std::vector<DataLink*> m_links;
};
