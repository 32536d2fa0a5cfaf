// The page "Дисциплины" as the office uses it: disciplines added, renamed and
// deleted through the navigator and the grid, untouched new rows dropped, the
// counted number column that takes no typing, and the quick-add list showing
// the same disciplines at once.
#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "Application.h"
#include "CurriculumFixture.h"
#include "DBGrid.h"
#include "DBNavigator.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "DisciplinesPage.h"
#include "Driving.h"
#include "Messages.h"
#include "References.h"
#include "TypeText.h"
#include "YMO.h"

namespace {

constexpr int ColNumber = 0, ColName = 1, ColType = 2;

// The window open on the page, its messages recorded.
struct Page {
    Page() : window(f.openWindow()) {
        if (!window) return;
        window->PageControl1->setCurrentIndex(Typ::DisciplinesIndex);
        page = window->Disciplines;
        grid = page->DisciplinesGrid;
    }
    CurriculumFixture f;
    Typ* window;
    DisciplinesPage* page = nullptr;
    DBGrid* grid = nullptr;
    platform::MessageRecorder messages;
};

void press(DBNavigator* navigator, DBNavigator::Button b) {
    QTest::mouseClick(navigator->button(b), Qt::LeftButton);
}

// Keys go where the user's keys would: the open cell editor, else the grid.
void key(DBGrid* grid, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(grid->editor() ? grid->editor() : grid, k, modifiers);
}

void type(DBGrid* grid, const QString& text) {
    for (const QChar c : text) typeText(grid->editor() ? grid->editor() : grid, QString(c));
}

QStringList names(const QAbstractItemView* grid, int column) {
    QStringList texts;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        texts << grid->model()->index(r, column).data().toString();
    return texts;
}

QStringList stored(const CurriculumFixture& f) {
    return f
        .scalar(QStringLiteral("SELECT group_concat(Ndis || ' ' || NameDis, ', ') FROM "
                               "(SELECT * FROM Disciplins ORDER BY Ndis)"))
        .toString()
        .split(QStringLiteral(", "));
}

const QStringList atStart = {"1 Алгебра", "2 История", "3 Физика", "4 Экономика"};

}  // namespace

class TestDisciplinesPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void showsEveryDisciplineUnderAFullNavigator();
    void newDisciplineIsStoredAndListedInQuickAdd_data();
    void newDisciplineIsStoredAndListedInQuickAdd();
    void renameIsStoredOnLeavingTheRow();
    void untouchedNewRowIsDropped_data();
    void untouchedNewRowIsDropped();
    void numberColumnTakesNoTyping();
    void deletingAsksFirst_data();
    void deletingAsksFirst();
};

void TestDisciplinesPage::showsEveryDisciplineUnderAFullNavigator() {
    Page t;
    QVERIFY(t.page);
    QStringList titles;
    for (int c = 0; c < t.grid->model()->columnCount(); ++c)
        titles << t.grid->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"Ndis", "Название Дисциплины", "TypeDis"}));
    QCOMPARE(names(t.grid, ColName), (QStringList{"Алгебра", "История", "Физика", "Экономика"}));
    QCOMPARE(t.page->DisciplinesNavigator->height(), 25);
    for (int b = 0; b < DBNavigator::ButtonCount; ++b) {
        const QToolButton* button = t.page->DisciplinesNavigator->button(DBNavigator::Button(b));
        QVERIFY(button->isVisible());
        QCOMPARE(button->toolTip(), QString());
    }
}

void TestDisciplinesPage::newDisciplineIsStoredAndListedInQuickAdd_data() {
    QTest::addColumn<QString>("opening");
    QTest::addColumn<QString>("storing");
    QTest::addColumn<int>("row");
    QTest::newRow("navigator's insert, navigator's post") << "navigator"
                                                          << "post" << 3;
    QTest::newRow("Insert key, moving up") << "insert"
                                           << "move" << 3;
    QTest::newRow("down past the last row, navigator's post") << "down"
                                                              << "post" << 4;
}

void TestDisciplinesPage::newDisciplineIsStoredAndListedInQuickAdd() {
    QFETCH(QString, opening);
    QFETCH(QString, storing);
    QFETCH(int, row);
    Page t;
    DBGrid* grid = t.grid;
    clickCell(grid, 3, ColName);
    if (opening == QLatin1String("navigator"))
        press(t.page->DisciplinesNavigator, DBNavigator::Insert);
    else
        key(grid, opening == QLatin1String("insert") ? Qt::Key_Insert : Qt::Key_Down);
    QCOMPARE(DM->T_Disciplins->state(), DatasetState::Insert);
    QCOMPARE(DM->T_Disciplins->recNo(), row);
    type(grid, QStringLiteral("Логика"));
    key(grid, Qt::Key_Tab);
    type(grid, QStringLiteral("2"));
    if (storing == QLatin1String("post"))
        press(t.page->DisciplinesNavigator, DBNavigator::Post);
    else
        key(grid, Qt::Key_Up);
    QCOMPARE(DM->T_Disciplins->state(), DatasetState::Browse);
    QCOMPARE(stored(t.f), atStart + QStringList{"5 Логика"});
    QCOMPARE(t.f.scalar(QStringLiteral("SELECT TypeDis FROM Disciplins WHERE Ndis = 5")).toInt(),
             2);
    QCOMPARE(grid->model()->index(row, ColNumber).data().toString(), QStringLiteral("5"));
    QCOMPARE(t.window->QuickDisciplineGrid->model()->rowCount(), 5);
    QVERIFY(names(t.window->QuickDisciplineGrid, 0).contains(QStringLiteral("Логика")));
    QCOMPARE(t.messages.texts(), QStringList());
}

