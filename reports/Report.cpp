#include "Report.h"

#include "References.h"

TF_Report::TF_Report(QWidget* parent) : QWidget(parent) {
    F_Report = this;
    setObjectName(QStringLiteral("F_Report"));
    hide();
}

TF_Report::~TF_Report() {
    if (F_Report == this) F_Report = nullptr;
}
