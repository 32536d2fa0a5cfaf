// The start sound: the theme's own sound when it has it, its default sound
// when it lacks it, and nothing at all without a sound system.
#include <QTest>

#include "Shell.h"

using platform::SoundResult;

Q_DECLARE_METATYPE(SoundResult)

class TestShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { platform::setSoundPlayer({}); }
    void missingSoundFallsBackToTheDefault_data();
    void missingSoundFallsBackToTheDefault();
};

void TestShell::missingSoundFallsBackToTheDefault_data() {
    QTest::addColumn<SoundResult>("named");
    QTest::addColumn<QStringList>("played");
    QTest::newRow("the theme has it") << SoundResult::Playing << QStringList{"desktop-login"};
    QTest::newRow("the theme lacks it")
        << SoundResult::NotFound << QStringList{"desktop-login", platform::DefaultSound};
    QTest::newRow("no sound system") << SoundResult::Unavailable << QStringList{"desktop-login"};
}

void TestShell::missingSoundFallsBackToTheDefault() {
    QFETCH(SoundResult, named);
    QFETCH(QStringList, played);
    QStringList asked;
    platform::setSoundPlayer([&](const char* eventId) {
        asked << QString::fromLatin1(eventId);
        return asked.size() == 1 ? named : SoundResult::Playing;
    });
    platform::playEventSound("desktop-login");
    QCOMPARE(asked, played);
}

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
