// The PostgreSQL connection, against a throw-away server of its own: parameters
// marked as the engine marks them travel as values, never as SQL; values come back
// as they went; counts, keys, table names and column types read as SQLite's do;
// failures carry the server's or libpq's own text and never a password.
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <limits>
#include <memory>

#include "DataError.h"
#include "Failure.h"
#include "PgConnection.h"
#include "PgTestServer.h"

namespace {

QString text16(Statement& st, int col) {
    const auto t = st.columnText16(col);
    return QString(reinterpret_cast<const QChar*>(t.data()), qsizetype(t.size()));
}

QByteArray text8(Statement& st, int col) {
    const auto t = st.columnText8(col);
    return QByteArray(t.data(), qsizetype(t.size()));
}

// The first column of the only row of a statement.
QString scalar(Connection& c, const QString& sql) {
    auto st = c.prepare(sql);
    if (!st->step()) return QStringLiteral("(no row)");
    return text16(*st, 0);
}

QByteArray allBytes() {
    QByteArray b;
    for (int i = 0; i < 256; ++i) b.append(char(i));
    return b;
}

}  // namespace

Q_DECLARE_METATYPE(Statement::ValueType)

class TestPgConnection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void marksParametersAsSqliteDoes_data();
    void marksParametersAsSqliteDoes();
    void roundTripsValues_data();
    void roundTripsValues();
    void keepsQuoteLadenTextAsValue();
    void reusesStatementAfterReset();
    void sharesParsedStatementsUntilTheSchemaChanges();
    void countsChangedRows();
    void givesIdentityValueAsLastInsertId();
    void findsTableWhateverLetterCase_data();
    void findsTableWhateverLetterCase();
    void readsTableColumns();
    void typesParametersTheirFirstUseLeavesOpen_data();
    void typesParametersTheirFirstUseLeavesOpen();
    void matchesNamesWhateverLetterCase_data();
    void matchesNamesWhateverLetterCase();
    void readsDeclaredTypeAndTableOfColumns();
    void reportsServerText_data();
    void reportsServerText();
    void reportsUnreachableServerWithLibpqText();
    void neverShowsPassword_data();
    void neverShowsPassword();
    void dataVersionMovesWhenAnotherConnectionCommits();

private:
    std::unique_ptr<PgConnection> connect();

    // Stopped when the suite ends, also a failed or aborted one.
    PgTestServer m_server;
};

void TestPgConnection::initTestCase() {
    qRegisterMetaType<Statement::ValueType>();
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
}

void TestPgConnection::cleanupTestCase() {
    m_server.stop();
}

std::unique_ptr<PgConnection> TestPgConnection::connect() {
    auto c = std::make_unique<PgConnection>(m_server.conninfo());
    c->open();
    return c;
}

void TestPgConnection::init() {
    // Every case starts from an empty schema.
    m_server.clear();
}

void TestPgConnection::marksParametersAsSqliteDoes_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<QString>("result");

    QTest::newRow("question marks")
        << QStringLiteral("SELECT ?::int * 10 + ?::int") << QStringList{QString(), QString()}
        << QVariantList{4, 2} << QStringLiteral("42");
    QTest::newRow("a name used twice is one parameter")
        << QStringLiteral("SELECT :a::int * 100 + :b::int * 10 + :a::int")
        << QStringList{QStringLiteral(":a"), QStringLiteral(":b")} << QVariantList{1, 2}
        << QStringLiteral("121");
    QTest::newRow("names and question marks numbered in turn")
        << QStringLiteral("SELECT ?::text || :x::text || ?::text || :x::text")
        << QStringList{QString(), QStringLiteral(":x"), QString()}
        << QVariantList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}
        << QStringLiteral("abcb");
    QTest::newRow("numbered question marks")
        << QStringLiteral("SELECT ?2::text || ?1::text")
        << QStringList{QStringLiteral("?1"), QStringLiteral("?2")}
        << QVariantList{QStringLiteral("a"), QStringLiteral("b")} << QStringLiteral("ba");
    QTest::newRow("a name in a string literal")
        << QStringLiteral("SELECT ':x ?' || :y::text") << QStringList{QStringLiteral(":y")}
        << QVariantList{QStringLiteral("z")} << QStringLiteral(":x ?z");
    QTest::newRow("a doubled quote inside a literal")
        << QStringLiteral("SELECT 'it''s :x' || ?::text") << QStringList{QString()}
        << QVariantList{QStringLiteral("!")} << QStringLiteral("it's :x!");
    QTest::newRow("an escaped quote inside an E literal")
        << QStringLiteral("SELECT E'it\\'s :x ?' || ?::text") << QStringList{QString()}
        << QVariantList{QStringLiteral("!")} << QStringLiteral("it's :x ?!");
    QTest::newRow("a dollar-quoted literal")
        << QStringLiteral("SELECT $q$ :x ? 'a $q$ || :y::text") << QStringList{QStringLiteral(":y")}
        << QVariantList{QStringLiteral("z")} << QStringLiteral(" :x ? 'a z");
    QTest::newRow("a name in a quoted name")
        << QStringLiteral("SELECT v FROM (SELECT :v::text AS \":w ?\") AS t(v)")
        << QStringList{QStringLiteral(":v")} << QVariantList{QStringLiteral("z")}
        << QStringLiteral("z");
    QTest::newRow("names in comments")
        << QStringLiteral("SELECT /* :a ? /* nested :b */ ? */ ?::text -- :c ?\n")
        << QStringList{QString()} << QVariantList{QStringLiteral("z")} << QStringLiteral("z");
    QTest::newRow("a cast is not a name")
        << QStringLiteral("SELECT '5'::int + :n::int") << QStringList{QStringLiteral(":n")}
        << QVariantList{1} << QStringLiteral("6");
    QTest::newRow("a Cyrillic name")
        << QStringLiteral("SELECT :имя::text || :Имя::text")
        << QStringList{QStringLiteral(":имя"), QStringLiteral(":Имя")}
        << QVariantList{QStringLiteral("Иван"), QStringLiteral("!")} << QStringLiteral("Иван!");
    QTest::newRow("a value with nothing around it")
        << QStringLiteral("SELECT ?") << QStringList{QString()} << QVariantList{QStringLiteral("z")}
        << QStringLiteral("z");
    QTest::newRow("no parameters") << QStringLiteral("SELECT '?' || ':a' || '::'") << QStringList{}
                                   << QVariantList{} << QStringLiteral("?:a::");
}

