// The plan's sub-page "Быстрое добавление дисциплин": the current
// specialty's plan on the left, every discipline on the right, and between
// them the semester, control type and hours that "<" gives each discipline it
// moves into the plan. Those four values stay as the user left them, so a run
// of disciplines is added by choosing each on the right and pressing "<".
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DM_Tessaly.h"
#include "DataError.h"
#include "Dataset.h"
#include "Fonts.h"
#include "Placer.h"
#include "YMO.h"

namespace {

constexpr int listColumnWidth = 170;
constexpr int middleWidth = 104;

// A list beside the middle column: one column, no editing in place, and a
// deletion asked for first.
DBGrid* listGrid(const char* name, const QString& accessibleName, DataSource* source,
                 const GridColumn& column) {
    auto* grid = new DBGrid;
    grid->setObjectName(QString::fromLatin1(name));
    grid->setAccessibleName(accessibleName);
    grid->setOptions({DBGrid::ConfirmDelete, DBGrid::CancelOnExit});
    grid->setColumns({column});
    grid->setDataSource(source);
    return grid;
}

// The whole text as a whole number, or the engine's message naming the text.
int integerText(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok) throw DataError(msg::invalidInteger(text));
    return n;
}

}  // namespace

QWidget* Typ::buildQuickAddPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("QuickAddPage"));

    QuickPlanGrid = listGrid("QuickPlanGrid", QStringLiteral("План Специальности"), DM->DS_PlanSpec,
                             {QStringLiteral("DIS"), {}, listColumnWidth});
    QuickPlanGrid->setFixedWidth(listColumnWidth + 24);

    auto* middle = new QWidget;
    middle->setObjectName(QStringLiteral("QuickAddColumn"));
    middle->setFixedWidth(middleWidth);
    middle->setMinimumHeight(300);
    QuickAddButton = new QPushButton(QStringLiteral("<"), middle);
    QuickAddButton->setGeometry((middleWidth - 57) / 2, 2, 57, 57);
    QuickAddButton->setFont(pixelFont(QStringLiteral("Arial"), 24, true));
    QuickAddButton->setAccessibleName(QuickAddButton->text());
    QuickAddButton->setAccessibleDescription(QStringLiteral("Добавить дисциплину в план"));
    Placer at(middle);
    QuickSemesterBox = at.under<QComboBox>(QStringLiteral("Семестр"), QRect(4, 80, 96, 21));
    QuickSemesterBox->setEditable(true);
    for (int s = 1; s <= 14; ++s) QuickSemesterBox->addItem(QString::number(s));
    QuickSemesterBox->setCurrentIndex(0);
    QuickControlPicker =
        at.picker(QStringLiteral("Тип контроля"), {}, QRect(4, 124, 96, 21), DM->DS_ID_Kontrol,
                  QStringLiteral("ID_KONTROL"), QStringLiteral("Nazvanie"));
    QuickPracticeEdit = at.under<QLineEdit>(QStringLiteral("Практик:"), QRect(4, 168, 96, 21));
    QuickPracticeEdit->setText(QStringLiteral("20"));
    QuickLectureEdit = at.under<QLineEdit>(QStringLiteral("Лекций:"), QRect(4, 212, 96, 21));
    QuickLectureEdit->setText(QStringLiteral("20"));
    QuickRemoveButton = new QPushButton(QStringLiteral(">"), middle);
    QuickRemoveButton->setGeometry((middleWidth - 57) / 2, 240, 57, 57);
    QuickRemoveButton->setFont(QuickAddButton->font());
    QuickRemoveButton->setAccessibleName(QuickRemoveButton->text());
    QuickRemoveButton->setAccessibleDescription(QStringLiteral("Убрать дисциплину из плана"));
    connect(QuickAddButton, &QPushButton::clicked, this, &Typ::QuickAddButtonClick);
    connect(QuickRemoveButton, &QPushButton::clicked, this, &Typ::QuickRemoveButtonClick);

    QuickDisciplineGrid = listGrid("QuickDisciplineGrid", QStringLiteral("Дисциплины"),
                                   DM->DS_Disciplins, {QStringLiteral("NameDis"), {}, 0});

    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(QuickPlanGrid);
    layout->addWidget(middle);
    layout->addWidget(QuickDisciplineGrid, 1);
    return page;
}

void Typ::QuickAddButtonClick() {
    // Every text is checked before anything is inserted, so a typing slip
    // leaves no half-filled plan row behind.
    const int semester = integerText(QuickSemesterBox->currentText());
    const int lectures = integerText(QuickLectureEdit->text());
    const int practice = integerText(QuickPracticeEdit->text());
    // The discipline chosen on the right and the specialty whose plan it joins,
    // taken before the new row is started.
    if (DM->T_Disciplins->isEmpty() || DM->T_Spec->isEmpty()) throw DataError(msg::emptyDataset());
    const int discipline = DM->T_DisciplinsNdis->asInteger();
    const QVariant specialty = DM->T_SpecID_Spec->value();

    // Inserting settles a pending plan row first; the new one takes the
    // specialty through the master link.
    DM->T_Plan_Spec->insert();
    DM->T_Plan_SpecNdis->setValue(discipline);
    DM->T_Plan_SpecID_Spec->setValue(specialty);
    DM->T_Plan_SpecSemestr->setValue(semester);
    DM->T_Plan_SpecID_Kontrol->setValue(QuickControlPicker->keyValue());
    DM->T_Plan_SpecTime_Lekcii->setValue(lectures);
    DM->T_Plan_SpecTime_Prakt->setValue(practice);
    DM->T_Plan_Spec->post();
}

void Typ::QuickRemoveButtonClick() {
    // No question: a pending new row is dropped, else the stored row is deleted.
    DM->T_Plan_Spec->remove();
}
