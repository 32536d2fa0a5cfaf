// The teacher window. The card's controls sit at fixed places inside their
// group boxes; the list under the card and the three reference tables take
// whatever height the window leaves them.
#include "Prepod.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBNavigator.h"
#include "DBRadioGroup.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Fonts.h"
#include "PhotoStore.h"
#include "PictureDialog.h"
#include "Placer.h"
#include "Placeholder.h"
#include "References.h"
#include "ReleaseSplitter.h"
#include "Report.h"

namespace {

const QString windowFont = QStringLiteral("MS Sans Serif");
const QSize photoBox(201, 185);
const QSize placeholderBox(137, 129);
const QColor cream(0xff, 0xfb, 0xf0);
// Wider than this, a reference table's column is drawn this wide instead.
constexpr int tooWideColumn = 400;
constexpr int narrowedColumn = 220;

void colourText(QWidget* w, QPalette::ColorRole from, const QWidget* of) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, of->palette().color(from));
    w->setPalette(pal);
}

// Titles in the menu-highlight colour, as every grid of the window has them.
void highlightTitles(DBGrid* grid, bool bold) {
    QHeaderView* header = grid->horizontalHeader();
    QPalette pal = header->palette();
    pal.setColor(QPalette::ButtonText, grid->palette().color(QPalette::Highlight));
    header->setPalette(pal);
    if (bold) {
        QFont f = header->font();
        f.setBold(true);
        header->setFont(f);
    }
}

}  // namespace

QString TPrep::photoFilter() {
    return QStringLiteral(
        "All (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp;*|JPEG Image File (*.jpg)|*.jpg|"
        "JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp");
}

TPrep::TPrep(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Преподаватели"));
    setObjectName(QStringLiteral("Prep"));
    setFont(pixelFont(windowFont, 11));
    resize(583, 720);
    move(534, 236);
    // Drawn in the window colour, so that labels take the window's text colour.
    setAutoFillBackground(true);
    colourText(this, QPalette::Highlight, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PageControl1 = new QTabWidget(this);
    PageControl1->addTab(buildTeacherPage(), QStringLiteral("Преподаватели"));
    PageControl1->addTab(buildTablesPage(), QStringLiteral("Должности, научные звания, степени"));
    PageControl1->setCurrentIndex(0);
    layout->addWidget(PageControl1, 1);
    buildStatusBar();
    layout->addWidget(StatusBar1);
    show();
}

TPrep::~TPrep() = default;

QWidget* TPrep::buildTeacherPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    CardSplitter = new QSplitter(Qt::Vertical, page);
    CardSplitter->setChildrenCollapsible(false);
    layout->addWidget(CardSplitter);

    CardBox = new QGroupBox(QStringLiteral("Карточка Преподавателя"), CardSplitter);
    CardBox->setMinimumSize(575, 100);
    auto* personal = new QGroupBox(QStringLiteral("Основные данные"), CardBox);
    personal->setGeometry(6, 16, 567, 282);
    buildPersonalBox(personal);
    auto* work = new QGroupBox(QStringLiteral("Данные Работы в Университете"), CardBox);
    work->setGeometry(6, 300, 567, 104);
    buildWorkBox(work);
    auto* address = new QGroupBox(QStringLiteral("Адрес"), CardBox);
    address->setGeometry(6, 406, 567, 64);
    buildAddressBox(address);

    Placer bottom(CardBox, DM->DS_Prepod);
    NumberEdit =
        bottom.edit(QStringLiteral("Номер"), QStringLiteral("ID_Prepod"), QRect(12, 486, 57, 21));
    NumberEdit->setEnabled(false);
    PrintButton = new QPushButton(QStringLiteral("Печать"), CardBox);
    PrintButton->setGeometry(80, 476, 75, 33);
    PrintButton->setAccessibleName(PrintButton->text());
    connect(PrintButton, &QPushButton::clicked, this, &TPrep::PrintButtonClick);
    DBNavigator1 = new DBNavigator(CardBox);
    DBNavigator1->setGeometry(170, 476, 370, 32);
    DBNavigator1->setDataSource(DM->DS_Prepod);
    DBNavigator1->setShowHint(true);
    DBNavigator1->setAccessibleName(QStringLiteral("Записи преподавателей"));
    for (int b = 0; b < DBNavigator::ButtonCount; ++b)
        DBNavigator1->button(DBNavigator::Button(b))->setAutoRaise(true);
    CardSplitter->addWidget(CardBox);

    DBGrid1 = new DBGrid(CardSplitter);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Список преподавателей"));
    DBGrid1->setFrameShape(QFrame::NoFrame);
    DBGrid1->setOptions(DBGrid::DefaultOptions);
    QList<GridColumn> columns;
    const std::pair<const char*, int> shown[] = {
        {"Фамилия", 153},   {"Имя", 64},    {"Отчество", 64},    {"День рождения", 64},
        {"Место рожд", 64}, {"Пол", 64},    {"Гражданство", 64}, {"Kur_Gr", 64},
        {"City", 64},       {"Street", 64}, {"House", 64},       {"Apar", 64},
        {"Foto", 0},        {"FIO", 60}};
    for (const auto& [name, width] : shown)
        columns << GridColumn{QString::fromUtf8(name), QString::fromUtf8(name), width};
    DBGrid1->setColumns(columns);
    DBGrid1->setDataSource(DM->DS_Prepod);
    QPalette pal = DBGrid1->palette();
    pal.setColor(QPalette::Base, cream);
    pal.setColor(QPalette::Text, pal.color(QPalette::Highlight));
    DBGrid1->setPalette(pal);
    highlightTitles(DBGrid1, true);
    DBGrid1->setMinimumHeight(40);
    CardSplitter->addWidget(DBGrid1);
    CardSplitter->setSizes({513, 140});
    CardSplitter->setStretchFactor(0, 0);
    CardSplitter->setStretchFactor(1, 1);
    return page;
}

