// The data module's datasets, fields, links and hooks, and its creation.
//
// Creation reports every failure through the general error display and goes
// on: one report for the connection, one for each dataset that fails to open
// (each tries to connect again), one for the creation step, whose remaining
// steps are then skipped. The connection checks the file against the schema
// before it writes anything, so a foreign database is refused unchanged.
#include "DM_Tessaly.h"

#include <cstdio>
#include <exception>
#include <vector>

#include <QFileInfo>

#include "Journal.h"
#include "Messages.h"
#include "PgConnection.h"
#include "References.h"
#include "Schema.h"

namespace {
using T = FieldType;

// A field's member and its object name, written once: FIELD(Q_StudentiFam).
#define FIELD(member) member, #member

Field& named(Field*& member, const char* object, Field& field) {
    member = &field;
    return field.setObjectName(QString::fromUtf8(object));
}

Field& data(Dataset* ds, Field*& member, const char* object, const char* name, FieldType type,
            int size = 0) {
    return named(member, object, ds->addDataField(QString::fromUtf8(name), type, size));
}

Field& lookup(Dataset* ds, Field*& member, const char* object, const char* name, FieldType type,
              int size, Dataset* from, const char* key, const char* fromKey, const char* result) {
    return named(
        member, object,
        ds->addLookupField(QString::fromUtf8(name), type, size, from, QString::fromUtf8(key),
                           QString::fromUtf8(fromKey), QString::fromUtf8(result)));
}

Field& calculated(Dataset* ds, Field*& member, const char* object, const char* name, FieldType type,
                  int size) {
    return named(member, object, ds->addCalculatedField(QString::fromUtf8(name), type, size));
}

QString label(const char* text) {
    return QString::fromUtf8(text);
}

void refreshShownCard(CardWindow* card) {
    if (card == nullptr || !card->isCardShown()) return;
    card->refreshCard();
}

// One above the highest number in the column, 1 in an empty table. Asked of
// the table, so that a filter or a master restriction on the dataset hides no
// number.
int nextNumber(Dataset& ds, const QString& table, const QString& column) {
    auto highest =
        ds.connection()->prepare(QStringLiteral("SELECT max(%1) FROM %2").arg(column, table));
    return highest->step() ? highest->columnValue(0).toInt() + 1 : 1;
}
}  // namespace

QString shortName(const QString& surname, const QString& name, const QString& patronymic) {
    return surname + QLatin1Char(' ') + name.left(1) + QLatin1Char('.') + patronymic.left(1) +
           QLatin1Char('.');
}

template <typename D>
D* TDM::make(const char* name) {
    auto* ds = new D(this);
    ds->setObjectName(QString::fromUtf8(name));
    ds->setConnection(&ADOConnection1);
    return ds;
}

DataSource* TDM::source(const char* name, Dataset* ds) {
    auto* s = new DataSource(this);
    s->setObjectName(QString::fromUtf8(name));
    s->setDataset(ds);
    return s;
}

// The grade sheet's fill and its looked-up columns read the plan query, which
// holds every plan row: a plan row stored or deleted through the plan table
// is read into it at once, so a plan built in the educational-process window
// fills a grade sheet while that window is still open. A dropped new row
// writes nothing and reads nothing again.
class TDM::PlanQueryFollower final : public DataLink {
public:
    explicit PlanQueryFollower(TDM* dm) : m_dm(dm) { setDataSource(dm->DS_PlanSpec); }

protected:
    void rowStored(int, int) override { follow(); }
    void rowsRemoved(int, int) override { follow(); }

private:
    void follow() {
        Dataset* plan = m_dm->Q_Plan_Spec;
        if (!plan->isActive()) return;
        const DataVersion now = plan->connection()->dataVersion();
        if (now == m_seen) return;
        m_seen = now;
        plan->refresh();
    }

    TDM* m_dm;
    DataVersion m_seen;
};

namespace {
// A database made before the journal existed gets it before the program's first
// write: its table and triggers only, no row of the program's tables touched.
void addJournal(Connection& c) {
    if (journal::complete(c)) return;
    try {
        // A damaged file is never written to; its fault is reported when it is read.
        if (c.dialect() == Connection::Dialect::Sqlite) {
            auto health = c.prepare(QStringLiteral("PRAGMA quick_check(1)"));
            if (!health->step() || health->columnValue(0).toString() != QLatin1String("ok")) return;
        }
        journal::add(c);
    } catch (const DataError& e) {
        // A file another program holds for writing: the register still opens, and the
        // journal is added on a later start.
        std::fprintf(stderr, "%s: the journal of changes could not be added: %s\n",
                     qPrintable(DM ? DM->databaseName() : QString()), e.what());
        return;
    }
    std::fprintf(stderr,
                 "%s: the journal of changes was added (the table Journal and its "
                 "triggers); no row was changed\n",
                 qPrintable(DM ? DM->databaseName() : QString()));
}
}  // namespace

