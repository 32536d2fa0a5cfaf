// Places controls by the pixel inside one box, each under its caption, which
// is also the name a screen reader gives the control. Bound controls are
// bound to the placer's data source.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QString>

#include "DBEdit.h"
#include "DBLookupComboBox.h"

class DataSource;

class Placer {
public:
    // gap: how far a caption stands above the top of its control.
    explicit Placer(QWidget* box, DataSource* source = nullptr, int gap = 14)
        : m_box(box), m_source(source), m_gap(gap) {}

    template <typename Control>
    Control* under(const QString& text, const QRect& where) {
        auto* control = new Control(m_box);
        control->setGeometry(where);
        auto* label = new QLabel(text, m_box);
        label->move(where.x(), where.y() - m_gap);
        label->adjustSize();
        label->setBuddy(control);
        control->setAccessibleName(text);
        return control;
    }

    DBEdit* edit(const QString& text, const QString& field, const QRect& where) {
        auto* e = under<DBEdit>(text, where);
        e->setDataSource(m_source);
        e->setDataField(field);
        return e;
    }

    // A button named by its caption.
    QPushButton* button(const QString& text, const QRect& where) {
        auto* b = new QPushButton(text, m_box);
        b->setGeometry(where);
        b->setAccessibleName(text);
        return b;
    }

    // field empty: an unbound picker.
    DBLookupComboBox* picker(const QString& text, const QString& field, const QRect& where,
                             DataSource* list, const QString& key, const QString& shown) {
        auto* p = under<DBLookupComboBox>(text, where);
        p->setListSource(list);
        p->setKeyField(key);
        p->setListField(shown);
        if (!field.isEmpty()) {
            p->setDataSource(m_source);
            p->setDataField(field);
        }
        return p;
    }

private:
    QWidget* m_box;
    DataSource* m_source;
    int m_gap;
};
