// The educational-process window and its page "Специальность". Controls sit
// at fixed places inside their boxes; the two grids take whatever height the
// boxes leave them.
#include "YMO.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include "DBComboBox.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBText.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "DisciplinesPage.h"
#include "Fonts.h"
#include "Messages.h"
#include "Placer.h"
#include "Query.h"
#include "StructurePage.h"

namespace {

const QString windowFont = QStringLiteral("MS Sans Serif");
const QColor skyBlue(0xa6, 0xca, 0xf0);
const QColor silver(0xc0, 0xc0, 0xc0);
constexpr int bandHeight = 92;
constexpr int specialtyBoxWidth = 330;
constexpr int specialtyBoxHeight = 675;

// While the window is open the plan query holds every plan row as the table
// keeps them; afterwards, the same rows ordered by specialty.
const QString planWhileOpen = QStringLiteral("Select * From PlanSpec");
const QString planAfterClose = QStringLiteral("Select * from PlanSpec Order By ID_Spec");

QLabel* bandLabel(QLabel* label) {
    label->setFont(pixelFont(QStringLiteral("Arial Black"), 16));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, silver);
    label->setPalette(pal);
    return label;
}

// The plan query takes a new statement (which closes it) and opens again.
void replacePlanStatement(const QString& statement) {
    DM->Q_Plan_Spec->setSql(statement);
    DM->Q_Plan_Spec->open();
}

// Bound controls write what they show into the rows they edit.
void writePendingText() {
    for (Dataset* ds :
         {static_cast<Dataset*>(DM->T_Spec), static_cast<Dataset*>(DM->T_Plan_Spec),
          static_cast<Dataset*>(DM->facultet), static_cast<Dataset*>(DM->T_Kafedra),
          static_cast<Dataset*>(DM->T_Gruppa), static_cast<Dataset*>(DM->T_Disciplins)})
        if (ds->isEditing()) ds->updateRecord();
}

}  // namespace

Typ::Typ(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("yp"));
    setWindowTitle(QStringLiteral("Учебный процесс"));
    setFont(pixelFont(windowFont, 11));
    resize(913, 826);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addTab(buildSpecialtyPage(), QStringLiteral("Специальность"));
    Structure = new StructurePage;
    PageControl1->addTab(Structure, QStringLiteral("Структура ВУЗа"));
    Disciplines = new DisciplinesPage;
    PageControl1->addTab(Disciplines, QStringLiteral("Дисциплины"));
    PageControl1->setCurrentIndex(StructureIndex);
    layout->addWidget(PageControl1);

    FormCreate();
    // Only a switch by the user changes the plan grid's editor mode.
    connect(PlanPages, &QTabWidget::currentChanged, this, &Typ::PlanPagesChange);
    show();
}

Typ::~Typ() = default;

void Typ::FormCreate() {
    replacePlanStatement(planWhileOpen);
    if (!DM->T_Disciplins->isActive()) DM->T_Disciplins->open();
    if (!DM->T_Spec->isActive()) DM->T_Spec->open();
    PlanPages->setCurrentIndex(EditPlanIndex);
}

void Typ::closeEvent(QCloseEvent* event) {
    // A text typed but not yet written stays in its pending row, which the
    // next settle in any window stores.
    writePendingText();
    replacePlanStatement(planAfterClose);
    // Closing any window of this kind lets the next opening create a new one.
    yp = nullptr;
    event->accept();
}

// ---- page "Специальность"

QWidget* Typ::buildSpecialtyPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildFacultyBand());

    SpecialtySplitter = new QSplitter(Qt::Horizontal, page);
    SpecialtySplitter->setObjectName(QStringLiteral("SpecialtySplitter"));
    SpecialtySplitter->setChildrenCollapsible(false);
    SpecialtySplitter->addWidget(buildSpecialtyBox());
    SpecialtySplitter->addWidget(buildPlanBox());
    SpecialtySplitter->setStretchFactor(0, 0);
    SpecialtySplitter->setStretchFactor(1, 1);
    SpecialtySplitter->setSizes({specialtyBoxWidth, 913 - specialtyBoxWidth});
    layout->addWidget(SpecialtySplitter, 1);
    return page;
}

