// Moving through a list of students: moves and their after-scroll hook, locate,
// sort, bookmarks and switching filters, with Cyrillic names throughout.
#include <QDate>
#include <QTest>
#include <functional>
#include <memory>

#include "DataError.h"
#include "Dataset.h"
#include "TestDb.h"

namespace {

// Reading order differs from the order list (Fam;Name) on purpose.
const QString schema = QStringLiteral(R"(
CREATE TABLE Students (ID_Student INTEGER PRIMARY KEY AUTOINCREMENT, Fam TEXT(30),
    Name TEXT(20), ID_Group INTEGER, N_Student TEXT(7), Semestr SMALLINT, Data_Post DATETIME);
INSERT INTO Students (Fam, Name, ID_Group, N_Student, Semestr, Data_Post) VALUES
    ('Петров', 'Олег', 2, '0012345', 3, '2023-09-01'),
    ('Иванов', 'Сергей', 1, '12345', 3, '2022-09-01'),
    ('Абрамова', 'Анна', 1, '0012346', 2, '2023-09-01'),
    ('Петров', 'Иван', 1, '0012347', 1, '2024-02-01'),
    ('иванова', 'Мария', 2, '0012345', 2, '2022-09-01'),
    ('Сидорова', 'Ольга', 2, NULL, 3, '2023-09-01')
)");

// The students in the order list.
const QStringList ordered{
    QStringLiteral("Абрамова Анна"), QStringLiteral("Иванов Сергей"),
    QStringLiteral("иванова Мария"), QStringLiteral("Петров Иван"),
    QStringLiteral("Петров Олег"),   QStringLiteral("Сидорова Ольга"),
};

QString current(const Dataset& ds) {
    if (ds.recNo() < 0) return {};
    return ds.fieldByName(QStringLiteral("Fam")).asString() + QLatin1Char(' ') +
           ds.fieldByName(QStringLiteral("Name")).asString();
}

// The rows shown, as a grid reads them.
QStringList shown(const Dataset& ds) {
    QStringList out;
    const Field* fam = &ds.fieldByName(QStringLiteral("Fam"));
    const Field* name = &ds.fieldByName(QStringLiteral("Name"));
    for (int i = 0; i < ds.recordCount(); ++i)
        out << ds.viewValue(i, fam).toString() + QLatin1Char(' ') +
                   ds.viewValue(i, name).toString();
    return out;
}

}  // namespace

class TestNavigation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addBackends(); }
    void init();
    void cleanup();

    void moves_data();
    void moves();
    void scrollHookOnOpenAndEmptyView();
    void movesOnClosedDatasetFail();
    void locate_data();
    void locate();
    void locateSearchesFilteredView();
    void sortKeepsCurrentRow_data();
    void sortKeepsCurrentRow();
    void bookmarks();
    void switchingFilterMovesToFirstPassingRow_data();
    void switchingFilterMovesToFirstPassingRow();
    void filterOnLeadingIntegerColumnKeepsNewRows();
    void setRecNoLandsOnTheRowNamedBeforeSettling_data();
    void setRecNoLandsOnTheRowNamedBeforeSettling();
    void malformedFilterKeepsOldFilterAndView_data();
    void malformedFilterKeepsOldFilterAndView();
    void recordBookNumbersCompareAsText_data();
    void recordBookNumbersCompareAsText();

private:
    void openAt(int row);

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<Table> m_students;
    int m_scrolls = 0;
};

void TestNavigation::init() {
    m_db = std::make_unique<TestDb>(schema, TestDb::currentBackend());
    m_students = std::make_unique<Table>();
    m_students->setConnection(&m_db->connection());
    m_students->setTableName(QStringLiteral("Students"));
    m_students->setIndexFieldNames(QStringLiteral("Fam;Name"));
    m_scrolls = 0;
    m_students->afterScroll = [this](Dataset&) { ++m_scrolls; };
}

void TestNavigation::cleanup() {
    m_students.reset();
    m_db.reset();
}

