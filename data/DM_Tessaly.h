// The data module: the one owner of the database connection and of every
// shared dataset and data source. Windows and printouts bind to these by name;
// each dataset has one current row for the whole program.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "Connection.h"
#include "DataSource.h"
#include "Dataset.h"

class TDM : public QObject {
    Q_OBJECT
public:
    // The database file, resolved against the process's current folder.
    static constexpr const char* DataSourceName = "verdikon.mdb";

    // Declares everything, then connects and opens the datasets; every failure
    // is reported through the general error display and start-up goes on. The
    // database is the file DataSourceName or, given `server` (a libpq connection
    // string), that PostgreSQL database, which several desks may share.
    explicit TDM(QObject* parent = nullptr, const QString& server = QString());
    // The same over a connection made elsewhere (the database tool's, to a file it names).
    TDM(QObject* parent, std::unique_ptr<Connection> connection);
    // The statement Q_Report reads a group's students by (its parameter ID_G).
    static QString reportSql();
    ~TDM() override;

private:
    std::unique_ptr<Connection> m_connection;

public:
    Connection& ADOConnection1;
    // The database file, absolute; empty when the database is on a server.
    QString databaseFile() const;
    // The database as messages name it: the file, or the server's connection
    // string without a password.
    QString databaseName() const;

    Query* Q_Studenti;
    Table* T_Parents;
    Table* T_Ocenki;
    Query* Q_Ocenki;
    Table* T_ID_Result;
    Query* Q_Prepod;
    Table* T_Zvanie;
    Table* T_Dolgnost;
    Table* T_Stepen;
    Table* facultet;
    Table* T_Spec;
    Table* T_Kafedra;
    Table* T_Gruppa;
    Table* T_Disciplins;
    Table* T_ID_Kontrol;
    Query* Q_Plan_Spec;
    Table* T_Plan_Spec;
    Query* Q_Report;

    DataSource* DS_Studenti;
    DataSource* DS_Parents;
    DataSource* DS_Ocenki;
    DataSource* DS_ID_Result;
    DataSource* DS_Prepod;
    DataSource* DS_Zvanie;
    DataSource* DS_Dolgnost;
    DataSource* DS_Stepen;
    DataSource* DS_facultet;
    DataSource* DS_Spec;
    DataSource* DS_Kafedra;
    DataSource* DS_Group;
    DataSource* DS_Disciplins;
    DataSource* DS_ID_Kontrol;
    DataSource* DS_PlanSpec;
    DataSource* DS_Report;

