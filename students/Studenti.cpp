// The student window. Controls sit at fixed positions inside their group
// boxes, as the office's printed forms and habits expect them; the list below
// the pages takes whatever height the window has left.
#include "Studenti.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <set>

#include "DBComboBox.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBRadioGroup.h"
#include "DM_Tessaly.h"
#include "Filter.h"
#include "Fonts.h"
#include "Dataset.h"
#include "Messages.h"
#include "PhotoStore.h"
#include "PictureDialog.h"
#include "Placeholder.h"
#include "References.h"
#include "Report.h"

namespace {

constexpr int labelHeight = 16;
const QSize photoBox(170, 170);

const QString windowFont = QStringLiteral("MS Sans Serif");

// A caption above its control; the caption names the control for screen readers.
QLabel* caption(QWidget* parent, const QString& text, QWidget* control, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    label->setBuddy(control);
    control->setAccessibleName(text);
    return label;
}

template <typename Control>
Control* labelled(QWidget* parent, const QString& text, int x, int y, int w, int h) {
    auto* control = new Control(parent);
    caption(parent, text, control, x, y);
    control->setGeometry(x, y + labelHeight, w, h);
    return control;
}

DBEdit* boundEdit(QWidget* parent, const QString& text, const QString& field, int x, int y, int w,
                  int h = 21) {
    auto* edit = labelled<DBEdit>(parent, text, x, y, w, h);
    edit->setDataSource(DM->DS_Studenti);
    edit->setDataField(field);
    return edit;
}

QPushButton* button(QWidget* parent, const QString& text, int x, int y, int w, int h,
                    bool bold = false) {
    auto* b = new QPushButton(text, parent);
    b->setGeometry(x, y, w, h);
    if (bold) {
        QFont f = b->font();
        f.setBold(true);
        b->setFont(f);
    }
    b->setAccessibleName(text);
    return b;
}

}  // namespace

QString TStuds::photoFilter() {
    return QStringLiteral(
        "All (*.jpg;*.jpeg;*.bmp;*)|*.jpg;*.jpeg;*.bmp;|JPEG Image File (*.jpg)|*.jpg|"
        "JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp");
}

TStuds::TStuds(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Студенты"));
    setObjectName(QStringLiteral("Studs"));
    setFont(pixelFont(windowFont, 11));
    resize(633, 767);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Splitter = new QSplitter(Qt::Vertical, this);
    Splitter->setChildrenCollapsible(false);
    layout->addWidget(Splitter, 1);

    QWidget* strip = buildStrip();
    Splitter->addWidget(strip);

    PageControl1 = new QTabWidget(Splitter);
    PageControl1->addTab(buildCardPage(), QStringLiteral("Основные данные"));
    PageControl1->addTab(buildGradePage(), QStringLiteral("Данные успеваемости"));
    PageControl1->addTab(buildParentsPage(), QStringLiteral("Данные о Родителе"));
    PageControl1->setMinimumHeight(120);
    Splitter->addWidget(PageControl1);

    DBGrid1 = new DBGrid(Splitter);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Список студентов"));
    DBGrid1->setOptions(DBGrid::RowSelect | DBGrid::ReadOnly);
    DBGrid1->setDataSource(DM->DS_Studenti);
    DBGrid1->setMinimumHeight(5);
    DBGrid1->installEventFilter(this);
    Splitter->addWidget(DBGrid1);
    Splitter->setSizes({57, 525, 767 - 57 - 525 - 19});
    Splitter->setStretchFactor(0, 0);
    Splitter->setStretchFactor(1, 0);
    Splitter->setStretchFactor(2, 1);

    buildStatusBar();
    layout->addWidget(StatusBar1);

    connect(PageControl1, &QTabWidget::currentChanged, this, &TStuds::PageControl1Change);
    rereadSharedList();
    show();
}

TStuds::~TStuds() = default;