void TestPgConnection::marksParametersAsSqliteDoes() {
    QFETCH(QString, sql);
    QFETCH(QStringList, names);
    QFETCH(QVariantList, values);
    QFETCH(QString, result);

    auto c = connect();
    auto st = c->prepare(sql);
    QCOMPARE(st->parameterCount(), names.size());
    QStringList got;
    for (int i = 1; i <= st->parameterCount(); ++i) got << st->parameterName(i);
    QCOMPARE(got, names);
    for (int i = 0; i < values.size(); ++i) st->bindValue(i + 1, values[i]);
    QVERIFY(st->step());
    QCOMPARE(text16(*st, 0), result);
    QVERIFY(!st->step());
}

void TestPgConnection::roundTripsValues_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<Statement::ValueType>("valueType");

    using VT = Statement::ValueType;
    QTest::newRow("null") << QStringLiteral("integer") << QVariant() << VT::Null;
    QTest::newRow("null text") << QStringLiteral("text") << QVariant() << VT::Null;
    QTest::newRow("largest bigint")
        << QStringLiteral("bigint") << QVariant(std::numeric_limits<qlonglong>::max())
        << VT::Integer;
    QTest::newRow("smallest bigint")
        << QStringLiteral("bigint") << QVariant(std::numeric_limits<qlonglong>::min())
        << VT::Integer;
    QTest::newRow("negative smallint") << QStringLiteral("smallint") << QVariant(-1) << VT::Integer;
    QTest::newRow("boolean") << QStringLiteral("boolean") << QVariant(true) << VT::Integer;
    QTest::newRow("a tenth") << QStringLiteral("double precision") << QVariant(0.1) << VT::Float;
    QTest::newRow("huge double") << QStringLiteral("double precision") << QVariant(-1.5e300)
                                 << VT::Float;
    QTest::newRow("tiny double") << QStringLiteral("double precision") << QVariant(4.9e-324)
                                 << VT::Float;
    QTest::newRow("infinity") << QStringLiteral("double precision")
                              << QVariant(std::numeric_limits<double>::infinity()) << VT::Float;
    QTest::newRow("numeric") << QStringLiteral("numeric(4,1)") << QVariant(12.5) << VT::Float;
    QTest::newRow("Cyrillic text")
        << QStringLiteral("varchar(40)") << QVariant(QStringLiteral("Ёлкина Наталья Юрьевна"))
        << VT::Text;
    QTest::newRow("backslashes and quotes")
        << QStringLiteral("text") << QVariant(QStringLiteral("C:\\путь\\'x' \"y\" $$ E'\\''"))
        << VT::Text;
    QTest::newRow("empty text") << QStringLiteral("text") << QVariant(QStringLiteral(""))
                                << VT::Text;
    QTest::newRow("date") << QStringLiteral("date") << QVariant(QDate(2024, 9, 1)) << VT::Text;
    QTest::newRow("every byte") << QStringLiteral("bytea") << QVariant(allBytes()) << VT::Blob;
    QTest::newRow("no bytes") << QStringLiteral("bytea") << QVariant(QByteArray("")) << VT::Blob;
}

