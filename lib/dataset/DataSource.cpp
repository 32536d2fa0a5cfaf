// Data sources and their links. Notifying walks a copy of the link list and
// skips links that detached meanwhile (a window may close while handling an
// event), so the cost is the number of links per event.
#include "DataSource.h"

#include <algorithm>

#include "Dataset.h"

DataLink::~DataLink() { setDataSource(nullptr); }

void DataLink::setDataSource(DataSource* source) {
    if (source == m_source) return;
    if (m_source) m_source->detach(this);
    m_source = source;
    if (m_source) m_source->attach(this);
    dataSourceChanged();
}

Dataset* DataLink::dataset() const { return m_source ? m_source->dataset() : nullptr; }

void DataLink::rowsInserted(int, int) { dataSetChanged(); }
void DataLink::rowsRemoved(int, int) { dataSetChanged(); }
void DataLink::rowStored(int, int) { dataSetChanged(); }
void DataLink::viewReset() { dataSetChanged(); }

bool DataLink::isActive() const {
    Dataset* ds = dataset();
    return ds && ds->isActive();
}

DataSource::DataSource(QObject* parent) : QObject(parent) {}

DataSource::~DataSource() {
    if (m_dataset) m_dataset->detachSource(this);
    for (DataLink* link : std::vector<DataLink*>(m_links)) link->setDataSource(nullptr);
}

void DataSource::setDataset(Dataset* dataset) {
    if (dataset == m_dataset) return;
    if (m_dataset) m_dataset->detachSource(this);
    m_dataset = dataset;
    if (m_dataset) m_dataset->attachSource(this);
    for (DataLink* link : std::vector<DataLink*>(m_links)) {
        if (std::find(m_links.begin(), m_links.end(), link) == m_links.end()) continue;
        link->dataSourceChanged();
        link->activeChanged();
    }
}

bool DataSource::edit() {
    if (!m_dataset) return false;
    if (m_autoEdit && m_dataset->state() == DatasetState::Browse) m_dataset->edit();
    return m_dataset->isEditing();
}

void DataSource::attach(DataLink* link) { m_links.push_back(link); }

void DataSource::detach(DataLink* link) {
    m_links.erase(std::remove(m_links.begin(), m_links.end(), link), m_links.end());
}

void DataSource::notify(Event event, Field* field) { dispatch(event, field, -1, -1); }

void DataSource::notifyRows(Event event, int first, int second) {
    dispatch(event, nullptr, first, second);
}

void DataSource::dispatch(Event event, Field* field, int first, int second) {
    const std::vector<DataLink*> links = m_links;
    for (DataLink* link : links) {
        if (std::find(m_links.begin(), m_links.end(), link) == m_links.end()) continue;
        switch (event) {
            case Event::ActiveChanged: link->activeChanged(); break;
            case Event::RecordMoved: link->recordMoved(); break;
            case Event::RowsInserted: link->rowsInserted(first, second); break;
            case Event::RowsRemoved: link->rowsRemoved(first, second); break;
            case Event::RowStored: link->rowStored(first, second); break;
            case Event::ViewReset: link->viewReset(); break;
            case Event::RecordChanged: link->recordChanged(field); break;
            case Event::StateChanged: link->stateChanged(); break;
            case Event::UpdateData: link->updateData(); break;
            case Event::CheckBrowseMode: link->checkBrowseMode(); break;
        }
    }
}
