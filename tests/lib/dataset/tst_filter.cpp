// Filter expressions over a small register of exam records: which rows a condition keeps,
// and how a malformed or ill-typed condition is reported.
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QTest>
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "Column.h"
#include "DataError.h"
#include "Filter.h"

namespace {

struct Record {
    QVariant student;   // N_Student
    QVariant semester;  // Semestr
    QVariant course;    // Курс
    QVariant examDate;  // Data_Ekz
    QVariant mark;      // Ball
    QVariant group;     // Группа студента
};

QVariant dateTime(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
    return QDateTime(QDate(y, m, d), QTime(hh, mm, ss));
}

QVariant date(int y, int m, int d) {
    return QDate(y, m, d);
}

const QVariant null;

const std::vector<Record> records = {
    /* 0 */ {QStringLiteral("0012345"), 3, 2, dateTime(2024, 2, 1, 10, 30), 4.5,
             QStringLiteral("ПМ 21")},
    /* 1 */ {QStringLiteral("12345"), 3, 2, date(2024, 1, 15), 3.0, QStringLiteral("пм 21")},
    /* 2 */ {QStringLiteral("12a34"), 1, 1, date(2023, 6, 30), null, QStringLiteral("ФИ-11")},
    /* 3 */ {QStringLiteral("Иванов"), 2, 1, date(2024, 2, 1), 5.0, null},
    /* 4 */ {QStringLiteral("иванов"), null, null, null, 2.5, QStringLiteral("ФИ-11")},
    /* 5 */ {null, 3, 2, date(2024, 2, 2), 4.0, QStringLiteral("ПМ 21")},
    /* 6 */
    {QStringLiteral("O'Brien"), 5, 3, dateTime(2023, 12, 31, 23, 59, 59), 3.5,
     QStringLiteral("ПМ 21")},
    /* 7 */ {QStringLiteral("abc"), 4, 2, date(2024, 2, 29), 4.0, QStringLiteral("ФИ-11")},
    /* 8 */ {QStringLiteral("ABC"), 3, 2, date(2024, 3, 1), 4.75, QStringLiteral("ФИ-11")},
    /* 9 */ {QStringLiteral("-5"), 0, 0, date(2022, 9, 1), 3.0, QStringLiteral("ФИ-11")},
    /* 10 */ {QStringLiteral("Null"), 1, 1, date(2023, 9, 1), null, null},
};

using Rows = QList<int>;

Rows allRowsBut(std::initializer_list<int> excluded) {
    Rows rows;
    for (int i = 0; i < int(records.size()); ++i)
        if (std::find(excluded.begin(), excluded.end(), i) == excluded.end()) rows.append(i);
    return rows;
}

Rows matchingRows(const Filter& filter, size_t count) {
    Rows rows;
    for (Row r = 0; r < count; ++r)
        if (filter.matches(r)) rows.append(int(r));
    return rows;
}

}  // namespace

class TestFilter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void keepsMatchingRows_data();
    void keepsMatchingRows();
    void rejectsExpression_data();
    void rejectsExpression();
    void decidesStringsAddedAfterCompile();

private:
    Filter::Resolver resolver() const;

    std::vector<std::pair<QString, std::unique_ptr<Column>>> m_columns;
};

void TestFilter::initTestCase() {
    m_columns.emplace_back(QStringLiteral("N_Student"), std::make_unique<TextColumn>());
    m_columns.emplace_back(QStringLiteral("Semestr"),
                           std::make_unique<IntColumn>(FieldType::Integer));
    m_columns.emplace_back(QStringLiteral("Курс"),
                           std::make_unique<IntColumn>(FieldType::SmallInt));
    m_columns.emplace_back(QStringLiteral("Data_Ekz"), std::make_unique<DateColumn>());
    m_columns.emplace_back(QStringLiteral("Ball"), std::make_unique<FloatColumn>());
    m_columns.emplace_back(QStringLiteral("Группа студента"), std::make_unique<TextColumn>());
    for (const Record& r : records) {
        m_columns[0].second->append(r.student);
        m_columns[1].second->append(r.semester);
        m_columns[2].second->append(r.course);
        m_columns[3].second->append(r.examDate);
        m_columns[4].second->append(r.mark);
        m_columns[5].second->append(r.group);
    }
}