namespace {
std::unique_ptr<Connection> connectionTo(const QString& server) {
    if (server.trimmed().isEmpty())
        return std::make_unique<SqliteConnection>(QString::fromUtf8(TDM::DataSourceName));
    return std::make_unique<PgConnection>(server.trimmed());
}
}  // namespace

TDM::TDM(QObject* parent, const QString& server) : TDM(parent, connectionTo(server)) {}

QString TDM::reportSql() {
    return QStringLiteral("Select Fam, Name, N_Student From Studenti where id_group=:ID_G");
}

TDM::TDM(QObject* parent, std::unique_ptr<Connection> connection)
    : QObject(parent), m_connection(std::move(connection)), ADOConnection1(*m_connection) {
    DM = this;
    setObjectName(QStringLiteral("DM"));
    ADOConnection1.setValidator([this](Connection& c) {
        const QStringList problems = schema::problems(c);
        if (problems.isEmpty()) {
            addJournal(c);
            return;
        }
        QStringList shown = problems.mid(0, 3);
        if (problems.size() > 3) shown << QStringLiteral("%1 more").arg(problems.size() - 3);
        const QString what = c.dialect() == Connection::Dialect::Sqlite
                                 ? QStringLiteral("The file \"%1\"")
                                 : QStringLiteral("The database \"%1\"");
        throw DataError(QStringLiteral("%1 is not a database of this program: %2")
                            .arg(what.arg(databaseName()), shown.join(QStringLiteral("; "))));
    });
    declare();
    m_planFollower = std::make_unique<PlanQueryFollower>(this);

    try {
        ADOConnection1.open();
    } catch (const std::exception& e) {
        platform::showError(e);
    }
    for (Dataset* ds : datasets()) {
        if (ds == Q_Report) continue;
        try {
            ds->open();
        } catch (const std::exception& e) {
            platform::showError(e);
        }
    }
    try {
        DataModuleCreate();
    } catch (const std::exception& e) {
        platform::showError(e);
    }
    // A dataset opened before the datasets its lookups read: its first row is read again.
    for (Dataset* ds : datasets())
        if (ds->isActive()) ds->recalculate();
}

QString TDM::databaseFile() const {
    const auto* file = dynamic_cast<const SqliteConnection*>(m_connection.get());
    return file ? QFileInfo(file->path()).absoluteFilePath() : QString();
}

QString TDM::databaseName() const {
    if (const auto* server = dynamic_cast<const PgConnection*>(m_connection.get()))
        return PgConnection::shownConninfo(server->conninfo());
    return QString::fromUtf8(DataSourceName);
}

TDM::~TDM() {
    m_planFollower.reset();
    // Nothing is stored on the way out. A pending row is dropped first: closing
    // its master would otherwise settle it, and a refused post cannot be
    // reported from here.
    for (Dataset* ds : datasets())
        if (ds->isEditing()) ds->cancel();
    // Details and lookups point at each other: close everything before any of it goes.
    for (Dataset* ds : datasets()) ds->close();
    ADOConnection1.close();
    if (DM == this) DM = nullptr;
}

