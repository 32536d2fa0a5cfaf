// The message layer: the general error display's full-stop rule, and what a
// recording run keeps of errors, messages, warnings and questions.
#include <QTest>

#include "Messages.h"

using platform::Answer;
using platform::Buttons;
using platform::MessageKind;

namespace {
// The error the dataset engine throws, carrying the user's text as UTF-8.
class EngineError : public std::runtime_error {
public:
    explicit EngineError(const QString& text) : std::runtime_error(text.toStdString()) {}
};
}  // namespace

class TestMessages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void errorTextEndsInFullStop_data();
    void errorTextEndsInFullStop();
    void recordingKeepsKindCaptionAndTextInOrder();
    void errorFromExceptionKeepsCyrillicText();
    void captionFollowsApplicationTitle();
    void questionsTakeAnswersGivenInAdvance();
    void recorderStartsWithNothingKept();

private:
    QString m_title = QStringLiteral("Вердикон — тест");
};

void TestMessages::init() {
    platform::setApplicationTitle(m_title);
}

void TestMessages::errorTextEndsInFullStop_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("latin letter") << QStringLiteral("Record not found")
                                  << QStringLiteral("Record not found.");
    QTest::newRow("cyrillic letter")
        << QStringLiteral("Запись не найдена") << QStringLiteral("Запись не найдена.");
    QTest::newRow("cyrillic capital")
        << QStringLiteral("Нет связи с БД") << QStringLiteral("Нет связи с БД.");
    QTest::newRow("digit") << QStringLiteral("Семестр 3") << QStringLiteral("Семестр 3.");
    QTest::newRow("question mark") << QStringLiteral("Why?") << QStringLiteral("Why?.");
    QTest::newRow("full stop") << QStringLiteral("Готово.") << QStringLiteral("Готово.");
    QTest::newRow("ellipsis") << QStringLiteral("Ждите...") << QStringLiteral("Ждите...");
    QTest::newRow("closing parenthesis")
        << QStringLiteral("Ошибка (код 5)") << QStringLiteral("Ошибка (код 5)");
    QTest::newRow("blank") << QStringLiteral("Ошибка ") << QStringLiteral("Ошибка ");
    QTest::newRow("exclamation mark") << QStringLiteral("Стоп!") << QStringLiteral("Стоп!");
    QTest::newRow("closing quote")
        << QStringLiteral("Field 'Fam'") << QStringLiteral("Field 'Fam'");
    QTest::newRow("comma") << QStringLiteral("a,") << QStringLiteral("a,");
    QTest::newRow("hyphen") << QStringLiteral("a-") << QStringLiteral("a-");
    QTest::newRow("slash") << QStringLiteral("a/") << QStringLiteral("a/.");
    QTest::newRow("single full stop") << QStringLiteral(".") << QStringLiteral(".");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("empty, not null") << QStringLiteral("") << QStringLiteral("");
}

void TestMessages::errorTextEndsInFullStop() {
    QFETCH(QString, text);
    QFETCH(QString, shown);

    QCOMPARE(platform::errorText(text), shown);

    // The display itself applies the rule, not only the helper.
    platform::MessageRecorder recorder;
    platform::showError(text);
    QCOMPARE(recorder.messages().size(), size_t(1));
    QCOMPARE(recorder.messages()[0].text, shown);
}