void TestPgConnection::roundTripsValues() {
    QFETCH(QString, type);
    QFETCH(QVariant, value);
    QFETCH(Statement::ValueType, valueType);

    auto c = connect();
    c->execute(QStringLiteral("CREATE TABLE v (x %1)").arg(type));
    auto insert = c->prepare(QStringLiteral("INSERT INTO v (x) VALUES (:x)"));
    insert->bindValue(1, value);
    QVERIFY(!insert->step());
    QCOMPARE(c->changes(), 1);

    auto st = c->prepare(QStringLiteral("SELECT x FROM v"));
    QVERIFY(st->step());
    QCOMPARE(st->columnType(0), valueType);
    switch (valueType) {
        case Statement::ValueType::Null:
            QCOMPARE(st->columnInt64(0), int64_t(0));
            QVERIFY(st->columnText8(0).empty());
            QVERIFY(st->columnValue(0).isNull());
            break;
        case Statement::ValueType::Integer:
            QCOMPARE(qlonglong(st->columnInt64(0)), value.toLongLong());
            QCOMPARE(st->columnValue(0), QVariant(value.toLongLong()));
            break;
        case Statement::ValueType::Float:
            QCOMPARE(st->columnDouble(0), value.toDouble());
            QCOMPARE(std::signbit(st->columnDouble(0)), std::signbit(value.toDouble()));
            break;
        case Statement::ValueType::Text: {
            const QString expected = value.typeId() == QMetaType::QDate
                                         ? value.toDate().toString(Qt::ISODate)
                                         : value.toString();
            QCOMPARE(text16(*st, 0), expected);
            QCOMPARE(text8(*st, 0), expected.toUtf8());
            break;
        }
        case Statement::ValueType::Blob:
            QCOMPARE(text8(*st, 0), value.toByteArray());
            break;
    }
    QVERIFY(!st->step());
}

void TestPgConnection::keepsQuoteLadenTextAsValue() {
    auto c = connect();
    c->execute(
        QStringLiteral("CREATE TABLE people (name text); CREATE TABLE victim (n int);"
                       "INSERT INTO people VALUES ('Иванов')"));
    const QString attack = QStringLiteral("x'); DROP TABLE victim; --");
    auto insert = c->prepare(QStringLiteral("INSERT INTO people (name) VALUES (?)"));
    insert->bind(1, attack);
    insert->step();
    auto find = c->prepare(QStringLiteral("SELECT count(*) FROM people WHERE name = ?"));
    find->bind(1, QStringLiteral("' OR '1'='1"));
    QVERIFY(find->step());
    QCOMPARE(find->columnInt64(0), int64_t(0));
    QCOMPARE(scalar(*c, QStringLiteral("SELECT name FROM people WHERE name <> 'Иванов'")), attack);
    QCOMPARE(c->tableName(QStringLiteral("victim")), QStringLiteral("victim"));
}

void TestPgConnection::reusesStatementAfterReset() {
    auto c = connect();
    c->execute(QStringLiteral("CREATE TABLE marks (n int, who text)"));
    auto insert = c->prepare(QStringLiteral("INSERT INTO marks (n, who) VALUES (?, ?)"));
    const QStringList who{QStringLiteral("Аня"), QStringLiteral("Боря"), QStringLiteral("Вера")};
    for (int i = 0; i < who.size(); ++i) {
        insert->bind(1, int64_t(i + 3));
        insert->bind(2, who[i]);
        QVERIFY(!insert->step());
        insert->reset();
    }
    // Reset clears the bindings: an unbound parameter is null.
    QVERIFY(!insert->step());

    auto st = c->prepare(QStringLiteral("SELECT who FROM marks WHERE n >= ? ORDER BY n"));
    st->bind(1, int64_t(4));
    QStringList first;
    while (st->step()) first << text16(*st, 0);
    QCOMPARE(first, (QStringList{QStringLiteral("Боря"), QStringLiteral("Вера")}));
    st->reset();
    st->bind(1, int64_t(5));
    QStringList second;
    while (st->step()) second << text16(*st, 0);
    QCOMPARE(second, QStringList{QStringLiteral("Вера")});
    QCOMPARE(scalar(*c, QStringLiteral("SELECT count(*) FROM marks WHERE n IS NULL")),
             QStringLiteral("1"));
}

void TestPgConnection::sharesParsedStatementsUntilTheSchemaChanges() {
    auto c = connect();
    c->execute(QStringLiteral("CREATE TABLE t (a int); INSERT INTO t VALUES (1), (2)"));
    const QString sql = QStringLiteral("SELECT * FROM t WHERE a >= ? ORDER BY a");
    // Two statements of one text at once, each with its own values and rows.
    auto first = c->prepare(sql);
    auto second = c->prepare(sql);
    first->bind(1, int64_t(1));
    second->bind(1, int64_t(2));
    QVERIFY(first->step());
    QVERIFY(second->step());
    QCOMPARE(text16(*first, 0), QStringLiteral("1"));
    QCOMPARE(text16(*second, 0), QStringLiteral("2"));
    QVERIFY(first->step());
    QVERIFY(!second->step());
    first.reset();
    // The other statement of the text still runs after the first is gone.
    second->reset();
    second->bind(1, int64_t(0));
    QVERIFY(second->step());
    second.reset();

    // A column added by this connection or by another shows in the same text.
    c->execute(QStringLiteral("ALTER TABLE t ADD COLUMN b text DEFAULT 'x'"));
    auto after = c->prepare(sql);
    after->bind(1, int64_t(2));
    QVERIFY(after->step());
    QCOMPARE(after->columnCount(), 2);
    QCOMPARE(text16(*after, 1), QStringLiteral("x"));
    after.reset();
    connect()->execute(QStringLiteral("ALTER TABLE t ADD COLUMN c int DEFAULT 7"));
    auto again = c->prepare(sql);
    again->bind(1, int64_t(2));
    QVERIFY(again->step());
    QCOMPARE(again->columnCount(), 3);
    QCOMPARE(text16(*again, 2), QStringLiteral("7"));
}