void TestNavigation::openAt(int row) {
    m_students->open();
    if (row > 0) m_students->moveBy(row);
    QCOMPARE(m_students->recNo(), row);
    m_scrolls = 0;
}

void TestNavigation::moves_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("move");
    QTest::addColumn<int>("distance");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("scrolls");

    const int last = int(ordered.size()) - 1;
    QTest::newRow("next") << 0 << QStringLiteral("next") << 0 << 1 << 1;
    QTest::newRow("next on the last row") << last << QStringLiteral("next") << 0 << last << 0;
    QTest::newRow("prior") << 3 << QStringLiteral("prior") << 0 << 2 << 1;
    QTest::newRow("prior on the first row") << 0 << QStringLiteral("prior") << 0 << 0 << 0;
    QTest::newRow("first") << 4 << QStringLiteral("first") << 0 << 0 << 1;
    QTest::newRow("last") << 1 << QStringLiteral("last") << 0 << last << 1;
    QTest::newRow("moveBy forward") << 1 << QStringLiteral("moveBy") << 3 << 4 << 1;
    QTest::newRow("moveBy back") << 4 << QStringLiteral("moveBy") << -2 << 2 << 1;
    QTest::newRow("moveBy past the end") << 2 << QStringLiteral("moveBy") << 10 << last << 1;
    QTest::newRow("moveBy past the start") << 3 << QStringLiteral("moveBy") << -10 << 0 << 1;
    QTest::newRow("moveBy on the last row") << last << QStringLiteral("moveBy") << 1 << last << 0;
    QTest::newRow("moveBy on the first row") << 0 << QStringLiteral("moveBy") << -3 << 0 << 0;
    QTest::newRow("moveBy zero") << 2 << QStringLiteral("moveBy") << 0 << 2 << 0;
}

void TestNavigation::moves() {
    QFETCH(int, start);
    QFETCH(QString, move);
    QFETCH(int, distance);
    QFETCH(int, expected);
    QFETCH(int, scrolls);

    openAt(start);
    int seenAt = -2;
    QString seen;
    m_students->afterScroll = [&](Dataset& ds) {
        ++m_scrolls;
        seenAt = ds.recNo();
        seen = current(ds);
    };
    if (move == QLatin1String("next"))
        m_students->next();
    else if (move == QLatin1String("prior"))
        m_students->prior();
    else if (move == QLatin1String("first"))
        m_students->first();
    else if (move == QLatin1String("last"))
        m_students->last();
    else
        m_students->moveBy(distance);

    QCOMPARE(m_students->recNo(), expected);
    QCOMPARE(current(*m_students), ordered[expected]);
    QCOMPARE(m_students->isFirst(), expected == 0);
    QCOMPARE(m_students->isLast(), expected == int(ordered.size()) - 1);
    QCOMPARE(m_scrolls, scrolls);
    // The hook runs once the new row is current.
    if (scrolls > 0) {
        QCOMPARE(seenAt, expected);
        QCOMPARE(seen, ordered[expected]);
    }
}

void TestNavigation::scrollHookOnOpenAndEmptyView() {
    m_students->open();
    QCOMPARE(m_scrolls, 1);
    QCOMPARE(current(*m_students), ordered.first());
    m_students->close();

    m_scrolls = 0;
    m_students->setFilterText(QStringLiteral("ID_Group=9"));
    m_students->setFiltered(true);
    m_students->open();
    QCOMPARE(m_students->recordCount(), 0);
    QCOMPARE(m_students->recNo(), -1);
    m_students->first();
    m_students->last();
    m_students->next();
    m_students->prior();
    m_students->moveBy(2);
    m_students->moveBy(-2);
    QCOMPARE(m_students->recNo(), -1);
    QVERIFY(m_students->fieldByName(QStringLiteral("Fam")).isNull());
    QCOMPARE(m_scrolls, 0);
}