void TDM::declare() {
    Q_Studenti = make<Query>("Q_Studenti");
    T_Parents = make<Table>("T_Parents");
    T_Ocenki = make<Table>("T_Ocenki");
    Q_Ocenki = make<Query>("Q_Ocenki");
    T_ID_Result = make<Table>("T_ID_Result");
    Q_Prepod = make<Query>("Q_Prepod");
    T_Zvanie = make<Table>("T_Zvanie");
    T_Dolgnost = make<Table>("T_Dolgnost");
    T_Stepen = make<Table>("T_Stepen");
    facultet = make<Table>("facultet");
    T_Spec = make<Table>("T_Spec");
    T_Kafedra = make<Table>("T_Kafedra");
    T_Gruppa = make<Table>("T_Gruppa");
    T_Disciplins = make<Table>("T_Disciplins");
    T_ID_Kontrol = make<Table>("T_ID_Kontrol");
    Q_Plan_Spec = make<Query>("Q_Plan_Spec");
    T_Plan_Spec = make<Table>("T_Plan_Spec");
    Q_Report = make<Query>("Q_Report");

    DS_Studenti = source("DS_Studenti", Q_Studenti);
    DS_Parents = source("DS_Parents", T_Parents);
    DS_Ocenki = source("DS_Ocenki", T_Ocenki);
    DS_ID_Result = source("DS_ID_Result", T_ID_Result);
    DS_Prepod = source("DS_Prepod", Q_Prepod);
    DS_Zvanie = source("DS_Zvanie", T_Zvanie);
    DS_Dolgnost = source("DS_Dolgnost", T_Dolgnost);
    DS_Stepen = source("DS_Stepen", T_Stepen);
    DS_facultet = source("DS_facultet", facultet);
    DS_Spec = source("DS_Spec", T_Spec);
    DS_Kafedra = source("DS_Kafedra", T_Kafedra);
    DS_Group = source("DS_Group", T_Gruppa);
    DS_Disciplins = source("DS_Disciplins", T_Disciplins);
    DS_ID_Kontrol = source("DS_ID_Kontrol", T_ID_Kontrol);
    DS_PlanSpec = source("DS_PlanSpec", T_Plan_Spec);
    DS_Report = source("DS_Report", Q_Report);

    // ---- students
    Q_Studenti->setSql(QStringLiteral("Select * From Studenti"));
    data(Q_Studenti, FIELD(Q_StudentiN_student), "N_student", T::Text, 50).setDisplayWidth(14);
    data(Q_Studenti, FIELD(Q_StudentiFam), "Fam", T::Text, 30).setLabel(label("Фамилия"));
    data(Q_Studenti, FIELD(Q_StudentiName), "Name", T::Text, 20).setLabel(label("Имя"));
    data(Q_Studenti, FIELD(Q_StudentiSecName), "SecName", T::Text, 20).setLabel(label("Отчество"));
    data(Q_Studenti, FIELD(Q_StudentiBirthDate), "BirthDate", T::DateTime)
        .setLabel(label("Дата Рождения"));
    data(Q_Studenti, FIELD(Q_StudentiSex), "Sex", T::Text, 50)
        .setLabel(label("Пол"))
        .setDisplayWidth(5);
    data(Q_Studenti, FIELD(Q_StudentiEnterDate), "EnterDate", T::DateTime)
        .setLabel(label("Дата поступления"))
        .setVisible(false);
    data(Q_Studenti, FIELD(Q_StudentiFamilyPosition), "FamilyPosition", T::Text, 50)
        .setVisible(false);
    data(Q_Studenti, FIELD(Q_StudentiEducation), "Education", T::Text, 50);
    data(Q_Studenti, FIELD(Q_StudentiCity), "City", T::Text, 20).setLabel(label("Город"));
    data(Q_Studenti, FIELD(Q_StudentiStreet), "Street", T::Text, 10).setLabel(label("Улица"));
    data(Q_Studenti, FIELD(Q_StudentiHouse), "House", T::Text, 50).setLabel(label("Дом"));
    data(Q_Studenti, FIELD(Q_StudentiApar), "Apar", T::Text, 50).setLabel(label("квартира"));
    data(Q_Studenti, FIELD(Q_StudentiType_Stud), "Type_Stud", T::Text, 50)
        .setLabel(label("Вид Обучения"));
    data(Q_Studenti, FIELD(Q_StudentiID_group), "ID_group", T::Integer).setVisible(false);
    data(Q_Studenti, FIELD(Q_StudentiPodGroupe), "PodGroupe", T::SmallInt);
    data(Q_Studenti, FIELD(Q_StudentiCitizen), "Citizen", T::Text, 50);
    data(Q_Studenti, FIELD(Q_StudentiFoto), "Foto", T::Text, 255);
    calculated(Q_Studenti, FIELD(Q_StudentiFIO), "FIO", T::Text, 20);
    lookup(Q_Studenti, FIELD(Q_StudentiID_Plan), "ID_Plan", T::Integer, 0, T_Spec, "ID_Spec",
           "ID_Spec", "ID_Plan");
    // The specialty code is text (codes may hold letters or a leading zero), so it is kept as text.
    lookup(Q_Studenti, FIELD(Q_StudentiID_Spec), "ID_Spec", T::Text, 50, T_Gruppa, "ID_group",
           "ID_GRoup", "ID_Specialnost");
    Q_Studenti->afterScroll = [this](Dataset& ds) { Q_StudentiAfterScroll(ds); };
    Q_Studenti->onCalcFields = [this](Dataset& ds) { Q_StudentiCalcFields(ds); };

    // ---- parents, following the current student
    T_Parents->setTableName(QStringLiteral("Parents"));
    T_Parents->setIndexFieldNames(QStringLiteral("N_Student"));
    data(T_Parents, FIELD(T_ParentsPFam), "PFam", T::Text, 30);
    data(T_Parents, FIELD(T_ParentsPname), "Pname", T::Text, 20);
    data(T_Parents, FIELD(T_ParentsPSecondName), "PSecondName", T::Text, 20);
    data(T_Parents, FIELD(T_ParentsCity), "City", T::Text, 20);
    data(T_Parents, FIELD(T_ParentsStreet), "Street", T::Text, 10);
    data(T_Parents, FIELD(T_ParentsHouse), "House", T::Text, 50);
    data(T_Parents, FIELD(T_ParentsApar), "Apar", T::Text, 50);
    data(T_Parents, FIELD(T_ParentsSex), "Sex", T::Text, 50);
    data(T_Parents, FIELD(T_ParentsN_Student), "N_Student", T::Text, 50);
    T_Parents->setMaster(DS_Studenti, QStringLiteral("N_student"));

    // ---- grades
    T_Ocenki->setTableName(QStringLiteral("Ocenki"));
    T_Ocenki->setIndexFieldNames(QStringLiteral("N_student"));
    // Record-book numbers are unique with letter case counted: "ab1" and "AB1" are
    // two students, and the grade sheet's filter keeps them apart.
    T_Ocenki->setFilterCaseSensitive(true);
    data(T_Ocenki, FIELD(T_OcenkiN_student), "N_student", T::Text, 50).setDisplayWidth(15);
    lookup(T_Ocenki, FIELD(T_OcenkiDIS), "DIS", T::Text, 20, Q_Plan_Spec, "ID_Plan", "ID_Plan",
           "DIS")
        .setDisplayWidth(8);
    lookup(T_Ocenki, FIELD(T_OcenkiKONTOL), "KONTOL", T::Text, 20, Q_Plan_Spec, "ID_Plan",
           "ID_Plan", "KONTROL")
        .setDisplayWidth(12);
    data(T_Ocenki, FIELD(T_OcenkiDate), "Date", T::DateTime).setDisplayWidth(10);
    lookup(T_Ocenki, FIELD(T_OcenkiResult), "Result", T::Text, 10, T_ID_Result, "ID_Result",
           "ID_Result", "Nazvanie")
        .setDisplayWidth(12);
    data(T_Ocenki, FIELD(T_OcenkiID_Result), "ID_Result", T::Integer).setDisplayWidth(12);
    data(T_Ocenki, FIELD(T_OcenkiID_Plan), "ID_Plan", T::Integer).setDisplayWidth(12);
    lookup(T_Ocenki, FIELD(T_OcenkiID_DISCIP), "ID_DISCIP", T::Text, 20, Q_Plan_Spec, "ID_Plan",
           "ID_Plan", "ID_Spec")
        .setDisplayWidth(24);
    data(T_Ocenki, FIELD(T_OcenkiSemestr), "Semestr", T::Integer);

    Q_Ocenki->setSql(QStringLiteral("Select * From Ocenki"));

    T_ID_Result->setTableName(QStringLiteral("ID_Result"));
    T_ID_Result->setIndexFieldNames(QStringLiteral("ID_Result"));
    data(T_ID_Result, FIELD(T_ID_ResultID_Result), "ID_Result", T::Integer);
    data(T_ID_Result, FIELD(T_ID_ResultNazvanie), "Nazvanie", T::Text, 50);
    data(T_ID_Result, FIELD(T_ID_ResultSokr_nazv), "Sokr_nazv", T::Text, 50);
    T_ID_Result->setMaster(DS_Ocenki, QStringLiteral("ID_Result"));

    // ---- teachers
    Q_Prepod->setSql(QStringLiteral("Select * from Prepodavateli"));
    data(Q_Prepod, FIELD(Q_PrepodID_Prepod), "ID_Prepod", T::Integer)
        .setRequired(true)
        .setDisplayFormat(QStringLiteral("#"))
        .setLabel(label("Код"))
        .setDisplayWidth(10)
        .setVisible(false);
    data(Q_Prepod, FIELD(Q_PrepodDSDesigner), "Фамилия", T::Text, 255).setDisplayWidth(54);
    data(Q_Prepod, FIELD(Q_PrepodDSDesigner2), "Имя", T::Text, 255).setDisplayWidth(40);
    data(Q_Prepod, FIELD(Q_PrepodDSDesigner3), "Отчество", T::Text, 255).setDisplayWidth(40);
    calculated(Q_Prepod, FIELD(Q_PrepodFIO), "FIO", T::Text, 60);
    data(Q_Prepod, FIELD(Q_PrepodDSDesigner5), "День рождения", T::DateTime).setDisplayWidth(40);
    data(Q_Prepod, FIELD(Q_PrepodDSDesigner6), "Место рожд", T::Text, 255).setDisplayWidth(60);
    data(Q_Prepod, FIELD(Q_PrepodDSDesigner7), "Пол", T::Text, 50).setDisplayWidth(60);
    data(Q_Prepod, FIELD(Q_PrepodDSDesigner8), "Гражданство", T::Text, 255).setDisplayWidth(60);
    lookup(Q_Prepod, FIELD(Q_PrepodDolgnost), "Dolgnost", T::Text, 50, T_Dolgnost, "Должность",
           "ID_Dolgnost", "NAME")
        .setDisplayWidth(40);
    lookup(Q_Prepod, FIELD(Q_PrepodZvanie), "Zvanie", T::Text, 100, T_Zvanie, "Звание", "ID_Zvanie",
           "NAME")
        .setDisplayWidth(40);
    lookup(Q_Prepod, FIELD(Q_PrepodN_Stepen), "N_Stepen", T::Text, 20, T_Stepen, "Степень",
           "ID_Stepen", "NAME")
        .setDisplayWidth(40);
    data(Q_Prepod, FIELD(Q_PrepodDSDesigner12), "Статус", T::Text, 255).setDisplayWidth(60);
    data(Q_Prepod, FIELD(Q_PrepodKur_Gr), "Kur_Gr", T::Integer).setDisplayWidth(40);
    data(Q_Prepod, FIELD(Q_PrepodID_kafedra), "ID_kafedra", T::Integer).setDisplayWidth(60);
    data(Q_Prepod, FIELD(Q_PrepodCity), "City", T::Text, 20).setDisplayWidth(40);
    data(Q_Prepod, FIELD(Q_PrepodStreet), "Street", T::Text, 10).setDisplayWidth(40);
    data(Q_Prepod, FIELD(Q_PrepodHouse), "House", T::Text, 50).setDisplayWidth(40);
    data(Q_Prepod, FIELD(Q_PrepodApar), "Apar", T::Text, 50).setDisplayWidth(40);
    data(Q_Prepod, FIELD(Q_PrepodFoto), "Foto", T::Text, 50).setDisplayWidth(60);
    lookup(Q_Prepod, FIELD(Q_PrepodKafedra), "Kafedra", T::Text, 100, T_Kafedra, "ID_kafedra",
           "ID_kafedra", "Nazvanie");
    data(Q_Prepod, FIELD(Q_PrepodDSDesigner11), "Звание", T::Text, 255)
        .setDisplayWidth(60)
        .setVisible(false);
    data(Q_Prepod, FIELD(Q_PrepodDSDesigner10), "Степень", T::Text, 255)
        .setDisplayWidth(60)
        .setVisible(false);
    data(Q_Prepod, FIELD(Q_PrepodDSDesigner9), "Должность", T::SmallInt)
        .setDisplayWidth(60)
        .setVisible(false);
    Q_Prepod->afterScroll = [this](Dataset& ds) { Q_PrepodAfterScroll(ds); };
    Q_Prepod->onCalcFields = [this](Dataset& ds) { Q_PrepodCalcFields(ds); };
    Q_Prepod->onNewRecord = [this](Dataset& ds) { Q_PrepodNewRecord(ds); };

    T_Zvanie->setTableName(QStringLiteral("N_Zvanie"));
    T_Zvanie->setIndexFieldNames(QStringLiteral("ID_Zvanie"));
    data(T_Zvanie, FIELD(T_ZvanieID_Zvanie), "ID_Zvanie", T::Counter).setLabel(label("Код"));
    data(T_Zvanie, FIELD(T_ZvanieNAME), "NAME", T::Text, 255)
        .setLabel(label("Название"))
        .setDisplayWidth(50);

    T_Dolgnost->setTableName(QStringLiteral("Dolgnost"));
    T_Dolgnost->setIndexFieldNames(QStringLiteral("ID_Dolgnost"));
    data(T_Dolgnost, FIELD(T_DolgnostSNAME), "SNAME", T::Text, 255);
    data(T_Dolgnost, FIELD(T_DolgnostNAME), "NAME", T::Text, 255);
    data(T_Dolgnost, FIELD(T_DolgnostID_Dolgnost), "ID_Dolgnost", T::Counter);

    T_Stepen->setTableName(QStringLiteral("N_Stepen"));
    T_Stepen->setIndexFieldNames(QStringLiteral("ID_Stepen"));
    data(T_Stepen, FIELD(T_StepenID_Stepen), "ID_Stepen", T::Counter).setLabel(label("код"));
    data(T_Stepen, FIELD(T_StepenSNAME), "SNAME", T::Text, 255)
        .setLabel(label("Сокр. назв"))
        .setDisplayWidth(20);
    data(T_Stepen, FIELD(T_StepenNAME), "NAME", T::Text, 255)
        .setLabel(label("Название"))
        .setDisplayWidth(50);

    // ---- the institution's structure
    facultet->setTableName(QStringLiteral("Facultet"));
    facultet->setIndexFieldNames(QStringLiteral("ID_Facultet"));
    data(facultet, FIELD(facultetID_Facultet), "ID_Facultet", T::Counter).setVisible(false);
    data(facultet, FIELD(facultetNazvanie), "Nazvanie", T::Text, 50).setDisplayWidth(35);
    data(facultet, FIELD(facultetID_Dekan), "ID_Dekan", T::Integer).setVisible(false);
    facultet->setKeepLookupsWhileEditing(true);

    T_Spec->setTableName(QStringLiteral("Specialnost"));
    T_Spec->setIndexFieldNames(QStringLiteral("ID_Facultet"));
    data(T_Spec, FIELD(T_SpecNazvanie), "Nazvanie", T::Text, 255)
        .setLabel(label("Название"))
        .setDisplayWidth(40);
    lookup(T_Spec, FIELD(T_SpecFacultet), "Facultet", T::Text, 20, facultet, "ID_Facultet",
           "ID_Facultet", "Nazvanie")
        .setLabel(label("Факультет"));
    data(T_Spec, FIELD(T_SpecID_Facultet), "ID_Facultet", T::Integer).setVisible(false);
    data(T_Spec, FIELD(T_SpecID_Spec), "ID_Spec", T::Text, 50).setVisible(false);
    lookup(T_Spec, FIELD(T_SpecID_Plan), "ID_Plan", T::Integer, 0, Q_Plan_Spec, "ID_Spec",
           "ID_Spec", "ID_Plan");
    T_Spec->setMaster(DS_facultet, QStringLiteral("ID_Facultet"));
    T_Spec->setKeepLookupsWhileEditing(true);

    T_Kafedra->setTableName(QStringLiteral("Kafedra"));
    T_Kafedra->setIndexFieldNames(QStringLiteral("ID_facultet"));
    data(T_Kafedra, FIELD(T_KafedraID_facultet), "ID_facultet", T::SmallInt)
        .setLabel(label("Код Факультета"))
        .setDisplayWidth(6)
        .setVisible(false);
    data(T_Kafedra, FIELD(T_KafedraNazvanie), "Nazvanie", T::Text, 50)
        .setLabel(label("Название"))
        .setDisplayWidth(60);
    data(T_Kafedra, FIELD(T_KafedraID_kafedra), "ID_kafedra", T::Integer)
        .setDisplayWidth(12)
        .setVisible(false);
    data(T_Kafedra, FIELD(T_KafedraZav_Kafedri), "Zav_Kafedri", T::SmallInt)
        .setLabel(label("Зав. Кафедры"))
        .setDisplayWidth(15)
        .setVisible(false);
    lookup(T_Kafedra, FIELD(T_KafedraFACULTET), "FACULTET", T::Text, 20, facultet, "ID_facultet",
           "ID_Facultet", "Nazvanie")
        .setLabel(label("Факультет"));
    T_Kafedra->setMaster(DS_facultet, QStringLiteral("ID_Facultet"));
    T_Kafedra->setKeepLookupsWhileEditing(true);
    T_Kafedra->onNewRecord = [this](Dataset& ds) { T_KafedraNewRecord(ds); };

    T_Gruppa->setTableName(QStringLiteral("Gruppa"));
    T_Gruppa->setIndexFieldNames(QStringLiteral("ID_Specialnost"));
    data(T_Gruppa, FIELD(T_GruppaID_GRoup), "ID_GRoup", T::Counter);
    data(T_Gruppa, FIELD(T_GruppaNazvanie), "Nazvanie", T::Text, 50);
    data(T_Gruppa, FIELD(T_GruppaID_Specialnost), "ID_Specialnost", T::Text, 50);
    data(T_Gruppa, FIELD(T_GruppaID_Starosta), "ID_Starosta", T::Text, 50);
    data(T_Gruppa, FIELD(T_GruppaID_Kyrator), "ID_Kyrator", T::Integer);
    lookup(T_Gruppa, FIELD(T_GruppaFIO_KYRATOR), "FIO_KYRATOR", T::Text, 20, Q_Prepod, "ID_Kyrator",
           "ID_Prepod", "FIO");
    T_Gruppa->setMaster(DS_Spec, QStringLiteral("ID_Spec"));
    T_Gruppa->setKeepLookupsWhileEditing(true);

    // ---- disciplines and curricula
    T_Disciplins->setTableName(QStringLiteral("Disciplins"));
    data(T_Disciplins, FIELD(T_DisciplinsNdis), "Ndis", T::Counter);
    data(T_Disciplins, FIELD(T_DisciplinsNameDis), "NameDis", T::Text, 150)
        .setLabel(label("Название Дисциплины"))
        .setDisplayWidth(32);
    data(T_Disciplins, FIELD(T_DisciplinsTypeDis), "TypeDis", T::Integer);

    T_ID_Kontrol->setTableName(QStringLiteral("ID_kontrol"));

    Q_Plan_Spec->setSql(QStringLiteral("Select * From PlanSpec"));
    lookup(Q_Plan_Spec, FIELD(Q_Plan_SpecDIS), "DIS", T::Text, 20, T_Disciplins, "Ndis", "Ndis",
           "NameDis")
        .setLabel(label("Дисциплина"));
    data(Q_Plan_Spec, FIELD(Q_Plan_SpecSemestr), "Semestr", T::Integer).setLabel(label("Семестр"));
    data(Q_Plan_Spec, FIELD(Q_Plan_SpecTime_Lekcii), "Time_Lekcii", T::Integer)
        .setLabel(label("Лекционные часы"));
    data(Q_Plan_Spec, FIELD(Q_Plan_SpecTime_Prakt), "Time_Prakt", T::Integer)
        .setLabel(label("Практические часы"));
    lookup(Q_Plan_Spec, FIELD(Q_Plan_SpecKONTROL), "KONTROL", T::Text, 20, T_ID_Kontrol,
           "ID_Kontrol", "ID_KONTROL", "Nazvanie")
        .setLabel(label("Тип контроля"));
    data(Q_Plan_Spec, FIELD(Q_Plan_SpecID_Kontrol), "ID_Kontrol", T::Integer).setVisible(false);
    data(Q_Plan_Spec, FIELD(Q_Plan_SpecID_Plan), "ID_Plan", T::Counter).setVisible(false);
    data(Q_Plan_Spec, FIELD(Q_Plan_SpecNdis), "Ndis", T::Integer).setVisible(false);
    data(Q_Plan_Spec, FIELD(Q_Plan_SpecID_Spec), "ID_Spec", T::Text, 50).setVisible(false);

    T_Plan_Spec->setTableName(QStringLiteral("PlanSpec"));
    T_Plan_Spec->setIndexFieldNames(QStringLiteral("ID_Spec"));
    lookup(T_Plan_Spec, FIELD(T_Plan_SpecDIS), "DIS", T::Text, 25, T_Disciplins, "Ndis", "Ndis",
           "NameDis")
        .setLabel(label("Дисциплина"));
    data(T_Plan_Spec, FIELD(T_Plan_SpecTime_Prakt), "Time_Prakt", T::Integer)
        .setLabel(label("Практические часы"));
    data(T_Plan_Spec, FIELD(T_Plan_SpecTime_Lekcii), "Time_Lekcii", T::Integer)
        .setLabel(label("Лекционные Часы"));
    data(T_Plan_Spec, FIELD(T_Plan_SpecSemestr), "Semestr", T::Integer).setLabel(label("Семестр"));
    data(T_Plan_Spec, FIELD(T_Plan_SpecID_Spec), "ID_Spec", T::Text, 50).setVisible(false);
    data(T_Plan_Spec, FIELD(T_Plan_SpecID_Kontrol), "ID_Kontrol", T::Integer).setVisible(false);
    data(T_Plan_Spec, FIELD(T_Plan_SpecID_Plan), "ID_Plan", T::Counter).setVisible(false);
    data(T_Plan_Spec, FIELD(T_Plan_SpecNdis), "Ndis", T::Integer).setVisible(false);
    lookup(T_Plan_Spec, FIELD(T_Plan_SpecKONTROL), "KONTROL", T::Text, 10, T_ID_Kontrol,
           "ID_Kontrol", "ID_KONTROL", "Nazvanie")
        .setVisible(false);
    T_Plan_Spec->setMaster(DS_Spec, QStringLiteral("ID_Spec"));
    T_Plan_Spec->onEditError = [this](Dataset& ds, const DataError& e) {
        T_Plan_SpecEditError(ds, e);
    };
    T_Plan_Spec->onPostError = T_Plan_Spec->onEditError;

    // ---- the examination statement's students of one group
    Q_Report->setSql(reportSql());
    Q_Report->declareParameter(QStringLiteral("ID_G"), T::Integer);
}

