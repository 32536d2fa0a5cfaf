// The import of a Jet database. The public Jet files arrive cell by cell as
// mdb-export reads them from the same file; the program's tables are found by
// name whatever the letter case, keep their keys, and a value that does not fit
// stops the import with a message naming the table, the row and the value,
// leaving no destination behind.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <optional>

#include "Connection.h"
#include "DataError.h"
#include "DbTool.h"
#include "Import.h"
#include "JetReader.h"

using namespace dbtools;

namespace {

const QString JetFolder = QStringLiteral(TESSALY_JET_TESTDATA);

// The rows of one table as mdb-export gives them, dates in ISO form, binary as hex.
struct Export {
    QStringList header;
    std::vector<std::vector<std::optional<QString>>> rows;  // nullopt: an unquoted empty cell
};

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// CSV with double-quoted text, quotes doubled inside and line breaks kept.
Export parseCsv(const QString& csv) {
    Export out;
    std::vector<std::optional<QString>> row;
    QString cell;
    bool quoted = false, inQuotes = false, any = false;
    auto endCell = [&] {
        if (quoted || !cell.isEmpty())
            row.push_back(cell);
        else
            row.push_back(std::nullopt);
        cell.clear();
        quoted = false;
    };
    auto endRow = [&] {
        endCell();
        if (out.header.isEmpty())
            for (const auto& c : row) out.header << c.value_or(QString());
        else
            out.rows.push_back(row);
        row.clear();
        any = false;
    };
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const QChar ch = csv[i];
        if (inQuotes) {
            if (ch == QLatin1Char('"')) {
                if (i + 1 < csv.size() && csv[i + 1] == QLatin1Char('"')) {
                    cell += ch;
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                cell += ch;
            }
            continue;
        }
        any = true;
        if (ch == QLatin1Char('"')) {
            inQuotes = quoted = true;
        } else if (ch == QLatin1Char(',')) {
            endCell();
        } else if (ch == QLatin1Char('\n')) {
            endRow();
        } else {
            cell += ch;
        }
    }
    if (any) endRow();
    return out;
}

Export mdbExport(const QString& file, const QString& table) {
    const QString iso = QStringLiteral("%Y-%m-%d %H:%M:%S");
    return parseCsv(run(QStringLiteral("mdb-export"),
                        {QStringLiteral("-D"), iso, QStringLiteral("-T"), iso, QStringLiteral("-b"),
                         QStringLiteral("hex"), file, table}));
}

// One cell read back from the imported file, as text that can be set beside mdb-export's.
struct Cell {
    QString type;  // SQLite's typeof()
    QString text;  // the value; blobs as hex
};

// What mdb-export shows and what the import stored mean the same value.
bool sameValue(const std::optional<QString>& exported, const Cell& stored) {
    if (!exported) return stored.type == QLatin1String("null");
    const QString& e = *exported;
    if (stored.type == QLatin1String("integer"))
        return e == stored.text || e.toDouble() == stored.text.toDouble();
    if (stored.type == QLatin1String("real")) return e.toDouble() == stored.text.toDouble();
    if (stored.type == QLatin1String("blob")) return e == stored.text;
    if (stored.type == QLatin1String("text")) {
        // A date without time of day is stored as the date alone.
        if (e.endsWith(QLatin1String(" 00:00:00")) && e.size() == 19)
            return e.left(10) == stored.text;
        return e == stored.text;
    }
    return false;
}

QStringList columnsOf(SqliteConnection& c, const QString& table) {
    QStringList out;
    for (const auto& col : c.tableColumns(table)) out << col.name;
    return out;
}

std::vector<std::vector<Cell>> cellsOf(SqliteConnection& c, const QString& table) {
    std::vector<std::vector<Cell>> out;
    QStringList parts;
    const QStringList names = columnsOf(c, table);
    for (const QString& n : names)
        parts << QStringLiteral("typeof(%1), CASE typeof(%1) WHEN 'blob' THEN hex(%1) ELSE %1 END")
                     .arg(quoteIdentifier(n));
    auto st = c.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                            .arg(parts.join(QStringLiteral(", ")), quoteIdentifier(table)));
    while (st->step()) {
        std::vector<Cell> row;
        for (int i = 0; i < names.size(); ++i)
            row.push_back(
                {st->columnValue(2 * i).toString(), st->columnValue(2 * i + 1).toString()});
        out.push_back(row);
    }
    return out;
}

// Jet rows made in memory, for the program's mapping.
class FixtureReader final : public JetReader {
public:
    struct Table {
        JetTable def;
        std::vector<JetRow> rows;
    };
    std::vector<Table> content;

