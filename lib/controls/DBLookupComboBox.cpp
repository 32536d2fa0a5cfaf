// Lookup picker. The list is a model over the list dataset's rows that reads
// only the rows the popup draws; the box draws the key's text itself, so it
// can show an entry that the list's current restriction hides.
#include "DBLookupComboBox.h"

#include <QAbstractListModel>
#include <QKeyEvent>
#include <QListView>
#include <QStylePainter>

#include "Dataset.h"
#include "Field.h"

class LookupListModel : public QAbstractListModel {
public:
    explicit LookupListModel(QObject* parent) : QAbstractListModel(parent) {}

    void setSource(DataSource* source) { m_link.setDataSource(source); }
    DataSource* source() const { return m_link.dataSource(); }
    void setShownField(const QString& name) {
        m_shown = name;
        reset();
    }
    Dataset* dataset() const { return m_link.isActive() ? m_link.dataset() : nullptr; }
    const Field* shownField() const {
        const Dataset* ds = dataset();
        return ds ? ds->findField(m_shown) : nullptr;
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        const Dataset* ds = dataset();
        return parent.isValid() || !ds ? 0 : ds->recordCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const Dataset* ds = dataset();
        const Field* f = shownField();
        if (!ds || !index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
            return {};
        return f ? ds->viewDisplayText(index.row(), f) : QString();
    }
    void reset() {
        beginResetModel();
        endResetModel();
    }
    // Called when the list dataset's current row moves.
    std::function<void()> onMoved;

private:
    class Link : public DataLink {
    public:
        explicit Link(LookupListModel* model) : m_model(model) {}

    protected:
        void activeChanged() override { m_model->reset(); }
        void dataSetChanged() override { m_model->reset(); }
        void dataSourceChanged() override { m_model->reset(); }
        void recordChanged(Field*) override {
            const Dataset* ds = dataset();
            if (ds && ds->recNo() >= 0 && ds->recNo() < m_model->rowCount()) {
                const QModelIndex i = m_model->index(ds->recNo());
                emit m_model->dataChanged(i, i);
            }
        }
        void recordMoved() override {
            if (m_model->onMoved) m_model->onMoved();
        }

    private:
        LookupListModel* m_model;
    };
    Link m_link{this};
    QString m_shown;
};

DBLookupComboBox::DBLookupComboBox(QWidget* parent)
    : QComboBox(parent), m_model(new LookupListModel(this)) {
    setEditable(false);
    // The box never measures its items: a list may hold tens of thousands of rows.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    setModel(m_model);
    if (auto* list = qobject_cast<QListView*>(view())) list->setUniformItemSizes(true);
    setMaxVisibleItems(8);
    m_link.onDataChange = [this] {
        const Field* f = m_link.field();
        setKeyValue(f ? f->value() : QVariant());
    };
    // A change of the list (its master moved, a row was written) may change the shown text.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { refreshText(); });
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] { refreshText(); });
    connect(this, &QComboBox::activated, this, [this](int row) {
        if (!m_opening) chooseRow(row);
    });
    connect(this, &QComboBox::highlighted, this, [this](int row) {
        Dataset* ds = listDataset();
        if (ds && !m_opening && row >= 0 && row < ds->recordCount() && row != ds->recNo())
            ds->setRecNo(row);
    });
}

DBLookupComboBox::~DBLookupComboBox() = default;

void DBLookupComboBox::setListSource(DataSource* source) {
    m_model->setSource(source);
    refreshText();
}

DataSource* DBLookupComboBox::listSource() const { return m_model->source(); }

void DBLookupComboBox::setKeyField(const QString& name) {
    m_keyField = name;
    refreshText();
}

void DBLookupComboBox::setListField(const QString& name) {
    m_listField = name;
    m_model->setShownField(name);
    refreshText();
}

void DBLookupComboBox::setDataSource(DataSource* source) { m_link.setDataSource(source); }
void DBLookupComboBox::setDataField(const QString& name) { m_link.setFieldName(name); }

Dataset* DBLookupComboBox::listDataset() const { return m_model->dataset(); }

