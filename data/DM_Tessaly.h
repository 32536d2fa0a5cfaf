// The data module: the one owner of the database connection and of every
// shared dataset and data source. Windows and printouts bind to these by name;
// each dataset has one current row for the whole program.
#pragma once

#include <QObject>
#include <QString>

#include "Connection.h"
#include "DataSource.h"
#include "Dataset.h"

class TDM : public QObject {
    Q_OBJECT
public:
    // The database file, resolved against the process's current folder.
    static constexpr const char* DataSourceName = "verdikon.mdb";

    // Declares everything, then connects and opens the datasets; every failure
    // is reported through the general error display and start-up goes on.
    explicit TDM(QObject* parent = nullptr);
    ~TDM() override;

    SqliteConnection ADOConnection1;

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
    void T_Plan_SpecEditError(Dataset& ds, const DataError& error);

private:
    void declare();
    template <typename T>
    T* make(const char* name);
    DataSource* source(const char* name, Dataset* ds);
};

// The short name: surname, a blank, the first-name initial and a full stop, the
// patronymic initial and a full stop (an empty part gives no initial).
QString shortName(const QString& surname, const QString& name, const QString& patronymic);