void TestPgConnection::countsChangedRows() {
    auto c = connect();
    QCOMPARE(c->totalChanges(), int64_t(0));
    c->execute(
        QStringLiteral("CREATE TABLE t (n int); INSERT INTO t VALUES (1), (2), (3);"
                       "INSERT INTO t VALUES (4)"));
    QCOMPARE(c->changes(), 1);
    QCOMPARE(c->totalChanges(), int64_t(4));

    auto update = c->prepare(QStringLiteral("UPDATE t SET n = n + 1 WHERE n > ?"));
    update->bind(1, int64_t(1));
    update->step();
    QCOMPARE(c->changes(), 3);
    QCOMPARE(c->totalChanges(), int64_t(7));

    // A query changes nothing and leaves the last count standing.
    scalar(*c, QStringLiteral("SELECT count(*) FROM t"));
    QCOMPARE(c->changes(), 3);

    auto remove = c->prepare(QStringLiteral("DELETE FROM t WHERE n = ? RETURNING n"));
    remove->bind(1, int64_t(5));
    QVERIFY(remove->step());
    QCOMPARE(remove->columnInt64(0), int64_t(5));
    QCOMPARE(c->changes(), 1);
    remove->reset();
    remove->bind(1, int64_t(99));
    QVERIFY(!remove->step());
    QCOMPARE(c->changes(), 0);
    QCOMPARE(c->totalChanges(), int64_t(8));

    // Another connection's changes are its own.
    auto other = connect();
    other->execute(QStringLiteral("DELETE FROM t"));
    QCOMPARE(other->changes(), 3);
    QCOMPARE(c->totalChanges(), int64_t(8));
}

void TestPgConnection::givesIdentityValueAsLastInsertId() {
    auto c = connect();
    c->execute(QStringLiteral(
        "CREATE TABLE s (id bigint GENERATED ALWAYS AS IDENTITY (START WITH 41), fam text)"));
    // No sequence has given a value yet in this session.
    QCOMPARE(c->lastInsertId(), int64_t(0));
    auto insert = c->prepare(QStringLiteral("INSERT INTO s (fam) VALUES (?)"));
    insert->bind(1, QStringLiteral("Алексеев"));
    insert->step();
    QCOMPARE(c->lastInsertId(), int64_t(41));
    insert->reset();
    insert->bind(1, QStringLiteral("Борисова"));
    insert->step();
    QCOMPARE(c->lastInsertId(), int64_t(42));
    QCOMPARE(scalar(*c, QStringLiteral("SELECT fam FROM s WHERE id = 42")),
             QStringLiteral("Борисова"));

    // Asking where no value was given yet does not spoil a transaction in progress.
    auto fresh = connect();
    fresh->execute(QStringLiteral("BEGIN"));
    QCOMPARE(fresh->lastInsertId(), int64_t(0));
    fresh->execute(QStringLiteral("INSERT INTO s (fam) VALUES ('Волков')"));
    QCOMPARE(fresh->lastInsertId(), int64_t(43));
    fresh->execute(QStringLiteral("COMMIT"));
    QCOMPARE(scalar(*c, QStringLiteral("SELECT fam FROM s WHERE id = 43")),
             QStringLiteral("Волков"));
}

void TestPgConnection::findsTableWhateverLetterCase_data() {
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("found");

    QTest::newRow("as spelled") << QStringLiteral("Студенты группы")
                                << QStringLiteral("Студенты группы");
    QTest::newRow("other letter case")
        << QStringLiteral("сТУДЕНТЫ ГРУППЫ") << QStringLiteral("Студенты группы");
    QTest::newRow("Latin, other case") << QStringLiteral("PREPOD") << QStringLiteral("prepod");
    QTest::newRow("exact spelling wins") << QStringLiteral("Kurs") << QStringLiteral("Kurs");
    QTest::newRow("exact spelling wins, lower") << QStringLiteral("kurs") << QStringLiteral("kurs");
    QTest::newRow("a view") << QStringLiteral("ВСЕ") << QStringLiteral("все");
    QTest::newRow("missing") << QStringLiteral("Студенты") << QString();
    QTest::newRow("another schema") << QStringLiteral("pg_class") << QString();
}

