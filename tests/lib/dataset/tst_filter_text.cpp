// Text in a dataset's filter: a value quoted for the filter comes back exactly
// as it was, and letter case counts when the dataset asks for it, whichever
// way the view finds its rows (a scan, a range of the order, a detail's range).
#include <QTest>
#include <memory>

#include "DataSource.h"
#include "Dataset.h"
#include "Filter.h"
#include "TestDb.h"

namespace {

const QString schema = QStringLiteral(
    "CREATE TABLE Grp (ID_Group INTEGER PRIMARY KEY, Name TEXT(10));"
    "CREATE TABLE Student (ID INTEGER PRIMARY KEY AUTOINCREMENT, ID_Group INTEGER, N TEXT(40));"
    "INSERT INTO Grp VALUES (1, 'ПМ-21'), (2, 'ФИ-11')");

using Ids = QList<int>;

// The IDs of the rows the view shows, in its order.
Ids shownIds(const Dataset& ds) {
    Ids ids;
    const Field* id = &ds.fieldByName(QStringLiteral("ID"));
    for (int i = 0; i < ds.recordCount(); ++i) ids << ds.viewValue(i, id).toInt();
    return ids;
}

void addStudents(TestDb& db, const QList<std::pair<int, QString>>& rows) {
    for (const auto& [group, n] : rows)
        db.exec(QStringLiteral("INSERT INTO Student (ID_Group, N) VALUES (?, ?)"),
                {group, n.isEmpty() ? QVariant() : QVariant(n)});
}

}  // namespace

class TestFilterText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addBackends(); }
    void quotedTextShowsExactlyItsRow_data();
    void quotedTextShowsExactlyItsRow();
    void letterCaseCountsWhenAskedFor_data();
    void letterCaseCountsWhenAskedFor();
    void changingLetterCaseSettlesAndShowsTheFirstRow();
};

namespace {
const QStringList trickyTexts = {QStringLiteral("O'Brien"),
                                 QStringLiteral("'"),
                                 QStringLiteral("''"),
                                 QStringLiteral("Щукин-Іванов"),
                                 QStringLiteral("C:\\Студенты\\"),
                                 QStringLiteral("  two  spaces  "),
                                 QStringLiteral("x' or N='y"),
                                 QStringLiteral("(a) and not b"),
                                 QStringLiteral("O'Brie")};
}  // namespace

void TestFilterText::quotedTextShowsExactlyItsRow_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Ids>("ids");
    for (int i = 0; i < trickyTexts.size(); ++i)
        QTest::newRow(qPrintable(QStringLiteral("[%1]").arg(trickyTexts[i])))
            << trickyTexts[i] << Ids{i + 1};
    // Empty text is stored as null, which no comparison matches.
    QTest::newRow("empty") << QString() << Ids{};
}

void TestFilterText::quotedTextShowsExactlyItsRow() {
    QFETCH(QString, text);
    QFETCH(Ids, ids);
    TestDb db(schema, TestDb::currentBackend());
    QList<std::pair<int, QString>> rows;
    for (const QString& t : trickyTexts) rows.append({1, t});
    rows.append({1, QString()});
    addStudents(db, rows);
    for (const QString& order : {QString(), QStringLiteral("N")}) {
        Table students;
        students.setConnection(&db.connection());
        students.setTableName(QStringLiteral("Student"));
        students.setIndexFieldNames(order);
        students.setFilterText(QStringLiteral("N = ") + quoteFilterText(text));
        students.setFiltered(true);
        students.open();
        QCOMPARE(shownIds(students), ids);
    }
}

