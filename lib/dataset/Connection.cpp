// SQLite behind the engine's Connection interface.
//
// The file is opened with SQLITE_OPEN_READWRITE and never SQLITE_OPEN_CREATE,
// so a missing file is an error, not a new empty database. Opening reads the
// schema at once, so a file that is not a database fails here, not later.
// Double-quoted string literals are off: "x" is always a name, never text.
// Statements are prepared on the raw handle so reading a column is one C call,
// with no per-value object; SQLiteCpp owns the connection and its errors.
//
// Error texts are SQLite's own, except where its words would not tell a clerk
// what happened or what to do: another program holding the file, a write the
// system refused, a damaged file. A statement that fails writes nothing: every
// post is one autocommitted statement, rolled back whole when any part fails.
#include "Connection.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QFileInfo>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
#include <cstring>

#include "DataError.h"

namespace {

// How long a statement waits for another program's lock before it fails.
constexpr int busyTimeoutMs = 2000;

QString busyText() {
    return QStringLiteral("База данных занята другой программой. Повторите попытку позже.");
}

// The text of the connection's last failure, naming the file where the file itself is at fault.
QString errorText(sqlite3* db, const QString& path) {
    const QString own = QString::fromUtf8(sqlite3_errmsg(db));
    switch (sqlite3_extended_errcode(db)) {
        case SQLITE_IOERR_WRITE:
        case SQLITE_IOERR_FSYNC:
        case SQLITE_IOERR_DIR_FSYNC:
        case SQLITE_IOERR_TRUNCATE: {
            // The system's reason is known only where SQLite caught it before it changed.
            const int system = sqlite3_system_errno(db);
            const QString reason = QString::fromLocal8Bit(std::strerror(system));
            const QString detail = system == 0 ? own : own + QStringLiteral(": ") + reason;
            return QStringLiteral("Не удалось записать в файл базы данных \"%1\", изменения не "
                                  "сохранены (%2)")
                .arg(path, detail);
        }
        default: break;
    }
    switch (sqlite3_extended_errcode(db) & 0xff) {
        case SQLITE_BUSY: return busyText();
        case SQLITE_CORRUPT:
            return QStringLiteral("Файл базы данных \"%1\" повреждён: %2").arg(path, own);
        default: return own;
    }
}

class SqliteStatement final : public Statement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* st, const QString& path)
        : m_db(db), m_st(st), m_path(path) {}
    ~SqliteStatement() override { sqlite3_finalize(m_st); }

    int parameterCount() const override { return sqlite3_bind_parameter_count(m_st); }
    QString parameterName(int index) const override {
        return QString::fromUtf8(sqlite3_bind_parameter_name(m_st, index));
    }
    void bindNull(int index) override { check(sqlite3_bind_null(m_st, index)); }
    void bind(int index, int64_t v) override { check(sqlite3_bind_int64(m_st, index, v)); }
    void bind(int index, double v) override { check(sqlite3_bind_double(m_st, index, v)); }
    void bind(int index, const QString& v) override {
        check(sqlite3_bind_text16(m_st, index, v.utf16(), int(v.size() * 2), SQLITE_TRANSIENT));
    }
    void bind(int index, const QByteArray& bytes) override {
        check(sqlite3_bind_blob64(m_st, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                  SQLITE_TRANSIENT));
    }

    bool step() override {
        const int rc = sqlite3_step(m_st);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        // The statement's own error text; reset so it can be stepped again.
        const QString text = errorText(m_db, m_path);
        sqlite3_reset(m_st);
        throw DataError(text);
    }
    void reset() override {
        sqlite3_reset(m_st);
        sqlite3_clear_bindings(m_st);
    }

    int columnCount() const override { return sqlite3_column_count(m_st); }
    QString columnName(int col) const override {
        return QString::fromUtf8(sqlite3_column_name(m_st, col));
    }
    QString columnDeclType(int col) const override {
        return QString::fromUtf8(sqlite3_column_decltype(m_st, col));
    }
    QString columnTable(int col) const override {
        return QString::fromUtf8(sqlite3_column_table_name(m_st, col));
    }
    ValueType columnType(int col) override {
        switch (sqlite3_column_type(m_st, col)) {
            case SQLITE_INTEGER: return ValueType::Integer;
            case SQLITE_FLOAT: return ValueType::Float;
            case SQLITE_TEXT: return ValueType::Text;
            case SQLITE_BLOB: return ValueType::Blob;
            default: return ValueType::Null;
        }
    }
    int64_t columnInt64(int col) override { return sqlite3_column_int64(m_st, col); }
    double columnDouble(int col) override { return sqlite3_column_double(m_st, col); }
    std::u16string_view columnText16(int col) override {
        auto p = static_cast<const char16_t*>(sqlite3_column_text16(m_st, col));
        const int bytes = sqlite3_column_bytes16(m_st, col);
        return p ? std::u16string_view(p, size_t(bytes) / 2) : std::u16string_view();
    }
    std::string_view columnText8(int col) override {
        auto p = reinterpret_cast<const char*>(sqlite3_column_text(m_st, col));
        const int bytes = sqlite3_column_bytes(m_st, col);
        return p ? std::string_view(p, size_t(bytes)) : std::string_view();
    }