void TestPgConnection::findsTableWhateverLetterCase() {
    QFETCH(QString, asked);
    QFETCH(QString, found);

    auto c = connect();
    c->execute(
        QStringLiteral("CREATE TABLE \"Студенты группы\" (n int); CREATE TABLE prepod (n int);"
                       "CREATE TABLE \"Kurs\" (n int); CREATE TABLE kurs (n int);"
                       "CREATE VIEW \"все\" AS SELECT n FROM prepod"));
    QCOMPARE(c->tableName(asked), found);
}

void TestPgConnection::readsTableColumns() {
    auto c = connect();
    c->execute(QStringLiteral(
        "CREATE TABLE \"Студенты группы\" (\"Код\" serial PRIMARY KEY, "
        "\"Фамилия студента\" varchar(30) NOT NULL, \"Kurs\" smallint, \"Оценка\" numeric(4,1),"
        "dropped int, photo bytea, rowid bigint GENERATED BY DEFAULT AS IDENTITY UNIQUE);"
        "ALTER TABLE \"Студенты группы\" DROP COLUMN dropped"));
    const auto cols = c->tableColumns(QStringLiteral("студенты ГРУППЫ"));
    QStringList got;
    for (const auto& col : cols)
        got << QStringLiteral("%1|%2|%3")
                   .arg(col.name, col.declType, col.primaryKey ? QStringLiteral("pk") : QString());
    QCOMPARE(got,
             (QStringList{QStringLiteral("Код|integer|pk"),
                          QStringLiteral("Фамилия студента|character varying(30)|"),
                          QStringLiteral("Kurs|smallint|"), QStringLiteral("Оценка|numeric(4,1)|"),
                          QStringLiteral("photo|bytea|")}));
    QVERIFY(c->tableColumns(QStringLiteral("нет такой")).empty());

    c->execute(QStringLiteral("CREATE TABLE pair (a int, b int, c text, PRIMARY KEY (b, a))"));
    QStringList keys;
    for (const auto& col : c->tableColumns(QStringLiteral("PAIR")))
        if (col.primaryKey) keys << col.name;
    QCOMPARE(keys, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

void TestPgConnection::typesParametersTheirFirstUseLeavesOpen_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("declared");  // "NAME=type" a query declares, or none

    const QString byNumber = QStringLiteral("SELECT count(*) FROM g WHERE :G IS NULL OR n = :G");
    QTest::newRow("an integer, given") << byNumber << QVariantList{2} << QStringLiteral("1") << QString();
    QTest::newRow("an integer, null")
        << byNumber << QVariantList{QVariant()} << QStringLiteral("3") << QString();
    QTest::newRow("a date") << QStringLiteral("SELECT count(*) FROM g WHERE :D IS NULL OR d = :D")
                            << QVariantList{QStringLiteral("2024-01-02")} << QStringLiteral("1") << QString();
    QTest::newRow("a text") << QStringLiteral("SELECT count(*) FROM g WHERE :S IS NULL OR s = :S")
                            << QVariantList{QStringLiteral("b")} << QStringLiteral("1") << QString();
    QTest::newRow("two of them") << QStringLiteral(
                                        "SELECT count(*) FROM g WHERE (:A IS NULL OR n = :A) AND "
                                        "(:B IS NULL OR s = :B)")
                                 << QVariantList{QVariant(), QStringLiteral("c")}
                                 << QStringLiteral("1") << QString();
    QTest::newRow("nothing around it")
        << QStringLiteral("SELECT ?") << QVariantList{7} << QStringLiteral("7") << QString();
    // A declared type is the parameter's, whatever its first use leaves open.
    QTest::newRow("declared, nothing around it")
        << QStringLiteral("SELECT pg_typeof(:X)::text") << QVariantList{7}
        << QStringLiteral("bigint") << QStringLiteral("X=Integer");
    QTest::newRow("undeclared, nothing around it")
        << QStringLiteral("SELECT pg_typeof(:X)::text") << QVariantList{7}
        << QStringLiteral("text") << QString();
    QTest::newRow("a declared integer, null")
        << byNumber << QVariantList{QVariant()} << QStringLiteral("3") << QStringLiteral("G=Integer");
    QTest::newRow("a declared date") << QStringLiteral("SELECT count(*) FROM g WHERE :D IS NULL OR d = :D")
                                     << QVariantList{QStringLiteral("2024-01-02")} << QStringLiteral("1")
                                     << QStringLiteral("D=DateTime");
}

void TestPgConnection::typesParametersTheirFirstUseLeavesOpen() {
    QFETCH(QString, sql);
    QFETCH(QVariantList, values);
    QFETCH(QString, result);
    QFETCH(QString, declared);

    auto c = connect();
    c->execute(
        QStringLiteral("CREATE TABLE g (n integer, d timestamp, s text);"
                       "INSERT INTO g VALUES (1, '2024-01-01', 'a'), (2, '2024-01-02', 'b'),"
                       "(3, '2024-01-03', 'c')"));
    ParameterTypes types;
    if (!declared.isEmpty()) {
        const QString name = declared.section(u'=', 0, 0);
        const FieldType type = declared.endsWith(QLatin1String("Integer")) ? FieldType::Integer
                                                                           : FieldType::DateTime;
        types = [name, type](const QString& asked) -> std::optional<FieldType> {
            if (asked.compare(name, Qt::CaseInsensitive) == 0) return type;
            return std::nullopt;
        };
    }
    auto st = c->prepare(sql, types);
    for (int i = 0; i < values.size(); ++i) st->bindValue(i + 1, values[i]);
    QVERIFY(st->step());
    QCOMPARE(text16(*st, 0), result);
}

void TestPgConnection::matchesNamesWhateverLetterCase_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("result");

    QTest::newRow("bare names in another case")
        << QStringLiteral("Select fam From studenti where id_group = :ID_G")
        << QStringLiteral("Иванов");
    QTest::newRow("quoted names in another case")
        << QStringLiteral("SELECT \"FAM\" FROM \"STUDENTI\" WHERE \"Id_Group\" = ?")
        << QStringLiteral("Иванов");
    QTest::newRow("Cyrillic names in another case")
        << QStringLiteral("SELECT \"ФАМИЛИЯ\" FROM студенты WHERE ID_GROUP = ?")
        << QStringLiteral("Петров");
    QTest::newRow("a table and its column spelt alike but for case")
        << QStringLiteral("SELECT id_kontrol FROM id_kontrol WHERE ID_KONTROL = ?")
        << QStringLiteral("1");
    QTest::newRow("the column of the table named, where another spells it otherwise")
        << QStringLiteral("SELECT count(*) FROM gruppa WHERE id_group = ?") << QStringLiteral("1");
    QTest::newRow("a column named as another table")
        << QStringLiteral("SELECT count(*) FROM studenti, id_kontrol k WHERE ID_KONTROL = ?")
        << QStringLiteral("2");
    QTest::newRow("qualified names")
        << QStringLiteral("SELECT s.fam FROM studenti s WHERE s.ID_GROUP = ?")
        << QStringLiteral("Иванов");
    QTest::newRow("function names stay functions")
        << QStringLiteral("SELECT upper(fam) || count(*) OVER () FROM studenti WHERE id_group = ?")
        << QStringLiteral("ИВАНОВ1");
    QTest::newRow("type names after a cast stay types")
        << QStringLiteral("SELECT '2024-09-01'::date + 0 * ?::int FROM ocenki")
        << QStringLiteral("2024-09-01");
    QTest::newRow("a typed literal stays a literal")
        << QStringLiteral("SELECT DATE '2024-09-02' + 0 * ?::int FROM ocenki")
        << QStringLiteral("2024-09-02");
    QTest::newRow("the hidden row key as written")
        << QStringLiteral("SELECT rowid FROM \"Ocenki\" WHERE rowid = ?") << QStringLiteral("1");
    QTest::newRow("names in strings stay text")
        << QStringLiteral("SELECT 'studenti fam' || ? FROM studenti LIMIT 1")
        << QStringLiteral("studenti fam1");
}

