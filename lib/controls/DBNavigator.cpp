// Record navigator. Whether a button can act is worked out again on every
// notice of the data source, so it never offers what the dataset would refuse.
#include "DBNavigator.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include "Dataset.h"
#include "Messages.h"

namespace {

// The buttons' pictures, drawn rather than taken from a theme so the row looks
// the same on every desktop.
QIcon drawIcon(DBNavigator::Button b) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x20, 0x20, 0x60);
    p.setPen(QPen(ink, 1.6));
    p.setBrush(ink);
    auto triangle = [&](double x, bool left) {
        QPainterPath path;
        if (left) {
            path.moveTo(x + 5, 3);
            path.lineTo(x, 8);
            path.lineTo(x + 5, 13);
        } else {
            path.moveTo(x, 3);
            path.lineTo(x + 5, 8);
            path.lineTo(x, 13);
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (b) {
        case DBNavigator::First: p.drawLine(QPointF(4, 3), QPointF(4, 13)); triangle(6, true); break;
        case DBNavigator::Prior: triangle(5, true); break;
        case DBNavigator::Next: triangle(6, false); break;
        case DBNavigator::Last: triangle(5, false); p.drawLine(QPointF(12, 3), QPointF(12, 13)); break;
        case DBNavigator::Insert:
            p.drawLine(QPointF(8, 3), QPointF(8, 13));
            p.drawLine(QPointF(3, 8), QPointF(13, 8));
            break;
        case DBNavigator::Delete: p.drawLine(QPointF(3, 8), QPointF(13, 8)); break;
        case DBNavigator::Edit:
            p.setBrush(Qt::NoBrush);
            p.drawPolygon(QPolygonF({{3, 13}, {4, 10}, {11, 3}, {13, 5}, {6, 12}}));
            break;
        case DBNavigator::Post:
            p.setPen(QPen(QColor(0x10, 0x80, 0x10), 2.2));
            p.drawPolyline(QPolygonF({{3, 8}, {7, 12}, {13, 4}}));
            break;
        case DBNavigator::Cancel:
            p.setPen(QPen(QColor(0xb0, 0x10, 0x10), 2.2));
            p.drawLine(QPointF(4, 4), QPointF(12, 12));
            p.drawLine(QPointF(12, 4), QPointF(4, 12));
            break;
        case DBNavigator::Refresh:
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 300 * 16);
            p.setBrush(ink);
            p.drawPolygon(QPolygonF({{10, 1}, {13, 4}, {9, 5}}));
            break;
    }
    return QIcon(pm);
}

}  // namespace

QString DBNavigator::hint(Button b) {
    switch (b) {
        case First: return QStringLiteral("Первая запись");
        case Prior: return QStringLiteral("Предыдущая запись");
        case Next: return QStringLiteral("Следующая запись");
        case Last: return QStringLiteral("Последняя запись");
        case Insert: return QStringLiteral("Вставить строку");
        case Delete: return QStringLiteral("Удалить запись");
        case Edit: return QStringLiteral("Редактировать запись");
        case Post: return QStringLiteral("Сохранить изменения");
        case Cancel: return QStringLiteral("отмена изменений");
        case Refresh: return QStringLiteral("Обновить данные");
    }
    return {};
}

DBNavigator::DBNavigator(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        const auto b = Button(i);
        auto* button = new QToolButton(this);
        button->setIcon(drawIcon(b));
        button->setAccessibleName(hint(b));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setAutoRaise(false);
        connect(button, &QToolButton::clicked, this, [this, b] { click(b); });
        layout->addWidget(button);
        m_buttons[size_t(i)] = button;
    }
    updateButtons();
}

void DBNavigator::setDataSource(DataSource* source) {
    m_link.setDataSource(source);
    updateButtons();
}

void DBNavigator::setVisibleButtons(std::initializer_list<Button> buttons) {
    for (QToolButton* b : m_buttons) b->setVisible(false);
    for (Button b : buttons) m_buttons[size_t(b)]->setVisible(true);
}

void DBNavigator::setShowHint(bool on) {
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[size_t(i)]->setToolTip(on ? hint(Button(i)) : QString());
}

void DBNavigator::updateButtons() {
    const Dataset* ds = m_link.dataset();
    const bool active = ds && ds->isActive();
    const bool editing = active && ds->isEditing();
    const bool canModify = active && !ds->isReadOnly();
    const bool empty = !active || ds->isEmpty();
    const bool atFirst = empty || ds->isFirst();
    const bool atLast = empty || ds->isLast();
    // While a new row is pending it is where the user is, so moving is possible both ways.
    const bool inserting = active && ds->state() == DatasetState::Insert;
    auto set = [&](Button b, bool on) { m_buttons[size_t(b)]->setEnabled(on); };
    set(First, active && (!atFirst || inserting));
    set(Prior, active && (!atFirst || inserting));
    set(Next, active && (!atLast || inserting));
    set(Last, active && (!atLast || inserting));
    set(Insert, canModify);
    set(Delete, canModify && (!empty || inserting));
    set(Edit, canModify && !editing);
    set(Post, canModify && editing);
    set(Cancel, canModify && editing);
    set(Refresh, active && !editing);
}

void DBNavigator::click(Button b) {
    Dataset* ds = m_link.dataset();
    if (!ds || !m_buttons[size_t(b)]->isEnabled()) return;
    switch (b) {
        case First: ds->first(); break;
        case Prior: ds->prior(); break;
        case Next: ds->next(); break;
        case Last: ds->last(); break;
        case Insert: ds->insert(); break;
        case Delete:
            if (m_confirmDelete &&
                platform::ask(QStringLiteral("Delete record?"), platform::Buttons::OkCancel,
                              this) != platform::Answer::Ok)
                return;
            ds->remove();
            break;
        case Edit: ds->edit(); break;
        case Post: ds->updateRecord(); ds->post(); break;
        case Cancel: ds->cancel(); break;
        case Refresh: ds->refresh(); break;
    }
}