void TStuds::rereadSharedList() {
    // On a server other desks change students too: a new window reads the list again,
    // keeping the current student, so what they stored shows. A row still pending here
    // stays as it was typed. The file has one desk, whose list is always current.
    Query* students = DM->Q_Studenti;
    if (DM->ADOConnection1.dialect() != Connection::Dialect::Postgres || !students->isActive() ||
        students->isEditing())
        return;
    // A server that cannot be reached now is reported; the window opens on the rows it had.
    try {
        students->refresh();
    } catch (const DataError& e) {
        platform::showError(e);
    }
}

QWidget* TStuds::buildStrip() {
    auto* strip = new QWidget;
    strip->setFixedHeight(57);
    PrintButton = button(strip, QStringLiteral("Печать"), 8, 16, 145, 25);
    connect(PrintButton, &QPushButton::clicked, this, &TStuds::PrintButtonClick);
    auto* label = new QLabel(QStringLiteral("Быстрый поиск"), strip);
    label->setGeometry(400, 20, 95, 16);
    SearchEdit = new QLineEdit(strip);
    SearchEdit->setGeometry(497, 16, 121, 21);
    label->setBuddy(SearchEdit);
    SearchEdit->setAccessibleName(label->text());
    connect(SearchEdit, &QLineEdit::textChanged, this, &TStuds::SearchEditChange);
    return strip;
}

