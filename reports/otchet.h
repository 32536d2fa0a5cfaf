// The report selection window: gathers the group, semester, academic year,
// discipline and examiner of an exam statement, and the student, discipline,
// examiner and kind of an exam or credit sheet, and opens their previews. Its
// pickers are unbound: choosing a row makes it the current row of the shared
// dataset, which the documents print.
//
// A new window on every menu click; `f_otchet` names the newest. Closing only
// hides a window. Each window answers its own documents' hooks.
#pragma once

#include <QWidget>

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

class Tf_otchet : public QWidget, public ReportRequester {
    Q_OBJECT
public:
    enum Page { StatementIndex = 0, SheetIndex = 1 };
    // What the statement's students are read by.
    static QString reportStatement();

    explicit Tf_otchet(QWidget* parent = nullptr);
    ~Tf_otchet() override;

    QString semesterText() const override;
    QString yearText() const override;
    QString followingYearText() const override;
    QString sheetKindText() const override;
    QVariant statementExaminerKey() const override;
    QVariant sheetExaminerKey() const override;

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
    QPushButton* PrintButton = nullptr;

    // Handlers.
    void GroupPickerChange();
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
};
