// The report container: a hidden window that holds the program's report
// layouts and export filters, and the institution's names the documents print.
#pragma once

#include <QVariant>
#include <QWidget>

#include "ExportFilter.h"
#include "Layout.h"
#include "Pages.h"

class Dataset;

// What the exam statement and the exam sheet read, each time they are
// produced, from the selection window that asked for them.
class ReportRequester {
public:
    virtual ~ReportRequester() = default;
    virtual QString semesterText() const = 0;
    virtual QString yearText() const = 0;
    virtual QString followingYearText() const = 0;
    // The chosen sheet kind's text: "Экзаменационный лист" or "Зачетный лист".
    virtual QString sheetKindText() const = 0;
    // The examiner chosen for each document (an ID_Prepod), null when none was
    // chosen. The window has one examiner picker per document, and a statement
    // and a sheet from the same window may be open in previews at once.
    virtual QVariant statementExaminerKey() const = 0;
    virtual QVariant sheetExaminerKey() const = 0;
};

class TF_Report : public QWidget {
    Q_OBJECT
public:
    explicit TF_Report(QWidget* parent = nullptr);
    ~TF_Report() override;

    // The container start-up made (`F_Report`); its absence is a failure to show.
    static TF_Report& current();

    // The one place of the names the documents and the About window print.
    static QString institutionName();
    static QString branchName();
    // The branch as the About window names it, in the instrumental case
    // ("Автоматизированная система управления филиалом ...").
    static QString branchNameInstrumental();

    // A dataset of the data module by a layout's name, without regard to letter case.
    static Dataset* datasetNamed(const QString& name);
    // The pages of a layout from the data module's current rows.
    report::PageList produce(report::Layout& layout) const;
    // Shows the layout's preview; returns when the preview window closes.
    void preview(report::Layout& layout);

    // The documents. Each preview works on a copy of its layout, so several
    // previews can be open at once; the statement's and the sheet's hooks read
    // the window that asked, for as long as the preview is open, every time
    // the pages are produced (print and export produce them again).
    void previewStatement(const ReportRequester& requester);
    void previewExamSheet(const ReportRequester& requester);
    void previewStudentCard();
    void previewTeacherCard();

    // The layouts' definitions: the statement and the sheet without their
    // hooks (they need a requester), the cards with theirs.
    report::Layout StatementLayout;
    report::Layout ExamSheetLayout;
    report::Layout StudentCardLayout;
    report::Layout TeacherCardLayout;

    // The export filters the preview offers.
    report::TextFilter textFilter;
    report::HtmlFilter htmlFilter;
};
