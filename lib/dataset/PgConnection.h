// PostgreSQL behind the engine's Connection interface, through libpq.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "Connection.h"

struct PgSession;

// A server database named by a libpq connection string ("host=… dbname=…" or a
// postgresql:// URI). Statements keep the engine's "?" and ":NAME" parameters,
// and names of tables and columns match without regard to letter case.
class PgConnection final : public Connection {
public:
    explicit PgConnection(QString conninfo = {});
    ~PgConnection() override;
    QString conninfo() const { return m_conninfo; }
    void setConninfo(const QString& conninfo);

    Dialect dialect() const override { return Dialect::Postgres; }
    void open() override;
    void close() override;
    bool isOpen() const override;
    std::unique_ptr<Statement> prepare(const QString& sql,
                                       const ParameterTypes& types = {}) override;
    void execute(const QString& sql) override;
    int64_t lastInsertId() const override;
    bool isInTransaction() const override;
    int changes() const override;
    int64_t totalChanges() const override;
    std::vector<ColumnInfo> tableColumns(const QString& table) override;
    QString tableName(const QString& table) override;
    DataVersion dataVersion() override;

    // The column each table of a server database has for the engine alone: it names
    // a row for UPDATE and DELETE, as SQLite's rowid does (the server has no stable
    // row id of its own), and tableColumns() leaves it out.
    static QString hiddenKeyColumn() { return QStringLiteral("rowid"); }

    // The connection string as messages show it: any password left out.
    static QString shownConninfo(const QString& conninfo);

private:
    QString m_conninfo;
    std::shared_ptr<PgSession> m_session;
    // See dataVersion(): the server's last snapshot seen and how often it has moved.
    QByteArray m_lastSnapshot;
    int64_t m_snapshotMoves = 0;
};
