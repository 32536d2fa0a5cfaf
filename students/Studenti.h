// The student window: the card of the current student with photo, study data
// and address; the grade sheet; the parent's page; the list of all students
// with quick search by surname; and a status bar naming the current student.
// Every control works on the data module's shared student datasets.
//
// One window exists at a time; `Studs` names it while it lives. Closing
// destroys it.
#pragma once

#include <QWidget>

#include "References.h"

class DBComboBox;
class DBEdit;
class DBGrid;
class DBLookupComboBox;
class DBRadioGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabBar;
class QTabWidget;
class Table;

class TStuds : public QWidget, public CardWindow {
    Q_OBJECT
public:
    explicit TStuds(QWidget* parent = nullptr);
    ~TStuds() override;

    static QString photoFilter();
    // The grade sheet's semester for a course tab (0 for "1 курс") and a semester tab (0 autumn).
    static int semesterOf(int courseTab, int semesterTab);
    // The grade filter for a record-book number and a semester. A number of
    // digits is written bare; any other is quoted, so it matches exactly as text.
    static QString sheetFilter(const QString& number, int semester);
    // The semester the selected tabs show.
    int semester() const;
    // Shows the current student's grade rows of the selected semester, when
    // the grade page is the active page of a visible window.
    void showSheet();

    // Shows the current student's photo (on the card page) and names the
    // student in the status bar. A photo file that cannot be read is reported
    // by the caller's error display, and the status bar then keeps its texts.
    void refreshCard() override;
    bool isCardShown() const override { return isVisible(); }

    // Strip.
    QPushButton* PrintButton = nullptr;
    QLineEdit* SearchEdit = nullptr;
    QSplitter* Splitter = nullptr;
    QTabWidget* PageControl1 = nullptr;
    DBGrid* DBGrid1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QList<QLabel*> statusPanels;

    // Card.
    DBEdit* FamEdit = nullptr;
    DBEdit* NameEdit = nullptr;
    DBEdit* SecNameEdit = nullptr;
    DBEdit* BirthDateEdit = nullptr;
    DBEdit* CitizenEdit = nullptr;
    DBEdit* NumberEdit = nullptr;
    DBComboBox* FamilyBox = nullptr;
    DBRadioGroup* SexGroup = nullptr;
    QLabel* Photo = nullptr;
    QLabel* Placeholder = nullptr;
    QPushButton* PhotoButton = nullptr;
    DBLookupComboBox* FacultyPicker = nullptr;
    DBLookupComboBox* SpecialtyPicker = nullptr;
    DBLookupComboBox* GroupPicker = nullptr;
    DBEdit* PodGroupEdit = nullptr;
    DBRadioGroup* TypeGroup = nullptr;
    DBEdit* CityEdit = nullptr;
    DBEdit* StreetEdit = nullptr;
    DBEdit* HouseEdit = nullptr;
    DBEdit* AparEdit = nullptr;
    QPushButton* PriorButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* NewButton = nullptr;
    QPushButton* DeleteButton = nullptr;
    QPushButton* NextButton = nullptr;

    // Grade sheet.
    QPushButton* FillButton = nullptr;
    QPushButton* ClearButton = nullptr;
    QTabBar* CourseTabs = nullptr;
    QTabBar* SemesterTabs = nullptr;
    DBGrid* GradeGrid = nullptr;
    // Every result a grade can be given, for the result column's drop-down.
    Table* ResultList = nullptr;

    // Parents.
    QList<DBEdit*> parentEdits;
    QPushButton* ParentEditButton = nullptr;
    QPushButton* ParentSaveButton = nullptr;

    // Handlers.
    void FormShow();
    void PriorButtonClick();
    void SaveButtonClick();
    void NewButtonClick();
    void DeleteButtonClick();
    void NextButtonClick();
    void PhotoButtonClick();
    void PrintButtonClick();
    void SearchEditChange(const QString& text);
    // The list's four keys; true when the key was one of them.
    bool DBGrid1KeyDown(int key);
    void PageControl1Change(int page);
    void CourseTabsChange(int index);
    void SemesterTabsChange(int index);
    void FillButtonClick();
    void ClearButtonClick();
    void ParentEditButtonClick();
    void ParentSaveButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rereadSharedList();
    // `Studs` names the window before the constructor's body runs, and is
    // emptied when the window goes, also when its construction fails.
    WindowReference<TStuds>::Claim m_reference{Studs, this};

    QWidget* buildCardPage();
    QWidget* buildGradePage();
    QWidget* buildParentsPage();
    QWidget* buildStrip();
    void buildStatusBar();
    void showPhotoFile(const QString& path);
    void showPlaceholder();
    void writeStatusBar();
};