    Table& add(const QString& name, std::vector<JetColumn> columns) {
        content.push_back({{name, std::move(columns)}, {}});
        return content.back();
    }
    Table& table(const QString& name) {
        for (Table& t : content)
            if (t.def.name.compare(name, Qt::CaseInsensitive) == 0) return t;
        qFatal("no fixture table %s", qPrintable(name));
    }

    std::vector<JetTable> tables() override {
        std::vector<JetTable> out;
        for (const Table& t : content) out.push_back(t.def);
        return out;
    }
    void readRows(const QString& name, const std::function<void(const JetRow&)>& row) override {
        for (const Table& t : content)
            if (t.def.name == name)
                for (const JetRow& r : t.rows) row(r);
    }
};

JetColumn text(const char* name, int size = 50) {
    return {QString::fromUtf8(name), JetType::Text, size, false};
}
JetColumn longInt(const char* name, bool counter = false) {
    return {QString::fromUtf8(name), JetType::LongInteger, 4, counter};
}
JetColumn date(const char* name) {
    return {QString::fromUtf8(name), JetType::DateTime, 8, false};
}
QVariant day(int y, int m, int d) {
    return QDateTime(QDate(y, m, d), QTime(0, 0));
}
QVariant t(const char* s) {
    return QString::fromUtf8(s);
}

// An office's file as another program kept it: names in other letter cases, a
// column and a table of its own, counters with gaps.
FixtureReader officeFile() {
    FixtureReader r;
    auto& students = r.add(QStringLiteral("STUDENTI"),
                           {text("n_STUDENT"),
                            text("FAM", 30),
                            text("name", 20),
                            date("birthdate"),
                            longInt("Id_Group"),
                            {QStringLiteral("PODGROUPE"), JetType::Integer, 2, false},
                            text("Hobby")});
    students.rows = {{t("A1"), t("Иванов"), t("Пётр"), day(2005, 3, 14), 42, 1, t("шахматы")},
                     {t("A2"), t("Петрова"), QVariant(), QVariant(), 7, QVariant(), QVariant()}};
    auto& groups = r.add(QStringLiteral("gruppa"),
                         {longInt("ID_GROUP", true), text("NAZVANIE"), text("id_specialnost")});
    groups.rows = {{7, t("ИВТ-23"), t("090301")}, {42, t("ПИ-24"), t("090304")}};
    auto& teachers = r.add(QString::fromUtf8("Prepodavateli"),
                           {longInt("id_prepod"), text("ФАМИЛИЯ", 255), date("день РОЖДЕНИЯ")});
    teachers.rows = {{3, t("Сидоров"), day(1970, 5, 1)}};
    auto& grades =
        r.add(QStringLiteral("Ocenki"), {text("N_STUDENT"), date("DATE"), longInt("id_result"),
                                         longInt("ID_PLAN"), longInt("semestr")});
    grades.rows = {{t("A1"), day(2024, 1, 15), 2, 5, 1}};
    auto& own = r.add(QString::fromUtf8("Расписание"), {text("День"), text("Пара")});
    own.rows = {{t("пн"), t("1")}, {t("вт"), t("2")}};
    return r;
}

qint64 scalar(SqliteConnection& c, const QString& sql) {
    auto st = c.prepare(sql);
    return st->step() ? st->columnInt64(0) : -1;
}

}  // namespace