    // Field objects, dataset by dataset in the order they are declared.
    Field *Q_StudentiN_student, *Q_StudentiFam, *Q_StudentiName, *Q_StudentiSecName,
        *Q_StudentiBirthDate, *Q_StudentiSex, *Q_StudentiEnterDate, *Q_StudentiFamilyPosition,
        *Q_StudentiEducation, *Q_StudentiCity, *Q_StudentiStreet, *Q_StudentiHouse, *Q_StudentiApar,
        *Q_StudentiType_Stud, *Q_StudentiID_group, *Q_StudentiPodGroupe, *Q_StudentiCitizen,
        *Q_StudentiFoto, *Q_StudentiFIO, *Q_StudentiID_Plan, *Q_StudentiID_Spec;
    Field *T_ParentsPFam, *T_ParentsPname, *T_ParentsPSecondName, *T_ParentsCity, *T_ParentsStreet,
        *T_ParentsHouse, *T_ParentsApar, *T_ParentsSex, *T_ParentsN_Student;
    Field *T_OcenkiN_student, *T_OcenkiDIS, *T_OcenkiKONTOL, *T_OcenkiDate, *T_OcenkiResult,
        *T_OcenkiID_Result, *T_OcenkiID_Plan, *T_OcenkiID_DISCIP, *T_OcenkiSemestr;
    Field *T_ID_ResultID_Result, *T_ID_ResultNazvanie, *T_ID_ResultSokr_nazv;
    Field *Q_PrepodID_Prepod, *Q_PrepodDSDesigner, *Q_PrepodDSDesigner2, *Q_PrepodDSDesigner3,
        *Q_PrepodFIO, *Q_PrepodDSDesigner5, *Q_PrepodDSDesigner6, *Q_PrepodDSDesigner7,
        *Q_PrepodDSDesigner8, *Q_PrepodDolgnost, *Q_PrepodZvanie, *Q_PrepodN_Stepen,
        *Q_PrepodDSDesigner12, *Q_PrepodKur_Gr, *Q_PrepodID_kafedra, *Q_PrepodCity, *Q_PrepodStreet,
        *Q_PrepodHouse, *Q_PrepodApar, *Q_PrepodFoto, *Q_PrepodKafedra, *Q_PrepodDSDesigner11,
        *Q_PrepodDSDesigner10, *Q_PrepodDSDesigner9;
    Field *T_ZvanieID_Zvanie, *T_ZvanieNAME;
    Field *T_DolgnostSNAME, *T_DolgnostNAME, *T_DolgnostID_Dolgnost;
    Field *T_StepenID_Stepen, *T_StepenSNAME, *T_StepenNAME;
    Field *facultetID_Facultet, *facultetNazvanie, *facultetID_Dekan;
    Field *T_SpecNazvanie, *T_SpecFacultet, *T_SpecID_Facultet, *T_SpecID_Spec, *T_SpecID_Plan;
    Field *T_KafedraID_facultet, *T_KafedraNazvanie, *T_KafedraID_kafedra, *T_KafedraZav_Kafedri,
        *T_KafedraFACULTET;
    Field *T_GruppaID_GRoup, *T_GruppaNazvanie, *T_GruppaID_Specialnost, *T_GruppaID_Starosta,
        *T_GruppaID_Kyrator, *T_GruppaFIO_KYRATOR;
    Field *T_DisciplinsNdis, *T_DisciplinsNameDis, *T_DisciplinsTypeDis;
    Field *Q_Plan_SpecDIS, *Q_Plan_SpecSemestr, *Q_Plan_SpecTime_Lekcii, *Q_Plan_SpecTime_Prakt,
        *Q_Plan_SpecKONTROL, *Q_Plan_SpecID_Kontrol, *Q_Plan_SpecID_Plan, *Q_Plan_SpecNdis,
        *Q_Plan_SpecID_Spec;
    Field *T_Plan_SpecDIS, *T_Plan_SpecTime_Prakt, *T_Plan_SpecTime_Lekcii, *T_Plan_SpecSemestr,
        *T_Plan_SpecID_Spec, *T_Plan_SpecID_Kontrol, *T_Plan_SpecID_Plan, *T_Plan_SpecNdis,
        *T_Plan_SpecKONTROL;

    // Every dataset in the order of their declaration.
    QList<Dataset*> datasets() const;
    Dataset* dataset(const QString& objectName) const;
    DataSource* dataSource(const QString& objectName) const;
    // A field object by its name, such as "Q_StudentiFIO"; null when there is none.
    Field* field(const QString& objectName) const;

    // The creation step: connect, then make sure the datasets are open in order.
    void DataModuleCreate();

    // Hooks.
    void Q_StudentiAfterScroll(Dataset& ds);
    void Q_StudentiCalcFields(Dataset& ds);
    void Q_PrepodAfterScroll(Dataset& ds);
    void Q_PrepodCalcFields(Dataset& ds);
    // A new teacher starts with the next free number.
    void Q_PrepodNewRecord(Dataset& ds);
    // A new department starts with the next free number.
    void T_KafedraNewRecord(Dataset& ds);
    void T_Plan_SpecEditError(Dataset& ds, const DataError& error);

private:
    // Keeps the plan query holding every plan row while the plan table changes.
    class PlanQueryFollower;
    std::unique_ptr<PlanQueryFollower> m_planFollower;

    void declare();
    template <typename T>
    T* make(const char* name);
    DataSource* source(const char* name, Dataset* ds);
};

// The short name: surname, a blank, the first-name initial and a full stop, the
// patronymic initial and a full stop (an empty part gives no initial).
QString shortName(const QString& surname, const QString& name, const QString& patronymic);
