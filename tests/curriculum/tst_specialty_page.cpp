// The educational-process window as the office uses it: opening and closing
// with the plan query, the faculty band, the specialty list and the plan's
// first sub-page with its messages, and how the main window opens the window.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "Application.h"
#include "CurriculumFixture.h"
#include "DBComboBox.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBText.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Messages.h"
#include "Query.h"
#include "References.h"
#include "YMO.h"

class TestSpecialtyPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void opensOnTheStructurePage();
};

void TestSpecialtyPage::opensOnTheStructurePage() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    QCOMPARE(yp, w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Учебный процесс"));
    QCOMPARE(w->size(), QSize(913, 826));
    QCOMPARE(w->PageControl1->count(), 3);
    QCOMPARE(w->PageControl1->tabText(0), QStringLiteral("Специальность"));
    QCOMPARE(w->PageControl1->tabText(1), QStringLiteral("Структура ВУЗа"));
    QCOMPARE(w->PageControl1->tabText(2), QStringLiteral("Дисциплины"));
    QCOMPARE(w->PageControl1->currentIndex(), 1);
    QCOMPARE(w->PlanPages->currentIndex(), 0);
    QCOMPARE(DM->Q_Plan_Spec->sqlText(), QStringLiteral("Select * From PlanSpec"));
    QVERIFY(DM->Q_Plan_Spec->isActive());
    QVERIFY(!w->isModal());
}

QTEST_MAIN(TestSpecialtyPage)
#include "tst_specialty_page.moc"
