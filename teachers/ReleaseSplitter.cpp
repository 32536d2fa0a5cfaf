#include "ReleaseSplitter.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

// The line drawn at the place a border is dragged to.
class HatchedLine : public QWidget {
public:
    explicit HatchedLine(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QBrush(palette().color(QPalette::WindowText), Qt::Dense4Pattern));
    }
};

}  // namespace

class ReleaseHandle : public QSplitterHandle {
public:
    ReleaseHandle(Qt::Orientation orientation, ReleaseSplitter* parent)
        : QSplitterHandle(orientation, parent), m_splitter(parent) {}
    ReleaseSplitter::DragMark mark = ReleaseSplitter::DragMark::None;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        m_dragging = true;
        m_offset = along(event->position().toPoint());
        m_target = along(pos());
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!m_dragging) return;
        m_target = closestLegalPosition(along(mapToParent(event->position().toPoint())) - m_offset);
        if (mark != ReleaseSplitter::DragMark::Hatched) return;
        QWidget* line = m_splitter->line();
        const int thickness = m_splitter->handleWidth();
        const QRect across = orientation() == Qt::Vertical
                                 ? QRect(0, m_target, m_splitter->width(), thickness)
                                 : QRect(m_target, 0, thickness, m_splitter->height());
        line->setGeometry(across.translated(m_splitter->mapTo(line->parentWidget(), QPoint())));
        line->raise();
        line->show();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (!m_dragging || event->button() != Qt::LeftButton) return;
        m_dragging = false;
        if (m_splitter->m_line) m_splitter->m_line->hide();
        moveSplitter(m_target);
    }

private:
    int along(const QPoint& p) const { return orientation() == Qt::Vertical ? p.y() : p.x(); }

    ReleaseSplitter* m_splitter;
    bool m_dragging = false;
    int m_offset = 0;
    int m_target = 0;
};

ReleaseSplitter::ReleaseSplitter(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent) {}

QWidget* ReleaseSplitter::line() {
    // Beside the splitter, not in it: every child of a splitter becomes one of its panes.
    if (!m_line) {
        m_line = new HatchedLine(parentWidget() ? parentWidget() : this);
        m_line->setObjectName(QStringLiteral("dragLine"));
    }
    return m_line;
}

void ReleaseSplitter::setDragMark(int index, DragMark mark) {
    if (auto* h = dynamic_cast<ReleaseHandle*>(handle(index))) h->mark = mark;
}

QSplitterHandle* ReleaseSplitter::createHandle() { return new ReleaseHandle(orientation(), this); }
