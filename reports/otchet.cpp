// The report selection window. Controls sit at fixed pixel positions on the
// two pages; every caption is its control's buddy and accessible name.
#include "otchet.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <limits>

#include "DBLookupComboBox.h"
#include "DM_Tessaly.h"
#include "DataError.h"
#include "Dataset.h"
#include "Fonts.h"
#include "UpDown.h"

namespace {

constexpr int WindowWidth = 479;
constexpr int WindowHeight = 340;
constexpr int ControlHeight = 21;
constexpr int FirstYear = 2003;
constexpr int LastYear = 2500;
constexpr int LastSemester = 20;
constexpr int LastPlanSemester = 10;

}  // namespace

QString Tf_otchet::reportStatement() {
    return TDM::reportSql();
}

Tf_otchet::Tf_otchet(QWidget* parent) : QWidget(parent, Qt::Window) {
    f_otchet = this;
    setObjectName(QStringLiteral("f_otchet"));
    setWindowTitle(QStringLiteral("ОТЧЕТЫ И ДОКУМЕНТЫ"));
    // MS Sans Serif 8 pt: 11 pixels at the 96 dpi the window was laid out for.
    setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11));
    resize(WindowWidth, WindowHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    // The first caption's "c" before "ть" is a Latin letter.
    PageControl1->addTab(buildStatementPage(), QStringLiteral("Экзаменационная ведомоcть"));
    PageControl1->addTab(buildSheetPage(), QStringLiteral("Экзаменационный лист"));
    PageControl1->setCurrentIndex(SheetIndex);
    layout->addWidget(PageControl1);
    setTabOrders();
}

// Once both pages are in the window: a tab order runs within one window.
void Tf_otchet::setTabOrders() {
    setTabOrder(ReportButton, GroupPicker);
    setTabOrder(GroupPicker, SemesterUpDown);
    setTabOrder(SemesterUpDown, SemesterEdit);
    setTabOrder(SemesterEdit, YearEdit);
    setTabOrder(YearEdit, FollowingYearEdit);
    setTabOrder(FollowingYearEdit, YearUpDown);
    setTabOrder(YearUpDown, ExaminerPicker);
    setTabOrder(ExaminerPicker, DisciplinePicker);
    setTabOrder(DisciplinePicker, FacultyPicker);
    setTabOrder(PrintButton, ExamSheetItem);
    setTabOrder(ExamSheetItem, CreditSheetItem);
    setTabOrder(CreditSheetItem, SheetExaminerPicker);
    setTabOrder(SheetExaminerPicker, SheetDisciplinePicker);
    setTabOrder(SheetDisciplinePicker, StudentPicker);
    setTabOrder(StudentPicker, SheetSemesterEdit);
    setTabOrder(SheetSemesterEdit, SheetSemesterUpDown);
}

Tf_otchet::~Tf_otchet() {
    if (f_otchet == this) f_otchet = nullptr;
}

QLabel* Tf_otchet::caption(QWidget* page, const QString& text, int left, int top, QWidget* buddy) {
    auto* label = new QLabel(text, page);
    label->move(left, top);
    label->adjustSize();
    if (buddy) {
        label->setBuddy(buddy);
        buddy->setAccessibleName(text);
    }
    return label;
}

DBLookupComboBox* Tf_otchet::picker(QWidget* page, const QRect& where, DataSource* list,
                                    const QString& key, const QString& shown) {
    auto* p = new DBLookupComboBox(page);
    p->setGeometry(where);
    p->setListSource(list);
    p->setKeyField(key);
    p->setListField(shown);
    return p;
}

UpDown* Tf_otchet::upDown(QWidget* page, Qt::Orientation orientation, const QRect& where, int low,
                          int high, QLineEdit* associate, const QString& name) {
    auto* u = new UpDown(orientation, page);
    u->setGeometry(where);
    u->setRange(low, high);
    u->setPosition(low);
    u->setAssociate(associate);
    u->setAccessibleName(name);
    return u;
}

QLineEdit* Tf_otchet::edit(QWidget* page, const QRect& where, const QString& text) {
    auto* e = new QLineEdit(text, page);
    e->setGeometry(where);
    return e;
}

