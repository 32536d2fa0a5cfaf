// Lookup picker: offers the rows of a list dataset by one shown column and
// stands for the key column of the chosen row, optionally bound to a field
// that holds the key.
//
// - When the key changes, the list dataset is located on the key column; an
//   empty key, or one the list lacks, leaves the list where it is and shows
//   nothing. The box shows the key's row only while the list offers it: a
//   row the list's master restriction hides shows nothing.
// - Bound, the key follows the bound field on every row change or write, so
//   moving the bound dataset moves the list dataset.
// - Choosing an entry (a click or Enter in the open list, Up or Down while it
//   is closed): bound, the bound dataset goes into edit and the key is
//   written at once, even when it is the same; unbound, the picker's key
//   changes, and choosing the shown entry again does nothing. A read-only
//   picker ignores choosing.
// - Opening the list locates the current entry, else the first row; moving
//   through the open list moves the list dataset. Typing while the list is
//   closed searches the shown column by case-insensitive prefix (at most 32
//   characters, forgotten after 2 seconds without a key) and chooses the hit.
#pragma once

#include <QComboBox>
#include <QElapsedTimer>
#include <QVariant>

#include "FieldLink.h"

class LookupListModel;

class DBLookupComboBox : public QComboBox {
    Q_OBJECT
public:
    static constexpr int SearchLimit = 32;
    static constexpr int SearchResetMs = 2000;

    explicit DBLookupComboBox(QWidget* parent = nullptr);
    ~DBLookupComboBox() override;

    void setListSource(DataSource* source);
    DataSource* listSource() const;
    void setKeyField(const QString& name);
    void setListField(const QString& name);
    // Binding to a field of another data source that holds the key.
    void setDataSource(DataSource* source);
    void setDataField(const QString& name);
    void setReadOnly(bool on) { m_readOnly = on; }
    bool isReadOnly() const { return m_readOnly; }

    QVariant keyValue() const { return m_key; }
    void setKeyValue(const QVariant& key);
    // What the box shows: the shown column of the key's row, or nothing.
    QString displayText() const { return m_text; }
    // Whether the list offers the key's row, so that the box shows it.
    bool offersKey() const { return rowOfKey() >= 0; }
    QString searchText() const { return m_search; }

    void showPopup() override;

signals:
    // The key changed (by choosing, by the bound field, or by the program).
    void keyValueChanged(const QVariant& key);
    // The list came to offer the key's row, or stopped offering it (its
    // master moved, the row went, the key changed).
    void offeredChanged(bool offered);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    Dataset* listDataset() const;
    void keyChanged();
    void refreshText();
    // The row of the list's view holding the key, -1 when it offers none.
    int rowOfKey() const;
    // Makes the list dataset's row at this position the chosen entry.
    void chooseRow(int row);
    void chooseKey(const QVariant& key);
    bool locateKey();
    void searchKey(const QString& text);

    FieldLink m_link;
    LookupListModel* m_model;
    QString m_keyField;
    bool m_offered = false;
    QString m_listField;
    QVariant m_key;
    QString m_text;
    QString m_search;
    QElapsedTimer m_lastKey;
    bool m_readOnly = false;
    bool m_opening = false;
};
