// The application object: window titles left as the windows set them, the
// general error display for failures of every kind, and Qt's dialogs in Russian.
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "Application.h"
#include "Messages.h"

class TestApplication : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowTitlesGetNothingAppended();
    void failuresOfEveryKindAreShown_data();
    void failuresOfEveryKindAreShown();
    void qtsOwnDialogsSpeakRussian_data();
    void qtsOwnDialogsSpeakRussian();
};

void TestApplication::windowTitlesGetNothingAppended() {
    // X11 appends an explicitly set display name to every title that does not end in it.
    QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    QCOMPARE(platform::applicationTitle(), applicationTitle());
}

void TestApplication::failuresOfEveryKindAreShown_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("shown");
    QTest::newRow("a failure with its text") << 0 << QStringLiteral("Нет такой записи.");
    QTest::newRow("a failure of no known kind") << 1 << QStringLiteral("Непредвиденная ошибка.");
}

void TestApplication::failuresOfEveryKindAreShown() {
    QFETCH(int, kind);
    QFETCH(QString, shown);
    platform::MessageRecorder messages;
    const bool handled = platform::reportingFailures([kind]() -> bool {
        if (kind == 0) throw std::runtime_error("Нет такой записи");
        throw 42;
    });
    QVERIFY(!handled);
    QCOMPARE(messages.texts(), QStringList{shown});
    QCOMPARE(messages.messages()[0].kind, platform::MessageKind::Error);
}

void TestApplication::qtsOwnDialogsSpeakRussian_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("caption");
    QTest::newRow("cancel") << int(QDialogButtonBox::Cancel) << "Отмена";
    QTest::newRow("yes") << int(QDialogButtonBox::Yes) << "Да";
    QTest::newRow("no") << int(QDialogButtonBox::No) << "Нет";
    QTest::newRow("save") << int(QDialogButtonBox::Save) << "Сохранить";
}

// The buttons of Qt's message, file and print dialogs come from one place.
void TestApplication::qtsOwnDialogsSpeakRussian() {
    QFETCH(int, button);
    QFETCH(QString, caption);
    const auto which = QDialogButtonBox::StandardButton(button);
    QDialogButtonBox box{QDialogButtonBox::StandardButtons(which)};
    QCOMPARE(box.button(which)->text().remove(u'&'), caption);
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
