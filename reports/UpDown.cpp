// The up-down control. The arrows repeat while held; the keyboard steps it
// too when it has the focus (Up and Right up, Down and Left down).
#include "UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>
#include <algorithm>

UpDown::UpDown(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent),
      m_orientation(orientation),
      m_up(new QToolButton(this)),
      m_down(new QToolButton(this)) {
    setFocusPolicy(Qt::TabFocus);
    const bool vertical = orientation == Qt::Vertical;
    m_up->setArrowType(vertical ? Qt::UpArrow : Qt::RightArrow);
    m_down->setArrowType(vertical ? Qt::DownArrow : Qt::LeftArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    m_up->setAccessibleName(QStringLiteral("Больше"));
    m_down->setAccessibleName(QStringLiteral("Меньше"));
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDown::setRange(int minimum, int maximum) {
    m_min = minimum;
    m_max = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_min, m_max);
}

void UpDown::setPosition(int position) {
    m_position = std::clamp(position, m_min, m_max);
}

void UpDown::setAssociate(QLineEdit* edit) {
    m_associate = edit;
}

QString UpDown::text(int position) const {
    return m_thousands ? QLocale().toString(position) : QString::number(position);
}

void UpDown::step(int direction) {
    int from = m_position;
    if (m_associate) {
        QString typed = m_associate->text();
        if (m_thousands) typed.remove(QLocale().groupSeparator());
        bool ok = false;
        const int n = typed.trimmed().toInt(&ok);
        if (ok) from = std::clamp(n, m_min, m_max);
    }
    const int next = std::clamp(from + direction, m_min, m_max);
    const bool moved = next != m_position;
    m_position = next;
    if (m_associate && m_associate->text() != text(next)) m_associate->setText(text(next));
    if (moved) emit positionChanged(next);
}

void UpDown::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Right:
            step(1);
            break;
        case Qt::Key_Down:
        case Qt::Key_Left:
            step(-1);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void UpDown::resizeEvent(QResizeEvent*) {
    const int w = width();
    const int h = height();
    if (m_orientation == Qt::Vertical) {
        m_up->setGeometry(0, 0, w, h / 2);
        m_down->setGeometry(0, h / 2, w, h - h / 2);
    } else {
        m_down->setGeometry(0, 0, w / 2, h);
        m_up->setGeometry(w / 2, 0, w - w / 2, h);
    }
}
