// The main window's layout, texts, menu, opening rules, show step and closing.
//
// Positions are pixels inside the client area (below the menu), not scaled
// with the desktop's text size. The labels follow the pointer over the three
// buttons and over the bare background only; over the picture or a label they
// keep what they show.
#include "TESSALY_MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

#include "About.h"
#include "Application.h"
#include "Fonts.h"
#include "DM_Tessaly.h"
#include "Messages.h"
#include "PhotoStore.h"
#include "Prepod.h"
#include "References.h"
#include "Studenti.h"
#include "Settings.h"
#include "Shell.h"
#include "YMO.h"
#include "otchet.h"

namespace {
constexpr int ClientWidth = 338;
constexpr int ClientHeight = 394;
constexpr int StatusHeight = 19;


// The client area above the status bar; tells the window when the pointer moves
// over its own background rather than over one of its controls.
class ClientArea : public QWidget {
public:
    explicit ClientArea(Tform_m* form) : QWidget(form), m_form(form) { setMouseTracking(true); }

protected:
    void mouseMoveEvent(QMouseEvent* e) override {
        if (!childAt(e->position().toPoint())) m_form->FormMouseMove();
    }

private:
    Tform_m* m_form;
};
}  // namespace

Tform_m::Tform_m(const QString& executablePath, QWidget* parent)
    : QMainWindow(parent),
      m_executablePath(executablePath.isEmpty() ? QCoreApplication::applicationFilePath()
                                                : executablePath) {
    form_m = this;
    m_programFolder = QFileInfo(m_executablePath).absolutePath();
    build();
    // A failure in the creation step skips its remaining steps; the window still opens.
    try {
        FormCreate();
    } catch (const std::exception& e) {
        platform::showError(e);
    }
}

Tform_m::~Tform_m() {
    if (m_settings) m_settings->release();
    if (form_m == this) form_m = nullptr;
}

void Tform_m::build() {
    setObjectName(QStringLiteral("form_m"));
    setWindowTitle(applicationTitle() + QStringLiteral(" АСУ Ирмель"));
    setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11));

    auto* client = new ClientArea(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(ClientWidth, ClientHeight - StatusHeight);
    client->setAutoFillBackground(true);
    QPalette white = client->palette();
    white.setColor(QPalette::Window, Qt::white);
    client->setPalette(white);
    setCentralWidget(client);

    const QFont buttonFont = pixelFont(QStringLiteral("Arial"), 19, true);
    auto makeButton = [&](const QString& text, const char* name, int top) {
        auto* b = new QPushButton(text, client);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(16, top, 305, 57);
        b->setFont(buttonFont);
        QPalette p = b->palette();
        p.setColor(QPalette::ButtonText, Qt::blue);
        b->setPalette(p);
        b->setAccessibleName(text);
        b->installEventFilter(this);
        return b;
    };
    Button1 = makeButton(QStringLiteral("Студенты"), "Button1", 16);
    Button2 = makeButton(QStringLiteral("Преподаватели"), "Button2", 96);
    Button3 = makeButton(QStringLiteral("Учебный процесс"), "Button3", 176);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    connect(Button1, &QPushButton::clicked, this, &Tform_m::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tform_m::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tform_m::Button3Click);

    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/briefcase.png")));
    Image1->move(64, 232);
    Image1->adjustSize();
    Image1->setAccessibleName(QStringLiteral("Вердикон"));
    Image1->setMouseTracking(true);
    // A picture lies under the buttons, which it touches.
    Image1->lower();

    Label1 = new QLabel(QStringLiteral("Label1"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(pixelFont(QStringLiteral("Arial Black"), 19));
    QPalette silver = Label1->palette();
    silver.setColor(QPalette::WindowText, QColor(0xC0, 0xC0, 0xC0));
    Label1->setPalette(silver);
    Label1->move(24, 240);
    Label1->adjustSize();
    Label1->setMouseTracking(true);

    Label2 = new QLabel(QStringLiteral("Label2"), client);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(128, 363);
    Label2->adjustSize();
    Label2->setMouseTracking(true);

    auto* bar = statusBar();
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(StatusHeight);
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        panel->setFixedWidth(50);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addWidget(panel);
        statusPanels << panel;
    }

    QMenu* books = menuBar()->addMenu(QStringLiteral("Справочники"));
    StudentsItem = books->addAction(QStringLiteral("Студенты"), this, &Tform_m::StudentsItemClick);
    TeachersItem =
        books->addAction(QStringLiteral("Преподаватели"), this, &Tform_m::TeachersItemClick);
    DisciplinesItem =
        books->addAction(QStringLiteral("Дисциплины"), this, [this] { openStudyWindowAt(2); });
    SpecialtiesItem =
        books->addAction(QStringLiteral("Специальности"), this, [this] { openStudyWindowAt(0); });
    FacultiesItem =
        books->addAction(QStringLiteral("Факультеты"), this, [this] { openStudyWindowAt(1); });
    DepartmentsItem =
        books->addAction(QStringLiteral("Кафедры"), this, [this] { openStudyWindowAt(1); });
    GroupsItem = books->addAction(QStringLiteral("Группы"), this, [this] { openStudyWindowAt(1); });
    ReportsItem = menuBar()->addAction(QStringLiteral("Отчеты"), this, &Tform_m::ReportsItemClick);
    QMenu* help = menuBar()->addMenu(QStringLiteral("Помощь"));
    HelpItem = help->addAction(QStringLiteral("Справка"), this, &Tform_m::HelpItemClick);
    AboutItem = help->addAction(QStringLiteral("О программе"), this, &Tform_m::AboutItemClick);

    // A fixed border: the size is the client area plus the menu bar.
    adjustSize();
    setFixedSize(ClientWidth, menuBar()->sizeHint().height() + ClientHeight);
}

void Tform_m::FormCreate() {
    m_settings = std::make_unique<Settings>();
    // The photo store reads the program folder from the settings on every use.
    photos::setSettingsSource(
        [] { return Settings::current() ? Settings::current()->main() : QString(); },
        [] { return Settings::current() ? Settings::current()->mainPath() : QString(); });
    const QString font = m_settings->open(m_executablePath);
    if (!font.isEmpty()) {
        QFont f = this->font();
        f.setFamily(font);
        setFont(f);
    }
    // The picture from the program folder replaces the built-in one.
    const QString picture = QDir(m_programFolder).filePath(QStringLiteral("verdikon.bmp"));
    QImageReader reader(picture);
    const QImage image = reader.read();
    if (image.isNull()) {
        const QString reason = QFileInfo::exists(picture)
                                   ? QStringLiteral("Bitmap image is not valid")
                                   : QStringLiteral("No such file or directory");
        throw DataError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(picture), reason));
    }
    Image1->setPixmap(QPixmap::fromImage(image));
    Image1->adjustSize();
    Label1->raise();
    Label2->raise();
    showTexts(QStringLiteral("Вердикон"), QStringLiteral("Система управления вузом"));
}

