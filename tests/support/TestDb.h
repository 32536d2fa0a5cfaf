// A small database in a temporary folder for engine tests, with helpers to
// run statements and read tables back straight from SQLite.
#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

#include "Connection.h"

class TestDb {
public:
    // Creates the file and runs the statements (separated by ';').
    explicit TestDb(const QString& ddl);
    QString path() const { return m_path; }
    SqliteConnection& connection() { return *m_connection; }
    // Runs a statement with bound values on a second connection, as another program would.
    void exec(const QString& sql, const QVariantList& values = {});
    // Every row of a query as "a|b|c" lines, read on a second connection.
    QStringList rows(const QString& sql);
    QVariant scalar(const QString& sql);

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<SqliteConnection> m_connection;
};