void TestPgConnection::matchesNamesWhateverLetterCase() {
    QFETCH(QString, sql);
    QFETCH(QString, result);

    auto c = connect();
    c->execute(QStringLiteral(
        "CREATE TABLE \"Studenti\" (rowid bigint GENERATED BY DEFAULT AS IDENTITY UNIQUE, "
        "\"Fam\" varchar(30), \"ID_group\" integer);"
        "CREATE TABLE \"Gruppa\" (\"ID_GRoup\" integer, \"Nazvanie\" text);"
        "CREATE TABLE \"ID_kontrol\" (\"ID_KONTROL\" integer);"
        "INSERT INTO \"ID_kontrol\" VALUES (1);"
        "CREATE TABLE \"Студенты\" (\"Фамилия\" text, \"Id_Group\" integer);"
        "CREATE TABLE \"Ocenki\" (rowid bigint GENERATED BY DEFAULT AS IDENTITY UNIQUE, "
        "\"Date\" timestamp);"
        "INSERT INTO \"Studenti\" (\"Fam\", \"ID_group\") VALUES ('Иванов', 1), ('Сидоров', 2);"
        "INSERT INTO \"Gruppa\" VALUES (1, 'П-1'); INSERT INTO \"Студенты\" VALUES ('Петров', 1);"
        "INSERT INTO \"Ocenki\" (\"Date\") VALUES ('2024-01-01')"));
    auto st = c->prepare(sql);
    st->bindValue(1, 1);
    QVERIFY(st->step());
    QCOMPARE(text16(*st, 0), result);

    // A table made after the first statement is known at once, also before its column list.
    c->execute(QStringLiteral("CREATE TABLE \"Kafedra\" (\"Nazvanie\" text)"));
    auto insert = c->prepare(QStringLiteral("INSERT INTO kafedra(nazvanie) VALUES (?)"));
    insert->bindValue(1, QStringLiteral("Физики"));
    insert->step();
    QCOMPARE(scalar(*c, QStringLiteral("SELECT count(nazvanie) + 5 FROM kafedra")),
             QStringLiteral("6"));
}

