// The command line of tessaly-db and the create and check commands. Usage
// errors exit 2 with the usage on stderr; a failure of the work exits 1 with one
// message naming the path; success exits 0 with a one-line summary on stdout.
#include "DbTool.h"

#include <QFileInfo>
#include <cstdio>
#include <map>

#include "Backup.h"
#include "Catalog.h"
#include "Copy.h"
#include "DataError.h"
#include "DemoData.h"
#include "Generate.h"
#include "History.h"
#include "Import.h"
#include "Journal.h"
#include "PgConnection.h"
#include "Print.h"
#include "Schema.h"

namespace dbtools {

namespace {
void print(std::FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

int64_t count(Connection& c, const QString& table) {
    auto st = c.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(quoteIdentifier(table)));
    return st->step() ? st->columnInt64(0) : 0;
}

QString summary(const QString& path, const Contents& n, const QString& verdict) {
    return QStringLiteral("%1: %2, %3 tables%4, %5 students, %6 grades\n")
        .arg(path, verdict)
        .arg(n.tables)
        .arg(n.journal ? QStringLiteral(" and the journal") : QString())
        .arg(n.students)
        .arg(n.grades);
}

Contents contentsOf(const QString& path) {
    SqliteConnection c(path);
    c.open();
    return contents(c);
}

struct UsageError {
    QString text;
};

struct CommandLine {
    QString command;
    QString path;            // the first positional argument
    QStringList positional;  // all of them, in order
    QList<bool> servers;     // whether each positional argument came as --server CONNINFO
    std::map<QString, QString> options;
    QStringList flags;
    bool has(const char* flag) const { return flags.contains(QLatin1String(flag)); }
    Location location(qsizetype i) const { return {positional[i], servers[i]}; }
    QString option(const char* name) const {
        const auto it = options.find(QLatin1String(name));
        return it == options.end() ? QString() : it->second;
    }
};

struct CommandForm {
    QStringList arguments;  // the names of the positional arguments, for messages
    QStringList options;    // options that carry a value
    QStringList flags;      // options without one
    bool servers = false;   // a positional argument may be --server CONNINFO instead
};

const QString ServerOption = QStringLiteral("--server");

const std::map<QString, CommandForm>& knownCommands() {
    const QString path = QStringLiteral("PATH");
    static const std::map<QString, CommandForm> all = {
        {QStringLiteral("create"), {{path}, {}, {}, true}},
        {QStringLiteral("demo"), {{path}, {QStringLiteral("--photos")}, {}}},
        {QStringLiteral("check"), {{path}, {}, {}, true}},
        {QStringLiteral("copy"),
         {{QStringLiteral("SOURCE"), QStringLiteral("DEST")}, {}, {}, true}},
        {QStringLiteral("generate"), {{path}, {QStringLiteral("--students")}, {}}},
        {QStringLiteral("upgrade"), {{path}, {}, {}}},
        {QStringLiteral("history"),
         {{path},
          {QStringLiteral("--table"), QStringLiteral("--key"), QStringLiteral("--since")},
          {}}},
        {QStringLiteral("undelete"), {{path, QStringLiteral("ID")}, {}, {}}},
        {QStringLiteral("prune"), {{path}, {QStringLiteral("--before")}, {}}},
        {QStringLiteral("import-mdb"),
         {{QStringLiteral("SOURCE"), QStringLiteral("DEST")}, {}, {QStringLiteral("--all")}}},
        {QStringLiteral("backup"),
         {{QStringLiteral("DB"), QStringLiteral("ARCHIVE")}, {QStringLiteral("--photos")}, {}}},
        {QStringLiteral("print"),
         {{QStringLiteral("KIND"), QStringLiteral("DB")},
          {QStringLiteral("--pdf"), QStringLiteral("--group"), QStringLiteral("--faculty"),
           QStringLiteral("--discipline"), QStringLiteral("--examiner"),
           QStringLiteral("--student"), QStringLiteral("--teacher"), QStringLiteral("--semester"),
           QStringLiteral("--year"), QStringLiteral("--photos")},
          {QStringLiteral("--credit"), QStringLiteral("--all-groups")}}},
        {QStringLiteral("restore"),
         {{QStringLiteral("ARCHIVE"), QStringLiteral("DB")},
          {QStringLiteral("--photos")},
          {QStringLiteral("--force")}}},
    };
    return all;
}

CommandLine parse(const QStringList& args) {
    if (args.isEmpty()) throw UsageError{QStringLiteral("no command given")};
    CommandLine line;
    line.command = args.first();
    const auto known = knownCommands().find(line.command);
    if (known == knownCommands().end())
        throw UsageError{QStringLiteral("unknown command \"%1\"").arg(line.command)};
    const CommandForm& form = known->second;
    QStringList& positional = line.positional;
    bool optionsEnd = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (optionsEnd || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            positional << a;
            line.servers << false;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? a : a.left(eq);
        if (form.servers && name == ServerOption) {
            // A server database stands where a file's path would, as often as there are paths.
            QString value;
            if (eq >= 0)
                value = a.mid(eq + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            if (value.trimmed().isEmpty())
                throw UsageError{QStringLiteral("%1 needs a connection string").arg(name)};
            positional << value;
            line.servers << true;
            continue;
        }
        if (form.flags.contains(name)) {
            if (eq >= 0) throw UsageError{QStringLiteral("%1 takes no value").arg(name)};
            if (line.flags.contains(name))
                throw UsageError{QStringLiteral("%1 is given twice").arg(name)};
            line.flags << name;
            continue;
        }
        if (!form.options.contains(name))
            throw UsageError{
                QStringLiteral("unknown option \"%1\" for %2").arg(name, line.command)};
        if (line.options.count(name))
            throw UsageError{QStringLiteral("%1 is given twice").arg(name)};
        QString value;
        if (eq >= 0)
            value = a.mid(eq + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        if (value.isEmpty()) throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
        line.options[name] = value;
    }
    if (positional.size() < form.arguments.size())
        throw UsageError{
            QStringLiteral("%1 needs the %2").arg(line.command, form.arguments[positional.size()])};
    if (positional.size() > form.arguments.size())
        throw UsageError{
            QStringLiteral("unexpected argument \"%1\"").arg(positional[form.arguments.size()])};
    for (qsizetype i = 0; i < positional.size(); ++i)
        if (positional[i].isEmpty())
            throw UsageError{QStringLiteral("the %1 is empty").arg(form.arguments[i])};
    line.path = positional.first();
    return line;
}

int studentsOption(const CommandLine& line) {
    const auto it = line.options.find(QStringLiteral("--students"));
    if (it == line.options.end()) throw UsageError{QStringLiteral("generate needs --students N")};
    bool ok = false;
    const int n = it->second.toInt(&ok);
    if (!ok || n < 1 || n > MaxGeneratedStudents)
        throw UsageError{QStringLiteral("--students needs a whole number from 1 to %1, not \"%2\"")
                             .arg(MaxGeneratedStudents)
                             .arg(it->second)};
    return n;
}

QDate dateOption(const CommandLine& line, const char* name, bool required) {
    const QString text = line.option(name);
    if (text.isEmpty()) {
        if (required)
            throw UsageError{
                QStringLiteral("%1 needs %2 dd.MM.yyyy").arg(line.command, QLatin1String(name))};
        return {};
    }
    const QDate d = QDate::fromString(text, QStringLiteral("d.M.yyyy"));
    if (!d.isValid())
        throw UsageError{QStringLiteral("%1 needs a date as dd.MM.yyyy, not \"%2\"")
                             .arg(QLatin1String(name), text)};
    return d;
}

qint64 journalLine(const CommandLine& line) {
    bool ok = false;
    const qint64 id = line.positional[1].toLongLong(&ok);
    if (!ok || id < 1)
        throw UsageError{QStringLiteral("the ID is a journal line's number, not \"%1\"")
                             .arg(line.positional[1])};
    return id;
}

int perform(const CommandLine& line) {
    const QString& path = line.path;
    if (line.command == QLatin1String("copy")) {
        const Location source = line.location(0), dest = line.location(1);
        const CopySummary n = copyDatabase(source, dest);
        print(stdout, QStringLiteral("%1: copied into %2, %3 tables, %4 rows, %5 journal lines\n")
                          .arg(shown(source), shown(dest))
                          .arg(n.tables)
                          .arg(n.rows)
                          .arg(n.journal));
        return Done;
    }
    if (line.command == QLatin1String("create") && line.servers.first()) {
        createOnServer(path);
        PgConnection c(path);
        c.open();
        print(stdout,
              summary(PgConnection::shownConninfo(path), contents(c), QStringLiteral("created")));
        return Done;
    }
    if (line.command == QLatin1String("create")) {
        createEmpty(path);
        print(stdout, summary(path, contentsOf(path), QStringLiteral("created")));
        return Done;
    }
    if (line.command == QLatin1String("demo")) {
        const auto photos = line.options.find(QStringLiteral("--photos"));
        createDemo(path, photos == line.options.end() ? QString() : photos->second);
        print(stdout, summary(path, contentsOf(path), QStringLiteral("demo created")));
        return Done;
    }
    if (line.command == QLatin1String("generate")) {
        generate(path, studentsOption(line));
        print(stdout, summary(path, contentsOf(path), QStringLiteral("generated")));
        return Done;
    }
    if (line.command == QLatin1String("upgrade")) {
        print(stdout, upgrade(path));
        return Done;
    }
    if (line.command == QLatin1String("history")) {
        print(stdout, history(path, {line.option("--table"), line.option("--key"),
                                     dateOption(line, "--since", false)}));
        return Done;
    }
    if (line.command == QLatin1String("undelete")) {
        print(stdout, undelete(path, journalLine(line)));
        return Done;
    }
    if (line.command == QLatin1String("prune")) {
        print(stdout, prune(path, dateOption(line, "--before", true)));
        return Done;
    }
    if (line.command == QLatin1String("import-mdb")) {
        print(stdout,
              importMdb(line.positional[0], line.positional[1],
                        line.has("--all") ? ImportScope::AllTables : ImportScope::ProgramTables));
        return Done;
    }
    if (line.command == QLatin1String("print")) {
        PrintChoices choices;
        choices.group = line.option("--group");
        choices.faculty = line.option("--faculty");
        choices.discipline = line.option("--discipline");
        choices.examiner = line.option("--examiner");
        choices.student = line.option("--student");
        choices.teacher = line.option("--teacher");
        choices.semester = line.option("--semester");
        choices.year = line.option("--year");
        choices.photos = line.option("--photos");
        choices.credit = line.has("--credit");
        choices.allGroups = line.has("--all-groups");
        if (choices.allGroups && !choices.group.isEmpty())
            throw UsageError{QStringLiteral("--all-groups takes the groups of --faculty, not --group")};
        try {
            print(stdout, printDocument(line.positional[0], line.positional[1],
                                        line.option("--pdf"), choices));
        } catch (const PrintUsageError& e) {
            throw UsageError{QString::fromUtf8(e.what())};
        }
        return Done;
    }
    if (line.command == QLatin1String("backup")) {
        const QString& archive = line.positional[1];
        const backup::BackupSummary n =
            backup::backupDatabase(path, archive, line.option("--photos"));
        print(stdout, QStringLiteral("%1: backed up into %2, %3 tables, %4 rows, %5 photos, "
                                     "archive %6 bytes\n")
                          .arg(path, archive)
                          .arg(n.tables.size())
                          .arg(n.rows)
                          .arg(n.photos)
                          .arg(n.archiveBytes));
        return Done;
    }
    if (line.command == QLatin1String("restore")) {
        const QString& db = line.positional[1];
        const backup::RestoreSummary n =
            backup::restoreDatabase(path, db, line.option("--photos"), line.has("--force"));
        print(stdout, QStringLiteral("%1: restored from %2, %3 tables, %4 rows, %5 photos "
                                     "written, %6 already there\n")
                          .arg(db, path)
                          .arg(n.tables.size())
                          .arg(n.rows)
                          .arg(n.photos)
                          .arg(n.photosUnchanged));
        return Done;
    }
    const bool server = line.servers.first();
    const CheckReport report = server ? checkServer(path) : check(path);
    const QString name = server ? PgConnection::shownConninfo(path) : path;
    if (report.problems.isEmpty()) {
        print(stdout, summary(name, report.contents, QStringLiteral("ok")));
        return Done;
    }
    QString text;
    for (const QString& p : report.problems)
        text += name + QStringLiteral(": ") + p + QLatin1Char('\n');
    print(stderr, text);
    return Failed;
}
}  // namespace

void createEmpty(const QString& path) {
    NewDatabase db(path);
    db.finish();
}

Contents contents(Connection& c) {
    Contents n;
    auto st = c.prepare(
        c.dialect() == Connection::Dialect::Postgres
            ? QStringLiteral("SELECT count(*) FROM pg_class k "
                             "JOIN pg_namespace s ON s.oid = k.relnamespace "
                             "WHERE s.nspname = current_schema() AND k.relkind IN ('r', 'p') "
                             "AND lower(k.relname) <> lower(?)")
            : QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name NOT "
                             "LIKE 'sqlite\\_%' ESCAPE '\\' AND name <> ? COLLATE NOCASE"));
    st->bind(1, journal::tableName());
    if (st->step()) n.tables = int(st->columnInt64(0));
    n.journal = journal::complete(c);
    n.students = count(c, c.tableName(QStringLiteral("Studenti")));
    n.grades = count(c, c.tableName(QStringLiteral("Ocenki")));
    return n;
}

CheckReport check(const QString& path) {
    requireFile(path);

    CheckReport report;
    SqliteConnection c(path);
    // The validator runs before the open writes anything; a problem found stops the open,
    // so a damaged or foreign file is reported without being touched.
    c.setValidator([&report](Connection& conn) {
        auto integrity = conn.prepare(QStringLiteral("PRAGMA integrity_check"));
        while (integrity->step()) {
            // One finding may span lines, under a heading that names the database.
            const QStringList lines = integrity->columnValue(0).toString().split(QLatin1Char('\n'));
            for (const QString& line : lines) {
                const QString text = line.trimmed();
                if (text.isEmpty() || text == QLatin1String("ok") ||
                    text.startsWith(QLatin1String("***")))
                    continue;
                report.problems << QStringLiteral("integrity: ") + text;
            }
        }
        report.problems << schema::problems(conn);
        if (!report.problems.isEmpty())
            throw DataError(QStringLiteral("The file does not serve the program"));
        report.contents = contents(conn);
    });
    try {
        c.open();
    } catch (const DataError&) {
        if (report.problems.isEmpty()) throw;
    }
    return report;
}

CheckReport checkServer(const QString& conninfo) {
    CheckReport report;
    PgConnection c(conninfo);
    c.open();
    report.problems = schema::problems(c);
    if (report.problems.isEmpty()) report.contents = contents(c);
    return report;
}

QString usage() {
    return QStringLiteral(
               "usage: tessaly-db COMMAND ARGUMENTS [OPTIONS]\n"
               "Creates, fills and checks databases of the dean's office register.\n"
               "\n"
               "  create PATH                  a new database with the program's empty tables\n"
               "  create --server CONNINFO     the program's empty tables and the journal on\n"
               "                               an empty server database (PostgreSQL; CONNINFO\n"
               "                               as libpq reads it, \"host=… dbname=…\" or a URI)\n"
               "  demo PATH [--photos DIR]     a new database with a demonstration faculty;\n"
               "                               --photos also draws sample photos into DIR/Foto\n"
               "                               (students) and DIR/Foto/Prepod (teachers)\n"
               "  check PATH                   checks the file's integrity and tables\n"
               "  check --server CONNINFO      checks the server database's tables\n"
               "  copy SOURCE DEST             every row of the program's tables and the\n"
               "                               journal's lines from SOURCE into DEST, counters\n"
               "                               kept; each is a file PATH or --server CONNINFO;\n"
               "                               a DEST file must not exist, a DEST server\n"
               "                               database must hold no row (it gets the tables\n"
               "                               when it has none)\n"
               "  generate PATH --students N   a new database with N students (1 to %1),\n"
               "                               50 grades each, and a faculty in proportion\n"
               "  upgrade PATH                 adds the journal of changes to a database made\n"
               "                               without it; no row is changed\n"
               "  history PATH [--table T] [--key K] [--since dd.MM.yyyy]\n"
               "                               the journal of changes, oldest first\n"
               "  undelete PATH ID             puts back the row journal line ID deleted\n"
               "  prune PATH --before dd.MM.yyyy\n"
               "                               removes the journal's lines before that day\n"
               "  import-mdb SOURCE DEST [--all]\n"
               "                               the program's tables of the Jet file SOURCE\n"
               "                               (Access .mdb) into a new database DEST; --all\n"
               "                               takes every table of SOURCE as it stands\n"
               "  backup DB ARCHIVE [--photos DIR]\n"
               "                               a consistent copy of DB, with the photos of\n"
               "                               DIR/Foto and DIR/Foto/Prepod, into a new\n"
               "                               compressed archive with a checksum per file\n"
               "  restore ARCHIVE DB [--photos DIR] [--force]\n"
               "                               checks ARCHIVE whole, then puts its database at\n"
               "                               DB and its photos into DIR; --force replaces an\n"
               "                               existing database or photo\n"
               "  print KIND DB --pdf FILE [CHOICES]\n"
               "                               a document of the program as a PDF, as its\n"
               "                               preview prints it; KIND and its choices:\n"
               "      statement --group NAME --discipline NAME [--examiner SURNAME]\n"
               "                --semester N --year YYYY\n"
               "      statement --all-groups --faculty NAME --discipline NAME ...\n"
               "                               every group of the faculty, one PDF\n"
               "      sheet --student NUMBER --discipline NAME --semester N\n"
               "            [--examiner SURNAME] [--credit]\n"
               "      student-card --student NUMBER [--photos DIR]\n"
               "      teacher-card --teacher ID [--photos DIR]\n"
               "                               a name must name one row; --photos is the\n"
               "                               program folder whose Foto folders hold photos\n"
               "  --help                       this text\n"
               "\n"
               "create, demo, generate, import-mdb, backup and copy never overwrite an existing\n"
               "file; create and copy never write into a server database that holds the\n"
               "program's tables or rows.\n"
               "Exit status: 0 done, 1 the work failed (the message names the file), 2 wrong "
               "usage.\n")
        .arg(MaxGeneratedStudents);
}

int run(const QStringList& arguments) {
    const QStringList args = arguments.mid(1);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        print(stdout, usage());
        return Done;
    }
    try {
        return perform(parse(args));
    } catch (const UsageError& e) {
        print(stderr, QStringLiteral("tessaly-db: %1\n\n").arg(e.text) + usage());
        return WrongUsage;
    } catch (const std::exception& e) {
        print(stderr, QStringLiteral("tessaly-db: %1\n").arg(QString::fromUtf8(e.what())));
        return Failed;
    }
}

}  // namespace dbtools