void TestNavigation::movesOnClosedDatasetFail() {
    const std::vector<std::function<void()>> moves{
        [&] { m_students->first(); },
        [&] { m_students->last(); },
        [&] { m_students->next(); },
        [&] { m_students->prior(); },
        [&] { m_students->moveBy(1); },
        [&] { m_students->locate(QStringLiteral("Fam"), QStringLiteral("Петров")); },
    };
    for (const auto& move : moves) {
        try {
            move();
            QFAIL("a move on a closed dataset succeeded");
        } catch (const DataError& e) {
            QCOMPARE(e.text(), msg::closedDataset());
        }
    }
    QCOMPARE(m_scrolls, 0);
}

void TestNavigation::locate_data() {
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QVariant>("values");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("expected");  // -1: not found

    const int anyCase = int(LocateOption::CaseInsensitive);
    const int prefix = int(LocateOption::PartialKey);
    const QString fam = QStringLiteral("Fam");
    auto text = [](const char* s) { return QVariant(QString::fromUtf8(s)); };
    auto pair = [](const QVariant& a, const QVariant& b) { return QVariant(QVariantList{a, b}); };

    QTest::newRow("prefix in any case finds the first in order")
        << fam << text("и") << (anyCase | prefix) << 1;
    QTest::newRow("prefix in exact case, small letter") << fam << text("и") << prefix << 2;
    QTest::newRow("prefix in exact case, capital") << fam << text("И") << prefix << 1;
    QTest::newRow("whole in any case") << fam << text("ИВАНОВ") << anyCase << 1;
    QTest::newRow("whole in any case, longer name") << fam << text("ИвАнОвА") << anyCase << 2;
    QTest::newRow("whole in exact case") << fam << text("Петров") << 0 << 3;
    QTest::newRow("whole in exact case, wrong case") << fam << text("петров") << 0 << -1;
    QTest::newRow("prefix is not the whole") << fam << text("Иван") << anyCase << -1;
    QTest::newRow("longer than any name") << fam << text("Ивановская") << (anyCase | prefix) << -1;
    QTest::newRow("two fields") << QStringLiteral("Fam;Name") << pair(text("Петров"), text("Олег"))
                                << 0 << 4;
    QTest::newRow("two fields, prefix in any case")
        << QStringLiteral("fam; NAME") << pair(text("пет"), text("о")) << (anyCase | prefix) << 4;
    QTest::newRow("two fields, no row holds both")
        << QStringLiteral("Fam;Name") << pair(text("Иванов"), text("Мария")) << anyCase << -1;
    QTest::newRow("integer") << QStringLiteral("ID_Group") << QVariant(2) << 0 << 2;
    QTest::newRow("integer given as text") << QStringLiteral("ID_Group") << text("2") << 0 << 2;
    QTest::newRow("integer, not a number") << QStringLiteral("ID_Group") << text("два") << 0 << -1;
    QTest::newRow("counter") << QStringLiteral("ID_Student") << QVariant(4) << 0 << 3;
    QTest::newRow("text and small integer")
        << QStringLiteral("Fam;Semestr") << pair(text("Петров"), QVariant(3)) << 0 << 4;
    QTest::newRow("date") << QStringLiteral("Data_Post") << QVariant(QDate(2024, 2, 1)) << 0 << 3;
    QTest::newRow("date given as text")
        << QStringLiteral("Data_Post") << text("01.02.2024") << 0 << 3;
    QTest::newRow("date, no such day")
        << QStringLiteral("Data_Post") << QVariant(QDate(2024, 2, 2)) << 0 << -1;
}

void TestNavigation::locate() {
    QFETCH(QString, fields);
    QFETCH(QVariant, values);
    QFETCH(int, options);
    QFETCH(int, expected);

    // Start on the last row, which none of the searches is after.
    const int start = int(ordered.size()) - 1;
    openAt(start);
    const bool found = m_students->locate(fields, values, LocateOptions(options));

    QCOMPARE(found, expected >= 0);
    const int at = found ? expected : start;
    QCOMPARE(m_students->recNo(), at);
    QCOMPARE(current(*m_students), ordered[at]);
    QCOMPARE(m_scrolls, found ? 1 : 0);
    QCOMPARE(m_students->state(), DatasetState::Browse);
}

