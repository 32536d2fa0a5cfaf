// Page "Дисциплины": a record navigator over the discipline grid. Everything
// happens through these two; the grid types names in place, and its number
// column, which the database counts, takes no typing.
#include "DisciplinesPage.h"

#include <QVBoxLayout>

#include "DBGrid.h"
#include "DBNavigator.h"
#include "DM_Tessaly.h"
#include "References.h"

namespace {
constexpr int navigatorHeight = 25;
}  // namespace

DisciplinesPage::DisciplinesPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("DisciplinesPage"));

    DisciplinesNavigator = new DBNavigator(this);
    DisciplinesNavigator->setObjectName(QStringLiteral("DisciplinesNavigator"));
    DisciplinesNavigator->setAccessibleName(QStringLiteral("Дисциплины"));
    DisciplinesNavigator->setFixedHeight(navigatorHeight);
    DisciplinesNavigator->setShowHint(false);
    DisciplinesNavigator->setConfirmDelete(true);
    DisciplinesNavigator->setDataSource(DM->DS_Disciplins);

    DisciplinesGrid = new DBGrid(this);
    DisciplinesGrid->setObjectName(QStringLiteral("DisciplinesGrid"));
    DisciplinesGrid->setAccessibleName(QStringLiteral("Дисциплины"));
    DisciplinesGrid->setOptions(
        {DBGrid::Editing, DBGrid::ConfirmDelete, DBGrid::CancelOnExit, DBGrid::Indicator});
    DisciplinesGrid->setShowGrid(true);
    DisciplinesGrid->setDataSource(DM->DS_Disciplins);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(DisciplinesNavigator);
    layout->addWidget(DisciplinesGrid, 1);
}
