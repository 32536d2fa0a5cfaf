// The report container: a hidden window that holds the export filters the
// previews offer and the institution's names the documents print, and opens
// the documents' previews (the layouts themselves are built by Documents.h).
#pragma once

#include <QVariant>
#include <QWidget>

#include "ExportFilter.h"
#include "Layout.h"
#include "Pages.h"

class Dataset;

namespace documents {
class Document;
struct StatementRequest;
struct SheetRequest;
}  // namespace documents

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
    // Shows a document's preview; returns when the preview window closes; print and export produce it again from its
    // own request, whatever was chosen or moved meanwhile.
    void preview(documents::Document& document);

    // The documents, each for the request made when it was asked for.
    // Several previews can be open at once.
    void previewStatement(const documents::StatementRequest& request);
    void previewExamSheet(const documents::SheetRequest& request);
    void previewStudentCard(const QVariant& student);  // N_student
    void previewTeacherCard(const QVariant& teacher);  // ID_Prepod

    // The export filters the preview offers.
    report::TextFilter textFilter;
    report::HtmlFilter htmlFilter;
};
