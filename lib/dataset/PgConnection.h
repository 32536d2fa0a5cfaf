// PostgreSQL behind the engine's Connection interface, through libpq.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "Connection.h"

struct PgSession;

// A server database named by a libpq connection string ("host=… dbname=…" or a
// postgresql:// URI). Statements keep the engine's "?" and ":NAME" parameters.
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
    std::unique_ptr<Statement> prepare(const QString& sql) override;
    void execute(const QString& sql) override;
    int64_t lastInsertId() const override;
    int changes() const override;
    int64_t totalChanges() const override;
    std::vector<ColumnInfo> tableColumns(const QString& table) override;
    QString tableName(const QString& table) override;
    DataVersion dataVersion() override;

    // The connection string as messages show it: any password left out.
    static QString shownConninfo(const QString& conninfo);

private:
    QString m_conninfo;
    std::shared_ptr<PgSession> m_session;
    // See dataVersion(): the server's last snapshot seen and how often it has moved.
    QByteArray m_lastSnapshot;
    int64_t m_snapshotMoves = 0;
};
