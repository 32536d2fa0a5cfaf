// The About window, which is also the splash shown before the main window:
// the program's name, its makers and version over a white page, faded in from
// fully transparent when it opens.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

class TAb : public QDialog {
    Q_OBJECT
public:
    explicit TAb(QWidget* owner);
    ~TAb() override;

    // The splash: no border at all.
    void makeSplash();
    // The About box: a dialog border with the caption, fixed size, no minimise or maximise.
    void makeAboutBox();

    void setVisible(bool visible) override;

    // Opacity in 0..255; the platform may ignore the window opacity, this does not.
    int opacityStep() const { return m_opacityStep; }
    // How many times the fade-in timer has fired.
    int ticks() const { return m_ticks; }
    // Whether the fade-in timer is still running.
    bool fading() const;

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;  // "Подсистема"
    QLabel* Label2 = nullptr;  // «"Вердикон"»
    QLabel* Label3 = nullptr;  // "Автоматизированная система управления"
    QLabel* Label4 = nullptr;   // the branch, in the instrumental case
    QLabel* Label5 = nullptr;   // the institution
    QLabel* Label6 = nullptr;   // "Разработано:"
    QLabel* Label7 = nullptr;   // the author's study group
    QLabel* Label8 = nullptr;   // the author
    QLabel* Label9 = nullptr;   // the supervisor's position
    QLabel* Label10 = nullptr;  // the supervisor
    QLabel* Label11 = nullptr;  // "Версия 1.0.1"
    QPushButton* OKButton = nullptr;
    QTimer* FadeTimer = nullptr;

public Q_SLOTS:
    // Handlers.
    void FadeTimerTimer();
    void OKButtonClick();

private:
    void build();
    void applyOpacity();

    int m_opacityStep = 0;
    int m_ticks = 0;
};
