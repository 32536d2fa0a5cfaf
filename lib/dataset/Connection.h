// The engine's own small interface to a relational database: prepare, bind,
// step, read a column, last insert id, execute. SqliteConnection implements it
// over SQLite through SQLiteCpp, PgConnection over PostgreSQL through libpq.
//
// Every failure is a DataError carrying the database engine's own text.
#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "FieldType.h"
#include "SharedTables.h"

class Statement {
public:
    enum class ValueType { Integer, Float, Text, Blob, Null };
    virtual ~Statement() = default;

    virtual int parameterCount() const = 0;
    // The name of a 1-based parameter as written, ":NAME" included; empty for "?".
    virtual QString parameterName(int index) const = 0;
    virtual void bindNull(int index) = 0;
    virtual void bind(int index, int64_t v) = 0;
    virtual void bind(int index, double v) = 0;
    virtual void bind(int index, const QString& v) = 0;
    virtual void bind(int index, const QByteArray& bytes) = 0;
    // Binds by the variant's type: invalid or null is null, numbers, QDate/QDateTime as ISO
    // text, QByteArray as bytes.
    void bindValue(int index, const QVariant& v);

    // Advances to the next row; false when there is none (or the statement returns no rows).
    virtual bool step() = 0;
    virtual void reset() = 0;

    virtual int columnCount() const = 0;
    virtual QString columnName(int col) const = 0;
    // The declared type of a result column taken straight from a table ("TEXT(50)"), else empty.
    virtual QString columnDeclType(int col) const = 0;
    // The table a result column comes from, else empty.
    virtual QString columnTable(int col) const = 0;
    virtual ValueType columnType(int col) = 0;
    virtual int64_t columnInt64(int col) = 0;
    virtual double columnDouble(int col) = 0;
    // UTF-16 text valid until the next step or read of the same column.
    virtual std::u16string_view columnText16(int col) = 0;
    // UTF-8 text valid until the next step or read of the same column.
    virtual std::string_view columnText8(int col) = 0;
    QVariant columnValue(int col);
};

// The types a statement's named parameters are declared with (the name without
// its colon); a parameter it gives no type is typed by the database from where
// it stands.
using ParameterTypes = std::function<std::optional<FieldType>(const QString& name)>;

class Connection {
public:
    // Which SQL the database speaks, for the few statements that differ (schema, triggers).
    enum class Dialect { Sqlite, Postgres };
    virtual ~Connection() = default;
    virtual Dialect dialect() const = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual std::unique_ptr<Statement> prepare(const QString& sql,
                                               const ParameterTypes& types = {}) = 0;
    // Runs statements that carry no values (schema, pragmas).
    virtual void execute(const QString& sql) = 0;
    virtual int64_t lastInsertId() const = 0;
    // Whether a transaction begun on this connection is still open.
    virtual bool isInTransaction() const = 0;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    virtual int changes() const = 0;
    // Rows changed by every INSERT, UPDATE and DELETE since the connection opened.
    virtual int64_t totalChanges() const = 0;
    // The column names of a table, spelled as the database has them, with their declared types.
    struct ColumnInfo {
        QString name;
        QString declType;
        bool primaryKey = false;
    };
    virtual std::vector<ColumnInfo> tableColumns(const QString& table) = 0;
    // The table's name as the database spells it (names match without regard to case), else empty.
    virtual QString tableName(const QString& table) = 0;
    // Changes whenever anything is written to the database, by this connection or another.
    virtual DataVersion dataVersion() = 0;
    // Whole-table snapshots the datasets of this connection share.
    SharedTables& sharedTables() { return m_sharedTables; }

    // Runs after the database is opened and before anything is written to it (on
    // SQLite the journal mode is the first write); a failure it throws fails the
    // open, closes the connection again and leaves the database as it was.
    void setValidator(std::function<void(Connection&)> validator) {
        m_validator = std::move(validator);
    }

protected:
    std::function<void(Connection&)> m_validator;

private:
    SharedTables m_sharedTables;
};

// An existing SQLite file, opened read-write; never creates one.
// Durability: write-ahead log with synchronous=FULL, so each committed
// statement (every post is one) is on disk when it returns.
class SqliteConnection final : public Connection {
public:
    explicit SqliteConnection(QString path = {});
    ~SqliteConnection() override;
    QString path() const { return m_path; }
    void setPath(const QString& path);

    Dialect dialect() const override { return Dialect::Sqlite; }
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

    // Creates a new, empty database file (for the database tool and tests; the program never does).
    static void createFile(const QString& path);

private:
    struct Impl;
    QString m_path;
    std::unique_ptr<Impl> m_impl;
};

// Runs work between BEGIN (on SQLite BEGIN IMMEDIATE when `immediate`: the write lock
// taken at once) and COMMIT; a failure rolls back and goes on to the caller. Inside a
// transaction already open the work simply joins it: the outer one commits or rolls back.
void inTransaction(Connection& c, const std::function<void()>& work, bool immediate = false);

// Quotes a name for use as an SQL identifier.
QString quoteIdentifier(const QString& name);