QWidget* TStuds::buildCardPage() {
    auto* page = new QWidget;
    auto* card = new QGroupBox(QStringLiteral("Карточка студента"), page);
    card->setGeometry(2, 0, 614, 494);

    // Personal data.
    auto* main = new QGroupBox(QStringLiteral("Основные данные"), card);
    main->setGeometry(6, 18, 602, 226);
    FamEdit = boundEdit(main, QStringLiteral("Фамилия"), QStringLiteral("Fam"), 8, 20, 273, 24);
    NameEdit = boundEdit(main, QStringLiteral("Имя"), QStringLiteral("Name"), 8, 62, 273, 24);
    SecNameEdit =
        boundEdit(main, QStringLiteral("Отчество"), QStringLiteral("SecName"), 8, 104, 121, 24);
    for (DBEdit* e : {FamEdit, NameEdit, SecNameEdit}) e->setFont(pixelFont(windowFont, 13));
    BirthDateEdit = boundEdit(main, QStringLiteral("Дата рождения"), QStringLiteral("BirthDate"),
                              140, 104, 100, 24);
    BirthDateEdit->setLimit(10);
    CitizenEdit =
        boundEdit(main, QStringLiteral("Гражданство"), QStringLiteral("Citizen"), 8, 146, 121, 24);
    NumberEdit = boundEdit(main, QStringLiteral("№ Зач. книжки"), QStringLiteral("N_student"), 140,
                           146, 89, 32);
    NumberEdit->setFont(pixelFont(windowFont, 19, true));
    // Seven bold digits fill the narrow box; the editor's own margins would hide the last.
    NumberEdit->setTextMargins(-2, 0, -2, 0);
    NumberEdit->setLimit(7);
    for (QLabel* label : main->findChildren<QLabel*>()) {
        if (label->buddy() != NumberEdit) continue;
        label->setFont(pixelFont(windowFont, 13, true));
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, palette().color(QPalette::Highlight));
        label->setPalette(pal);
        label->adjustSize();
    }

    SexGroup = new DBRadioGroup(main);
    SexGroup->setTitle(QStringLiteral("Пол"));
    SexGroup->setAccessibleName(SexGroup->title());
    SexGroup->setItems({QStringLiteral("Мужской"), QStringLiteral("Женский")});
    SexGroup->setValues({QStringLiteral("М"), QStringLiteral("Ж")});
    SexGroup->setGeometry(290, 20, 125, 62);
    SexGroup->setDataSource(DM->DS_Studenti);
    SexGroup->setDataField(QStringLiteral("Sex"));
    FamilyBox = labelled<DBComboBox>(main, QStringLiteral("Семейное положение"), 290, 90, 125, 21);
    FamilyBox->addItems({QStringLiteral("холост(не замужем)"), QStringLiteral("женат(замужем)")});
    FamilyBox->setDataSource(DM->DS_Studenti);
    FamilyBox->setDataField(QStringLiteral("FamilyPosition"));

    // The photo and its placeholder share one place; the card refresh decides which shows.
    Photo = new QLabel(main);
    Photo->setGeometry(424, 16, photoBox.width(), photoBox.height());
    Photo->setAlignment(Qt::AlignCenter);
    Photo->setAccessibleName(QStringLiteral("Фото студента"));
    Placeholder = new QLabel(main);
    Placeholder->setGeometry(424 + (170 - 137) / 2, 16 + (170 - 129) / 2, 137, 129);
    Placeholder->setPixmap(personPlaceholder(256, 229, QColor(0x3a, 0x5f, 0x9e))
                               .scaled(137, 129, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    Placeholder->setAlignment(Qt::AlignCenter);
    Placeholder->setAccessibleName(QStringLiteral("Нет фото"));
    Placeholder->hide();
    PhotoButton = button(main, QStringLiteral("Загрузить фото"), 424, 189, 169, 33);
    connect(PhotoButton, &QPushButton::clicked, this, &TStuds::PhotoButtonClick);

    // Study data.
    auto* study = new QGroupBox(QStringLiteral("Данные обучения"), card);
    study->setGeometry(6, 246, 602, 136);
    FacultyPicker =
        labelled<DBLookupComboBox>(study, QStringLiteral("Факультет"), 8, 16, 409, 21);
    FacultyPicker->setListSource(DM->DS_facultet);
    FacultyPicker->setKeyField(QStringLiteral("ID_Facultet"));
    FacultyPicker->setListField(QStringLiteral("Nazvanie"));
    SpecialtyPicker =
        labelled<DBLookupComboBox>(study, QStringLiteral("Специальность"), 8, 54, 545, 21);
    SpecialtyPicker->setListSource(DM->DS_Spec);
    SpecialtyPicker->setKeyField(QStringLiteral("ID_Spec"));
    SpecialtyPicker->setListField(QStringLiteral("Nazvanie"));
    GroupPicker = labelled<DBLookupComboBox>(study, QStringLiteral("Группа"), 8, 92, 153, 21);
    GroupPicker->setListSource(DM->DS_Group);
    GroupPicker->setKeyField(QStringLiteral("ID_GRoup"));
    GroupPicker->setListField(QStringLiteral("Nazvanie"));
    GroupPicker->setDataSource(DM->DS_Studenti);
    GroupPicker->setDataField(QStringLiteral("ID_group"));
    PodGroupEdit = boundEdit(study, QStringLiteral("Подгруппа"), QStringLiteral("PodGroupe"), 172,
                             92, 65);
    TypeGroup = new DBRadioGroup(study);
    TypeGroup->setTitle(QStringLiteral("Тип обучения"));
    TypeGroup->setAccessibleName(TypeGroup->title());
    TypeGroup->setItems({QStringLiteral("Контракт"), QStringLiteral("Бюджет")});
    TypeGroup->setColumns(2);
    TypeGroup->setGeometry(260, 90, 200, 42);
    TypeGroup->setDataSource(DM->DS_Studenti);
    TypeGroup->setDataField(QStringLiteral("Type_Stud"));

    // Address, in the information-text colour.
    auto* address = new QGroupBox(QStringLiteral("Адрес студента"), card);
    address->setGeometry(6, 384, 602, 65);
    QPalette info = address->palette();
    info.setColor(QPalette::WindowText, palette().color(QPalette::ToolTipText));
    address->setPalette(info);
    CityEdit = boundEdit(address, QStringLiteral("Город"), QStringLiteral("City"), 8, 18, 169);
    StreetEdit = boundEdit(address, QStringLiteral("Улица"), QStringLiteral("Street"), 185, 18, 177);
    HouseEdit = boundEdit(address, QStringLiteral("Дом"), QStringLiteral("House"), 370, 18, 65);
    AparEdit = boundEdit(address, QStringLiteral("Квартира"), QStringLiteral("Apar"), 443, 18, 65);

    PriorButton = button(card, QStringLiteral("<<"), 12, 455, 40, 32, true);
    SaveButton = button(card, QStringLiteral("Сохранить"), 60, 455, 130, 32, true);
    NewButton = button(card, QStringLiteral("Новая Запись"), 198, 455, 130, 32, true);
    DeleteButton = button(card, QStringLiteral("Удалить "), 336, 455, 130, 32, true);
    NextButton = button(card, QStringLiteral(">>"), 474, 455, 40, 32, true);
    connect(PriorButton, &QPushButton::clicked, this, &TStuds::PriorButtonClick);
    connect(SaveButton, &QPushButton::clicked, this, &TStuds::SaveButtonClick);
    connect(NewButton, &QPushButton::clicked, this, &TStuds::NewButtonClick);
    connect(DeleteButton, &QPushButton::clicked, this, &TStuds::DeleteButtonClick);
    connect(NextButton, &QPushButton::clicked, this, &TStuds::NextButtonClick);
    return page;
}

QWidget* TStuds::buildGradePage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    auto* strip = new QWidget(page);
    strip->setFixedHeight(49);
    FillButton = button(strip, QStringLiteral("Заполнить таблицу дисциплин на сем."), 8, 12, 209, 25);
    ClearButton = button(strip, QStringLiteral("Очистить таблицу дисциплин"), 225, 12, 209, 25);
    layout->addWidget(strip);

    CourseTabs = new QTabBar(page);
    CourseTabs->setAccessibleName(QStringLiteral("Курс"));
    for (int c = 1; c <= 5; ++c) CourseTabs->addTab(QStringLiteral("%1 курс").arg(c));
    CourseTabs->setExpanding(false);
    CourseTabs->setStyleSheet(QStringLiteral("QTabBar::tab { width: 60px; }"));
    CourseTabs->setCurrentIndex(1);
    layout->addWidget(CourseTabs);
    SemesterTabs = new QTabBar(page);
    SemesterTabs->setAccessibleName(QStringLiteral("Семестр"));
    SemesterTabs->addTab(QStringLiteral("осенний семестр"));
    SemesterTabs->addTab(QStringLiteral("весенний семестр"));
    SemesterTabs->setExpanding(false);
    SemesterTabs->setCurrentIndex(0);
    layout->addWidget(SemesterTabs);

    GradeGrid = new DBGrid(page);
    GradeGrid->setObjectName(QStringLiteral("GradeGrid"));
    GradeGrid->setAccessibleName(QStringLiteral("Оценки за семестр"));
    // The data module's result list follows the current grade and holds only its
    // own result; a grade is given one from the whole list.
    ResultList = new Table(this);
    ResultList->setConnection(&DM->ADOConnection1);
    ResultList->setTableName(QStringLiteral("ID_Result"));
    ResultList->setIndexFieldNames(QStringLiteral("ID_Result"));
    ResultList->setReadOnly(true);
    GradeGrid->setColumns({{QStringLiteral("DIS"), QStringLiteral("DIS"), 119},
                           {QStringLiteral("Semestr"), QStringLiteral("Semestr"), 0},
                           {QStringLiteral("KONTOL"), QStringLiteral("KONTOL"), 0},
                           {QStringLiteral("Date"), QStringLiteral("Date"), 0},
                           {QStringLiteral("Result"), QStringLiteral("Result"), 0, ResultList}});
    GradeGrid->setDataSource(DM->DS_Ocenki);
    layout->addWidget(GradeGrid, 1);
    connect(CourseTabs, &QTabBar::currentChanged, this, &TStuds::CourseTabsChange);
    connect(SemesterTabs, &QTabBar::currentChanged, this, &TStuds::SemesterTabsChange);
    connect(FillButton, &QPushButton::clicked, this, &TStuds::FillButtonClick);
    connect(ClearButton, &QPushButton::clicked, this, &TStuds::ClearButtonClick);
    return page;
}

