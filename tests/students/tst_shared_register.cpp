// The student window on a server database two desks share: each new window
// reads the list again, so a student another desk stored shows with the
// current student kept and the list in its order; a save of a student the other desk changed
// meanwhile is refused with the message, keeps what was typed, and stores nothing.
#include <QPushButton>
#include <QTest>

#include "DBEdit.h"
#include "DBGrid.h"
#include "DM_Tessaly.h"
#include "DataError.h"
#include "Dataset.h"
#include "HandlerFailure.h"
#include "PgConnection.h"
#include "PgTestServer.h"
#include "Studenti.h"
#include "StudentsFixture.h"
#include "TypeText.h"

namespace {

// Another desk: its own connection to the same database.
class OtherDesk {
public:
    explicit OtherDesk(const QString& conninfo) : m_connection(conninfo) { m_connection.open(); }
    void run(const QString& sql) {
        auto st = m_connection.prepare(sql);
        while (st->step()) {
        }
    }
    QString surname(const QString& number) {
        auto st = m_connection.prepare(
            QStringLiteral("SELECT \"Fam\" FROM \"Studenti\" WHERE \"N_student\" = ?"));
        st->bind(1, number);
        return st->step() ? st->columnValue(0).toString() : QStringLiteral("(none)");
    }

private:
    PgConnection m_connection;
};

}  // namespace

class TestSharedRegister : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        PgTestServer& server = PgTestServer::shared();
        QVERIFY2(server.start(), qPrintable(server.error()));
        server.clear();
    }

    void aNewWindowShowsWhatAnotherDeskStored() {
        const QString conninfo = PgTestServer::shared().conninfo();
        StudentsFixture f(QString(), conninfo);
        TStuds* w = f.openWindow();
        QVERIFY(DM->Q_Studenti->locate(QStringLiteral("N_student"), QStringLiteral("0000003")));
        delete w;

        OtherDesk other(conninfo);
        other.run(QStringLiteral(
            "UPDATE \"Studenti\" SET \"Fam\" = 'Сидоренко' WHERE \"N_student\" = '0000003'"));
        w = f.openWindow();
        QCOMPARE(DM->Q_StudentiN_student->asString(), QStringLiteral("0000003"));
        QCOMPARE(w->FamEdit->text(), QStringLiteral("Сидоренко"));
        // The list keeps its order: the server moves an updated row to the end of its table.
        QStringList order;
        for (int i = 0; i < DM->Q_Studenti->recordCount(); ++i) {
            DM->Q_Studenti->setRecNo(i);
            order << DM->Q_StudentiN_student->asString();
        }
        QCOMPARE(order, (QStringList{QStringLiteral("0000001"), QStringLiteral("0000002"),
                                     QStringLiteral("0000003"), QStringLiteral("0000004")}));
    }

    void aSaveOfAStudentChangedElsewhereIsRefusedAndKeepsTheTyping() {
        const QString conninfo = PgTestServer::shared().conninfo();
        StudentsFixture f(QString(), conninfo);
        TStuds* w = f.openWindow();
        DM->Q_Studenti->first();
        const QString number = DM->Q_StudentiN_student->asString();
        const QString before = DM->Q_StudentiFam->asString();

        OtherDesk other(conninfo);
        other.run(
            QStringLiteral("UPDATE \"Studenti\" SET \"Fam\" = 'Другая' WHERE \"N_student\" = '%1'")
                .arg(number));
        typeText(w->FamEdit, QStringLiteral("ов"));
        QCOMPARE(failureOf([w] { w->SaveButtonClick(); }),
                 QStringLiteral(
                     "Запись изменена или удалена на другом рабочем месте. Обновите данные."));
        QVERIFY(DM->Q_Studenti->isEditing());
        QCOMPARE(w->FamEdit->text(), before + QStringLiteral("ов"));
        QCOMPARE(other.surname(number), QStringLiteral("Другая"));

        // A window opened meanwhile leaves the pending student as typed.
        delete w;
        w = f.openWindow();
        QVERIFY(DM->Q_Studenti->isEditing());
        QCOMPARE(DM->Q_StudentiFam->asString(), before + QStringLiteral("ов"));
        // Given up with Esc in the list, the next window shows the other desk's surname.
        w->DBGrid1->setFocus();
        QTest::keyClick(w->DBGrid1, Qt::Key_Escape);
        QVERIFY(!DM->Q_Studenti->isEditing());
        delete w;
        w = f.openWindow();
        QCOMPARE(w->FamEdit->text(), QStringLiteral("Другая"));
    }
};

QTEST_MAIN(TestSharedRegister)
#include "tst_shared_register.moc"
