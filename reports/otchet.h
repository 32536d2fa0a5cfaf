// The report selection window: gathers the group, semester, academic year,
// discipline and examiner of an exam statement, and the student, discipline,
// examiner, semester and kind of an exam or credit sheet, and opens their
// previews. Its pickers are unbound: choosing a row makes it the current row
// of the shared dataset, as elsewhere, but a document prints the rows this
// window's pickers chose, taken as a request when its button is pressed.
//
// A new window on every menu click; `f_otchet` names the newest. Closing only
// hides a window.
#pragma once

#include <QWidget>

#include "Documents.h"
#include "References.h"
#include "Report.h"

class DBLookupComboBox;
class DataSource;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class UpDown;

class Tf_otchet : public QWidget {
    Q_OBJECT
public:
    enum Page { StatementIndex = 0, SheetIndex = 1 };
    // What the statement's students are read by.
    static QString reportStatement();

    explicit Tf_otchet(QWidget* parent = nullptr);
    ~Tf_otchet() override;

    // The choices as the documents take them; a picker whose list no longer
    // offers its chosen row (another faculty was chosen) counts as unchosen.
    documents::StatementRequest statementRequest() const;
    documents::SheetRequest sheetRequest() const;
    // The chosen sheet kind's text: "Экзаменационный лист" or "Зачетный лист".
    QString sheetKindText() const;

    QTabWidget* PageControl1 = nullptr;

    // Page "Экзаменационная ведомоcть".
    DBLookupComboBox* FacultyPicker = nullptr;
    DBLookupComboBox* GroupPicker = nullptr;
    QLineEdit* SemesterEdit = nullptr;
    UpDown* SemesterUpDown = nullptr;
    DBLookupComboBox* ExaminerPicker = nullptr;
    DBLookupComboBox* DisciplinePicker = nullptr;
    QLineEdit* YearEdit = nullptr;
    UpDown* YearUpDown = nullptr;
    QLineEdit* FollowingYearEdit = nullptr;
    QPushButton* ReportButton = nullptr;

    // Page "Экзаменационный лист".
    QGroupBox* SheetKindGroup = nullptr;
    QRadioButton* ExamSheetItem = nullptr;
    QRadioButton* CreditSheetItem = nullptr;
    DBLookupComboBox* StudentPicker = nullptr;
    DBLookupComboBox* SheetDisciplinePicker = nullptr;
    DBLookupComboBox* SheetExaminerPicker = nullptr;
    // Whose plan hours the sheet prints; empty or 0: none asked for.
    QLineEdit* SheetSemesterEdit = nullptr;
    UpDown* SheetSemesterUpDown = nullptr;
    QPushButton* PrintButton = nullptr;

    // Handlers.
    void GroupPickerChange();
    void GroupPickerOffered(bool offered);
    void YearEditChange();
    void ReportButtonClick();
    void PrintButtonClick();

private:
    QWidget* buildStatementPage();
    QWidget* buildSheetPage();
    void setTabOrders();
    QLabel* caption(QWidget* page, const QString& text, int left, int top, QWidget* buddy);
    DBLookupComboBox* picker(QWidget* page, const QRect& where, DataSource* list,
                             const QString& key, const QString& shown);
    QLineEdit* edit(QWidget* page, const QRect& where, const QString& text);
    // Arrows at their lowest position that write into the edit beside them.
    UpDown* upDown(QWidget* page, Qt::Orientation orientation, const QRect& where, int low,
                   int high, QLineEdit* associate, const QString& name);
};
