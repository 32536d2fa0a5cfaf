// The About and splash window: layout, texts, the two border styles and the fade-in.
//
// Positions and font sizes are pixels, not scaled with the desktop's text size.
// The window is owned by the one who opens it; closing only hides it.
#include "About.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "Fonts.h"
#include "References.h"
#include "Report.h"

namespace {
constexpr int WindowWidth = 512;
constexpr int WindowHeight = 259;
constexpr int OpaqueStep = 255;
constexpr int FadeStep = 5;

// Arial Black is a face of its own; asking for its weight too keeps the text
// heavy where fontconfig has to substitute another family.
QFont blackFont(int pixels) {
    QFont f = pixelFont(QStringLiteral("Arial Black"), pixels);
    f.setWeight(QFont::Black);
    return f;
}

void setTextColour(QLabel* label, const QColor& colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}
}  // namespace

TAb::TAb(QWidget* owner) : QDialog(owner) {
    Ab = this;
    build();
    FadeTimer->start();
}

TAb::~TAb() {
    if (Ab == this) Ab = nullptr;
}

void TAb::build() {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("AboutForm"));
    setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11));
    setFixedSize(WindowWidth, WindowHeight);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setWindowOpacity(0);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/briefcase.png")));
    Image1->move(0, 0);
    Image1->adjustSize();
    Image1->setAccessibleName(QStringLiteral("Вердикон"));

    auto makeLabel = [this](const QString& text, const char* name, int left, int top) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QString::fromLatin1(name));
        label->move(left, top);
        label->setAccessibleName(text);
        return label;
    };
    Label1 = makeLabel(QStringLiteral("Подсистема"), "Label1", 152, 24);
    Label1->setFont(blackFont(24));
    setTextColour(Label1, QColor(0x80, 0x80, 0x80));
    Label2 = makeLabel(QStringLiteral("\"Вердикон\""), "Label2", 184, 56);
    Label2->setFont(blackFont(35));
    Label3 = makeLabel(QStringLiteral("Автоматизированная система управления"), "Label3", 168, 104);
    Label4 = makeLabel(TF_Report::branchNameInstrumental(), "Label4", 208, 120);
    setTextColour(Label4, Qt::red);
    Label5 = makeLabel(TF_Report::institutionName(), "Label5", 96, 136);
    setTextColour(Label5, Qt::red);
    Label6 = makeLabel(QStringLiteral("Разработано:"), "Label6", 16, 144);
    Label7 = makeLabel(QStringLiteral("группа ИВТ-41"), "Label7", 16, 160);
    Label8 = makeLabel(QStringLiteral("Петров Алексей Игоревич"), "Label8", 16, 176);
    Label8->setFont(pixelFont(QStringLiteral("Arial"), 12, true));
    Label9 = makeLabel(QStringLiteral("доцент кафедры ИВТ"), "Label9", 16, 192);
    Label10 = makeLabel(QStringLiteral("Смирнова Ольга Николаевна"), "Label10", 16, 208);
    QFont supervisor = font();
    supervisor.setPixelSize(12);
    supervisor.setBold(true);
    Label10->setFont(supervisor);
    Label11 = makeLabel(QStringLiteral("Версия 1.0.1"), "Label11", 200, 192);
    QFont version = pixelFont(QStringLiteral("Arial"), 13);
    version.setUnderline(true);
    Label11->setFont(version);
    setTextColour(Label11, QColor(0x80, 0x00, 0x00));
    for (QLabel* label :
         {Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9, Label10, Label11})
        label->adjustSize();

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(360, 168, 83, 33);
    OKButton->setAccessibleName(QStringLiteral("OK"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAb::OKButtonClick);

    FadeTimer = new QTimer(this);
    FadeTimer->setObjectName(QStringLiteral("FadeTimer"));
    FadeTimer->setInterval(1);
    connect(FadeTimer, &QTimer::timeout, this, &TAb::FadeTimerTimer);

    // The About box unless the one who opens it asks for the splash.
    makeAboutBox();
}

void TAb::makeSplash() {
    setWindowFlags(Qt::FramelessWindowHint | Qt::Dialog);
}

void TAb::makeAboutBox() {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
}

void TAb::setVisible(bool visible) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!visible || !screen) {
        QDialog::setVisible(visible);
        return;
    }
    const QPoint centre = screen->availableGeometry().center();
    // Placed before the dialog would place itself over its owner, then once more
    // when the border is known, so that the whole window is centred.
    move(centre - rect().center());
    QDialog::setVisible(true);
    QRect outer = frameGeometry();
    outer.moveCenter(centre);
    move(outer.topLeft());
}

bool TAb::fading() const {
    return FadeTimer->isActive();
}

void TAb::FadeTimerTimer() {
    ++m_ticks;
    if (m_opacityStep < OpaqueStep) {
        m_opacityStep += FadeStep;
    } else {
        m_opacityStep = OpaqueStep;
        FadeTimer->stop();
    }
    applyOpacity();
}

void TAb::OKButtonClick() {
    accept();
}

void TAb::applyOpacity() {
    setWindowOpacity(m_opacityStep / double(OpaqueStep));
}