QWidget* TStuds::buildParentsPage() {
    auto* page = new QWidget;
    const std::pair<const char*, const char*> fields[] = {
        {"Фамилия", "PFam"}, {"Имя", "Pname"},  {"Отчество", "PSecondName"}, {"Город", "City"},
        {"Улица", "Street"}, {"Дом", "House"}, {"квартира", "Apar"}};
    int y = 8;
    for (const auto& [text, field] : fields) {
        auto* edit = labelled<DBEdit>(page, QString::fromUtf8(text), 16, y, 300, 21);
        edit->setDataSource(DM->DS_Parents);
        edit->setDataField(QString::fromLatin1(field));
        parentEdits << edit;
        y += 42;
    }
    ParentEditButton = button(page, QStringLiteral("Редактировать"), 16, y + 6, 129, 25);
    ParentSaveButton = button(page, QStringLiteral("Сохранить Изменения"), 153, y + 6, 145, 25);
    connect(ParentEditButton, &QPushButton::clicked, this, &TStuds::ParentEditButtonClick);
    connect(ParentSaveButton, &QPushButton::clicked, this, &TStuds::ParentSaveButtonClick);
    return page;
}

void TStuds::buildStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    const int widths[] = {40, 120, 90, 100, 100, 50};
    for (int i = 0; i < 6; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setFixedWidth(widths[i]);
        panel->setFrameShape(QFrame::StyledPanel);
        StatusBar1->addWidget(panel);
        statusPanels << panel;
    }
    statusPanels[0]->setText(QStringLiteral("Номер"));
    statusPanels[4]->setText(QStringLiteral("Специальность"));
    StatusBar1->setAccessibleName(QStringLiteral("Текущий студент"));
}

