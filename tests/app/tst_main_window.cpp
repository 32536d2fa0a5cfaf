// The main window as a user meets it: the splash before the window, the texts
// that follow the pointer, the picture from the program folder, starting
// without a database, and the question when closing with unsaved changes.
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "About.h"
#include "Application.h"
#include "Connection.h"
#include "DM_Tessaly.h"
#include "Messages.h"
#include "References.h"
#include "Schema.h"
#include "TESSALY_MainForm.h"
#include "DBEdit.h"
#include "Studenti.h"

namespace {

// A program folder with the picture, and a working folder (the current one) with the database.
class Setup {
public:
    explicit Setup(bool withPicture = true, bool withDatabase = true)
        : m_previous(QDir::currentPath()) {
        QDir(m_dir.path()).mkpath(QStringLiteral("bin"));
        QDir(m_dir.path()).mkpath(QStringLiteral("work"));
        if (withPicture) {
            QImage picture(216, 143, QImage::Format_RGB32);
            picture.fill(QColor(40, 90, 160));
            picture.save(m_dir.filePath(QStringLiteral("bin/verdikon.bmp")), "BMP");
        }
        QDir::setCurrent(m_dir.filePath(QStringLiteral("work")));
        if (withDatabase) {
            SqliteConnection::createFile(QStringLiteral("verdikon.mdb"));
            SqliteConnection c(QStringLiteral("verdikon.mdb"));
            schema::create(c);
            c.execute(QStringLiteral(
                "INSERT INTO Prepodavateli (ID_Prepod, \"Фамилия\") VALUES (1, 'Соколова');"
                "INSERT INTO Studenti (N_student, Fam) VALUES ('0000001', 'Иванов')"));
        }
    }
    ~Setup() { QDir::setCurrent(m_previous); }
    QString executable() const { return m_dir.filePath(QStringLiteral("bin/tessaly")); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Presses OK on the splash once it is up, and notes what was on screen then.
struct SplashCloser {
    bool sawSplash = false;
    bool mainWindowVisible = true;
    void arm(QWidget* mainWindow) {
        QTimer::singleShot(0, [this, mainWindow] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            sawSplash = qobject_cast<TAb*>(dialog) != nullptr;
            mainWindowVisible = mainWindow->isVisible();
            if (dialog) dialog->accept();
        });
    }
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void splashComesBeforeTheWindow() {
        Setup setup;
        platform::MessageRecorder messages;
        Tform_m form(setup.executable());
        SplashCloser closer;
        closer.arm(&form);
        form.show();
        QVERIFY(closer.sawSplash);
        QVERIFY(!closer.mainWindowVisible);
        QVERIFY(form.isVisible());
        QVERIFY(form.splash());
        QVERIFY(form.splash()->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(messages.texts(), QStringList());
        QCOMPARE(form.windowTitle(), QStringLiteral("Подсистема \"Вердикон\" АСУ Ирмель"));
    }

    void aboutItemOpensANewAboutBoxEachTime() {
        Setup setup;
        platform::MessageRecorder messages;
        Tform_m form(setup.executable());
        QList<TAb*> seen;
        for (int i = 0; i < 2; ++i) {
            QTimer::singleShot(0, [&seen] {
                auto* about = qobject_cast<TAb*>(QApplication::activeModalWidget());
                seen << about;
                if (about) about->accept();
            });
            form.AboutItem->trigger();
        }
        QCOMPARE(seen.size(), 2);
        QVERIFY(seen[0] && seen[1] && seen[0] != seen[1]);
        QCOMPARE(seen[1]->windowTitle(), QStringLiteral("AboutForm"));
        QVERIFY(!(seen[1]->windowFlags() & Qt::FramelessWindowHint));
        QCOMPARE(seen[1]->parent(), &form);  // kept, hidden, until the main window goes
        QCOMPARE(static_cast<QWidget*>(Ab), static_cast<QWidget*>(seen[1]));
    }

    void layoutIsFixed() {
        Setup setup;
        platform::MessageRecorder messages;
        Tform_m form(setup.executable());
        QCOMPARE(form.centralWidget()->width(), 338);
        QCOMPARE(form.centralWidget()->height() + form.statusBar()->height(), 394);
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.Button1->geometry(), QRect(16, 16, 305, 57));
        QCOMPARE(form.Button3->geometry(), QRect(16, 176, 305, 57));
        QCOMPARE(form.Button2->font().pixelSize(), 19);
        QVERIFY(form.Button2->font().bold());
        QCOMPARE(form.Image1->pos(), QPoint(64, 232));
        QCOMPARE(form.Image1->size(), QSize(216, 143));
        QCOMPARE(form.statusPanels.size(), 3);
        for (QLabel* panel : form.statusPanels) QCOMPARE(panel->width(), 50);
        QStringList menus;
        for (QAction* a : form.menuBar()->actions()) menus << a->text();
        QCOMPARE(menus, QStringList({"Справочники", "Отчеты", "Помощь"}));
        QStringList books;
        for (QAction* a : form.menuBar()->actions().first()->menu()->actions()) books << a->text();
        QCOMPARE(books, QStringList({"Студенты", "Преподаватели", "Дисциплины", "Специальности",
                                     "Факультеты", "Кафедры", "Группы"}));
    }

    void textsFollowThePointer_data() {
        QTest::addColumn<QString>("over");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("subtitle");
        // From the teachers' button onto each place.
        QTest::newRow("students button") << "Button1" << "Студенты" << "Здесь данные студентов";
        QTest::newRow("study button") << "Button3" << "Учебный процесс"
                                      << "Здесь данные учебного процесса";
        QTest::newRow("picture keeps") << "Image1" << "Преподаватели"
                                       << "Здесь данные о преподавателях";
        QTest::newRow("title label keeps") << "Label1" << "Преподаватели"
                                           << "Здесь данные о преподавателях";
        QTest::newRow("background restores") << "background" << "Вердикон"
                                             << "Система управления вузом";
    }

    void textsFollowThePointer() {
        QFETCH(QString, over);
        QFETCH(QString, title);
        QFETCH(QString, subtitle);
        Setup setup;
        platform::MessageRecorder messages;
        Tform_m form(setup.executable());
        QCOMPARE(form.Label1->text(), QStringLiteral("Вердикон"));
        QCOMPARE(form.Label2->text(), QStringLiteral("Система управления вузом"));
        QCursor::setPos(QPoint(2000, 2000));  // away from where an earlier case left it
        SplashCloser closer;
        closer.arm(&form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QTest::mouseMove(form.Button2, QPoint(150, 20));
        QTRY_COMPARE(form.Label1->text(), QStringLiteral("Преподаватели"));
        if (over == QLatin1String("background")) {
            QTest::mouseMove(form.centralWidget(), QPoint(330, 100));
        } else {
            auto* target = form.findChild<QWidget*>(over);
            QVERIFY(target);
            QTest::mouseMove(target, QPoint(5, 5));
        }
        QTRY_COMPARE(form.Label1->text(), title);
        QCOMPARE(form.Label2->text(), subtitle);
    }

    void missingPictureIsReportedOnce() {
        Setup setup(false);
        platform::MessageRecorder messages;
        Tform_m form(setup.executable());
        QCOMPARE(messages.texts().size(), 1);
        QVERIFY(messages.texts().first().startsWith(QStringLiteral("Cannot open file \"")));
        QVERIFY(messages.texts().first().contains(QStringLiteral("verdikon.bmp")));
        QCOMPARE(form.Label1->text(), QStringLiteral("Label1"));
        QCOMPARE(form.Label2->text(), QStringLiteral("Label2"));
        QCOMPARE(form.Image1->size(), QSize(216, 143));  // the built-in picture
    }

    void startsWithoutDatabase() {
        Setup setup(true, false);
        platform::MessageRecorder messages;
        Tform_m form(setup.executable());
        TDM dm;
        QCOMPARE(messages.texts().size(), 19);
        SplashCloser closer;
        closer.arm(&form);
        form.show();
        QVERIFY(form.isVisible());
        for (Dataset* ds : dm.datasets()) QVERIFY(!ds->isActive());
        QVERIFY(form.close());
    }

    void closingAsksAboutUnsavedChanges_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("stored");
        QTest::newRow("yes posts") << int(platform::Answer::Yes) << true << "Петров";
        QTest::newRow("no drops") << int(platform::Answer::No) << true << "Иванов";
        QTest::newRow("cancel stays") << int(platform::Answer::Cancel) << false << "Иванов";
    }

    void closingAsksAboutUnsavedChanges() {
        QFETCH(int, answer);
        QFETCH(bool, closes);
        QFETCH(QString, stored);
        Setup setup;
        platform::MessageRecorder messages;
        Tform_m form(setup.executable());
        TDM dm;
        dm.Q_Studenti->edit();
        dm.Q_StudentiFam->setValue(QStringLiteral("Петров"));
        messages.answer(platform::Answer(answer));
        QCOMPARE(form.close(), closes);
        QCOMPARE(messages.texts(), QStringList({QStringLiteral("Сохранить изменения?")}));
        QCOMPARE(messages.messages().front().kind, platform::MessageKind::Question);
        SqliteConnection other(QStringLiteral("verdikon.mdb"));
        auto st = other.prepare(QStringLiteral("SELECT Fam FROM Studenti"));
        QVERIFY(st->step());
        QCOMPARE(st->columnValue(0).toString(), stored);
        QCOMPARE(dm.Q_Studenti->isActive(), !closes);
        QCOMPARE(dm.ADOConnection1.isOpen(), !closes);
    }

    void refusedPostKeepsTheProgramOpen() {
        Setup setup;
        platform::MessageRecorder messages;
        Tform_m form(setup.executable());
        TDM dm;
        dm.Q_Prepod->edit();
        dm.Q_PrepodID_Prepod->clear();
        messages.answer(platform::Answer::Yes);
        QVERIFY(!form.close());
        QCOMPARE(messages.texts(), QStringList({QStringLiteral("Сохранить изменения?"),
                                                QStringLiteral("Field 'Код' must have a value.")}));
        QVERIFY(dm.Q_Prepod->isEditing());
    }

    void studentWindowOpensOnce_data() {
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("button") << false;
        QTest::newRow("menu item") << true;
    }

    // One student window at a time; after it is closed the next opening makes a new one.
    void studentWindowOpensOnce() {
        QFETCH(bool, byMenu);
        Setup setup;
        platform::MessageRecorder messages;
        Tform_m form(setup.executable());
        TDM dm;
        // The menu item also opens the student list when it is closed.
        if (byMenu) dm.Q_Studenti->close();
        auto open = [&] {
            if (byMenu)
                form.StudentsItem->trigger();
            else
                QTest::mouseClick(form.Button1, Qt::LeftButton);
        };
        open();
        QPointer<TStuds> first(Studs);
        QVERIFY(first);
        QVERIFY(first->isVisible());
        QCOMPARE(first->PageControl1->currentIndex(), 0);
        QVERIFY(dm.Q_Studenti->isActive());
        QCOMPARE(first->NumberEdit->text(), QStringLiteral("0000001"));
        first->PageControl1->setCurrentIndex(2);
        open();
        QCOMPARE(Studs, first.data());
        QCOMPARE(first->PageControl1->currentIndex(), 2);
        first->close();
        QVERIFY(QTest::qWaitFor([&] { return first.isNull(); }));
        QCOMPARE(Studs, nullptr);
        open();
        QVERIFY(Studs);
        QVERIFY(Studs != first.data());
        QCOMPARE(messages.texts(), QStringList());
        delete Studs;
    }

    // The order start-up ends in: the data module goes first, then the main window
    // with the student window it made.
    void programEndsWithTheStudentWindowOpen() {
        Setup setup;
        platform::MessageRecorder messages;
        auto form = std::make_unique<Tform_m>(setup.executable());
        auto dm = std::make_unique<TDM>();
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QVERIFY(Studs);
        Studs->PageControl1->setCurrentIndex(1);
        QVERIFY(form->close());
        dm.reset();
        form.reset();
        QCOMPARE(Studs, nullptr);
        QCOMPARE(messages.texts(), QStringList());
    }

    void closingWithNothingPendingAsksNothing() {
        Setup setup;
        platform::MessageRecorder messages;
        Tform_m form(setup.executable());
        TDM dm;
        dm.Q_Studenti->edit();  // untouched: nothing to lose
        QVERIFY(form.close());
        QCOMPARE(messages.texts(), QStringList());
        QVERIFY(!dm.ADOConnection1.isOpen());
    }

    void settingsFileIsWrittenInTheProgramFolder() {
        Setup setup;
        platform::MessageRecorder messages;
        {
            Tform_m form(setup.executable());
        }
        QFile ini(QFileInfo(setup.executable()).dir().filePath(QStringLiteral("My.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray text = ini.readAll();
        QVERIFY(text.contains("Main=" + setup.executable().toLocal8Bit()));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