QWidget* Tf_otchet::buildStatementPage() {
    auto* page = new QWidget;
    FacultyPicker = picker(page, QRect(8, 24, 433, ControlHeight), DM->DS_facultet,
                           QStringLiteral("ID_Facultet"), QStringLiteral("Nazvanie"));
    caption(page, QStringLiteral("Выберите факультет"), 8, 8, FacultyPicker);
    GroupPicker = picker(page, QRect(8, 80, 433, ControlHeight), DM->DS_Group,
                         QStringLiteral("ID_GRoup"), QStringLiteral("Nazvanie"));
    caption(page, QStringLiteral("Выберите группу"), 8, 64, GroupPicker);

    SemesterEdit = edit(page, QRect(8, 120, 81, ControlHeight), QStringLiteral("1"));
    SemesterEdit->setEnabled(false);
    caption(page, QStringLiteral("Семестр"), 8, 104, SemesterEdit);
    SemesterUpDown = upDown(page, Qt::Vertical, QRect(89, 120, 32, ControlHeight), 1, LastSemester,
                            SemesterEdit, QStringLiteral("Семестр"));

    ExaminerPicker = picker(page, QRect(8, 160, 201, ControlHeight), DM->DS_Prepod,
                            QStringLiteral("ID_Prepod"), QStringLiteral("FIO"));
    caption(page, QStringLiteral("Экзаменатор"), 8, 144, ExaminerPicker);
    DisciplinePicker = picker(page, QRect(264, 160, 185, ControlHeight), DM->DS_Disciplins,
                              QStringLiteral("Ndis"), QStringLiteral("NameDis"));
    caption(page, QStringLiteral("Дисциплину"), 272, 144, DisciplinePicker);

    YearEdit = edit(page, QRect(144, 216, 49, ControlHeight), QString::number(FirstYear));
    caption(page, QStringLiteral("Учебный год"), 184, 200, YearEdit);
    YearUpDown = upDown(page, Qt::Horizontal, QRect(193, 216, 40, ControlHeight), FirstYear,
                        LastYear, YearEdit, QStringLiteral("Учебный год"));
    YearUpDown->setThousands(false);
    FollowingYearEdit =
        edit(page, QRect(232, 216, 49, ControlHeight), QString::number(FirstYear + 1));
    FollowingYearEdit->setAccessibleName(QStringLiteral("Следующий год"));

    ReportButton = new QPushButton(QStringLiteral("Отчет"), page);
    ReportButton->setGeometry(88, 248, 265, 25);
    ReportButton->setAccessibleName(ReportButton->text());
    ReportButton->setEnabled(false);

    // Stacked as laid out, so the following-year field sits over the arrows' last pixel.
    FollowingYearEdit->raise();
    connect(GroupPicker, &DBLookupComboBox::keyValueChanged, this, &Tf_otchet::GroupPickerChange);
    connect(GroupPicker, &DBLookupComboBox::offeredChanged, this, &Tf_otchet::GroupPickerOffered);
    connect(YearEdit, &QLineEdit::textChanged, this, &Tf_otchet::YearEditChange);
    connect(ReportButton, &QPushButton::clicked, this, &Tf_otchet::ReportButtonClick);
    return page;
}

