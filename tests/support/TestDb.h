// A small database for engine tests, on SQLite (a file in a temporary folder) or on the
// shared PostgreSQL test server, built from the same DDL text, with helpers to run
// statements and read tables back on a second connection.
//
// A suite runs every case on both: its initTestCase_data() calls TestDb::addBackends(),
// and each case builds TestDb(ddl, TestDb::currentBackend()).
//
// On the server the DDL is translated (see TestDb.cpp): each table gets a first hidden
// column "rowid" (the engine addresses rows by it), so there a table's rowid is the
// order rows were inserted in, also where SQLite's would be the INTEGER PRIMARY KEY.
// The server has one database, so one server TestDb lives at a time; a new one clears it.
#pragma once

#include <QMetaType>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>
#include <optional>

#include "Connection.h"

class TestDb {
public:
    enum class Backend { Sqlite, Server };

    // Creates the database and runs the statements (separated by ';').
    explicit TestDb(const QString& ddl, Backend backend = Backend::Sqlite);
    ~TestDb();
    Backend backend() const { return m_backend; }
    // The SQLite file; empty on the server.
    QString path() const { return m_path; }
    // The connection the datasets under test use.
    Connection& connection() { return *m_connection; }
    // Another desk: a new, independent connection to the same database, opened.
    std::unique_ptr<Connection> open();
    // Runs a statement with bound values on a second connection, as another program would.
    void exec(const QString& sql, const QVariantList& values = {});
    // Every row of a query as "a|b|c" lines, read on a second connection.
    QStringList rows(const QString& sql);
    QVariant scalar(const QString& sql);

    // The global data of a suite that runs on both: a "backend" column, rows "sqlite" and
    // "server".
    static void addBackends();
    // The backend of the running case's global data row.
    static Backend currentBackend();

private:
public:
    // A table the DDL made on the server.
    struct ServerTable {
        QString name;
        QStringList columns;          // as written, the hidden rowid left out
        QStringList identityColumns;  // rowid, and an INTEGER PRIMARY KEY
    };

private:
    void createOnServer(const QString& ddl);
    QString forServer(const QString& statement) const;
    void run(Connection& c, const QString& sql, const QVariantList& values);
    void moveServerCounters();
    // SQLite opens a fresh one into `fresh` for each statement; the server keeps one open.
    Connection& other(std::unique_ptr<Connection>& fresh);

    Backend m_backend;
    std::optional<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<Connection> m_other;
    std::vector<ServerTable> m_tables;
};

Q_DECLARE_METATYPE(TestDb::Backend)
