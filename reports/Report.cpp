// The report container: the names, and the previews of documents made from requests.
#include "Report.h"

#include <stdexcept>

#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Documents.h"
#include "Preview.h"
#include "References.h"

TF_Report::TF_Report(QWidget* parent) : QWidget(parent) {
    F_Report = this;
    setObjectName(QStringLiteral("F_Report"));
    hide();
}

TF_Report::~TF_Report() {
    if (F_Report == this) F_Report = nullptr;
}

TF_Report& TF_Report::current() {
    if (!F_Report) throw std::runtime_error("The report container does not exist");
    return *F_Report;
}

QString TF_Report::institutionName() {
    return QStringLiteral("Северный государственный университет");
}

QString TF_Report::branchName() {
    return QStringLiteral("Филиал СГУ");
}

QString TF_Report::branchNameInstrumental() {
    return QStringLiteral("филиалом Северного университета");
}

Dataset* TF_Report::datasetNamed(const QString& name) {
    if (!DM) return nullptr;
    for (Dataset* ds : DM->datasets())
        if (ds->objectName().compare(name, Qt::CaseInsensitive) == 0) return ds;
    return nullptr;
}

void TF_Report::preview(documents::Document& document) {
    report::preview(document.layout, document.datasets, {&textFilter, &htmlFilter});
}

void TF_Report::previewStatement(const documents::StatementRequest& request) {
    preview(*documents::statement(request));
}

void TF_Report::previewExamSheet(const documents::SheetRequest& request) {
    preview(*documents::examSheet(request));
}

void TF_Report::previewStudentCard(const QVariant& student) {
    preview(*documents::studentCard(student));
}

void TF_Report::previewTeacherCard(const QVariant& teacher) {
    preview(*documents::teacherCard(teacher));
}
