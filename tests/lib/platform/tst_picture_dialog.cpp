// The picture-open dialog: the system's filter becomes one Qt filters by the
// declared patterns, the real dialog returns what the user picks or nothing,
// and a recording run answers from a queue and keeps each request.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "PictureDialog.h"

class TestPictureDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void qtFilterEndsEachEntryInItsPatterns_data();
    void qtFilterEndsEachEntryInItsPatterns();
    void dialogListsOnlyDeclaredPatterns();
    void dialogReturnsTypedFile();
    void dialogCancelledReturnsNothing();
    void recorderAnswersInOrderThenCancels();
    void newRecorderForgetsEarlierAnswersAndRequests();

private:
    // Runs the dialog with a user acting on it once it is up.
    QString runDialog(const QString& filter, const std::function<void(QFileDialog*)>& user);

    QTemporaryDir m_dir;
    QString m_previousFolder;
};

void TestPictureDialog::initTestCase() {
    QVERIFY(m_dir.isValid());
    for (const char* name : {"photo.jpg", "scan.bmp", "notes.txt", "README"}) {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // The dialog opens in the current folder.
    m_previousFolder = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
}

void TestPictureDialog::cleanupTestCase() {
    QDir::setCurrent(m_previousFolder);
}

QString TestPictureDialog::runDialog(const QString& filter,
                                     const std::function<void(QFileDialog*)>& user) {
    bool acted = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || acted) return;
        acted = true;
        poll.stop();
        user(dialog);
        // A failed check inside the user's turn must not leave the test waiting.
        if (dialog->isVisible()) dialog->reject();
    });
    poll.start();
    const QString chosen = platform::choosePicture(nullptr, filter, QStringLiteral("Фотография"));
    if (!acted) qWarning("the dialog was never shown");
    return chosen;
}

void TestPictureDialog::qtFilterEndsEachEntryInItsPatterns_data() {
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("qt");

    QTest::newRow("descriptions listing their patterns")
        << QStringLiteral("Рисунки (*.jpg;*.BMP)|*.jpg;*.BMP|Все файлы (*.*)|*.*")
        << QStringLiteral("Рисунки (*.jpg *.BMP);;Все файлы (*)");
    QTest::newRow("plain descriptions")
        << QStringLiteral("JPEG|*.jpg;*.jpeg|Точечный рисунок|*.bmp")
        << QStringLiteral("JPEG (*.jpg *.jpeg);;Точечный рисунок (*.bmp)");
    QTest::newRow("remark in parentheses is not the patterns")
        << QStringLiteral("Фото (цветные)|*.jpg") << QStringLiteral("Фото (цветные) (*.jpg)");
    QTest::newRow("description listing other patterns")
        << QStringLiteral("Рисунки (*.png)|*.jpg") << QStringLiteral("Рисунки (*.png) (*.jpg)");
    QTest::newRow("blanks and empty patterns")
        << QStringLiteral(" JPEG | *.jpg ;; *.jpeg ;") << QStringLiteral("JPEG (*.jpg *.jpeg)");
    QTest::newRow("trailing separator")
        << QStringLiteral("JPEG|*.jpg|") << QStringLiteral("JPEG (*.jpg)");
    QTest::newRow("description without patterns is dropped")
        << QStringLiteral("JPEG|*.jpg|Прочее|") << QStringLiteral("JPEG (*.jpg)");
    QTest::newRow("last description without patterns is dropped")
        << QStringLiteral("JPEG|*.jpg|Прочее") << QStringLiteral("JPEG (*.jpg)");
    QTest::newRow("empty description") << QStringLiteral("|*.bmp") << QStringLiteral("(*.bmp)");
    QTest::newRow("no filter") << QString() << QString();
}

void TestPictureDialog::qtFilterEndsEachEntryInItsPatterns() {
    QFETCH(QString, system);
    QFETCH(QString, qt);

    QCOMPARE(platform::qtFileFilter(system), qt);
}