void TestMessages::recordingKeepsKindCaptionAndTextInOrder() {
    platform::MessageRecorder recorder;
    platform::showWarning(QStringLiteral("Не выбран студент"));
    platform::showError(QStringLiteral("Нет доступа к файлу"));
    platform::showMessage(QStringLiteral("Ведомость сохранена"));
    recorder.answer(Answer::Yes);
    QCOMPARE(platform::ask(QStringLiteral("Удалить запись?"), Buttons::YesNo), Answer::Yes);
    platform::ask(QStringLiteral("Сохранить?"), Buttons::OkCancel, nullptr,
                  QStringLiteral("Подтверждение"));

    const auto& m = recorder.messages();
    QCOMPARE(m.size(), size_t(5));

    QCOMPARE(m[0].kind, MessageKind::Warning);
    QCOMPARE(m[0].caption, QStringLiteral("Внимание"));
    QCOMPARE(m[0].text, QStringLiteral("Не выбран студент"));

    QCOMPARE(m[1].kind, MessageKind::Error);
    QCOMPARE(m[1].caption, m_title);
    QCOMPARE(m[1].text, QStringLiteral("Нет доступа к файлу."));

    // Plain messages are the program's own words: no full stop is added.
    QCOMPARE(m[2].kind, MessageKind::Plain);
    QCOMPARE(m[2].caption, m_title);
    QCOMPARE(m[2].text, QStringLiteral("Ведомость сохранена"));

    QCOMPARE(m[3].kind, MessageKind::Question);
    QCOMPARE(m[3].caption, m_title);
    QCOMPARE(m[3].text, QStringLiteral("Удалить запись?"));

    QCOMPARE(m[4].kind, MessageKind::Question);
    QCOMPARE(m[4].caption, QStringLiteral("Подтверждение"));
    QCOMPARE(m[4].text, QStringLiteral("Сохранить?"));

    QCOMPARE(
        recorder.texts(),
        QStringList({QStringLiteral("Не выбран студент"), QStringLiteral("Нет доступа к файлу."),
                     QStringLiteral("Ведомость сохранена"), QStringLiteral("Удалить запись?"),
                     QStringLiteral("Сохранить?")}));
}

void TestMessages::errorFromExceptionKeepsCyrillicText() {
    platform::MessageRecorder recorder;
    platform::showError(EngineError(QStringLiteral("Поле 'Фамилия' должно иметь значение")));
    platform::showError(EngineError(QStringLiteral("Ошибка (код 5)")));

    QCOMPARE(recorder.texts(), QStringList({QStringLiteral("Поле 'Фамилия' должно иметь значение."),
                                            QStringLiteral("Ошибка (код 5)")}));
    QCOMPARE(recorder.messages()[0].kind, MessageKind::Error);
    QCOMPARE(recorder.messages()[0].caption, m_title);
}

void TestMessages::captionFollowsApplicationTitle() {
    platform::MessageRecorder recorder;
    platform::setApplicationTitle(QStringLiteral("Деканат"));
    QCOMPARE(platform::applicationTitle(), QStringLiteral("Деканат"));
    platform::showError(QStringLiteral("x"));
    platform::showMessage(QStringLiteral("y"));
    platform::showWarning(QStringLiteral("z"));

    const auto& m = recorder.messages();
    QCOMPARE(m.size(), size_t(3));
    QCOMPARE(m[0].caption, QStringLiteral("Деканат"));
    QCOMPARE(m[1].caption, QStringLiteral("Деканат"));
    QCOMPARE(m[2].caption, QStringLiteral("Внимание"));
}

void TestMessages::questionsTakeAnswersGivenInAdvance() {
    platform::MessageRecorder recorder;
    recorder.answer(Answer::No);
    recorder.answer(Answer::Ok);
    recorder.answer(Answer::Yes);

    QCOMPARE(platform::ask(QStringLiteral("1"), Buttons::YesNoCancel), Answer::No);
    QCOMPARE(platform::ask(QStringLiteral("2"), Buttons::OkCancel), Answer::Ok);
    QCOMPARE(platform::ask(QStringLiteral("3"), Buttons::YesNo), Answer::Yes);
    // With nothing left to answer, a question is declined.
    QCOMPARE(platform::ask(QStringLiteral("4"), Buttons::YesNo), Answer::Cancel);
    QCOMPARE(platform::ask(QStringLiteral("5"), Buttons::OkCancel), Answer::Cancel);

    recorder.answer(Answer::Yes);
    QCOMPARE(platform::ask(QStringLiteral("6"), Buttons::YesNo), Answer::Yes);

    QCOMPARE(recorder.texts(),
             QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                          QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")}));
}

void TestMessages::recorderStartsWithNothingKept() {
    {
        platform::MessageRecorder first;
        first.answer(Answer::Yes);
        platform::showMessage(QStringLiteral("старое"));
    }
    platform::MessageRecorder recorder;
    QVERIFY(recorder.messages().empty());
    // An answer left over from an earlier recorder must not answer this one's question.
    QCOMPARE(platform::ask(QStringLiteral("Продолжить?"), Buttons::YesNo), Answer::Cancel);
    QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Продолжить?")});
}

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