class ImportTest : public QObject {
    Q_OBJECT

private slots:
    void jetFilesArriveAsMdbExportReadsThem_data() {
        QTest::addColumn<QString>("file");
        for (const char* f :
             {"nwind.mdb", "testV2000.mdb", "test2V2000.mdb", "testUnicodeCompV2003.mdb"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }
    void jetFilesArriveAsMdbExportReadsThem() {
        QFETCH(QString, file);
        const QString source = JetFolder + QLatin1Char('/') + file;
        QTemporaryDir dir;
        const QString dest = dir.filePath(QStringLiteral("all.sqlite"));
        const QString report = importMdb(source, dest, ImportScope::AllTables);

        const QStringList tables = run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), source})
                                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(!tables.isEmpty(), "mdb-tables lists no table");
        SqliteConnection c(dest);
        c.open();
        for (const QString& table : tables) {
            const Export exported = mdbExport(source, table);
            QVERIFY2(!exported.header.isEmpty(), qPrintable(table));
            QCOMPARE(columnsOf(c, table), exported.header);
            const auto stored = cellsOf(c, table);
            QCOMPARE(stored.size(), exported.rows.size());
            for (size_t r = 0; r < stored.size(); ++r)
                for (qsizetype col = 0; col < exported.header.size(); ++col) {
                    const auto& e = exported.rows[r][size_t(col)];
                    const Cell& s = stored[r][size_t(col)];
                    QVERIFY2(
                        sameValue(e, s),
                        qPrintable(
                            QStringLiteral("%1 row %2 %3: mdb-export \"%4\", stored %5 \"%6\"")
                                .arg(table)
                                .arg(r + 1)
                                .arg(exported.header[col], e.value_or(QStringLiteral("(null)")),
                                     s.type, s.text.left(80))));
                }
            QVERIFY2(
                report.contains(
                    QStringLiteral("%1: %2 rows read, %2 written").arg(table).arg(stored.size())),
                qPrintable(report));
        }
    }

    void compressedUnicodeKeepsItsRussianText() {
        QTemporaryDir dir;
        const QString dest = dir.filePath(QStringLiteral("u.sqlite"));
        importMdb(JetFolder + QStringLiteral("/testUnicodeCompV2003.mdb"), dest,
                  ImportScope::AllTables);
        SqliteConnection c(dest);
        c.open();
        QCOMPARE(scalar(c, QString::fromUtf8(
                               "SELECT count(*) FROM \"Table\" WHERE \"Unicode\" = 'Мир'")),
                 1);
    }

    void programTablesAreFoundByNameAndKeepTheirKeys() {
        FixtureReader source = officeFile();
        QTemporaryDir dir;
        const QString dest = dir.filePath(QStringLiteral("verdikon.mdb"));
        const QString report =
            importFrom(source, QStringLiteral("office.mdb"), dest, ImportScope::ProgramTables);
        // The file is complete on its own, and it is one the program opens.
        QVERIFY(!QFileInfo::exists(dest + QStringLiteral("-wal")));
        QCOMPARE(check(dest).problems, QStringList());
        SqliteConnection c(dest);
        c.open();
        auto st = c.prepare(QStringLiteral(
            "SELECT s.Fam, s.Name, s.BirthDate, g.Nazvanie, s.PodGroupe FROM Studenti s "
            "JOIN Gruppa g ON g.ID_GRoup = s.ID_group ORDER BY s.N_student"));
        QStringList rows;
        while (st->step()) {
            QStringList cells;
            for (int i = 0; i < 5; ++i) cells << st->columnValue(i).toString();
            rows << cells.join(QLatin1Char('|'));
        }
        // The links between tables hold through the kept counters.
        QCOMPARE(rows, QStringList({QString::fromUtf8("Иванов|Пётр|2005-03-14|ПИ-24|1"),
                                    QString::fromUtf8("Петрова|||ИВТ-23|")}));
        QCOMPARE(scalar(c, QString::fromUtf8(
                               "SELECT count(*) FROM Prepodavateli WHERE \"День рождения\" = "
                               "'1970-05-01' AND \"Фамилия\" = 'Сидоров' AND ID_Prepod = 3")),
                 1);
        QCOMPARE(scalar(c, QStringLiteral("SELECT count(*) FROM Ocenki WHERE N_student = 'A1' AND "
                                          "Date = '2024-01-15' AND ID_Plan = 5")),
                 1);
        // A new group continues above the highest counter that came over.
        c.execute(QString::fromUtf8("INSERT INTO Gruppa (Nazvanie) VALUES ('МАТ-25')"));
        QCOMPARE(c.lastInsertId(), 43);

        for (const QString& line :
             {QStringLiteral("Studenti: 2 rows read, 2 written"),
              QStringLiteral("Gruppa: 2 rows read, 2 written"),
              QStringLiteral("column STUDENTI.Hobby is not one of the program's"),
              QString::fromUtf8("table Расписание is not one of the program's: its 2 rows"),
              QStringLiteral("table Kafedra is not in the source"),
              QStringLiteral("column Studenti.SecName is not in the source")})
            QVERIFY2(report.contains(line), qPrintable(line + QStringLiteral("\n---\n") + report));
    }

    void valuesThatDoNotFitStopTheImport_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("column");  // in the fixture's table; -1 repeats its first row
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QStringList>("named");
        const QString students = QStringLiteral("STUDENTI");
        QTest::newRow("text too long")
            << students << 1 << t("Константинопольская-Преображенская")
            << QStringList{QStringLiteral("Studenti"), QStringLiteral("N_student \"A1\""),
                           QString::fromUtf8("Константинопольская-Преображенская"),
                           QStringLiteral("30")};
        QTest::newRow("small integer out of range")
            << students << 5 << QVariant(40000)
            << QStringList{QStringLiteral("Studenti"), QStringLiteral("\"A1\""),
                           QStringLiteral("PodGroupe 40000")};
        QTest::newRow("integer beyond 32 bits")
            << students << 4 << t("2147483648")
            << QStringList{QStringLiteral("\"A1\""), QStringLiteral("ID_group 2147483648")};
        QTest::newRow("letters for a number")
            << students << 4 << t("сорок")
            << QStringList{QStringLiteral("\"A1\""), QString::fromUtf8("\"сорок\"")};
        QTest::newRow("no such day")
            << students << 3 << t("31.02.2024")
            << QStringList{QStringLiteral("\"A1\""), QStringLiteral("BirthDate \"31.02.2024\"")};
        QTest::newRow("not a date")
            << students << 3 << t("весной")
            << QStringList{QStringLiteral("\"A1\""), QString::fromUtf8("\"весной\"")};
        QTest::newRow("same student twice")
            << students << -1 << QVariant()
            << QStringList{QStringLiteral("Studenti"), QStringLiteral("rows 1 and 3"),
                           QStringLiteral("N_student \"A1\"")};
        QTest::newRow("same counter twice")
            << QStringLiteral("gruppa") << -1 << QVariant()
            << QStringList{QStringLiteral("Gruppa"), QStringLiteral("ID_GRoup \"7\"")};
        QTest::newRow("a key left empty")
            << students << 0 << QVariant()
            << QStringList{QStringLiteral("Studenti, row 1"), QStringLiteral("N_student is empty")};
        QTest::newRow("keyless row by its number")
            << QStringLiteral("Ocenki") << 2 << t("5+")
            << QStringList{QStringLiteral("Ocenki, row 1"), QStringLiteral("ID_Result \"5+\"")};
    }
    void valuesThatDoNotFitStopTheImport() {
        QFETCH(QString, table);
        QFETCH(int, column);
        QFETCH(QVariant, value);
        QFETCH(QStringList, named);
        FixtureReader source = officeFile();
        auto& rows = source.table(table).rows;
        if (column < 0)
            rows.push_back(rows.front());
        else
            rows.front()[size_t(column)] = value;
        QTemporaryDir dir;
        const QString dest = dir.filePath(QStringLiteral("verdikon.mdb"));
        QString message;
        try {
            importFrom(source, QStringLiteral("office.mdb"), dest, ImportScope::ProgramTables);
        } catch (const DataError& e) {
            message = e.text();
        }
        QVERIFY2(!message.isEmpty(), "the import went through");
        for (const QString& part : named) QVERIFY2(message.contains(part), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("office.mdb")), qPrintable(message));
        // Nothing is left behind: no destination, no half-built file beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
    }

    void refusedSourcesAndDestinations_data() {
        QTest::addColumn<QString>("source");  // relative to the temporary folder, or a test file
        QTest::addColumn<bool>("destExists");
        QTest::addColumn<QString>("named");
        QTest::newRow("destination exists") << JetFolder + QStringLiteral("/testV2000.mdb") << true
                                            << QStringLiteral("already exists");
        QTest::newRow("no such source")
            << QStringLiteral("@/missing.mdb") << false << QStringLiteral("does not exist");
        QTest::newRow("not a Jet file")
            << QStringLiteral("@/notes.mdb") << false << QStringLiteral("is not a Jet database");
    }
    void refusedSourcesAndDestinations() {
        QFETCH(QString, source);
        QFETCH(bool, destExists);
        QFETCH(QString, named);
        QTemporaryDir dir;
        source.replace(QLatin1Char('@'), dir.path());
        {
            QFile notes(dir.filePath(QStringLiteral("notes.mdb")));
            QVERIFY(notes.open(QIODevice::WriteOnly));
            notes.write(QByteArray(4096, 'x'));
        }
        const QString dest = dir.filePath(QStringLiteral("verdikon.mdb"));
        const QByteArray before("an office's own file");
        if (destExists) {
            QFile f(dest);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(before);
        }
        QString message;
        try {
            importMdb(source, dest, ImportScope::ProgramTables);
        } catch (const DataError& e) {
            message = e.text();
        }
        QVERIFY2(message.contains(named), qPrintable(message));
        if (destExists) {
            QFile f(dest);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), before);
        } else {
            QVERIFY(!QFileInfo::exists(dest));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), destExists ? 2 : 1);
    }
};

QTEST_GUILESS_MAIN(ImportTest)
#include "tst_import.moc"
