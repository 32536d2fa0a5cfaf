#include "DisciplinesPage.h"

DisciplinesPage::DisciplinesPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("DisciplinesPage"));
}