private:
    void check(int rc) {
        if (rc != SQLITE_OK) throw DataError(errorText(m_db, m_path));
    }
    sqlite3* m_db;
    sqlite3_stmt* m_st;
    QString m_path;
};

}  // namespace

void Statement::bindValue(int index, const QVariant& v) {
    if (!v.isValid() || v.isNull()) return bindNull(index);
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UInt:
        case QMetaType::Bool: return bind(index, int64_t(v.toLongLong()));
        case QMetaType::Double:
        case QMetaType::Float: return bind(index, v.toDouble());
        case QMetaType::QDate: return bind(index, v.toDate().toString(Qt::ISODate));
        case QMetaType::QDateTime: {
            const QDateTime dt = v.toDateTime();
            return bind(index, dt.time() == QTime(0, 0) ? dt.date().toString(Qt::ISODate)
                                                        : dt.toString("yyyy-MM-dd HH:mm:ss"));
        }
        case QMetaType::QByteArray: return bind(index, v.toByteArray());
        default: return bind(index, v.toString());
    }
}

QVariant Statement::columnValue(int col) {
    switch (columnType(col)) {
        case ValueType::Integer: return QVariant(qlonglong(columnInt64(col)));
        case ValueType::Float: return QVariant(columnDouble(col));
        case ValueType::Text:
        case ValueType::Blob: {
            const auto t = columnText16(col);
            return QString(reinterpret_cast<const QChar*>(t.data()), qsizetype(t.size()));
        }
        case ValueType::Null: break;
    }
    return {};
}

void inTransaction(Connection& c, const std::function<void()>& work, bool immediate) {
    if (c.isOpen() && c.isInTransaction()) return work();
    // A server locks the rows a transaction writes as it writes them: plain BEGIN there.
    c.execute(immediate && c.dialect() == Connection::Dialect::Sqlite ? QStringLiteral("BEGIN IMMEDIATE")
                                                                      : QStringLiteral("BEGIN"));
    try {
        work();
        c.execute(QStringLiteral("COMMIT"));
    } catch (...) {
        // SQLite may have rolled back already (a full disk); the first failure is the one to
        // report.
        try {
            c.execute(QStringLiteral("ROLLBACK"));
        } catch (const DataError&) {
        }
        throw;
    }
}

