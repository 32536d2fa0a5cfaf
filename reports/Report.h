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
    // The examiner chosen in that window (an ID_Prepod), null when none was chosen.
    virtual QVariant examinerKey() const = 0;
};

class TF_Report : public QWidget {
    Q_OBJECT
public:
    explicit TF_Report(QWidget* parent = nullptr);
    ~TF_Report() override;

    // The one place of the names the documents print.
    static QString institutionName();
    static QString branchName();

    // A dataset of the data module by a layout's name, without regard to letter case.
    static Dataset* datasetNamed(const QString& name);
    // The pages of a layout from the data module's current rows.
    report::PageList produce(report::Layout& layout) const;
    // Shows the layout's preview; returns when the preview window closes.
    void preview(report::Layout& layout);

    // The export filters the preview offers.
    report::TextFilter textFilter;
    report::HtmlFilter htmlFilter;
};