void TestPictureDialog::dialogListsOnlyDeclaredPatterns() {
    QStringList filters;
    QStringList everything;
    QStringList pictures;
    const QString chosen =
        runDialog(QStringLiteral("Рисунки (*.bmp)|*.jpg|Все файлы|*.*"), [&](QFileDialog* dialog) {
            filters = dialog->nameFilters();
            auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QVERIFY(view && types);
            const auto listing = [view] {
                QStringList names;
                for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
                    names << view->model()->index(row, 0, view->rootIndex()).data().toString();
                }
                names.sort();
                return names;
            };
            // The folder is read in the background: the whole of it first, then the pictures.
            QTest::keyClick(types, Qt::Key_Down);
            QTRY_COMPARE(listing().size(), 4);
            everything = listing();
            QTest::keyClick(types, Qt::Key_Up);
            QTRY_COMPARE(listing().size(), 1);
            pictures = listing();
        });
    QVERIFY(chosen.isEmpty());
    QCOMPARE(filters, QStringList({QStringLiteral("Рисунки (*.bmp) (*.jpg)"),
                                   QStringLiteral("Все файлы (*)")}));
    QCOMPARE(everything, QStringList({QStringLiteral("README"), QStringLiteral("notes.txt"),
                                      QStringLiteral("photo.jpg"), QStringLiteral("scan.bmp")}));
    QCOMPARE(pictures, QStringList({QStringLiteral("photo.jpg")}));
}

void TestPictureDialog::dialogReturnsTypedFile() {
    QString title;
    const QString chosen =
        runDialog(QStringLiteral("Рисунки|*.jpg;*.bmp"), [&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            QTest::keyClicks(name, QStringLiteral("scan.bmp"));
            auto* open = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
                             ->button(QDialogButtonBox::Open);
            QTest::mouseClick(open, Qt::LeftButton);
        });
    QCOMPARE(title, QStringLiteral("Фотография"));
    QCOMPARE(chosen, m_dir.filePath(QStringLiteral("scan.bmp")));
}

void TestPictureDialog::dialogCancelledReturnsNothing() {
    const QString chosen = runDialog(QStringLiteral("Рисунки|*.jpg"), [](QFileDialog* dialog) {
        auto* cancel = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
                           ->button(QDialogButtonBox::Cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    QVERIFY(chosen.isEmpty());
}

void TestPictureDialog::recorderAnswersInOrderThenCancels() {
    platform::PictureDialogRecorder recorder;
    recorder.answer(QStringLiteral("/photos/first.jpg"));
    recorder.answer(QString());
    recorder.answer(QStringLiteral("/photos/third.bmp"));

    const QString filter = QStringLiteral("Рисунки (*.jpg;*.BMP)|*.jpg;*.BMP");
    QCOMPARE(platform::choosePicture(nullptr, filter, QStringLiteral("Фото студента")),
             QStringLiteral("/photos/first.jpg"));
    QCOMPARE(platform::choosePicture(nullptr, filter), QString());
    QCOMPARE(platform::choosePicture(nullptr, QStringLiteral("Все|*.*")),
             QStringLiteral("/photos/third.bmp"));
    QCOMPARE(platform::choosePicture(nullptr, filter), QString());

    const auto& requests = recorder.requests();
    QCOMPARE(requests.size(), size_t(4));
    QCOMPARE(requests[0].filter, filter);
    QCOMPARE(requests[0].caption, QStringLiteral("Фото студента"));
    QCOMPARE(requests[1].caption, QString());
    QCOMPARE(requests[2].filter, QStringLiteral("Все|*.*"));
    QCOMPARE(requests[3].filter, filter);
}

void TestPictureDialog::newRecorderForgetsEarlierAnswersAndRequests() {
    {
        platform::PictureDialogRecorder recorder;
        recorder.answer(QStringLiteral("/photos/left.jpg"));
        recorder.answer(QStringLiteral("/photos/over.jpg"));
        QCOMPARE(platform::choosePicture(nullptr, QStringLiteral("JPEG|*.jpg")),
                 QStringLiteral("/photos/left.jpg"));
    }
    platform::PictureDialogRecorder recorder;
    QVERIFY(recorder.requests().empty());
    QCOMPARE(platform::choosePicture(nullptr, QStringLiteral("JPEG|*.jpg")), QString());
    QCOMPARE(recorder.requests().size(), size_t(1));
}

QTEST_MAIN(TestPictureDialog)
#include "tst_picture_dialog.moc"