void TestNavigation::locateSearchesFilteredView() {
    m_students->setFilterText(QStringLiteral("ID_Group=2"));
    m_students->setFiltered(true);
    m_students->open();
    QCOMPARE(shown(*m_students),
             QStringList({QStringLiteral("иванова Мария"), QStringLiteral("Петров Олег"),
                          QStringLiteral("Сидорова Ольга")}));
    m_students->last();
    m_scrolls = 0;

    // Абрамова and Петров Иван are in group 1, outside the view.
    QVERIFY(!m_students->locate(QStringLiteral("Fam"), QStringLiteral("Абрамова")));
    QVERIFY(!m_students->locate(QStringLiteral("Fam;Name"),
                                QVariantList{QStringLiteral("Петров"), QStringLiteral("Иван")}));
    QCOMPARE(m_students->recNo(), 2);
    QCOMPARE(m_scrolls, 0);

    QVERIFY(m_students->locate(QStringLiteral("Fam"), QStringLiteral("и"),
                               LocateOption::CaseInsensitive | LocateOption::PartialKey));
    QCOMPARE(m_students->recNo(), 0);
    QCOMPARE(current(*m_students), QStringLiteral("иванова Мария"));

    QVERIFY(m_students->locate(QStringLiteral("Fam"), QStringLiteral("Петров")));
    QCOMPARE(m_students->recNo(), 1);
    QCOMPARE(current(*m_students), QStringLiteral("Петров Олег"));
    QCOMPARE(m_scrolls, 2);
}

void TestNavigation::sortKeepsCurrentRow_data() {
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("group ascending, surname descending")
        << QStringLiteral("ID_Group ASC, Fam DESC")
        << QStringList{QStringLiteral("Петров Иван"),   QStringLiteral("Иванов Сергей"),
                       QStringLiteral("Абрамова Анна"), QStringLiteral("Сидорова Ольга"),
                       QStringLiteral("Петров Олег"),   QStringLiteral("иванова Мария")};
    // Equal semesters keep the reading order.
    QTest::newRow("semester descending")
        << QStringLiteral("Semestr DESC")
        << QStringList{QStringLiteral("Петров Олег"),    QStringLiteral("Иванов Сергей"),
                       QStringLiteral("Сидорова Ольга"), QStringLiteral("Абрамова Анна"),
                       QStringLiteral("иванова Мария"),  QStringLiteral("Петров Иван")};
    QTest::newRow("names in any letter case, ascending by default")
        << QStringLiteral("id_group, NAME")
        << QStringList{QStringLiteral("Абрамова Анна"), QStringLiteral("Петров Иван"),
                       QStringLiteral("Иванов Сергей"), QStringLiteral("иванова Мария"),
                       QStringLiteral("Петров Олег"),   QStringLiteral("Сидорова Ольга")};
    QTest::newRow("date descending, then surname")
        << QStringLiteral("Data_Post DESC, Fam")
        << QStringList{QStringLiteral("Петров Иван"),   QStringLiteral("Абрамова Анна"),
                       QStringLiteral("Петров Олег"),   QStringLiteral("Сидорова Ольга"),
                       QStringLiteral("Иванов Сергей"), QStringLiteral("иванова Мария")};
}

void TestNavigation::sortKeepsCurrentRow() {
    QFETCH(QString, sort);
    QFETCH(QStringList, expected);

    const QString kept = QStringLiteral("Петров Олег");
    openAt(ordered.indexOf(kept));

    m_students->setSort(sort);
    QCOMPARE(m_students->sort(), sort);
    QCOMPARE(shown(*m_students), expected);
    QCOMPARE(current(*m_students), kept);
    QCOMPARE(m_students->recNo(), expected.indexOf(kept));
    // Moving goes by the new order.
    m_students->first();
    QCOMPARE(current(*m_students), expected.first());
    m_students->next();
    QCOMPARE(current(*m_students), expected[1]);

    const QString second = current(*m_students);
    m_students->setSort(QString());
    QCOMPARE(shown(*m_students), ordered);
    QCOMPARE(current(*m_students), second);
    QCOMPARE(m_students->recNo(), ordered.indexOf(second));
}