QWidget* Typ::buildFacultyBand() {
    FacultyBand = new QWidget;
    FacultyBand->setObjectName(QStringLiteral("FacultyBand"));
    FacultyBand->setFixedHeight(bandHeight);
    FacultyBand->setAutoFillBackground(true);
    QPalette pal = FacultyBand->palette();
    pal.setColor(QPalette::Window, skyBlue);
    FacultyBand->setPalette(pal);

    FacultyHeading = bandLabel(new QLabel(QStringLiteral("ФАКУЛЬТЕТ"), FacultyBand));
    FacultyHeading->move(16, 4);
    FacultyHeading->adjustSize();
    FacultyPicker = new DBLookupComboBox(FacultyBand);
    FacultyPicker->setObjectName(QStringLiteral("FacultyPicker"));
    FacultyPicker->setGeometry(16, 30, 297, 21);
    FacultyPicker->setListSource(DM->DS_facultet);
    FacultyPicker->setKeyField(QStringLiteral("ID_Facultet"));
    FacultyPicker->setListField(QStringLiteral("Nazvanie"));
    FacultyPicker->setAccessibleName(QStringLiteral("ФАКУЛЬТЕТ"));
    FacultyHeading->setBuddy(FacultyPicker);

    // The current specialty's name, centred along the band's bottom edge.
    SpecialtyName = new DBText(FacultyBand);
    bandLabel(SpecialtyName);
    SpecialtyName->setObjectName(QStringLiteral("SpecialtyName"));
    SpecialtyName->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    SpecialtyName->setAccessibleName(QStringLiteral("Специальность"));
    SpecialtyName->setDataSource(DM->DS_Spec);
    SpecialtyName->setDataField(QStringLiteral("Nazvanie"));
    // Placed by hand, not by a layout: a new name then repaints the label
    // alone instead of laying out, and redrawing, the whole window.
    FacultyBand->installEventFilter(this);
    return FacultyBand;
}

QGroupBox* Typ::buildSpecialtyBox() {
    SpecialtyBox = new QGroupBox(QStringLiteral("Список Специальностей"));
    SpecialtyBox->setObjectName(QStringLiteral("SpecialtyBox"));
    SpecialtyBox->setMaximumSize(specialtyBoxWidth, specialtyBoxHeight);
    SpecialtyBox->setMinimumWidth(200);

    auto* fields = new QWidget(SpecialtyBox);
    fields->setFixedHeight(178);
    Placer at(fields, DM->DS_Spec);
    SpecNameEdit = at.edit(QStringLiteral("Название Специальности"), QStringLiteral("Nazvanie"),
                           QRect(8, 20, 305, 21));
    SpecCodeEdit = at.edit(QStringLiteral("Код Специальности"), QStringLiteral("ID_Spec"),
                           QRect(8, 62, 97, 21));
    SpecCodeEdit->setLimit(6);
    // The specialty's faculty, which the picker above and the grid choose.
    SpecFacultyEdit = at.edit(QStringLiteral("Факультет Специальности:"),
                              QStringLiteral("Facultet"), QRect(8, 104, 305, 21));
    SpecFacultyEdit->setBoundReadOnly(true);

    SpecNewButton = at.button(QStringLiteral("Новая Запись"), QRect(8, 138, 97, 30));
    SpecPriorButton = at.button(QStringLiteral("<<"), QRect(111, 138, 45, 30));
    SpecNextButton = at.button(QStringLiteral(">>"), QRect(160, 138, 45, 30));
    SpecSaveButton = at.button(QStringLiteral("Сохранить"), QRect(212, 138, 101, 30));
    connect(SpecNewButton, &QPushButton::clicked, this, &Typ::SpecNewButtonClick);
    connect(SpecPriorButton, &QPushButton::clicked, this, &Typ::SpecPriorButtonClick);
    connect(SpecNextButton, &QPushButton::clicked, this, &Typ::SpecNextButtonClick);
    connect(SpecSaveButton, &QPushButton::clicked, this, &Typ::SpecSaveButtonClick);

    SpecGrid = new DBGrid(SpecialtyBox);
    SpecGrid->setObjectName(QStringLiteral("SpecGrid"));
    SpecGrid->setAccessibleName(QStringLiteral("Список Специальностей"));
    SpecGrid->setOptions({DBGrid::Editing, DBGrid::ConfirmDelete, DBGrid::CancelOnExit});
    SpecGrid->setDataSource(DM->DS_Spec);

    auto* layout = new QVBoxLayout(SpecialtyBox);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(fields);
    layout->addWidget(SpecGrid, 1);
    return SpecialtyBox;
}

QGroupBox* Typ::buildPlanBox() {
    PlanBox = new QGroupBox(QStringLiteral("План Специальности"));
    PlanBox->setObjectName(QStringLiteral("PlanBox"));
    PlanBox->setMinimumWidth(300);

    PlanSplitter = new QSplitter(Qt::Vertical, PlanBox);
    PlanSplitter->setObjectName(QStringLiteral("PlanSplitter"));
    PlanSplitter->setChildrenCollapsible(false);
    PlanPages = new QTabWidget;
    PlanPages->setObjectName(QStringLiteral("PlanPages"));
    PlanPages->addTab(buildEditPlanPage(), QStringLiteral("Редактировать записей"));
    PlanPages->addTab(buildQuickAddPage(), QStringLiteral("Быстрое добавление дисциплин"));
    PlanSplitter->addWidget(PlanPages);

    PlanGrid = new DBGrid;
    PlanGrid->setObjectName(QStringLiteral("PlanGrid"));
    PlanGrid->setAccessibleName(QStringLiteral("План Специальности"));
    PlanGrid->setOptions({DBGrid::Editing, DBGrid::ConfirmDelete, DBGrid::CancelOnExit});
    PlanGrid->setDataSource(DM->DS_PlanSpec);
    PlanSplitter->addWidget(PlanGrid);
    PlanSplitter->setStretchFactor(0, 0);
    PlanSplitter->setStretchFactor(1, 1);
    PlanSplitter->setSizes({330, 340});

    auto* layout = new QVBoxLayout(PlanBox);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(PlanSplitter);
    return PlanBox;
}