Filter::Resolver TestFilter::resolver() const {
    return [this](const QString& name) -> const Column* {
        for (const auto& [columnName, column] : m_columns)
            if (columnName.compare(name, Qt::CaseInsensitive) == 0) return column.get();
        return nullptr;
    };
}

void TestFilter::keepsMatchingRows_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<Rows>("expected");

    const Rows all = allRowsBut({});
    QTest::newRow("empty") << QString() << all;
    QTest::newRow("blank") << QStringLiteral(" \t ") << all;

    // Text against numbers, strings and bare words: the literal's text as written.
    QTest::newRow("leading zeros kept") << QStringLiteral("N_Student=0012345") << Rows{0};
    QTest::newRow("number as text") << QStringLiteral("N_Student=12345") << Rows{1};
    QTest::newRow("quoted digits") << QStringLiteral("N_Student='0012345'") << Rows{0};
    QTest::newRow("fraction as text") << QStringLiteral("N_Student=12345.0") << Rows{};
    QTest::newRow("signed number as text") << QStringLiteral("N_Student=-5") << Rows{9};
    QTest::newRow("bare word") << QStringLiteral("N_Student=12a34") << Rows{2};
    QTest::newRow("text <>") << QStringLiteral("N_Student<>12345") << allRowsBut({1, 5});
    QTest::newRow("cyrillic folding") << QStringLiteral("N_Student=ИВАНОВ") << Rows{3, 4};
    QTest::newRow("quoted mixed case") << QStringLiteral("N_Student='иВаНоВ'") << Rows{3, 4};
    QTest::newRow("latin folding") << QStringLiteral("N_Student=abc") << Rows{7, 8};
    QTest::newRow("text <") << QStringLiteral("N_Student<'b'") << Rows{0, 1, 2, 7, 8, 9};
    QTest::newRow("text >=") << QStringLiteral("N_Student>='abc'") << Rows{3, 4, 6, 7, 8, 10};
    QTest::newRow("text >") << QStringLiteral("N_Student>'ABC'") << Rows{3, 4, 6, 10};
    QTest::newRow("text <=") << QStringLiteral("N_Student<=abc") << Rows{0, 1, 2, 7, 8, 9};
    QTest::newRow("doubled quote") << QStringLiteral("N_Student='O''Brien'") << Rows{6};
    QTest::newRow("doubled quote folded") << QStringLiteral("N_Student='o''BRIEN'") << Rows{6};
    QTest::newRow("quote inside bare word") << QStringLiteral("N_Student=O'Brien") << Rows{6};
    QTest::newRow("empty string") << QStringLiteral("N_Student=''") << Rows{};
    QTest::newRow("quoted NULL is text") << QStringLiteral("N_Student='NULL'") << Rows{10};
    QTest::newRow("bracketed name, quoted blank")
        << QStringLiteral("[Группа студента]='пм 21'") << Rows{0, 1, 5, 6};
    QTest::newRow("bracketed name folded")
        << QStringLiteral("[группа СТУДЕНТА]<>'ПМ 21'") << Rows{2, 4, 7, 8, 9};

    // Integer columns.
    const Rows third{0, 1, 5, 8};
    QTest::newRow("int =") << QStringLiteral("Semestr=3") << third;
    QTest::newRow("int <>") << QStringLiteral("Semestr<>3") << Rows{2, 3, 6, 7, 9, 10};
    QTest::newRow("int <") << QStringLiteral("Semestr<3") << Rows{2, 3, 9, 10};
    QTest::newRow("int >") << QStringLiteral("Semestr>3") << Rows{6, 7};
    QTest::newRow("int <=") << QStringLiteral("Semestr<=3") << Rows{0, 1, 2, 3, 5, 8, 9, 10};
    QTest::newRow("int >=") << QStringLiteral("Semestr>=4") << Rows{6, 7};
    QTest::newRow("int = fraction") << QStringLiteral("Semestr=3.5") << Rows{};
    QTest::newRow("int < fraction")
        << QStringLiteral("Semestr<3.5") << Rows{0, 1, 2, 3, 5, 8, 9, 10};
    QTest::newRow("int > fraction") << QStringLiteral("Semestr>2.5") << Rows{0, 1, 5, 6, 7, 8};
    QTest::newRow("int quoted") << QStringLiteral("Semestr='3'") << third;
    QTest::newRow("int quoted with blanks") << QStringLiteral("Semestr=' 4 '") << Rows{7};
    QTest::newRow("int plus sign") << QStringLiteral("Semestr=+3") << third;
    QTest::newRow("int leading zeros") << QStringLiteral("Semestr=003") << third;
    QTest::newRow("int negative") << QStringLiteral("Semestr>-1") << allRowsBut({4});
    QTest::newRow("cyrillic field") << QStringLiteral("курс=2") << Rows{0, 1, 5, 7, 8};
    QTest::newRow("cyrillic field upper") << QStringLiteral("КУРС>=2") << Rows{0, 1, 5, 6, 7, 8};

    // Floating point columns.
    QTest::newRow("float >=") << QStringLiteral("Ball>=4") << Rows{0, 3, 5, 7, 8};
    QTest::newRow("float =") << QStringLiteral("Ball=4.75") << Rows{8};
    QTest::newRow("float <") << QStringLiteral("Ball<3") << Rows{4};
    QTest::newRow("float quoted") << QStringLiteral("Ball='4.5'") << Rows{0};
    QTest::newRow("float <> skips null") << QStringLiteral("Ball<>4") << Rows{0, 1, 3, 4, 6, 8, 9};
    QTest::newRow("not keeps null")
        << QStringLiteral("not Ball=4") << Rows{0, 1, 2, 3, 4, 6, 8, 9, 10};

    // Dates, by their day only.
    QTest::newRow("date dotted") << QStringLiteral("Data_Ekz='01.02.2024'") << Rows{0, 3};
    QTest::newRow("date short dotted") << QStringLiteral("Data_Ekz='1.2.2024'") << Rows{0, 3};
    QTest::newRow("date quoted with blanks")
        << QStringLiteral("Data_Ekz=' 2024-02-01 '") << Rows{0, 3};
    QTest::newRow("date iso bare") << QStringLiteral("Data_Ekz=2024-02-01") << Rows{0, 3};
    QTest::newRow("date leap day") << QStringLiteral("Data_Ekz=29.02.2024") << Rows{7};
    QTest::newRow("date <") << QStringLiteral("Data_Ekz<'01.02.2024'") << Rows{1, 2, 6, 9, 10};
    QTest::newRow("date >") << QStringLiteral("Data_Ekz>'2024-02-01'") << Rows{5, 7, 8};
    QTest::newRow("date <= late time")
        << QStringLiteral("Data_Ekz<='31.12.2023'") << Rows{2, 6, 9, 10};
    QTest::newRow("date >= late time")
        << QStringLiteral("Data_Ekz>=31.12.2023") << Rows{0, 1, 3, 5, 6, 7, 8};
    QTest::newRow("date <>") << QStringLiteral("Data_Ekz<>01.02.2024")
                             << Rows{1, 2, 5, 6, 7, 8, 9, 10};

    // NULL.
    QTest::newRow("text = NULL") << QStringLiteral("N_Student=NULL") << Rows{5};
    QTest::newRow("null lower case") << QStringLiteral("N_Student = null") << Rows{5};
    QTest::newRow("text <> Null") << QStringLiteral("N_Student<>Null") << allRowsBut({5});
    QTest::newRow("int = NULL") << QStringLiteral("Semestr=NULL") << Rows{4};
    QTest::newRow("date = NULL") << QStringLiteral("Data_Ekz=null") << Rows{4};
    QTest::newRow("float = NULL") << QStringLiteral("Ball = NULL") << Rows{2, 10};
    QTest::newRow("int <> NULL") << QStringLiteral("Курс<>NULL") << allRowsBut({4});
    QTest::newRow("bracketed = NULL") << QStringLiteral("[Группа студента]=NULL") << Rows{3, 10};
    QTest::newRow("not = NULL") << QStringLiteral("not N_Student=NULL") << allRowsBut({5});

    // Combinations.
    QTest::newRow("and") << QStringLiteral("(N_Student=12345) and (Semestr=3)") << Rows{1};
    QTest::newRow("and, none") << QStringLiteral("N_Student=0012345 and Semestr=1") << Rows{};
    QTest::newRow("or") << QStringLiteral("N_Student=12345 or Semestr=1") << Rows{1, 2, 10};
    QTest::newRow("and binds tighter than or")
        << QStringLiteral("Semestr=1 or Курс=2 and Semestr=3") << Rows{0, 1, 2, 5, 8, 10};
    QTest::newRow("parentheses override")
        << QStringLiteral("(Semestr=1 or Курс=2) and Semestr=3") << third;
    QTest::newRow("not binds tighter than and")
        << QStringLiteral("not Semestr=3 and Курс=2") << Rows{7};
    QTest::newRow("not of group") << QStringLiteral("not (Semestr=3 and Курс=2)")
                                  << Rows{2, 3, 4, 6, 7, 9, 10};
    QTest::newRow("not not") << QStringLiteral("not not Semestr=3") << third;
    QTest::newRow("not of or") << QStringLiteral("not (Semestr=3 or Semestr=1)")
                               << Rows{3, 4, 6, 7, 9};
    QTest::newRow("and chain") << QStringLiteral("Semestr=3 and Курс=2 and Ball>4") << Rows{0, 8};
    QTest::newRow("or chain") << QStringLiteral("Semestr=1 or Semestr=5 or Semestr=4")
                              << Rows{2, 6, 7, 10};
    QTest::newRow("upper OR") << QStringLiteral("Semestr=1 OR Semestr=5") << Rows{2, 6, 10};
    QTest::newRow("mixed AnD") << QStringLiteral("Semestr=3 AnD Курс=2") << third;
    QTest::newRow("upper NOT") << QStringLiteral("NOT Semestr=3") << Rows{2, 3, 4, 6, 7, 9, 10};
    QTest::newRow("field lower case") << QStringLiteral("semestr=1") << Rows{2, 10};
    QTest::newRow("field upper case") << QStringLiteral("N_STUDENT=abc") << Rows{7, 8};
    QTest::newRow("no blanks") << QStringLiteral("(Semestr=1)or(Semestr=5)") << Rows{2, 6, 10};
    QTest::newRow("nested parentheses") << QStringLiteral("((Semestr=1))") << Rows{2, 10};
    QTest::newRow("quoted then keyword")
        << QStringLiteral("N_Student='abc'or Semestr=5") << Rows{6, 7, 8};
    QTest::newRow("surrounding blanks") << QStringLiteral("  Semestr  >=  4  ") << Rows{6, 7};
    QTest::newRow("tabs and newlines")
        << QStringLiteral("Semestr=1\tor\nSemestr=5") << Rows{2, 6, 10};
}