void TestNavigation::bookmarks() {
    openAt(ordered.indexOf(QStringLiteral("Петров Олег")));
    const Bookmark oleg = m_students->bookmark();
    QVERIFY(m_students->bookmarkValid(oleg));

    m_students->first();
    m_scrolls = 0;
    m_students->gotoBookmark(oleg);
    QCOMPARE(current(*m_students), QStringLiteral("Петров Олег"));
    QCOMPARE(m_students->recNo(), 4);
    QCOMPARE(m_scrolls, 1);

    // A bookmark names the row, not its place.
    m_students->setSort(QStringLiteral("Semestr DESC"));
    m_students->last();
    m_students->gotoBookmark(oleg);
    QCOMPARE(current(*m_students), QStringLiteral("Петров Олег"));
    QCOMPARE(m_students->recNo(), 0);
    m_students->setSort(QString());

    m_students->append();
    m_students->fieldByName(QStringLiteral("Fam")).setValue(QStringLiteral("Абаев"));
    m_students->fieldByName(QStringLiteral("Name")).setValue(QStringLiteral("Тимур"));
    m_students->post();
    QCOMPARE(m_students->recNo(), 0);
    m_students->gotoBookmark(oleg);
    QCOMPARE(current(*m_students), QStringLiteral("Петров Олег"));
    QCOMPARE(m_students->recNo(), 5);

    // A deleted row's bookmark leads nowhere, and nothing moves.
    QVERIFY(m_students->locate(QStringLiteral("Fam"), QStringLiteral("Иванов")));
    const Bookmark ivanov = m_students->bookmark();
    m_students->remove();
    QCOMPARE(
        m_db->scalar(QStringLiteral("SELECT count(*) FROM Students WHERE Fam = 'Иванов'")).toInt(),
        0);
    m_students->last();
    m_scrolls = 0;
    QVERIFY(!m_students->bookmarkValid(ivanov));
    try {
        m_students->gotoBookmark(ivanov);
        QFAIL("went to a deleted row");
    } catch (const DataError& e) {
        QCOMPARE(e.text(), QStringLiteral("Record not found"));
    }
    QCOMPARE(current(*m_students), QStringLiteral("Сидорова Ольга"));
    QCOMPARE(m_scrolls, 0);
    QVERIFY(m_students->bookmarkValid(oleg));
}

void TestNavigation::switchingFilterMovesToFirstPassingRow_data() {
    QTest::addColumn<QString>("before");  // empty: unfiltered
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");

    const QStringList secondGroup{QStringLiteral("иванова Мария"), QStringLiteral("Петров Олег"),
                                  QStringLiteral("Сидорова Ольга")};
    QTest::newRow("current row passes but is not first")
        << QString() << 5 << QStringLiteral("ID_Group=2") << secondGroup;
    QTest::newRow("current row does not pass")
        << QString() << 0 << QStringLiteral("ID_Group=2") << secondGroup;
    QTest::newRow("another filter while filtered")
        << QStringLiteral("ID_Group=1") << 2 << QStringLiteral("Semestr=3")
        << QStringList{QStringLiteral("Иванов Сергей"), QStringLiteral("Петров Олег"),
                       QStringLiteral("Сидорова Ольга")};
    QTest::newRow("no row passes")
        << QString() << 3 << QStringLiteral("ID_Group=9") << QStringList{};
    // A condition on the leading order column narrows the search to a range of the order.
    QTest::newRow("leading column, letter case ignored")
        << QString() << 5 << QStringLiteral("Fam='иванов'")
        << QStringList{QStringLiteral("Иванов Сергей")};
    QTest::newRow("leading column and another")
        << QString() << 0 << QStringLiteral("(Name='Олег') and (Fam=Петров)")
        << QStringList{QStringLiteral("Петров Олег")};
    QTest::newRow("leading column under or")
        << QString() << 0 << QStringLiteral("(Fam='Петров') or (Semestr=2)")
        << QStringList{QStringLiteral("Абрамова Анна"), QStringLiteral("иванова Мария"),
                       QStringLiteral("Петров Иван"), QStringLiteral("Петров Олег")};
    QTest::newRow("leading column under not")
        << QString() << 0 << QStringLiteral("not (Fam='Петров') and (ID_Group=2)")
        << QStringList{QStringLiteral("иванова Мария"), QStringLiteral("Сидорова Ольга")};
}

