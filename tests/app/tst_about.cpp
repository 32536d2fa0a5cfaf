// The About and splash window: the fade-in step by step, the two border
// styles, closing with OK, what sits where, and the window reference.
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include "About.h"
#include "References.h"

namespace {

void tick(TAb& window, int times) {
    for (int i = 0; i < times; ++i) window.FadeTimerTimer();
}

int shownOpacityStep(const TAb& window) {
    return qRound(window.windowOpacity() * 255);
}

enum class Use { Splash, AboutBox };

void prepare(TAb& window, Use use) {
    if (use == Use::Splash)
        window.makeSplash();
    else
        window.makeAboutBox();
}

QList<QLabel*> labels(const TAb& w) {
    return {w.Label1, w.Label2, w.Label3, w.Label4,  w.Label5, w.Label6,
            w.Label7, w.Label8, w.Label9, w.Label10, w.Label11};
}

QtMessageHandler previousHandler = nullptr;

// The offscreen platform has no window opacity and says so at every fade step.
void dropOpacityWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text == QLatin1String("This plugin does not support setting window opacity")) return;
    if (previousHandler)
        previousHandler(type, context, text);
    else
        fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

}  // namespace

Q_DECLARE_METATYPE(Use)

class TestAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { previousHandler = qInstallMessageHandler(dropOpacityWarnings); }
    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }

    void opensFullyTransparentWithTheFadeRunning() {
        TAb window(nullptr);
        QCOMPARE(window.opacityStep(), 0);
        QCOMPARE(shownOpacityStep(window), 0);
        QCOMPARE(window.ticks(), 0);
        QVERIFY(window.fading());
        QCOMPARE(window.FadeTimer->interval(), 1);
    }

    void fadeInRaisesOpacityByFivePerTick_data() {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("running");
        QTest::newRow("first tick") << 1 << 5 << true;
        QTest::newRow("second tick") << 2 << 10 << true;
        QTest::newRow("halfway") << 25 << 125 << true;
        QTest::newRow("tick 50") << 50 << 250 << true;
        QTest::newRow("tick 51 reaches opaque") << 51 << 255 << true;
        QTest::newRow("tick 52 stops") << 52 << 255 << false;
    }

    void fadeInRaisesOpacityByFivePerTick() {
        QFETCH(int, ticks);
        QFETCH(int, step);
        QFETCH(bool, running);
        TAb window(nullptr);
        tick(window, ticks);
        QCOMPARE(window.ticks(), ticks);
        QCOMPARE(window.opacityStep(), step);
        QCOMPARE(shownOpacityStep(window), step);
        QCOMPARE(window.fading(), running);
    }

    void newWindowFadesInAgain() {
        TAb first(nullptr);
        tick(first, 52);
        QVERIFY(!first.fading());
        TAb second(nullptr);
        QCOMPARE(second.opacityStep(), 0);
        QCOMPARE(shownOpacityStep(second), 0);
        QVERIFY(second.fading());
        second.FadeTimerTimer();
        QCOMPARE(second.opacityStep(), 5);
        QCOMPARE(first.opacityStep(), 255);
    }

    void splashHasNoBorder() {
        TAb window(nullptr);
        window.makeSplash();
        const Qt::WindowFlags flags = window.windowFlags();
        QVERIFY(flags & Qt::FramelessWindowHint);
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(!(flags & Qt::WindowTitleHint));
        QVERIFY(!(flags & Qt::WindowSystemMenuHint));
        QVERIFY(window.OKButton->isVisibleTo(&window));
    }

    void aboutBoxHasCaptionAndNoResizing() {
        TAb window(nullptr);
        window.makeSplash();
        window.makeAboutBox();
        const Qt::WindowFlags flags = window.windowFlags();
        QCOMPARE(window.windowTitle(), QStringLiteral("AboutForm"));
        QVERIFY(!(flags & Qt::FramelessWindowHint));
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QCOMPARE(window.minimumSize(), QSize(512, 259));
        QCOMPARE(window.maximumSize(), QSize(512, 259));
        QVERIFY(window.OKButton->isVisibleTo(&window));
    }

    void opensCentredOnTheDesktop_data() {
        QTest::addColumn<Use>("use");
        QTest::newRow("splash") << Use::Splash;
        QTest::newRow("about box") << Use::AboutBox;
    }

    void opensCentredOnTheDesktop() {
        QFETCH(Use, use);
        // A dialog left to itself would sit over its owner, here in a corner.
        QWidget owner;
        owner.setGeometry(0, 0, 100, 100);
        owner.show();
        TAb window(&owner);
        prepare(window, use);
        window.show();
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        const QPoint outerCentre = window.frameGeometry().center();
        QVERIFY2((outerCentre - centre).manhattanLength() <= 1,
                 qPrintable(QStringLiteral("window centre %1,%2, desktop centre %3,%4")
                                .arg(outerCentre.x())
                                .arg(outerCentre.y())
                                .arg(centre.x())
                                .arg(centre.y())));
        window.hide();
    }

    void okClosesWithAccepted_data() {
        QTest::addColumn<Use>("use");
        QTest::addColumn<int>("key");  // 0: a mouse click
        QTest::newRow("about box, click") << Use::AboutBox << 0;
        QTest::newRow("about box, Enter") << Use::AboutBox << int(Qt::Key_Return);
        QTest::newRow("about box, Space") << Use::AboutBox << int(Qt::Key_Space);
        QTest::newRow("splash, click") << Use::Splash << 0;
        QTest::newRow("splash, Enter") << Use::Splash << int(Qt::Key_Return);
    }

    void okClosesWithAccepted() {
        QFETCH(Use, use);
        QFETCH(int, key);
        TAb window(nullptr);
        prepare(window, use);
        QWidget* focused = nullptr;
        QTimer::singleShot(0, &window, [&] {
            if (!QTest::qWaitForWindowActive(&window)) return;
            focused = QApplication::focusWidget();
            if (key == 0)
                QTest::mouseClick(window.OKButton, Qt::LeftButton);
            else if (focused)
                QTest::keyClick(focused, Qt::Key(key));
        });
        // Fails the test rather than leaving it waiting if OK did not close the window.
        QTimer::singleShot(10000, &window, &QDialog::reject);
        QCOMPARE(window.exec(), int(QDialog::Accepted));
        QCOMPARE(focused, window.OKButton);
        QVERIFY(!window.isVisible());
    }

    void closedWindowStaysUntilItsOwnerGoes() {
        auto owner = std::make_unique<QWidget>();
        QPointer<TAb> window = new TAb(owner.get());
        window->makeAboutBox();
        QTimer::singleShot(0, window, [&] { QTest::mouseClick(window->OKButton, Qt::LeftButton); });
        QTimer::singleShot(10000, window, &QDialog::reject);
        QCOMPARE(window->exec(), int(QDialog::Accepted));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window);
        QCOMPARE(Ab, window.data());
        owner.reset();
        QVERIFY(!window);
        QCOMPARE(Ab, nullptr);
    }

    void windowIsWhiteWithItsFont() {
        TAb window(nullptr);
        QCOMPARE(window.size(), QSize(512, 259));
        QCOMPARE(window.palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(window.autoFillBackground());
        QCOMPARE(window.font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(window.font().pixelSize(), 11);
    }

    void elementsSitWherePlaced_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");  // an empty size: sized to the content
        QTest::newRow("picture") << "Image1" << QRect(0, 0, 216, 143);
        QTest::newRow("Подсистема") << "Label1" << QRect(152, 24, 0, 0);
        QTest::newRow("Вердикон") << "Label2" << QRect(184, 56, 0, 0);
        QTest::newRow("system") << "Label3" << QRect(168, 104, 0, 0);
        QTest::newRow("branch") << "Label4" << QRect(208, 120, 0, 0);
        QTest::newRow("institution") << "Label5" << QRect(96, 136, 0, 0);
        QTest::newRow("Разработано") << "Label6" << QRect(16, 144, 0, 0);
        QTest::newRow("group") << "Label7" << QRect(16, 160, 0, 0);
        QTest::newRow("author") << "Label8" << QRect(16, 176, 0, 0);
        QTest::newRow("position") << "Label9" << QRect(16, 192, 0, 0);
        QTest::newRow("supervisor") << "Label10" << QRect(16, 208, 0, 0);
        QTest::newRow("version") << "Label11" << QRect(200, 192, 0, 0);
        QTest::newRow("OK") << "OKButton" << QRect(360, 168, 83, 33);
    }

    void elementsSitWherePlaced() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        TAb window(nullptr);
        auto* element = window.findChild<QWidget*>(name);
        QVERIFY(element);
        QCOMPARE(element->pos(), geometry.topLeft());
        if (!geometry.isEmpty())
            QCOMPARE(element->size(), geometry.size());
        else
            QCOMPARE(element->size(), element->sizeHint());
    }

    void labelsShowTheirTextsInTheirFonts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<int>("weight");
        QTest::addColumn<QColor>("colour");
        const QColor windowText = QPalette().color(QPalette::WindowText);
        QTest::newRow("Подсистема")
            << "Label1"
            << "Подсистема"
            << "Arial Black" << 24 << int(QFont::Black) << QColor(0x80, 0x80, 0x80);
        QTest::newRow("Вердикон") << "Label2"
                                  << "\"Вердикон\""
                                  << "Arial Black" << 35 << int(QFont::Black) << windowText;
        QTest::newRow("system") << "Label3"
                                << "Автоматизированная система управления"
                                << "MS Sans Serif" << 11 << int(QFont::Normal) << windowText;
        QTest::newRow("branch") << "Label4"
                                << "филиалом Северного университета"
                                << "MS Sans Serif" << 11 << int(QFont::Normal) << QColor(Qt::red);
        QTest::newRow("institution")
            << "Label5"
            << "Северный государственный университет"
            << "MS Sans Serif" << 11 << int(QFont::Normal) << QColor(Qt::red);
        QTest::newRow("Разработано") << "Label6"
                                     << "Разработано:"
                                     << "MS Sans Serif" << 11 << int(QFont::Normal) << windowText;
        QTest::newRow("author") << "Label8"
                                << "Петров Алексей Игоревич"
                                << "Arial" << 12 << int(QFont::Bold) << windowText;
        QTest::newRow("supervisor") << "Label10"
                                    << "Смирнова Ольга Николаевна"
                                    << "MS Sans Serif" << 12 << int(QFont::Bold) << windowText;
    }

    void labelsShowTheirTextsInTheirFonts() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, family);
        QFETCH(int, pixels);
        QFETCH(int, weight);
        QFETCH(QColor, colour);
        TAb window(nullptr);
        auto* label = window.findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->font().family(), family);
        QCOMPARE(label->font().pixelSize(), pixels);
        QCOMPARE(label->font().weight(), QFont::Weight(weight));
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
    }

    void versionIsUnderlinedInMaroon() {
        TAb window(nullptr);
        QCOMPARE(window.Label11->text(), QStringLiteral("Версия 1.0.1"));
        QCOMPARE(window.Label11->font().family(), QStringLiteral("Arial"));
        QCOMPARE(window.Label11->font().pixelSize(), 13);
        QVERIFY(window.Label11->font().underline());
        QCOMPARE(window.Label11->palette().color(QPalette::WindowText), QColor(0x80, 0x00, 0x00));
    }

    void labelsAreTransparentAndNamedByTheirText() {
        TAb window(nullptr);
        for (QLabel* label : labels(window)) {
            QCOMPARE(label->accessibleName(), label->text());
            QVERIFY(!label->autoFillBackground());
        }
        QVERIFY(!window.Image1->accessibleName().isEmpty());
        QCOMPARE(window.Image1->pixmap().size(), QSize(216, 143));
    }

    void okIsTheDefaultButtonAndFirstInTabOrder() {
        TAb window(nullptr);
        QVERIFY(window.OKButton->isDefault());
        QCOMPARE(window.OKButton->text(), QStringLiteral("OK"));
        QCOMPARE(window.OKButton->accessibleName(), QStringLiteral("OK"));
        QWidget* first = window.nextInFocusChain();
        while (first != &window && !(first->focusPolicy() & Qt::TabFocus))
            first = first->nextInFocusChain();
        QCOMPARE(first, window.OKButton);
    }

    // The built-in picture is drawn at the top left on a white page.
    void paintsThePictureOnWhite() {
        TAb window(nullptr);
        const QImage image = window.grab().toImage();
        QCOMPARE(image.size(), QSize(512, 259));
        QCOMPARE(QColor(image.pixel(108, 100)), QColor(Qt::black));  // the briefcase's body
        QCOMPARE(QColor(image.pixel(5, 5)), QColor(Qt::white));      // the picture's margin
        QCOMPARE(QColor(image.pixel(505, 250)), QColor(Qt::white));  // the page
    }

    void referenceNamesTheNewestWindow() {
        auto older = std::make_unique<TAb>(nullptr);
        QCOMPARE(Ab, older.get());
        auto newer = std::make_unique<TAb>(nullptr);
        QCOMPARE(Ab, newer.get());
        older.reset();
        QCOMPARE(Ab, newer.get());
        newer.reset();
        QCOMPARE(Ab, nullptr);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
