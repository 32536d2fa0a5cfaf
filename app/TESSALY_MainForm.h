// The main window: a small launcher of fixed size with three large buttons, a
// picture with two labels that describe the button under the pointer, an
// empty status bar, and the menu that reaches every window, the reports, the
// help file and the About box. It owns the settings file for the run.
#pragma once

#include <QMainWindow>
#include <memory>

class QLabel;
class QPushButton;
class QAction;
class Settings;
class TAb;

class Tform_m : public QMainWindow {
    Q_OBJECT
public:
    // executablePath: the running program's full path; its folder is the program folder.
    explicit Tform_m(const QString& executablePath = QString(), QWidget* parent = nullptr);
    ~Tform_m() override;

    void setVisible(bool visible) override;

    // Writes the settings file afresh for this program.
    void INICreate();
    // Creates the educational-process window if there is none, then shows the page.
    void openStudyWindowAt(int page);

    QPushButton* Button1 = nullptr;  // "Студенты"
    QPushButton* Button2 = nullptr;  // "Преподаватели"
    QPushButton* Button3 = nullptr;  // "Учебный процесс"
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;  // the title over the picture
    QLabel* Label2 = nullptr;  // the subtitle over the picture
    QAction* StudentsItem = nullptr;
    QAction* TeachersItem = nullptr;
    QAction* DisciplinesItem = nullptr;
    QAction* SpecialtiesItem = nullptr;
    QAction* FacultiesItem = nullptr;
    QAction* DepartmentsItem = nullptr;
    QAction* GroupsItem = nullptr;
    QAction* ReportsItem = nullptr;
    QAction* HelpItem = nullptr;
    QAction* AboutItem = nullptr;
    QList<QLabel*> statusPanels;

    QString programFolder() const { return m_programFolder; }
    // The splash shown before the window first became visible, if any.
    TAb* splash() const { return m_splash; }

    // Handlers.
    void FormCreate();
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void ButtonMouseMove(QPushButton* button);
    void FormMouseMove();
    void StudentsItemClick();
    void TeachersItemClick();
    void ReportsItemClick();
    void HelpItemClick();
    void AboutItemClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void showTexts(const QString& title, const QString& subtitle);
    // Settles or drops every dataset's pending change as the user says; false: stay open.
    bool settlePendingChanges();

    QString m_executablePath;
    QString m_programFolder;
    std::unique_ptr<Settings> m_settings;
    TAb* m_splash = nullptr;
    bool m_shownOnce = false;
};
