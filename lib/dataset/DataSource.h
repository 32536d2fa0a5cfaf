// A data source connects bound controls (and detail datasets) to one dataset
// and tells each of them, synchronously and in order, what happened to it.
//
// Each bound control owns a DataLink by composition and overrides the events
// it cares about. An exception thrown while a link handles an event reaches
// the caller of the dataset operation that caused it.
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
    // The rows shown changed as a whole (open, filter, master move, insert, delete, post, sort).
    virtual void dataSetChanged() {}
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
        DataSetChanged,
        RecordChanged,
        StateChanged,
        UpdateData,
        CheckBrowseMode
    };
    // Called by the dataset.
    void notify(Event event, Field* field = nullptr);

private:
    friend class DataLink;
    void attach(DataLink* link);
    void detach(DataLink* link);
    Dataset* m_dataset = nullptr;
    bool m_autoEdit = true;
    std::vector<DataLink*> m_links;
};