void TestFilter::keepsMatchingRows() {
    QFETCH(QString, expression);
    QFETCH(Rows, expected);
    const auto filter = Filter::compile(expression, resolver());
    QVERIFY(filter);
    QCOMPARE(matchingRows(*filter, records.size()), expected);
}

void TestFilter::rejectsExpression_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("error");

    const auto at = [](int position, const char* what) {
        return QStringLiteral("position %1: %2").arg(position).arg(QLatin1String(what));
    };
    QTest::newRow("missing value")
        << QStringLiteral("Semestr=") << at(9, "expected a value after '='");
    QTest::newRow("missing value before )")
        << QStringLiteral("(Semestr<> )") << at(12, "expected a value after '<>'");
    QTest::newRow("doubled operator")
        << QStringLiteral("Semestr==3") << at(9, "expected a value after '='");
    QTest::newRow("reversed operator")
        << QStringLiteral("Semestr=>3") << at(9, "expected a value after '='");
    QTest::newRow("missing operator")
        << QStringLiteral("Semestr 3") << at(9, "expected a comparison operator");
    QTest::newRow("unknown operator")
        << QStringLiteral("N_Student!=1") << at(10, "expected a comparison operator");
    QTest::newRow("missing field") << QStringLiteral("=3") << at(1, "expected a field name");
    QTest::newRow("symbol as field") << QStringLiteral("#=1") << at(1, "expected a field name");
    QTest::newRow("keyword first")
        << QStringLiteral("and Semestr=3") << at(1, "expected a field name");
    QTest::newRow("dangling and") << QStringLiteral("Semestr=3 and")
                                  << at(14, "expected a field name");
    QTest::newRow("doubled or") << QStringLiteral("Semestr=3 or or Курс=1")
                                << at(14, "expected a field name");
    QTest::newRow("lone not") << QStringLiteral("not") << at(4, "expected a field name");
    QTest::newRow("empty parentheses") << QStringLiteral("()") << at(2, "expected a field name");
    QTest::newRow("unclosed parenthesis")
        << QStringLiteral("(Semestr=3") << at(11, "expected 'and', 'or' or ')'");
    QTest::newRow("unclosed inner group")
        << QStringLiteral("N_Student=1 and (Semestr=2 or") << at(30, "expected a field name");
    QTest::newRow("unmatched )") << QStringLiteral("Semestr=3)")
                                 << at(10, "')' has no matching '('");
    QTest::newRow("missing connective")
        << QStringLiteral("Semestr=3 Курс=2") << at(11, "expected 'and' or 'or'");
    QTest::newRow("text after quoted")
        << QStringLiteral("N_Student='abc'def") << at(16, "expected 'and' or 'or'");
    QTest::newRow("unclosed quote")
        << QStringLiteral("N_Student='O''Brien") << at(11, "the quoted text is not closed");
    QTest::newRow("unclosed bracket") << QStringLiteral("[Группа студента='x'")
                                      << at(1, "the field name in brackets has no closing ']'");
    QTest::newRow("empty brackets")
        << QStringLiteral("[ ]=1") << at(2, "expected a field name inside the brackets");
    QTest::newRow("NULL with <") << QStringLiteral("Semestr<NULL")
                                 << at(9, "NULL can only be compared with = or <>");
    QTest::newRow("NULL with >=") << QStringLiteral("N_Student >= null")
                                  << at(14, "NULL can only be compared with = or <>");

    QTest::newRow("unknown field") << QStringLiteral("Nomer=1") << msg::fieldNotFound("Nomer");
    QTest::newRow("unknown bracketed field")
        << QStringLiteral("[Last name]='x'") << msg::fieldNotFound("Last name");
    QTest::newRow("unknown field after a valid part")
        << QStringLiteral("Semestr=1 and Nomer=2") << msg::fieldNotFound("Nomer");
    QTest::newRow("word against integer")
        << QStringLiteral("Semestr=abc") << msg::invalidInteger("abc");
    QTest::newRow("quoted word against integer")
        << QStringLiteral("Semestr='три'") << msg::invalidInteger("три");
    QTest::newRow("nan against integer")
        << QStringLiteral("Semestr='nan'") << msg::invalidInteger("nan");
    QTest::newRow("mixed word against small integer")
        << QStringLiteral("Курс=12a34") << msg::invalidInteger("12a34");
    QTest::newRow("word against float") << QStringLiteral("Ball=x1") << msg::invalidFloat("x1");
    QTest::newRow("no such day") << QStringLiteral("Data_Ekz='31.02.2024'")
                                 << msg::invalidDate("31.02.2024");
    QTest::newRow("number against date")
        << QStringLiteral("Data_Ekz=2024") << msg::invalidDate("2024");
    QTest::newRow("two-digit year")
        << QStringLiteral("Data_Ekz=01.02.24") << msg::invalidDate("01.02.24");
    QTest::newRow("word against date")
        << QStringLiteral("Data_Ekz=вчера") << msg::invalidDate("вчера");
}