void TestNavigation::setRecNoLandsOnTheRowNamedBeforeSettling_data() {
    QTest::addColumn<QString>("typed");  // the new row's surname; empty: left untouched
    QTest::addColumn<int>("target");     // as numbered while the new row is pending
    QTest::addColumn<QString>("landed");
    // The new row is pending at position 1, before "Иванов Сергей".
    QTest::newRow("untouched new row dropped") << QString() << 3 << "иванова Мария";
    QTest::newRow("new row stored elsewhere in the order") << "Яковлев" << 3 << "иванова Мария";
    QTest::newRow("new row stored before the target") << "Бобров" << 4 << "Петров Иван";
}

void TestNavigation::setRecNoLandsOnTheRowNamedBeforeSettling() {
    QFETCH(QString, typed);
    QFETCH(int, target);
    QFETCH(QString, landed);
    openAt(1);
    m_students->insert();
    QCOMPARE(m_students->recNo(), 1);
    if (!typed.isEmpty()) m_students->fieldByName(QStringLiteral("Fam")).setValue(typed);
    m_students->setRecNo(target);
    QCOMPARE(current(*m_students), landed);
}

void TestNavigation::filterOnLeadingIntegerColumnKeepsNewRows() {
    m_students->setIndexFieldNames(QStringLiteral("ID_Group;Fam"));
    m_students->setFilterText(QStringLiteral("(ID_Group=2) and (Semestr=3)"));
    m_students->setFiltered(true);
    m_students->open();
    QCOMPARE(shown(*m_students),
             (QStringList{QStringLiteral("Петров Олег"), QStringLiteral("Сидорова Ольга")}));
    m_students->append();
    m_students->fieldByName(QStringLiteral("Fam")).setValue(QStringLiteral("Яковлев"));
    m_students->fieldByName(QStringLiteral("Name")).setValue(QStringLiteral("Ян"));
    m_students->fieldByName(QStringLiteral("ID_Group")).setValue(2);
    m_students->fieldByName(QStringLiteral("Semestr")).setValue(3);
    m_students->post();
    m_students->append();
    m_students->fieldByName(QStringLiteral("Fam")).setValue(QStringLiteral("Аксёнов"));
    m_students->fieldByName(QStringLiteral("ID_Group")).setValue(3);
    m_students->fieldByName(QStringLiteral("Semestr")).setValue(3);
    m_students->post();
    QCOMPARE(shown(*m_students),
             (QStringList{QStringLiteral("Петров Олег"), QStringLiteral("Сидорова Ольга"),
                          QStringLiteral("Яковлев Ян")}));
}

void TestNavigation::switchingFilterMovesToFirstPassingRow() {
    QFETCH(QString, before);
    QFETCH(int, start);
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);

    if (!before.isEmpty()) {
        m_students->setFilterText(before);
        m_students->setFiltered(true);
    }
    openAt(start);

    m_students->setFilterText(filter);
    m_students->setFiltered(true);
    QVERIFY(m_students->isFiltered());
    QCOMPARE(m_students->filterText(), filter);
    QCOMPARE(shown(*m_students), expected);
    QCOMPARE(m_students->recNo(), expected.isEmpty() ? -1 : 0);
    QCOMPARE(current(*m_students), expected.value(0));
    QCOMPARE(m_scrolls, expected.isEmpty() ? 0 : 1);
}