void TestFilterText::letterCaseCountsWhenAskedFor_data() {
    // How the view finds its rows: "scan" (reading order), "range" (ordered by N, so the
    // filter narrows to a range of the order first), "detail" (group 1 of a master).
    QTest::addColumn<QString>("view");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<Ids>("ids");
    // 1: group 1 "ab1", 2: group 1 "AB1", 3: group 2 "AB1", 4: group 2 "ab2".
    const QString ab1 = QStringLiteral("N='ab1'");
    QTest::newRow("scan, case counts") << QStringLiteral("scan") << true << ab1 << Ids{1};
    QTest::newRow("range, case counts") << QStringLiteral("range") << true << ab1 << Ids{1};
    QTest::newRow("detail, case counts") << QStringLiteral("detail") << true << ab1 << Ids{1};
    QTest::newRow("range, capitals, case counts")
        << QStringLiteral("range") << true << QStringLiteral("N='AB1'") << Ids{2, 3};
    QTest::newRow("detail, capitals, case counts")
        << QStringLiteral("detail") << true << QStringLiteral("N='AB1'") << Ids{2};
    QTest::newRow("not equal, case counts")
        << QStringLiteral("scan") << true << QStringLiteral("N<>'ab1'") << Ids{2, 3, 4};
    QTest::newRow("less, case counts")
        << QStringLiteral("scan") << true << QStringLiteral("N<'ab1'") << Ids{2, 3};
    QTest::newRow("scan") << QStringLiteral("scan") << false << ab1 << Ids{1, 2, 3};
    QTest::newRow("range") << QStringLiteral("range") << false << ab1 << Ids{2, 3, 1};
    QTest::newRow("detail") << QStringLiteral("detail") << false << ab1 << Ids{2, 1};
}

void TestFilterText::letterCaseCountsWhenAskedFor() {
    QFETCH(QString, view);
    QFETCH(bool, caseSensitive);
    QFETCH(QString, filter);
    QFETCH(Ids, ids);
    TestDb db(schema, TestDb::currentBackend());
    addStudents(db, {{1, QStringLiteral("ab1")},
                     {1, QStringLiteral("AB1")},
                     {2, QStringLiteral("AB1")},
                     {2, QStringLiteral("ab2")}});
    Table groups;
    groups.setConnection(&db.connection());
    groups.setTableName(QStringLiteral("Grp"));
    groups.setIndexFieldNames(QStringLiteral("ID_Group"));
    DataSource groupSource;
    groupSource.setDataset(&groups);
    Table students;
    students.setConnection(&db.connection());
    students.setTableName(QStringLiteral("Student"));
    if (view == QLatin1String("range")) students.setIndexFieldNames(QStringLiteral("N"));
    if (view == QLatin1String("detail")) {
        students.setIndexFieldNames(QStringLiteral("ID_Group;N"));
        students.setMaster(&groupSource, QStringLiteral("ID_Group"));
    }
    students.setFilterText(filter);
    students.setFiltered(true);
    students.setFilterCaseSensitive(caseSensitive);
    groups.open();
    students.open();
    QCOMPARE(shownIds(students), ids);
}

void TestFilterText::changingLetterCaseSettlesAndShowsTheFirstRow() {
    TestDb db(schema, TestDb::currentBackend());
    addStudents(
        db, {{1, QStringLiteral("ab1")}, {1, QStringLiteral("AB1")}, {2, QStringLiteral("aB1")}});
    Table students;
    students.setConnection(&db.connection());
    students.setTableName(QStringLiteral("Student"));
    students.setFilterText(QStringLiteral("N='ab1'"));
    students.setFiltered(true);
    students.open();
    QCOMPARE(shownIds(students), (Ids{1, 2, 3}));
    students.setRecNo(2);
    students.edit();
    students.fieldByName(QStringLiteral("ID_Group")).setValue(3);
    int scrolls = 0;
    students.afterScroll = [&](Dataset&) { ++scrolls; };

    students.setFilterCaseSensitive(true);

    QCOMPARE(students.state(), DatasetState::Browse);
    QCOMPARE(db.scalar(QStringLiteral("SELECT ID_Group FROM Student WHERE ID = 3")).toInt(), 3);
    QCOMPARE(shownIds(students), Ids{1});
    QCOMPARE(students.recNo(), 0);
    QCOMPARE(scrolls, 1);
    students.setFilterCaseSensitive(false);
    QCOMPARE(shownIds(students), (Ids{1, 2, 3}));
}

QTEST_GUILESS_MAIN(TestFilterText)
#include "tst_filter_text.moc"