QWidget* Typ::buildEditPlanPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("EditPlanPage"));
    Placer at(page, DM->DS_PlanSpec);
    // The discipline is chosen in the plan grid or by quick add; the picker
    // only shows it and keeps the discipline list on the plan row's discipline.
    PlanDisciplinePicker =
        at.picker(QStringLiteral("Дисциплина:"), QStringLiteral("Ndis"), QRect(12, 26, 400, 21),
                  DM->DS_Disciplins, QStringLiteral("Ndis"), QStringLiteral("NameDis"));
    PlanDisciplinePicker->setReadOnly(true);

    PlanSemesterBox = at.under<DBComboBox>(QStringLiteral("Семестр"), QRect(12, 72, 73, 21));
    for (int s = 1; s <= 10; ++s) PlanSemesterBox->addItem(QString::number(s));
    PlanSemesterBox->setDataSource(DM->DS_PlanSpec);
    PlanSemesterBox->setDataField(QStringLiteral("Semestr"));
    PlanLectureEdit = at.edit(QStringLiteral("Число часов лекций"), QStringLiteral("Time_Lekcii"),
                              QRect(110, 72, 121, 21));
    PlanPracticeEdit = at.edit(QStringLiteral("Число часов практик"), QStringLiteral("Time_Prakt"),
                               QRect(256, 72, 121, 21));
    PlanControlPicker = at.picker(QStringLiteral("Тип контроля"), QStringLiteral("ID_Kontrol"),
                                  QRect(12, 118, 219, 21), DM->DS_ID_Kontrol,
                                  QStringLiteral("ID_KONTROL"), QStringLiteral("Nazvanie"));

    PlanNewButton = at.button(QStringLiteral("Новая Запись"), QRect(12, 160, 97, 30));
    PlanSaveButton = at.button(QStringLiteral("Сохранить"), QRect(115, 160, 97, 30));
    PlanPriorButton = at.button(QStringLiteral("<<"), QRect(218, 160, 45, 30));
    PlanNextButton = at.button(QStringLiteral(">>"), QRect(267, 160, 45, 30));
    connect(PlanNewButton, &QPushButton::clicked, this, &Typ::PlanNewButtonClick);
    connect(PlanSaveButton, &QPushButton::clicked, this, &Typ::PlanSaveButtonClick);
    connect(PlanPriorButton, &QPushButton::clicked, this, &Typ::PlanPriorButtonClick);
    connect(PlanNextButton, &QPushButton::clicked, this, &Typ::PlanNextButtonClick);
    return page;
}

bool Typ::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FacultyBand && event->type() == QEvent::Resize) {
        const int height = SpecialtyName->fontMetrics().height() + 4;
        SpecialtyName->setGeometry(8, FacultyBand->height() - height - 2, FacultyBand->width() - 16,
                                   height);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- the specialty list's buttons

void Typ::SpecNewButtonClick() {
    // Appending settles the specialty being edited first.
    if (!DM->T_Spec->isActive() || DM->T_Spec->isReadOnly()) return;
    DM->T_Spec->append();
}

void Typ::SpecPriorButtonClick() {
    DM->T_Spec->prior();
}
void Typ::SpecNextButtonClick() {
    DM->T_Spec->next();
}

void Typ::SpecSaveButtonClick() {
    writePendingText();
    if (DM->T_Spec->isModified()) DM->T_Spec->post();
}

// ---- the plan's buttons

void Typ::PlanNewButtonClick() {
    writePendingText();
    if (DM->T_Plan_Spec->isModified()) {
        platform::showMessage(QStringLiteral("Пожалуйста сохраните изменения"));
        return;
    }
    DM->T_Plan_Spec->insert();
}

void Typ::PlanSaveButtonClick() {
    writePendingText();
    if (!DM->T_Plan_Spec->isModified()) return;
    for (const Field* required :
         {DM->T_Plan_SpecNdis, DM->T_Plan_SpecSemestr, DM->T_Plan_SpecID_Kontrol}) {
        if (required->isNull()) {
            platform::showMessage(QStringLiteral("Пожалуйста заполните все ячейки"));
            return;
        }
    }
    // Inserting posts the row and opens an untouched one for the next discipline.
    DM->T_Plan_Spec->insert();
}

void Typ::PlanPriorButtonClick() {
    DM->T_Plan_Spec->prior();
}
void Typ::PlanNextButtonClick() {
    DM->T_Plan_Spec->next();
}

void Typ::PlanPagesChange(int index) {
    // Editing the rows in place belongs to the first sub-page.
    PlanGrid->setOption(DBGrid::AlwaysShowEditor, index == EditPlanIndex);
}
