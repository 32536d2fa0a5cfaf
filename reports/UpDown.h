// An up-down control: two arrow buttons that step a whole number between two
// ends and write it into an edit beside them. It works on its own, also while
// that edit is disabled, and starts each step from the edit's number when the
// edit holds one, so a number typed by hand is stepped on from.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT
public:
    // Vertical: up above down. Horizontal: left (down) beside right (up).
    explicit UpDown(Qt::Orientation orientation, QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    int position() const { return m_position; }
    // Moves to the position (kept within the ends) without writing the edit.
    void setPosition(int position);
    // The edit the position is written into.
    void setAssociate(QLineEdit* edit);
    // Digits in groups of three with the locale's separator (on by default).
    void setThousands(bool on) { m_thousands = on; }

    // What a click on an arrow does: +1 up (right), -1 down (left).
    void step(int direction);

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

signals:
    void positionChanged(int position);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString text(int position) const;

    Qt::Orientation m_orientation;
    QToolButton* m_up;
    QToolButton* m_down;
    QLineEdit* m_associate = nullptr;
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    bool m_thousands = true;
};