void TestFilter::rejectsExpression() {
    QFETCH(QString, expression);
    QFETCH(QString, error);
    try {
        Filter::compile(expression, resolver());
    } catch (const DataError& e) {
        QVERIFY2(e.text().contains(error), qPrintable(e.text()));
        return;
    }
    QFAIL("the expression was accepted");
}

void TestFilter::decidesStringsAddedAfterCompile() {
    TextColumn names;
    names.append(QStringLiteral("Петров"));
    names.append(QStringLiteral("Сидоров"));
    const Filter::Resolver resolve = [&names](const QString&) { return &names; };
    const auto equal = Filter::compile(QStringLiteral("Name=новиков"), resolve);
    const auto before = Filter::compile(QStringLiteral("Name<'П'"), resolve);
    QCOMPARE(matchingRows(*equal, names.size()), Rows{});
    QCOMPARE(matchingRows(*before, names.size()), Rows{});

    names.append(QStringLiteral("НОВИКОВ"));
    names.append(QStringLiteral("Яковлев"));
    names.append(QStringLiteral("Петров"));
    names.append(QStringLiteral("новиков"));
    names.append(QStringLiteral("Абрамов"));
    names.append(QVariant());
    QCOMPARE(matchingRows(*equal, names.size()), (Rows{2, 5}));
    QCOMPARE(matchingRows(*before, names.size()), (Rows{2, 5, 6}));
}

QTEST_APPLESS_MAIN(TestFilter)
#include "tst_filter.moc"