QString quoteIdentifier(const QString& name) {
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

struct SqliteConnection::Impl {
    std::unique_ptr<SQLite::Database> db;
    sqlite3* handle() const { return db->getHandle(); }
};

SqliteConnection::SqliteConnection(QString path) : m_path(std::move(path)) {}
SqliteConnection::~SqliteConnection() = default;

void SqliteConnection::setPath(const QString& path) {
    close();
    m_path = path;
}

bool SqliteConnection::isOpen() const { return m_impl != nullptr; }

void SqliteConnection::open() {
    if (m_impl) return;
    auto impl = std::make_unique<Impl>();
    try {
        // One thread uses the connection: no per-call mutex.
        impl->db = std::make_unique<SQLite::Database>(m_path.toStdString(),
                                                      SQLite::OPEN_READWRITE | SQLite::OPEN_NOMUTEX);
        sqlite3* h = impl->handle();
        // Before the first read: a file another program holds is waited for, not refused at once.
        impl->db->setBusyTimeout(busyTimeoutMs);
        sqlite3_db_config(h, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(h, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        if (sqlite3_db_readonly(h, "main") == 1)
            throw DataError(QStringLiteral("The database file \"%1\" is read-only").arg(m_path));
        // Reading the schema here makes a file that is not a database fail now.
        impl->db->exec("PRAGMA schema_version");
    } catch (const SQLite::Exception& e) {
        const bool busy = (e.getErrorCode() & 0xff) == SQLITE_BUSY;
        throw DataError(QStringLiteral("Cannot open database \"%1\": %2")
                            .arg(m_path, busy ? busyText() : QString::fromUtf8(e.what())));
    }
    m_impl = std::move(impl);
    try {
        if (m_validator) m_validator(*this);
        m_impl->db->exec("PRAGMA journal_mode=WAL");
        m_impl->db->exec("PRAGMA synchronous=FULL");
    } catch (const SQLite::Exception&) {
        const QString text = errorText(m_impl->handle(), m_path);
        m_impl.reset();
        throw DataError(QStringLiteral("Cannot open database \"%1\": %2").arg(m_path, text));
    } catch (...) {
        m_impl.reset();
        throw;
    }
}

void SqliteConnection::close() {
    m_impl.reset();
    // Versions of a closed connection say nothing about the next one.
    sharedTables() = SharedTables();
}

// SQLite binds a value of any type to any parameter: declared types change nothing here.
std::unique_ptr<Statement> SqliteConnection::prepare(const QString& sql, const ParameterTypes&) {
    if (!m_impl) open();
    sqlite3* h = m_impl->handle();
    sqlite3_stmt* st = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(h, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK)
        throw DataError(errorText(h, m_path));
    if (!st) throw DataError(QStringLiteral("The statement is empty"));
    return std::make_unique<SqliteStatement>(h, st, m_path);
}

void SqliteConnection::execute(const QString& sql) {
    if (!m_impl) open();
    try {
        m_impl->db->exec(sql.toStdString());
    } catch (const SQLite::Exception&) {
        throw DataError(errorText(m_impl->handle(), m_path));
    }
}

int64_t SqliteConnection::lastInsertId() const {
    return m_impl ? sqlite3_last_insert_rowid(m_impl->handle()) : 0;
}

bool SqliteConnection::isInTransaction() const {
    return m_impl && sqlite3_get_autocommit(m_impl->handle()) == 0;
}

int SqliteConnection::changes() const { return m_impl ? sqlite3_changes(m_impl->handle()) : 0; }

DataVersion SqliteConnection::dataVersion() {
    auto st = prepare(QStringLiteral("PRAGMA data_version"));
    DataVersion v;
    v.others = st->step() ? st->columnInt64(0) : -1;
    v.own = totalChanges();
    return v;
}

int64_t SqliteConnection::totalChanges() const {
    return m_impl ? sqlite3_total_changes64(m_impl->handle()) : 0;
}

QString SqliteConnection::tableName(const QString& table) {
    auto st = prepare(QStringLiteral("SELECT name FROM sqlite_schema WHERE type IN ('table','view')"));
    while (st->step()) {
        const QString name = st->columnValue(0).toString();
        if (QString::compare(name, table, Qt::CaseInsensitive) == 0) return name;
    }
    return {};
}

std::vector<Connection::ColumnInfo> SqliteConnection::tableColumns(const QString& table) {
    std::vector<ColumnInfo> cols;
    auto st = prepare(QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?)"));
    st->bind(1, table);
    while (st->step())
        cols.push_back({st->columnValue(0).toString(), st->columnValue(1).toString(),
                        st->columnInt64(2) != 0});
    return cols;
}

void SqliteConnection::createFile(const QString& path) {
    if (QFileInfo::exists(path))
        throw DataError(QStringLiteral("The file \"%1\" already exists").arg(path));
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        db.exec("PRAGMA journal_mode=WAL");
    } catch (const SQLite::Exception& e) {
        throw DataError(QStringLiteral("Cannot create database \"%1\": %2")
                            .arg(path, QString::fromUtf8(e.what())));
    }
}
