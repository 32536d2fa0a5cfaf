#include "StructurePage.h"

StructurePage::StructurePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StructurePage"));
}