void TPrep::buildPersonalBox(QGroupBox* box) {
    Placer at(box, DM->DS_Prepod);
    FamEdit = at.edit(QStringLiteral("Фамилия"), QStringLiteral("Фамилия"), QRect(8, 30, 281, 24));
    NameEdit = at.edit(QStringLiteral("Имя"), QStringLiteral("Имя"), QRect(8, 70, 281, 24));
    SecNameEdit =
        at.edit(QStringLiteral("Отчество"), QStringLiteral("Отчество"), QRect(8, 110, 281, 24));
    for (DBEdit* e : {FamEdit, NameEdit, SecNameEdit}) e->setFont(pixelFont(windowFont, 13));
    BirthDateEdit = at.edit(QStringLiteral("Дата рождения"), QStringLiteral("День рождения"),
                            QRect(8, 152, 105, 21));
    BirthDateEdit->setLimit(10);

    SexGroup = new DBRadioGroup(box);
    SexGroup->setTitle(QStringLiteral("Пол"));
    SexGroup->setAccessibleName(SexGroup->title());
    SexGroup->setItems({QStringLiteral("0 - Мужской"), QStringLiteral("1 - Женский")});
    SexGroup->setValues({QStringLiteral("м"), QStringLiteral("ж")});
    SexGroup->setGeometry(124, 136, 165, 54);
    SexGroup->setDataSource(DM->DS_Prepod);
    SexGroup->setDataField(QStringLiteral("Пол"));

    CitizenEdit = at.edit(QStringLiteral("Гражданство"), QStringLiteral("Гражданство"),
                          QRect(8, 208, 281, 21));
    BirthPlaceEdit = at.edit(QStringLiteral("Место рождения"), QStringLiteral("Место рожд"),
                             QRect(8, 250, 537, 21));

    // The photo and its placeholder share one place; the card refresh decides which shows.
    const QRect area(356, 16, photoBox.width(), photoBox.height());
    Photo = new QLabel(box);
    Photo->setGeometry(area);
    Photo->setAlignment(Qt::AlignCenter);
    Photo->setAccessibleName(QStringLiteral("Фото преподавателя"));
    Placeholder = new QLabel(box);
    Placeholder->setGeometry(area.x() + (area.width() - placeholderBox.width()) / 2,
                             area.y() + (area.height() - placeholderBox.height()) / 2,
                             placeholderBox.width(), placeholderBox.height());
    Placeholder->setPixmap(
        personPlaceholder(256, 229, QColor(0x2e, 0x6b, 0x4f))
            .scaled(placeholderBox, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    Placeholder->setAlignment(Qt::AlignCenter);
    Placeholder->setAccessibleName(QStringLiteral("Нет фото"));
    PhotoButton = new QPushButton(QStringLiteral("Загрузить фото"), box);
    PhotoButton->setGeometry(356, 205, 201, 25);
    PhotoButton->setAccessibleName(PhotoButton->text());
    connect(PhotoButton, &QPushButton::clicked, this, &TPrep::PhotoButtonClick);
}

void TPrep::buildWorkBox(QGroupBox* box) {
    Placer at(box, DM->DS_Prepod);
    KafedraPicker =
        at.picker(QStringLiteral("Кафедра"), QStringLiteral("ID_kafedra"), QRect(8, 30, 257, 21),
                  DM->DS_Kafedra, QStringLiteral("ID_kafedra"), QStringLiteral("Nazvanie"));
    GroupPicker = at.picker(QStringLiteral("Курируемая Группа"), QStringLiteral("Kur_Gr"),
                            QRect(273, 30, 273, 21), DM->DS_Group, QStringLiteral("ID_GRoup"),
                            QStringLiteral("Nazvanie"));
    DolgnostPicker =
        at.picker(QStringLiteral("Должность"), QStringLiteral("Должность"), QRect(8, 72, 161, 21),
                  DM->DS_Dolgnost, QStringLiteral("ID_Dolgnost"), QStringLiteral("SNAME"));
    ZvaniePicker =
        at.picker(QStringLiteral("Звание"), QStringLiteral("Звание"), QRect(177, 72, 153, 21),
                  DM->DS_Zvanie, QStringLiteral("ID_Zvanie"), QStringLiteral("NAME"));
    StepenPicker =
        at.picker(QStringLiteral("Степень"), QStringLiteral("Степень"), QRect(338, 72, 169, 21),
                  DM->DS_Stepen, QStringLiteral("ID_Stepen"), QStringLiteral("NAME"));
}

void TPrep::buildAddressBox(QGroupBox* box) {
    // The address is written in the information-text colour.
    colourText(box, QPalette::ToolTipText, this);
    Placer at(box, DM->DS_Prepod);
    CityEdit = at.edit(QStringLiteral("Город"), QStringLiteral("City"), QRect(8, 32, 169, 21));
    StreetEdit =
        at.edit(QStringLiteral("Улица"), QStringLiteral("Street"), QRect(185, 32, 209, 21));
    HouseEdit = at.edit(QStringLiteral("Дом"), QStringLiteral("House"), QRect(402, 32, 65, 21));
    AparEdit = at.edit(QStringLiteral("Квартира"), QStringLiteral("Apar"), QRect(475, 32, 65, 21));
}

QWidget* TPrep::buildTablesPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    // The borders move when the mouse button is released, not while dragging.
    TablesSplitter = new ReleaseSplitter(Qt::Vertical, page);
    TablesSplitter->setChildrenCollapsible(false);
    layout->addWidget(TablesSplitter);
    TablesSplitter->addWidget(
        tableBox(QStringLiteral("Научные Звания"), DM->DS_Zvanie, 28, ZvanieNavigator, ZvanieGrid));
    TablesSplitter->addWidget(tableBox(QStringLiteral("Должности"), DM->DS_Dolgnost, 25,
                                       DolgnostNavigator, DolgnostGrid));
    TablesSplitter->addWidget(tableBox(QStringLiteral("Научная Степень"), DM->DS_Stepen, 25,
                                       StepenNavigator, StepenGrid));
    TablesSplitter->setSizes({180, 176, 286});
    // Dragging the upper border shows nothing; the lower one a hatched line.
    TablesSplitter->setDragMark(1, ReleaseSplitter::DragMark::None);
    TablesSplitter->setDragMark(2, ReleaseSplitter::DragMark::Hatched);
    TablesSplitter->setStretchFactor(0, 1);
    TablesSplitter->setStretchFactor(1, 0);
    TablesSplitter->setStretchFactor(2, 0);
    return page;
}

QGroupBox* TPrep::tableBox(const QString& title, DataSource* source, int navigatorHeight,
                           DBNavigator*& navigator, DBGrid*& grid) {
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    navigator = new DBNavigator(box);
    navigator->setFixedHeight(navigatorHeight);
    navigator->setDataSource(source);
    navigator->setAccessibleName(title);
    layout->addWidget(navigator);
    // The dataset's own visible columns under their labels.
    grid = new DBGrid(box);
    grid->setAccessibleName(title);
    grid->setDataSource(source);
    highlightTitles(grid, false);
    // A text column without a width of its own would be as wide as 255
    // characters, pushing the others out of sight.
    auto narrow = [grid] {
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            if (grid->columnWidth(c) > tooWideColumn) grid->setColumnWidth(c, narrowedColumn);
    };
    narrow();
    connect(grid->model(), &QAbstractItemModel::modelReset, grid, narrow);
    box->setMinimumHeight(navigatorHeight + 40);
    layout->addWidget(grid, 1);
    return box;
}

void TPrep::buildStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    for (int width : {50, 100, 100, 100, 100}) {
        auto* panel = new QLabel(StatusBar1);
        panel->setFixedWidth(width);
        panel->setFrameShape(QFrame::StyledPanel);
        StatusBar1->addWidget(panel);
        statusPanels << panel;
    }
    statusPanels[0]->setText(QStringLiteral("Номер"));
    StatusBar1->setAccessibleName(QStringLiteral("Текущий преподаватель"));
}

