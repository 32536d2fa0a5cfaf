// A splitter whose borders move when the mouse button is released. While a
// border is dragged, its handle marks the new place in its own way: not at
// all, or with a hatched line across the splitter.
#pragma once

#include <QPointer>
#include <QSplitter>

class ReleaseSplitter : public QSplitter {
    Q_OBJECT
public:
    enum class DragMark { None, Hatched };

    explicit ReleaseSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);
    // How the handle before widget `index` marks a drag (1 for the first border).
    void setDragMark(int index, DragMark mark);
    // The hatched line (null before the first such drag), shown only while a
    // border that draws one is dragged.
    QWidget* dragLine() const { return m_line; }

protected:
    QSplitterHandle* createHandle() override;

private:
    friend class ReleaseHandle;
    QWidget* line();
    QPointer<QWidget> m_line;
};
