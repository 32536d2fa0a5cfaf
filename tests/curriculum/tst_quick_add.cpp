// Quick add of disciplines: moving the discipline chosen on the right into the
// current specialty's plan with the middle column's semester, control type and
// hours, and taking plan rows out again.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "Application.h"
#include "CurriculumFixture.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "HandlerFailure.h"
#include "Messages.h"
#include "References.h"
#include "YMO.h"

class TestQuickAdd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void initialValues();
};

void TestQuickAdd::initialValues() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    QCOMPARE(w->QuickSemesterBox->currentText(), QStringLiteral("1"));
    QCOMPARE(w->QuickSemesterBox->count(), 14);
    QCOMPARE(w->QuickPracticeEdit->text(), QStringLiteral("20"));
    QCOMPARE(w->QuickLectureEdit->text(), QStringLiteral("20"));
    QVERIFY(w->QuickControlPicker->keyValue().isNull());
}

QTEST_MAIN(TestQuickAdd)
#include "tst_quick_add.moc"