void Tform_m::INICreate() {
    if (m_settings) m_settings->initialise(m_executablePath);
}

void Tform_m::showTexts(const QString& title, const QString& subtitle) {
    Label1->setText(title);
    Label1->adjustSize();
    Label2->setText(subtitle);
    Label2->adjustSize();
}

void Tform_m::setVisible(bool visible) {
    // The show step runs once, before the window first becomes visible.
    if (visible && !m_shownOnce) {
        m_shownOnce = true;
        FormShow();
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QMainWindow::setVisible(visible);
}

void Tform_m::FormShow() {
    platform::playEventSound("desktop-login");
    m_splash = new TAb(this);
    m_splash->makeSplash();
    m_splash->exec();
}

bool Tform_m::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)
        if (auto* button = qobject_cast<QPushButton*>(watched)) ButtonMouseMove(button);
    return QMainWindow::eventFilter(watched, event);
}

void Tform_m::ButtonMouseMove(QPushButton* button) {
    if (button == Button1)
        showTexts(QStringLiteral("Студенты"), QStringLiteral("Здесь данные студентов"));
    else if (button == Button2)
        showTexts(QStringLiteral("Преподаватели"), QStringLiteral("Здесь данные о преподавателях"));
    else if (button == Button3)
        showTexts(QStringLiteral("Учебный процесс"),
                  QStringLiteral("Здесь данные учебного процесса"));
}

void Tform_m::FormMouseMove() {
    showTexts(QStringLiteral("Вердикон"), QStringLiteral("Система управления вузом"));
}

void Tform_m::Button1Click() {
    // The window shows itself; an existing one is left where it is.
    if (Studs == nullptr) new TStuds(this);
}
void Tform_m::Button2Click() {
    // A new window on every click; the window shows itself and `Prep` names it.
    new TPrep(this);
}
void Tform_m::Button3Click() {
    // A new window on every click; the window shows itself and `yp` names it.
    new Typ(this);
}
void Tform_m::StudentsItemClick() {
    if (DM && !DM->Q_Studenti->isActive()) DM->Q_Studenti->open();
    if (Studs != nullptr) return;
    new TStuds(this);
    Studs->show();
    Studs->PageControl1->setCurrentIndex(0);
}
void Tform_m::TeachersItemClick() {
    // Closed teacher windows are only hidden, so after the first one this opens nothing.
    if (Prep != nullptr) return;
    Button2Click();
    Prep->PageControl1->setCurrentIndex(0);
}
void Tform_m::ReportsItemClick() {
    // A new window on every click; `f_otchet` names the newest.
    auto* window = new Tf_otchet(this);
    window->show();
}
void Tform_m::openStudyWindowAt(int page) {
    // An existing window changes its page but is not brought to the front.
    if (yp == nullptr) new Typ(this);
    yp->PageControl1->setCurrentIndex(page);
}

void Tform_m::HelpItemClick() {
    // Named without a folder: found in the current folder.
    platform::openDocument(QDir::current().filePath(QStringLiteral("HELP.CHM")));
}

void Tform_m::AboutItemClick() {
    auto* about = new TAb(this);
    about->makeAboutBox();
    about->exec();
}

bool Tform_m::settlePendingChanges() {
    if (!DM) return true;
    QList<Dataset*> pending;
    for (Dataset* ds : DM->datasets()) {
        if (!ds->isActive() || !ds->isEditing()) continue;
        ds->updateRecord();
        if (ds->isModified()) pending << ds;
    }
    if (pending.isEmpty()) return true;
    switch (platform::ask(QStringLiteral("Сохранить изменения?"), platform::Buttons::YesNoCancel,
                          this)) {
        case platform::Answer::Yes:
            for (Dataset* ds : pending) {
                try {
                    ds->post();
                } catch (const std::exception& e) {
                    platform::showError(e);
                    return false;
                }
            }
            return true;
        case platform::Answer::No:
            for (Dataset* ds : pending) ds->cancel();
            return true;
        default: return false;
    }
}

void Tform_m::closeEvent(QCloseEvent* event) {
    if (!settlePendingChanges()) {
        event->ignore();
        return;
    }
    if (DM) {
        for (Dataset* ds : DM->datasets()) ds->close();
        DM->ADOConnection1.close();
    }
    event->accept();
    qApp->quit();
}
