// Page "Структура ВУЗа". The boxes' fields and buttons sit at fixed places;
// the three grids take whatever the splitters leave them. The grids only
// choose rows: every change goes through the fields and buttons above them.
#include "StructurePage.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBText.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Messages.h"
#include "Placer.h"
#include "References.h"

namespace {

constexpr int facultyBoxHeight = 300;
constexpr int facultyPanelWidth = 359;
constexpr int departmentBoxWidth = 433;
// The department and group fields stand equally high, so both grids start level.
constexpr int fieldsHeight = 176;
constexpr int buttonsTop = 138;

DBGrid* choosingGrid(QWidget* parent, const QString& name, const QString& caption,
                     DataSource* source) {
    auto* grid = new DBGrid(parent);
    grid->setObjectName(name);
    grid->setAccessibleName(caption);
    grid->setOptions({DBGrid::RowSelect, DBGrid::ReadOnly, DBGrid::ConfirmDelete,
                      DBGrid::CancelOnExit, DBGrid::Indicator});
    grid->setDataSource(source);
    return grid;
}

// A box's fields over its grid.
void stack(QGroupBox* box, QWidget* fields, DBGrid* grid) {
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(fields);
    layout->addWidget(grid, 1);
}

// Bound edits write what they show first, so a text just typed counts as a change.
void postIfModified(Dataset* ds) {
    if (ds->isEditing()) ds->updateRecord();
    if (ds->isModified()) ds->post();
}

}  // namespace

StructurePage::StructurePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StructurePage"));

    StructureSplitter = new QSplitter(Qt::Vertical, this);
    StructureSplitter->setObjectName(QStringLiteral("StructureSplitter"));
    StructureSplitter->setChildrenCollapsible(false);
    StructureSplitter->addWidget(buildFacultyBox());

    LowerSplitter = new QSplitter(Qt::Horizontal);
    LowerSplitter->setObjectName(QStringLiteral("LowerSplitter"));
    LowerSplitter->setChildrenCollapsible(false);
    LowerSplitter->addWidget(buildDepartmentBox());
    LowerSplitter->addWidget(buildGroupsBox());
    LowerSplitter->setStretchFactor(0, 0);
    LowerSplitter->setStretchFactor(1, 1);
    LowerSplitter->setSizes({departmentBoxWidth, 913 - departmentBoxWidth});
    StructureSplitter->addWidget(LowerSplitter);
    StructureSplitter->setStretchFactor(0, 0);
    StructureSplitter->setStretchFactor(1, 1);
    StructureSplitter->setSizes({facultyBoxHeight, 826 - facultyBoxHeight});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(StructureSplitter);
}

QGroupBox* StructurePage::buildFacultyBox() {
    FacultyBox = new QGroupBox(QStringLiteral("Факультет"));
    FacultyBox->setObjectName(QStringLiteral("FacultyBox"));
    FacultyBox->setMinimumHeight(facultyBoxHeight);

    FacultyGrid = choosingGrid(FacultyBox, QStringLiteral("FacultyGrid"),
                               QStringLiteral("Факультет"), DM->DS_facultet);

    auto* panel = new QWidget(FacultyBox);
    panel->setFixedWidth(facultyPanelWidth);
    Placer at(panel, DM->DS_facultet);
    FacultyNameEdit = at.edit(QStringLiteral("Название Факультета"), QStringLiteral("Nazvanie"),
                              QRect(8, 22, 343, 21));
    DeanPicker = at.picker(QStringLiteral("Декан Факультета"), QStringLiteral("ID_Dekan"),
                           QRect(8, 64, 343, 21), DM->DS_Prepod, QStringLiteral("ID_PREPOD"),
                           QStringLiteral("Фамилия"));

    FacultyDeleteButton = at.button(QStringLiteral("Удалить"), QRect(8, 98, 75, 30));
    FacultyPriorButton = at.button(QStringLiteral("<<"), QRect(87, 98, 40, 30));
    FacultyNewButton = at.button(QStringLiteral("Новая Запись"), QRect(131, 98, 97, 30));
    FacultyNextButton = at.button(QStringLiteral(">>"), QRect(232, 98, 40, 30));
    FacultySaveButton = at.button(QStringLiteral("Сохранить"), QRect(276, 98, 75, 30));
    connect(FacultyDeleteButton, &QPushButton::clicked, this,
            &StructurePage::FacultyDeleteButtonClick);
    connect(FacultyPriorButton, &QPushButton::clicked, this,
            &StructurePage::FacultyPriorButtonClick);
    connect(FacultyNewButton, &QPushButton::clicked, this, &StructurePage::FacultyNewButtonClick);
    connect(FacultyNextButton, &QPushButton::clicked, this, &StructurePage::FacultyNextButtonClick);
    connect(FacultySaveButton, &QPushButton::clicked, this, &StructurePage::FacultySaveButtonClick);

    auto* layout = new QHBoxLayout(FacultyBox);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(FacultyGrid, 1);
    layout->addWidget(panel);
    return FacultyBox;
}