void TestPgConnection::readsDeclaredTypeAndTableOfColumns() {
    auto c = connect();
    c->execute(QStringLiteral(
        "CREATE TABLE \"Студенты группы\" (\"Код\" serial PRIMARY KEY, "
        "\"Фамилия студента\" varchar(30), kurs smallint);"
        "CREATE TABLE grp (id int, title varchar(10));"
        "INSERT INTO \"Студенты группы\" (\"Фамилия студента\", kurs) VALUES ('Ершов', 2)"));
    // Known before the first step, as the engine declares fields from them.
    auto st = c->prepare(QStringLiteral(
        "SELECT s.\"Фамилия студента\", s.kurs, s.kurs + 1 AS next, 'x' AS lit, g.title "
        "FROM \"Студенты группы\" s LEFT JOIN grp g ON g.id = s.kurs"));
    QCOMPARE(st->columnCount(), 5);
    QStringList got;
    for (int i = 0; i < st->columnCount(); ++i)
        got << QStringLiteral("%1|%2|%3")
                   .arg(st->columnName(i), st->columnDeclType(i), st->columnTable(i));
    QCOMPARE(got, (QStringList{
                      QStringLiteral("Фамилия студента|character varying(30)|Студенты группы"),
                      QStringLiteral("kurs|smallint|Студенты группы"), QStringLiteral("next||"),
                      QStringLiteral("lit||"), QStringLiteral("title|character varying(10)|grp")}));
    QVERIFY(st->step());
    QCOMPARE(text16(*st, 0), QStringLiteral("Ершов"));
    QCOMPARE(st->columnType(1), Statement::ValueType::Integer);
    QCOMPARE(st->columnInt64(2), int64_t(3));
    QCOMPARE(st->columnType(4), Statement::ValueType::Null);
    QCOMPARE(st->columnDeclType(0), QStringLiteral("character varying(30)"));
}

void TestPgConnection::reportsServerText_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("throughExecute");
    QTest::addColumn<QString>("text");

    const QString table = QStringLiteral(
        "CREATE TABLE u (n int PRIMARY KEY, name text NOT NULL);"
        "INSERT INTO u VALUES (1, 'a')");
    // The server's words come in its own language; its code is the same in every one.
    QTest::newRow("syntax") << table << QStringLiteral("SELEC 1") << false
                            << QStringLiteral("SQLSTATE 42601");
    QTest::newRow("missing table") << table << QStringLiteral("SELECT * FROM \"нет таблицы\"")
                                   << false << QStringLiteral("SQLSTATE 42P01");
    QTest::newRow("division by zero") << table << QStringLiteral("SELECT 1 / (n - 1) FROM u")
                                      << false << QStringLiteral("SQLSTATE 22012");
    QTest::newRow("duplicate key") << table << QStringLiteral("INSERT INTO u VALUES (1, 'b')")
                                   << false << QStringLiteral("SQLSTATE 23505");
    QTest::newRow("required value") << table << QStringLiteral("INSERT INTO u (n) VALUES (2)")
                                    << false << QStringLiteral("SQLSTATE 23502");
    QTest::newRow("the second of several statements")
        << table << QStringLiteral("UPDATE u SET name = 'c'; SELEC 2") << true
        << QStringLiteral("SQLSTATE 42601");
    QTest::newRow("empty statement") << table << QStringLiteral(" -- nothing\n") << false
                                     << QStringLiteral("The statement is empty");
}

void TestPgConnection::reportsServerText() {
    QFETCH(QString, setup);
    QFETCH(QString, sql);
    QFETCH(bool, throughExecute);
    QFETCH(QString, text);

    auto c = connect();
    c->execute(setup);
    const auto run = [&] {
        if (throughExecute) return c->execute(sql);
        auto st = c->prepare(sql);
        while (st->step()) {
        }
    };
    QCOMPARE(failureIdOf(run), text);
    // The server's own words, whole and trimmed.
    const QString failure = failureOf(run);
    QVERIFY(!failure.isEmpty() && failure != noFailure);
    QCOMPARE(failure, failure.trimmed());
    // The connection goes on; a failed statement wrote nothing.
    QCOMPARE(scalar(*c, QStringLiteral("SELECT string_agg(n || name, ',') FROM u")),
             QStringLiteral("1a"));
}

void TestPgConnection::reportsUnreachableServerWithLibpqText() {
    QTemporaryDir nowhere;
    QVERIFY(nowhere.isValid());
    const QString conninfo = QStringLiteral("host=%1 dbname=postgres").arg(nowhere.path());
    PgConnection c(conninfo);
    const QString failure = failureOf([&] { c.open(); });
    const QString expected =
        QStringLiteral(
            "Cannot open database \"%1\": connection to server on socket \"%2/.s.PGSQL.5432\" "
            "failed: No such file or directory")
            .arg(conninfo, nowhere.path());
    QVERIFY2(failure.startsWith(expected), qPrintable(failure));
    QVERIFY(!c.isOpen());
    // A statement on a connection that cannot open fails the same way.
    QCOMPARE(failureOf([&] { c.prepare(QStringLiteral("SELECT 1")); }), failure);
}