QList<Dataset*> TDM::datasets() const {
    return {Q_Studenti, T_Parents,    T_Ocenki,     Q_Ocenki,    T_ID_Result, Q_Prepod,
            T_Zvanie,   T_Dolgnost,   T_Stepen,     facultet,    T_Spec,      T_Kafedra,
            T_Gruppa,   T_Disciplins, T_ID_Kontrol, Q_Plan_Spec, T_Plan_Spec, Q_Report};
}

Dataset* TDM::dataset(const QString& objectName) const {
    for (Dataset* ds : datasets())
        if (ds->objectName() == objectName) return ds;
    return nullptr;
}

DataSource* TDM::dataSource(const QString& objectName) const {
    return findChild<DataSource*>(objectName, Qt::FindDirectChildrenOnly);
}

Field* TDM::field(const QString& objectName) const {
    for (Dataset* ds : datasets())
        for (int i = 0; i < ds->fieldCount(); ++i)
            if (ds->field(i)->objectName() == objectName) return ds->field(i);
    return nullptr;
}

void TDM::DataModuleCreate() {
    ADOConnection1.open();
    for (Dataset* ds : {static_cast<Dataset*>(Q_Studenti), static_cast<Dataset*>(T_Parents),
                        static_cast<Dataset*>(Q_Prepod), static_cast<Dataset*>(T_Zvanie),
                        static_cast<Dataset*>(T_Dolgnost), static_cast<Dataset*>(T_Stepen),
                        static_cast<Dataset*>(T_Ocenki), static_cast<Dataset*>(T_Disciplins),
                        static_cast<Dataset*>(T_Spec), static_cast<Dataset*>(facultet),
                        static_cast<Dataset*>(T_Kafedra), static_cast<Dataset*>(T_Gruppa),
                        static_cast<Dataset*>(T_Spec), static_cast<Dataset*>(Q_Plan_Spec)})
        ds->open();
}

