// A throw-away PostgreSQL server for one test process, started with
// scripts/pg-test-server in a temporary folder (socket only, an unprivileged
// owner) and stopped when the object goes, or when the process dies.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <optional>

class PgTestServer {
public:
    PgTestServer() = default;
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;
    ~PgTestServer() { stop(); }

    // Starts the server; false with the script's text in error() when it cannot.
    bool start();
    void stop();
    bool isRunning() const { return m_running; }
    // The libpq connection string of its database.
    QString conninfo() const { return m_conninfo; }
    // The folder the server keeps its data and its socket in.
    QString folder() const { return m_dir ? m_dir->path() : QString(); }
    QString error() const { return m_error; }
    // Drops every table, view and function: the database as new.
    void clear();

    // The server every suite of this process shares, started on first use.
    static PgTestServer& shared();

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_conninfo;
    QString m_error;
    bool m_running = false;
};