void TestNavigation::malformedFilterKeepsOldFilterAndView_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("message");  // a part of the error's text

    QTest::newRow("unclosed parenthesis")
        << QStringLiteral("(ID_Group=2") << QStringLiteral("position");
    QTest::newRow("no value") << QStringLiteral("ID_Group=") << QStringLiteral("position");
    QTest::newRow("no operator") << QStringLiteral("ID_Group 2") << QStringLiteral("position");
    QTest::newRow("dangling and") << QStringLiteral("(ID_Group=2) and")
                                  << QStringLiteral("position");
    QTest::newRow("unknown field")
        << QStringLiteral("Kurs=2") << QStringLiteral("Field 'Kurs' not found");
    QTest::newRow("not a number") << QStringLiteral("Semestr=три")
                                  << QStringLiteral("'три' is not a valid integer value");
}

void TestNavigation::malformedFilterKeepsOldFilterAndView() {
    QFETCH(QString, filter);
    QFETCH(QString, message);

    const QString old = QStringLiteral("ID_Group=1");
    const QStringList firstGroup{QStringLiteral("Абрамова Анна"), QStringLiteral("Иванов Сергей"),
                                 QStringLiteral("Петров Иван")};
    m_students->setFilterText(old);
    m_students->setFiltered(true);
    openAt(1);

    // Filtered: the new text is refused and the old one stays in force.
    try {
        m_students->setFilterText(filter);
        QFAIL("a malformed filter was accepted");
    } catch (const DataError& e) {
        QVERIFY2(e.text().contains(message), qPrintable(e.text()));
    }
    QCOMPARE(m_students->filterText(), old);
    QVERIFY(m_students->isFiltered());
    QCOMPARE(shown(*m_students), firstGroup);
    QCOMPARE(current(*m_students), QStringLiteral("Иванов Сергей"));
    QCOMPARE(m_scrolls, 0);

    // Unfiltered: switching the filter on fails and the whole list stays.
    m_students->setFiltered(false);
    m_students->moveBy(3);
    const QString at = current(*m_students);
    m_scrolls = 0;
    m_students->setFilterText(filter);
    try {
        m_students->setFiltered(true);
        QFAIL("a malformed filter was switched on");
    } catch (const DataError& e) {
        QVERIFY2(e.text().contains(message), qPrintable(e.text()));
    }
    QVERIFY(!m_students->isFiltered());
    QCOMPARE(shown(*m_students), ordered);
    QCOMPARE(current(*m_students), at);
    QCOMPARE(m_scrolls, 0);
}

void TestNavigation::recordBookNumbersCompareAsText_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("number and semester")
        << QStringLiteral("(N_Student=0012345) and (Semestr=3)") << QStringLiteral("0012345")
        << QStringList{QStringLiteral("Петров Олег")};
    QTest::newRow("leading zeros")
        << QStringLiteral("N_Student=0012345") << QStringLiteral("0012345")
        << QStringList{QStringLiteral("иванова Мария"), QStringLiteral("Петров Олег")};
    QTest::newRow("without zeros")
        << QStringLiteral("(N_Student=12345) and (Semestr=3)") << QStringLiteral("12345")
        << QStringList{QStringLiteral("Иванов Сергей")};
}

void TestNavigation::recordBookNumbersCompareAsText() {
    QFETCH(QString, filter);
    QFETCH(QString, number);
    QFETCH(QStringList, expected);

    m_students->open();
    m_students->setFilterText(filter);
    m_students->setFiltered(true);
    QCOMPARE(shown(*m_students), expected);
    const Field* field = &m_students->fieldByName(QStringLiteral("N_Student"));
    for (int i = 0; i < m_students->recordCount(); ++i)
        QCOMPARE(m_students->viewValue(i, field).toString(), number);
}

QTEST_GUILESS_MAIN(TestNavigation)
#include "tst_navigation.moc"
