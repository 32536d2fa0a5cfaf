// The journal behind the student window: a register made without it gets it
// when the program opens it, before anything is written; an edit saved on the
// card and a student deleted with the card's button are journaled, and the
// deleted student comes back through the tool exactly as stored.
#include <QPushButton>
#include <QTest>

#include "DBEdit.h"
#include "DM_Tessaly.h"
#include "DataError.h"
#include "Dataset.h"
#include "History.h"
#include "Messages.h"
#include "Studenti.h"
#include "StudentsFixture.h"
#include "TypeText.h"

namespace {

void click(QPushButton* b) {
    QTest::mouseClick(b, Qt::LeftButton);
}

// Every stored byte of one student, as the sqlite3 shell's quote() gives it.
QString storedStudent(const StudentsFixture& f, const QString& number) {
    return f
        .scalar(
            QStringLiteral(
                "SELECT rowid || '|' || quote(N_student) || '|' || quote(Fam) || '|' || "
                "quote(Name) || '|' || quote(SecName) || '|' || quote(BirthDate) || '|' || "
                "quote(Sex) || '|' || quote(EnterDate) || '|' || quote(FamilyPosition) || '|' || "
                "quote(Education) || '|' || quote(City) || '|' || quote(Street) || '|' || "
                "quote(House) || '|' || quote(Apar) || '|' || quote(Type_Stud) || '|' || "
                "quote(ID_group) || '|' || quote(PodGroupe) || '|' || quote(Citizen) || '|' || "
                "quote(Foto) FROM Studenti WHERE N_student = '%1'")
                .arg(number))
        .toString();
}

}  // namespace

class TestStudentJournal : public QObject {
    Q_OBJECT

private slots:
    void cardChangesAreJournaledAndADeletedStudentComesBack() {
        StudentsFixture f;
        // Opening the register added the journal, with no line yet.
        QCOMPARE(f.scalar(QStringLiteral("SELECT count(*) FROM Journal")).toInt(), 0);
        TStuds* w = f.openWindow();
        platform::MessageRecorder messages;
        DM->Q_Studenti->first();
        const QString number = DM->Q_StudentiN_student->asString();

        typeText(w->FamEdit, QStringLiteral("а"));
        click(w->SaveButton);
        QCOMPARE(DM->Q_Studenti->state(), DatasetState::Browse);
        QCOMPARE(f.scalar(QStringLiteral("SELECT Action || ' ' || RowKey || ' ' || "
                                         "json_extract(OldValues, '$.Fam') || ' ' || "
                                         "json_extract(NewValues, '$.Fam') FROM Journal"))
                     .toString(),
                 QStringLiteral("update %1 Петров Петрова").arg(number));

        const QString stored = storedStudent(f, number);
        QVERIFY(!stored.isEmpty());
        click(w->DeleteButton);
        QCOMPARE(messages.texts().last(), QStringLiteral("Запись удалена"));
        QCOMPARE(storedStudent(f, number), QString());
        const qint64 line =
            f.scalar(QStringLiteral("SELECT ID_Journal FROM Journal WHERE Action = 'delete'"))
                .toLongLong();
        QVERIFY(line > 0);

        const QString database = f.path(QStringLiteral("work/verdikon.mdb"));
        QVERIFY(dbtools::history(database, {QStringLiteral("Studenti"), number, QDate()})
                    .contains(
                        QStringLiteral("deleted: N_student \"%1\", Fam \"Петрова\"").arg(number)));
        dbtools::undelete(database, line);
        QCOMPARE(storedStudent(f, number), stored);
        // A second time it is already there.
        QString refusal;
        try {
            dbtools::undelete(database, line);
        } catch (const DataError& e) {
            refusal = e.text();
        }
        QVERIFY2(refusal.contains(QStringLiteral("already back")), qPrintable(refusal));
        // The window sees it again when its dataset is read again.
        DM->Q_Studenti->refresh();
        QVERIFY(DM->Q_Studenti->locate(QStringLiteral("N_student"), number, {}));
    }
};

QTEST_MAIN(TestStudentJournal)
#include "tst_student_journal.moc"