void TStuds::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TStuds::FormShow() {
    PageControl1->setCurrentIndex(0);
    if (Field* number = DM->Q_StudentiN_student) number->setVisible(false);
    DBGrid1->setDataSource(DM->DS_Studenti);
    DBGrid1->resetColumns();
    // The photo and the status bar name the student the card shows from the start.
    if (DM->Q_Studenti->isActive()) refreshCard();
}

void TStuds::refreshCard() {
    if (!DM->Q_Studenti->isActive()) return;
    if (PageControl1->currentIndex() == 0) {
        const QString path = photos::findForCard(photos::Kind::Student, DM->Q_StudentiFoto->asString());
        if (path.isEmpty())
            showPlaceholder();
        else
            showPhotoFile(path);
    } else if (PageControl1->currentIndex() == 1) {
        showSheet();
    }
    writeStatusBar();
}

void TStuds::showPhotoFile(const QString& path) {
    Photo->setPixmap(QPixmap::fromImage(photos::pictureForCard(path, photoBox)));
    Photo->show();
    Placeholder->hide();
    Photo->repaint();
}

void TStuds::showPlaceholder() {
    Placeholder->show();
    Photo->hide();
}

void TStuds::writeStatusBar() {
    statusPanels[1]->setText(DM->Q_StudentiN_student->asString());
    statusPanels[2]->setText(DM->Q_StudentiFam->asString());
    statusPanels[3]->setText(DM->Q_StudentiName->asString());
    statusPanels[5]->setText(DM->Q_StudentiID_Spec->asString());
}

void TStuds::PageControl1Change(int page) {
    if (page == 0 && isVisible() && DM->Q_Studenti->isActive()) refreshCard();
    if (page == 1) showSheet();
}

