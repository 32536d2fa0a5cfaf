// The application object: window titles left as the windows set them, and
// the general error display for failures of every kind.
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

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