void TPrep::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The photo and the status bar name the teacher the card shows from the
    // start, and again when a hidden window comes back.
    if (!event->spontaneous()) refreshCard();
}

void TPrep::refreshCard() {
    if (!DM->Q_Prepod->isActive()) return;
    const QString path = photos::findForCard(photos::Kind::Teacher, DM->Q_PrepodFoto->asString());
    if (path.isEmpty())
        showPlaceholder();
    else
        showPhotoFile(path);
    writeStatusBar();
}

void TPrep::showPhotoFile(const QString& path) {
    Photo->setPixmap(QPixmap::fromImage(photos::pictureForCard(path, photoBox)));
    Photo->show();
    Placeholder->hide();
}

void TPrep::showPlaceholder() {
    Placeholder->show();
    Photo->hide();
}

void TPrep::writeStatusBar() {
    // The number after "Номер" is the one the card's number edit shows.
    statusPanels[1]->setText(DM->Q_PrepodID_Prepod->displayText());
    statusPanels[2]->setText(DM->Q_PrepodDSDesigner->asString());
    statusPanels[3]->setText(DM->Q_PrepodDSDesigner2->asString());
    statusPanels[4]->setText(DM->Q_PrepodDSDesigner3->asString());
}

void TPrep::PhotoButtonClick() {
    DM->Q_Prepod->edit();
    const QString number = NumberEdit->text();
    const QString chosen = platform::choosePicture(this, photoFilter());
    if (!chosen.isEmpty() &&
        photos::store(photos::Kind::Teacher, number, chosen, *DM->Q_PrepodFoto))
        showPhotoFile(chosen);
    Photo->repaint();
}

void TPrep::PrintButtonClick() {
    // The card prints the row as stored: what is being typed is posted first.
    DM->Q_Prepod->checkBrowseMode();
    TF_Report::current().previewTeacherCard(DM->Q_PrepodID_Prepod->value());
}