int TStuds::semesterOf(int courseTab, int semesterTab) {
    return semesterTab == 0 ? 2 * (courseTab + 1) - 1 : 2 * (courseTab + 1);
}

int TStuds::semester() const {
    return semesterOf(CourseTabs->currentIndex(), SemesterTabs->currentIndex());
}

QString TStuds::sheetFilter(const QString& number, int semester) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    const QString value = digits.match(number).hasMatch() ? number : quoteFilterText(number);
    return QStringLiteral("(N_Student=%1) and (Semestr=%2)").arg(value, QString::number(semester));
}

void TStuds::showSheet() {
    Dataset* grades = DM->T_Ocenki;
    if (!isVisible() || PageControl1->currentIndex() != 1 || !grades->isActive() ||
        !DM->Q_Studenti->isActive())
        return;
    // Opened once the sheet is shown, whenever the database became available.
    if (!ResultList->isActive()) ResultList->open();
    const QString filter = sheetFilter(DM->Q_StudentiN_student->asString(), semester());
    if (grades->isFiltered() && grades->filterText() == filter) return;
    // Settles a pending grade first; the first row that passes becomes current.
    grades->setFiltered(false);
    grades->setFilterText(filter);
    grades->setFiltered(true);
}

void TStuds::CourseTabsChange(int) { showSheet(); }
void TStuds::SemesterTabsChange(int) { showSheet(); }

void TStuds::FillButtonClick() {
    const QString number = DM->Q_StudentiN_student->asString();
    const QString specialty = DM->Q_StudentiID_Spec->asString();
    const int term = semester();
    Dataset* grades = DM->T_Ocenki;
    if (!grades->isActive()) grades->open();
    showSheet();
    // The plan rows the student already has in this semester are not added again.
    std::set<int> present;
    for (int i = 0; i < grades->recordCount(); ++i) {
        if (grades->isPendingRow(i)) continue;
        if (grades->viewValue(i, DM->T_OcenkiN_student).toString() == number &&
            grades->viewValue(i, DM->T_OcenkiSemestr).toInt() == term)
            present.insert(grades->viewValue(i, DM->T_OcenkiID_Plan).toInt());
    }
    // The plan is read in place: walking it would move the row the exam sheet prints.
    Dataset* plan = DM->Q_Plan_Spec;
    bool added = false;
    if (!specialty.isEmpty()) {
        for (int i = 0; i < plan->recordCount(); ++i) {
            if (plan->viewValue(i, DM->Q_Plan_SpecID_Spec).toString() != specialty ||
                plan->viewValue(i, DM->Q_Plan_SpecSemestr).toInt() != term)
                continue;
            const int id = plan->viewValue(i, DM->Q_Plan_SpecID_Plan).toInt();
            if (!present.insert(id).second) continue;
            grades->insert();
            DM->T_OcenkiN_student->setValue(number);
            DM->T_OcenkiID_Plan->setValue(id);
            DM->T_OcenkiSemestr->setValue(term);
            added = true;
        }
    }
    if (added) grades->post();
    platform::showMessage(QStringLiteral("Данные дисциплин по семестрам заполнены"));
}

