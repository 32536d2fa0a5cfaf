#include "Report.h"

#include "DM_Tessaly.h"
#include "Dataset.h"
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

QString TF_Report::institutionName() { return QStringLiteral("Северный государственный университет"); }

QString TF_Report::branchName() { return QStringLiteral("Филиал СГУ"); }

Dataset* TF_Report::datasetNamed(const QString& name) {
    if (!DM) return nullptr;
    for (Dataset* ds : DM->datasets())
        if (ds->objectName().compare(name, Qt::CaseInsensitive) == 0) return ds;
    return nullptr;
}

report::PageList TF_Report::produce(report::Layout& layout) const {
    return report::producePages(layout, &TF_Report::datasetNamed);
}

void TF_Report::preview(report::Layout& layout) {
    report::preview(layout, &TF_Report::datasetNamed, {&textFilter, &htmlFilter});
}