namespace {

bool isEmptyKey(const QVariant& v) {
    return v.isNull() || !v.isValid() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

bool sameKey(const QVariant& a, const QVariant& b) {
    if (isEmptyKey(a) || isEmptyKey(b)) return isEmptyKey(a) && isEmptyKey(b);
    return a.toString() == b.toString();
}

}  // namespace

void DBLookupComboBox::setKeyValue(const QVariant& key) {
    if (sameKey(key, m_key)) {
        refreshText();
        return;
    }
    m_key = key;
    keyChanged();
    emit keyValueChanged(m_key);
}

void DBLookupComboBox::keyChanged() {
    locateKey();
    refreshText();
}

bool DBLookupComboBox::locateKey() {
    Dataset* ds = listDataset();
    if (!ds || isEmptyKey(m_key) || m_keyField.isEmpty()) return false;
    return ds->locate(m_keyField, m_key);
}

void DBLookupComboBox::refreshText() {
    QString text;
    const int row = rowOfKey();
    if (row >= 0) {
        const Dataset* ds = listDataset();
        text = ds->viewDisplayText(row, ds->findField(m_listField));
    }
    if (text != m_text) {
        m_text = text;
        setAccessibleDescription(text);
        update();
    }
    if ((row >= 0) != m_offered) {
        m_offered = row >= 0;
        emit offeredChanged(m_offered);
    }
}

int DBLookupComboBox::rowOfKey() const {
    // Only the rows the list offers count: a key the list's restriction hides shows nothing.
    const Dataset* ds = listDataset();
    if (!ds || isEmptyKey(m_key) || m_keyField.isEmpty() || m_listField.isEmpty()) return -1;
    const Field* key = ds->findField(m_keyField);
    if (!key || !ds->findField(m_listField)) return -1;
    const int current = ds->recNo();
    if (current >= 0 && sameKey(ds->viewValue(current, key), m_key)) return current;
    const int count = ds->recordCount();
    for (int i = 0; i < count; ++i)
        if (sameKey(ds->viewValue(i, key), m_key)) return i;
    return -1;
}

void DBLookupComboBox::chooseRow(int row) {
    Dataset* ds = listDataset();
    if (!ds || row < 0 || row >= ds->recordCount()) return;
    const Field* key = ds->findField(m_keyField);
    if (!key) return;
    chooseKey(ds->viewValue(row, key));
}

void DBLookupComboBox::chooseKey(const QVariant& key) {
    if (m_readOnly) return;
    if (m_link.dataSource()) {
        Field* bound = m_link.field();
        if (!bound || bound->isReadOnly() || !m_link.edit()) return;
        // Written even when unchanged, so the bound dataset's row counts as changed.
        bound->setValue(key);
        setKeyValue(bound->value());
        return;
    }
    if (sameKey(key, m_key)) return;
    setKeyValue(key);
}

void DBLookupComboBox::showPopup() {
    Dataset* ds = listDataset();
    if (ds) {
        if (!locateKey() && ds->recordCount() > 0) ds->first();
        m_opening = true;
        setCurrentIndex(ds->recNo());
        m_opening = false;
    }
    QComboBox::showPopup();
}

void DBLookupComboBox::searchKey(const QString& typed) {
    Dataset* ds = listDataset();
    if (!ds || m_listField.isEmpty()) return;
    const Field* shown = ds->findField(m_listField);
    if (!shown || shown->type() != FieldType::Text) return;
    if (!m_lastKey.isValid() || m_lastKey.elapsed() > SearchResetMs) m_search.clear();
    m_lastKey.restart();
    const QString wanted = (m_search + typed).left(SearchLimit);
    if (wanted == m_search) return;
    if (!ds->locate(m_listField, wanted, LocateOption::CaseInsensitive | LocateOption::PartialKey))
        return;
    m_search = wanted;
    chooseRow(ds->recNo());
}

void DBLookupComboBox::keyPressEvent(QKeyEvent* event) {
    Dataset* ds = listDataset();
    const int key = event->key();
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && !(event->modifiers() & Qt::AltModifier)) {
        if (ds && ds->recordCount() > 0 && !m_readOnly) {
            if (!locateKey()) {
                ds->first();
            } else if (key == Qt::Key_Down) {
                ds->next();
            } else {
                ds->prior();
            }
            chooseRow(ds->recNo());
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_F4 || ((key == Qt::Key_Up || key == Qt::Key_Down) &&
                              (event->modifiers() & Qt::AltModifier))) {
        showPopup();
        event->accept();
        return;
    }
    if (key == Qt::Key_Backspace) {
        m_search.chop(1);
        m_lastKey.restart();
        event->accept();
        return;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).isPrint() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        if (!m_readOnly) searchKey(text);
        event->accept();
        return;
    }
    if (key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_PageUp ||
        key == Qt::Key_PageDown) {
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void DBLookupComboBox::wheelEvent(QWheelEvent* event) { event->ignore(); }

void DBLookupComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = m_text;
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
