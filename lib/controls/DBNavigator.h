// Record navigator: ten buttons acting on one data source's dataset, each
// enabled only where it can act. Deleting asks "Delete record?" first.
#pragma once

#include <QWidget>
#include <array>

#include "DataSource.h"

class QToolButton;

class DBNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int ButtonCount = 10;

    explicit DBNavigator(QWidget* parent = nullptr);

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return m_link.dataSource(); }
    // Buttons left out are hidden; all are shown at first.
    void setVisibleButtons(std::initializer_list<Button> buttons);
    // The hints appear as tool tips only when asked for.
    void setShowHint(bool on);
    void setConfirmDelete(bool on) { m_confirmDelete = on; }
    QToolButton* button(Button b) const { return m_buttons[size_t(b)]; }
    void click(Button b);
    static QString hint(Button b);

private:
    class Link : public DataLink {
    public:
        explicit Link(DBNavigator* owner) : m_owner(owner) {}

    protected:
        void activeChanged() override { m_owner->updateButtons(); }
        void recordMoved() override { m_owner->updateButtons(); }
        void dataSetChanged() override { m_owner->updateButtons(); }
        void stateChanged() override { m_owner->updateButtons(); }
        void dataSourceChanged() override { m_owner->updateButtons(); }

    private:
        DBNavigator* m_owner;
    };

    void updateButtons();

    std::array<QToolButton*, ButtonCount> m_buttons{};
    Link m_link{this};
    bool m_confirmDelete = true;
};