// ---- hooks

void TDM::Q_StudentiCalcFields(Dataset&) {
    Q_StudentiFIO->setValue(shortName(Q_StudentiFam->asString(), Q_StudentiName->asString(),
                                      Q_StudentiSecName->asString()));
}

void TDM::Q_PrepodCalcFields(Dataset&) {
    Q_PrepodFIO->setValue(shortName(Q_PrepodDSDesigner->asString(), Q_PrepodDSDesigner2->asString(),
                                    Q_PrepodDSDesigner3->asString()));
}

void TDM::Q_StudentiAfterScroll(Dataset&) {
    // Only a visible student window shows the current student's photo and status bar.
    refreshShownCard(Studs.card());
}

void TDM::Q_PrepodAfterScroll(Dataset&) {
    // Every teacher window on screen follows the current teacher, not only the
    // newest; one that cannot show its photo does not keep the others behind.
    std::exception_ptr failure;
    const std::vector<CardWindow*> cards = Prep.cards();
    for (CardWindow* card : cards) {
        try {
            refreshShownCard(card);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

void TDM::Q_PrepodNewRecord(Dataset& ds) {
    // The window offers no way to type a number, and a teacher is stored only
    // with one: a new teacher takes the one above the highest in the table.
    Q_PrepodID_Prepod->setValue(
        nextNumber(ds, QStringLiteral("Prepodavateli"), QStringLiteral("ID_Prepod")));
}

void TDM::T_KafedraNewRecord(Dataset& ds) {
    // The number links teachers to their department, and the structure page
    // offers no way to type it: without one, every new department would share
    // an empty key.
    T_KafedraID_kafedra->setValue(
        nextNumber(ds, QStringLiteral("Kafedra"), QStringLiteral("ID_kafedra")));
}

void TDM::T_Plan_SpecEditError(Dataset&, const DataError&) {
    platform::showMessage(QStringLiteral("Неправильно заполнены ячейки"));
    // The pending change is dropped: the plan shows the current specialty's rows from the first.
    T_Plan_Spec->close();
    T_Plan_Spec->open();
}