void TestDisciplinesPage::renameIsStoredOnLeavingTheRow() {
    Page t;
    DBGrid* grid = t.grid;
    clickCell(grid, 0, ColName);
    key(grid, Qt::Key_Return);
    auto* editor = qobject_cast<QLineEdit*>(grid->editor());
    QVERIFY(editor);
    editor->selectAll();
    type(grid, QStringLiteral("Линейная алгебра"));
    QCOMPARE(stored(t.f), atStart);
    key(grid, Qt::Key_Down);
    QCOMPARE(DM->T_Disciplins->state(), DatasetState::Browse);
    QCOMPARE(stored(t.f)[0], QStringLiteral("1 Линейная алгебра"));
    QCOMPARE(names(t.window->QuickDisciplineGrid, 0)[0], QStringLiteral("Линейная алгебра"));
}

void TestDisciplinesPage::untouchedNewRowIsDropped_data() {
    QTest::addColumn<bool>("leaveGrid");
    QTest::newRow("moving off it") << false;
    QTest::newRow("leaving the grid") << true;
}

void TestDisciplinesPage::untouchedNewRowIsDropped() {
    QFETCH(bool, leaveGrid);
    Page t;
    DBGrid* grid = t.grid;
    clickCell(grid, 1, ColName);
    key(grid, Qt::Key_Insert);
    QCOMPARE(grid->model()->rowCount(), 5);
    if (leaveGrid)
        t.window->PageControl1->setFocus();
    else
        key(grid, Qt::Key_Down);
    QTRY_COMPARE(DM->T_Disciplins->state(), DatasetState::Browse);
    QCOMPARE(grid->model()->rowCount(), 4);
    QCOMPARE(stored(t.f), atStart);
    QCOMPARE(t.messages.texts(), QStringList());
}

void TestDisciplinesPage::numberColumnTakesNoTyping() {
    Page t;
    DBGrid* grid = t.grid;
    clickCell(grid, 0, ColNumber);
    type(grid, QStringLiteral("7"));
    QCOMPARE(grid->editor(), nullptr);
    QCOMPARE(DM->T_Disciplins->state(), DatasetState::Browse);
    // Tab passes over the number: from the name backwards it leaves the grid.
    clickCell(grid, 0, ColType);
    key(grid, Qt::Key_Backtab);
    QCOMPARE(grid->currentIndex().column(), ColName);
    QVERIFY(grid->hasFocus());
    key(grid, Qt::Key_Backtab);
    QCOMPARE(grid->currentIndex().column(), ColName);
    QVERIFY(!grid->isAncestorOf(QApplication::focusWidget()) && !grid->hasFocus());
    QCOMPARE(stored(t.f), atStart);
}

void TestDisciplinesPage::deletingAsksFirst_data() {
    QTest::addColumn<bool>("fromGrid");
    QTest::addColumn<bool>("ok");
    QTest::newRow("navigator, Cancel") << false << false;
    QTest::newRow("navigator, OK") << false << true;
    QTest::newRow("Ctrl+Del, Cancel") << true << false;
    QTest::newRow("Ctrl+Del, OK") << true << true;
}

void TestDisciplinesPage::deletingAsksFirst() {
    QFETCH(bool, fromGrid);
    QFETCH(bool, ok);
    Page t;
    DBGrid* grid = t.grid;
    t.messages.answer(ok ? platform::Answer::Ok : platform::Answer::Cancel);
    clickCell(grid, 1, ColName);
    if (fromGrid)
        key(grid, Qt::Key_Delete, Qt::ControlModifier);
    else
        press(t.page->DisciplinesNavigator, DBNavigator::Delete);
    QCOMPARE(t.messages.texts(), QStringList{QStringLiteral("Delete record?")});
    const QStringList left = {"1 Алгебра", "3 Физика", "4 Экономика"};
    QCOMPARE(stored(t.f), ok ? left : atStart);
    QCOMPARE(DM->T_DisciplinsNameDis->asString(),
             ok ? QStringLiteral("Физика") : QStringLiteral("История"));
    QCOMPARE(t.window->QuickDisciplineGrid->model()->rowCount(), ok ? 3 : 4);
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestDisciplinesPage test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_disciplines_page.moc"