QGroupBox* StructurePage::buildDepartmentBox() {
    DepartmentBox = new QGroupBox(QStringLiteral("Кафедра"));
    DepartmentBox->setObjectName(QStringLiteral("DepartmentBox"));
    DepartmentBox->setMinimumWidth(200);

    auto* fields = new QWidget(DepartmentBox);
    fields->setFixedHeight(fieldsHeight);
    Placer at(fields, DM->DS_Kafedra);
    DepartmentNameEdit = at.edit(QStringLiteral("Название Кафедры"), QStringLiteral("Nazvanie"),
                                 QRect(8, 22, 409, 21));
    // The faculty the department belongs to, which the faculty box chooses.
    DepartmentFaculty =
        at.under<DBText>(QStringLiteral("Факультет Кафедры"), QRect(8, 64, 409, 21));
    DepartmentFaculty->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    DepartmentFaculty->setDataSource(DM->DS_Kafedra);
    DepartmentFaculty->setDataField(QStringLiteral("FACULTET"));

    DepartmentAddButton = at.button(QStringLiteral("Добавить"), QRect(8, buttonsTop, 97, 30));
    DepartmentSaveButton = at.button(QStringLiteral("Сохранить"), QRect(111, buttonsTop, 97, 30));
    DepartmentDeleteButton = at.button(QStringLiteral("Удалить"), QRect(214, buttonsTop, 97, 30));
    connect(DepartmentAddButton, &QPushButton::clicked, this,
            &StructurePage::DepartmentAddButtonClick);
    connect(DepartmentSaveButton, &QPushButton::clicked, this,
            &StructurePage::DepartmentSaveButtonClick);
    connect(DepartmentDeleteButton, &QPushButton::clicked, this,
            &StructurePage::DepartmentDeleteButtonClick);

    DepartmentGrid = choosingGrid(DepartmentBox, QStringLiteral("DepartmentGrid"),
                                  QStringLiteral("Кафедра"), DM->DS_Kafedra);
    stack(DepartmentBox, fields, DepartmentGrid);
    return DepartmentBox;
}

QGroupBox* StructurePage::buildGroupsBox() {
    GroupsBox = new QGroupBox(QStringLiteral("Группы"));
    GroupsBox->setObjectName(QStringLiteral("GroupsBox"));
    GroupsBox->setMinimumWidth(200);

    auto* fields = new QWidget(GroupsBox);
    fields->setFixedHeight(fieldsHeight);
    Placer at(fields, DM->DS_Group);
    // Unbound: choosing a specialty makes it current, and the group list follows it.
    GroupSpecialtyPicker =
        at.picker(QStringLiteral("Специальность Группы"), QString(), QRect(8, 22, 300, 21),
                  DM->DS_Spec, QStringLiteral("ID_Spec"), QStringLiteral("Nazvanie"));
    GroupNameEdit = at.edit(QStringLiteral("Название Группы"), QStringLiteral("Nazvanie"),
                            QRect(8, 64, 300, 21));
    CuratorPicker = at.picker(QStringLiteral("Куратор Группы"), QStringLiteral("ID_Kyrator"),
                              QRect(8, 106, 300, 21), DM->DS_Prepod, QStringLiteral("ID_PREPOD"),
                              QStringLiteral("Фамилия"));

    GroupAddButton = at.button(QStringLiteral("Добавить"), QRect(8, buttonsTop, 97, 30));
    GroupSaveButton = at.button(QStringLiteral("Сохранить"), QRect(111, buttonsTop, 97, 30));
    GroupDeleteButton = at.button(QStringLiteral("Удалить"), QRect(214, buttonsTop, 97, 30));
    connect(GroupAddButton, &QPushButton::clicked, this, &StructurePage::GroupAddButtonClick);
    connect(GroupSaveButton, &QPushButton::clicked, this, &StructurePage::GroupSaveButtonClick);
    connect(GroupDeleteButton, &QPushButton::clicked, this, &StructurePage::GroupDeleteButtonClick);

    GroupGrid = choosingGrid(GroupsBox, QStringLiteral("GroupGrid"), QStringLiteral("Группы"),
                             DM->DS_Group);
    stack(GroupsBox, fields, GroupGrid);
    return GroupsBox;
}

// ---- the faculty box

void StructurePage::FacultyDeleteButtonClick() {
    DM->facultet->remove();
}
void StructurePage::FacultyPriorButtonClick() {
    DM->facultet->prior();
}
// Appending settles the faculty being edited first.
void StructurePage::FacultyNewButtonClick() {
    DM->facultet->append();
}
void StructurePage::FacultyNextButtonClick() {
    DM->facultet->next();
}

void StructurePage::FacultySaveButtonClick() {
    // The name is judged as the edit shows it: only an empty text is none, a blank is a name.
    if (FacultyNameEdit->text().isEmpty()) {
        platform::showMessage(QStringLiteral("Введите название"));
        return;
    }
    // Posted whether or not the faculty is being edited: an unchanged one is refused.
    DM->facultet->post();
}

// ---- the department box

// A new department takes the current faculty's key and the next free number.
void StructurePage::DepartmentAddButtonClick() {
    DM->T_Kafedra->append();
}
void StructurePage::DepartmentSaveButtonClick() {
    postIfModified(DM->T_Kafedra);
}
void StructurePage::DepartmentDeleteButtonClick() {
    DM->T_Kafedra->remove();
}

// ---- the group box

// A new group takes the current specialty's key.
void StructurePage::GroupAddButtonClick() {
    DM->T_Gruppa->append();
}
void StructurePage::GroupSaveButtonClick() {
    postIfModified(DM->T_Gruppa);
}
void StructurePage::GroupDeleteButtonClick() {
    DM->T_Gruppa->remove();
}