void TestPgConnection::neverShowsPassword_data() {
    QTest::addColumn<QString>("conninfo");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("reason");

    const QString dir = m_server.folder();
    static const QRegularExpression userRe(QStringLiteral("user=(\\S+)"));
    const QString user = userRe.match(m_server.conninfo()).captured(1);
    const QString encoded = QString::fromUtf8(QUrl::toPercentEncoding(dir));
    QTest::newRow("keyword") << QStringLiteral("host=%1 port=1 password=s3cr3t-Пароль").arg(dir)
                             << QStringLiteral("host=%1 port=1").arg(dir)
                             << QStringLiteral("connection to server on socket");
    QTest::newRow("quoted, with spaces")
        << QStringLiteral("password = 'my s3cr3t \\' x' host=%1 port=1").arg(dir)
        << QStringLiteral("host=%1 port=1").arg(dir) << QStringLiteral("connection to server");
    QTest::newRow("in a URI")
        << QStringLiteral("postgresql://%1:s3cr3t@/nosuchdb?host=%2").arg(user, encoded)
        << QStringLiteral("user=%1 dbname=nosuchdb host=%2").arg(user, dir)
        // The server names the database in its own language: the name is what is sure.
        << QStringLiteral("\"nosuchdb\"");
    QTest::newRow("a server that answers")
        << QStringLiteral("host=%1 dbname=nosuchdb password=s3cr3t user=%2").arg(dir, user)
        << QStringLiteral("user=%1 dbname=nosuchdb host=%2").arg(user, dir)
        << QStringLiteral("\"nosuchdb\"");
    QTest::newRow("a string libpq cannot read")
        << QStringLiteral("host=%1 password=s3cr3t s3cr3t").arg(dir)
        << QStringLiteral("host=%1 password=***").arg(dir)
        << QStringLiteral("missing \"=\" after \"***\"");
    QTest::newRow("a URI libpq cannot read")
        << QStringLiteral("postgresql://nobody:s3cr3t@/db?x=%zz")
        << QStringLiteral("postgresql://nobody:***@/db?x=%zz")
        << QStringLiteral("invalid percent-encoded token");
}

void TestPgConnection::neverShowsPassword() {
    QFETCH(QString, conninfo);
    QFETCH(QString, shown);
    QFETCH(QString, reason);

    PgConnection c(conninfo);
    const QString failure = failureOf([&] { c.open(); });
    QVERIFY2(!failure.contains(QLatin1String("s3cr3t")), qPrintable(failure));
    if (!shown.isEmpty())
        QVERIFY2(failure.startsWith(QStringLiteral("Cannot open database \"%1\": ").arg(shown)),
                 qPrintable(failure));
    QVERIFY2(failure.startsWith(QLatin1String("Cannot open database \"")), qPrintable(failure));
    QVERIFY2(failure.contains(reason), qPrintable(failure));
}

void TestPgConnection::dataVersionMovesWhenAnotherConnectionCommits() {
    auto c = connect();
    auto other = connect();
    c->execute(QStringLiteral("CREATE TABLE t (n int)"));
    const DataVersion start = c->dataVersion();
    // Reading, here or at another desk, changes nothing.
    scalar(*other, QStringLiteral("SELECT count(*) FROM t"));
    QCOMPARE(c->dataVersion(), start);

    other->execute(QStringLiteral("INSERT INTO t VALUES (1)"));
    const DataVersion afterOther = c->dataVersion();
    QVERIFY(!(afterOther == start));
    QCOMPARE(afterOther.own, start.own);
    QCOMPARE(c->dataVersion(), afterOther);

    // Another desk's transaction counts once it commits, and a rolled-back one moves it too.
    other->execute(QStringLiteral("BEGIN; INSERT INTO t VALUES (2)"));
    const DataVersion during = c->dataVersion();
    other->execute(QStringLiteral("COMMIT"));
    QVERIFY(!(c->dataVersion() == during));
    const DataVersion beforeRollback = c->dataVersion();
    other->execute(QStringLiteral("BEGIN; DELETE FROM t; ROLLBACK"));
    QVERIFY(!(c->dataVersion() == beforeRollback));

    // This connection's own rows move it as well.
    const DataVersion beforeOwn = c->dataVersion();
    c->execute(QStringLiteral("INSERT INTO t VALUES (3)"));
    const DataVersion afterOwn = c->dataVersion();
    QVERIFY(!(afterOwn == beforeOwn));
    QCOMPARE(afterOwn.own, beforeOwn.own + 1);
}

QTEST_GUILESS_MAIN(TestPgConnection)
#include "tst_pg_connection.moc"