QWidget* Tf_otchet::buildSheetPage() {
    auto* page = new QWidget;
    SheetKindGroup = new QGroupBox(QStringLiteral("Выбор отчета"), page);
    SheetKindGroup->setGeometry(0, 0, WindowWidth - 8, 49);
    auto* kinds = new QGridLayout(SheetKindGroup);
    kinds->setContentsMargins(8, 2, 8, 2);
    ExamSheetItem = new QRadioButton(QStringLiteral("Экзаменационный лист"), SheetKindGroup);
    CreditSheetItem = new QRadioButton(QStringLiteral("Зачетный лист"), SheetKindGroup);
    kinds->addWidget(ExamSheetItem, 0, 0);
    kinds->addWidget(CreditSheetItem, 0, 1);
    ExamSheetItem->setChecked(true);

    StudentPicker = picker(page, QRect(104, 56, 337, ControlHeight), DM->DS_Studenti,
                           QStringLiteral("N_student"), QStringLiteral("FIO"));
    caption(page, QStringLiteral("номер"), 8, 56, StudentPicker);
    SheetDisciplinePicker = picker(page, QRect(104, 88, 337, ControlHeight), DM->DS_Disciplins,
                                   QStringLiteral("Ndis"), QStringLiteral("NameDis"));
    caption(page, QStringLiteral("Дисциплина"), 8, 88, SheetDisciplinePicker);
    SheetExaminerPicker = picker(page, QRect(104, 184, 337, ControlHeight), DM->DS_Prepod,
                                 QStringLiteral("ID_Prepod"), QStringLiteral("FIO"));
    caption(page, QStringLiteral("Экзаменатор"), 8, 192, SheetExaminerPicker);
    SheetSemesterEdit = edit(page, QRect(104, 120, 81, ControlHeight), QString());
    caption(page, QStringLiteral("Семестр"), 8, 120, SheetSemesterEdit);
    // Empty at first: no semester asked for until the arrows or a number say one.
    SheetSemesterUpDown = upDown(page, Qt::Vertical, QRect(185, 120, 32, ControlHeight), 0,
                                 LastPlanSemester, SheetSemesterEdit, QStringLiteral("Семестр"));

    PrintButton = new QPushButton(QStringLiteral("Печать"), page);
    PrintButton->setGeometry(192, 224, 75, 25);
    PrintButton->setAccessibleName(PrintButton->text());

    connect(PrintButton, &QPushButton::clicked, this, &Tf_otchet::PrintButtonClick);
    return page;
}

// ---- what the documents read

namespace {
// The picker's key while its list shows the chosen row, else none.
QVariant chosen(const DBLookupComboBox* picker) {
    return picker->offersKey() ? picker->keyValue() : QVariant();
}
}  // namespace

documents::StatementRequest Tf_otchet::statementRequest() const {
    documents::StatementRequest r;
    r.group = chosen(GroupPicker);
    r.discipline = chosen(DisciplinePicker);
    r.examiner = chosen(ExaminerPicker);
    r.semester = SemesterEdit->text();
    r.year = YearEdit->text();
    r.followingYear = FollowingYearEdit->text();
    return r;
}

documents::SheetRequest Tf_otchet::sheetRequest() const {
    documents::SheetRequest r;
    r.student = chosen(StudentPicker);
    r.discipline = chosen(SheetDisciplinePicker);
    r.examiner = chosen(SheetExaminerPicker);
    r.kind = sheetKindText();
    bool ok = false;
    const int semester = SheetSemesterEdit->text().trimmed().toInt(&ok);
    r.semester = ok && semester > 0 && semester <= LastPlanSemester ? semester : 0;
    return r;
}

QString Tf_otchet::sheetKindText() const {
    return CreditSheetItem->isChecked() ? CreditSheetItem->text() : ExamSheetItem->text();
}

// ---- handlers

void Tf_otchet::GroupPickerChange() {
    ReportButton->setEnabled(GroupPicker->offersKey());
    SemesterEdit->setEnabled(true);
}

// Another faculty or specialty leaves the group picker blank: no statement
// can be asked for until a group is chosen again (or the list offers it again).
void Tf_otchet::GroupPickerOffered(bool offered) {
    ReportButton->setEnabled(offered && !GroupPicker->keyValue().isNull());
}

void Tf_otchet::YearEditChange() {
    const QString text = YearEdit->text();
    bool ok = false;
    const int year = text.toInt(&ok);
    if (!ok) throw DataError(msg::invalidInteger(text));
    if (year == std::numeric_limits<int>::max())
        throw DataError(QStringLiteral("Integer overflow"));
    FollowingYearEdit->setText(QString::number(year + 1));
}

void Tf_otchet::ReportButtonClick() {
    const documents::StatementRequest request = statementRequest();
    if (request.group.isNull()) return;
    Query* students = DM->Q_Report;
    students->setParameter(QStringLiteral("ID_G"), request.group);
    // A new text closes the query; the parameter keeps its value.
    students->setSql(reportStatement());
    students->open();
    TF_Report::current().previewStatement(request);
}

void Tf_otchet::PrintButtonClick() {
    TF_Report::current().previewExamSheet(sheetRequest());
}