void TStuds::ClearButtonClick() {
    const QString number = DM->Q_StudentiN_student->asString();
    const int term = semester();
    Dataset* grades = DM->T_Ocenki;
    // A grade still being edited is settled first: dropped when it is one of the rows
    // about to go, stored otherwise. Left pending, it would be written after the delete
    // to a row that no longer exists.
    if (grades->isActive() && grades->isEditing()) {
        grades->updateRecord();
        if (DM->T_OcenkiN_student->asString() == number && !DM->T_OcenkiSemestr->isNull() &&
            DM->T_OcenkiSemestr->asInteger() == term)
            grades->cancel();
        else
            grades->checkBrowseMode();
    }
    // The values travel as parameters: a typed number never becomes part of the statement.
    // The open grades lose the deleted rows in place; reading every grade again would
    // stall the window for as long as the whole table takes to read.
    if (grades->isActive()) {
        grades->removeMatching(QStringLiteral("Semestr;N_student"), {term, number});
    } else {
        Query* remove = DM->Q_Ocenki;
        remove->setSql(
            QStringList{QStringLiteral("Delete From Ocenki"),
                        QStringLiteral("WHERE SEMESTR=:SEMESTR and N_Student=:N_STUDENT")});
        remove->declareParameter(QStringLiteral("SEMESTR"), FieldType::Integer);
        remove->declareParameter(QStringLiteral("N_STUDENT"), FieldType::Text);
        remove->setParameter(QStringLiteral("SEMESTR"), term);
        remove->setParameter(QStringLiteral("N_STUDENT"), number);
        remove->execSql();
    }
    showSheet();
}

void TStuds::PriorButtonClick() { DM->Q_Studenti->prior(); }
void TStuds::NextButtonClick() { DM->Q_Studenti->next(); }
void TStuds::NewButtonClick() { DM->Q_Studenti->append(); }

void TStuds::SaveButtonClick() {
    Dataset* students = DM->Q_Studenti;
    // What is still in an edit counts as typed.
    students->updateRecord();
    if (!students->isModified()) return;
    const Field* fam = DM->Q_StudentiFam;
    const Field* name = DM->Q_StudentiName;
    if (fam->asString().isEmpty() || name->asString().isEmpty()) {
        platform::showWarning(QStringLiteral("Заполните пожалуйста все поля"), this);
        return;
    }
    students->post();
}

void TStuds::DeleteButtonClick() {
    DM->Q_Studenti->remove();
    platform::showWarning(QStringLiteral("Запись удалена"), this);
}

void TStuds::PhotoButtonClick() {
    DM->Q_Studenti->edit();
    const QString chosen = platform::choosePicture(this, photoFilter());
    if (chosen.isEmpty()) return;
    DM->Q_Studenti->updateRecord();
    if (!photos::store(photos::Kind::Student, DM->Q_StudentiN_student->asString(), chosen,
                       *DM->Q_StudentiFoto))
        return;
    showPhotoFile(chosen);
}

void TStuds::PrintButtonClick() {
    // The card prints the row as stored: what is being typed is posted first.
    DM->Q_Studenti->checkBrowseMode();
    TF_Report::current().previewStudentCard(DM->Q_StudentiN_student->value());
}

void TStuds::SearchEditChange(const QString& text) {
    Dataset* students = DM->Q_Studenti;
    if (!students->isActive()) return;
    // An empty box is no prefix: it finds only a student without a surname.
    LocateOptions options = LocateOption::CaseInsensitive;
    if (!text.isEmpty()) options |= LocateOption::PartialKey;
    if (students->locate(QStringLiteral("fam"), text, options)) DBGrid1->setFocus();
}

bool TStuds::DBGrid1KeyDown(int key) {
    switch (key) {
        case Qt::Key_Left: PriorButtonClick(); return true;
        case Qt::Key_Right: NextButtonClick(); return true;
        case Qt::Key_Insert: NewButtonClick(); return true;
        case Qt::Key_Delete: DeleteButtonClick(); return true;
        default: return false;
    }
}

bool TStuds::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DBGrid1) {
        // The list's own handling of these keys must not act a second time.
        if (event->type() == QEvent::ShortcutOverride) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Insert ||
                key == Qt::Key_Delete) {
                event->accept();
                return true;
            }
        }
        if (event->type() == QEvent::KeyPress)
            return DBGrid1KeyDown(static_cast<QKeyEvent*>(event)->key());
    }
    return QWidget::eventFilter(watched, event);
}

void TStuds::ParentEditButtonClick() { DM->T_Parents->edit(); }
void TStuds::ParentSaveButtonClick() { DM->T_Parents->post(); }
