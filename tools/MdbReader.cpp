// A Jet file read through libmdb. libmdb turns every value into text (text and
// memo already in UTF-8, Jet 4's compressed Unicode included); this reader
// gives each value its type back. Dates come in one fixed form so they parse
// exactly, and the bind buffers are large enough for any memo the file holds
// up to their size: a longer one is refused rather than cut.
// mdbtools.h includes glib inside its extern "C" block, which glib's C++ parts
// refuse; glib comes first so that inclusion finds it already there.
#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include "Catalog.h"
#include "DataError.h"
#include "JetReader.h"

namespace dbtools {

namespace {

constexpr size_t BindSize = 200000;
constexpr const char* DateFormat = "%Y-%m-%d %H:%M:%S";

JetType typeOf(int mdbType) {
    switch (mdbType) {
        case MDB_BOOL:
            return JetType::Boolean;
        case MDB_BYTE:
            return JetType::Byte;
        case MDB_INT:
            return JetType::Integer;
        case MDB_LONGINT:
            return JetType::LongInteger;
        case MDB_MONEY:
            return JetType::Money;
        case MDB_FLOAT:
            return JetType::Float;
        case MDB_DOUBLE:
            return JetType::Double;
        case MDB_DATETIME:
            return JetType::DateTime;
        case MDB_BINARY:
            return JetType::Binary;
        case MDB_TEXT:
            return JetType::Text;
        case MDB_OLE:
            return JetType::Ole;
        case MDB_MEMO:
            return JetType::Memo;
        case MDB_REPID:
            return JetType::ReplicationId;
        case MDB_NUMERIC:
            return JetType::Numeric;
        default:
            return JetType::Other;
    }
}

// "2024-03-01 10:20:30" as libmdb writes it with DateFormat; years before 1000
// come without leading zeros.
QVariant parseDate(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(-?\\d{1,5})-(\\d\\d)-(\\d\\d) (\\d\\d):(\\d\\d):(\\d\\d)$"));
    const auto m = form.match(text);
    if (!m.hasMatch()) return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid()) return {};
    return QDateTime(date, time);
}

class MdbReader final : public JetReader {
public:
    MdbReader(const QString& path, MdbHandle* mdb) : m_path(path), m_mdb(mdb) {}
    ~MdbReader() override { mdb_close(m_mdb); }
    MdbReader(const MdbReader&) = delete;
    MdbReader& operator=(const MdbReader&) = delete;

    std::vector<JetTable> tables() override {
        std::vector<JetTable> out;
        for (MdbCatalogEntry* entry : userTables()) {
            Table t(*this, entry);
            JetTable table;
            table.name = QString::fromUtf8(entry->object_name);
            for (unsigned i = 0; i < t.def->num_cols; ++i) {
                const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t.def->columns, i));
                JetColumn c;
                c.name = QString::fromUtf8(col->name);
                c.type = typeOf(col->col_type);
                c.size = col->col_size;
                // Jet 4 keeps two bytes a character.
                if ((c.type == JetType::Text) && m_mdb->f->jet_version != MDB_VER_JET3) c.size /= 2;
                c.autoNumber = col->is_long_auto != 0;
                table.columns.push_back(c);
            }
            out.push_back(std::move(table));
        }
        return out;
    }

    void readRows(const QString& name, const std::function<void(const JetRow&)>& row) override {
        MdbCatalogEntry* entry = nullptr;
        for (MdbCatalogEntry* e : userTables())
            if (QString::fromUtf8(e->object_name) == name) entry = e;
        if (!entry) throw DataError(QStringLiteral("\"%1\" has no table %2").arg(m_path, name));
        Table t(*this, entry);
        const unsigned n = t.def->num_cols;
        std::vector<std::vector<char>> buffers(n, std::vector<char>(BindSize));
        std::vector<int> lengths(n, 0);
        std::vector<MdbColumn*> columns(n);
        for (unsigned i = 0; i < n; ++i) {
            columns[i] = static_cast<MdbColumn*>(g_ptr_array_index(t.def->columns, i));
            mdb_bind_column(t.def, int(i + 1), buffers[i].data(), &lengths[i]);
        }
        mdb_rewind_table(t.def);
        JetRow values(n);
        qint64 number = 0;
        while (mdb_fetch_row(t.def)) {
            ++number;
            for (unsigned i = 0; i < n; ++i)
                values[i] = value(name, number, *columns[i], buffers[i].data(), lengths[i]);
            row(values);
        }
    }

private:
    // A table definition with its columns read, freed on every way out.
    struct Table {
        Table(MdbReader& reader, MdbCatalogEntry* entry) : def(mdb_read_table(entry)) {
            if (!def || !mdb_read_columns(def)) {
                if (def) mdb_free_tabledef(def);
                throw DataError(QStringLiteral("\"%1\": the table %2 cannot be read")
                                    .arg(reader.m_path, QString::fromUtf8(entry->object_name)));
            }
        }
        ~Table() { mdb_free_tabledef(def); }
        Table(const Table&) = delete;
        Table& operator=(const Table&) = delete;
        MdbTableDef* def;
    };

    std::vector<MdbCatalogEntry*> userTables() {
        std::vector<MdbCatalogEntry*> out;
        for (unsigned i = 0; i < m_mdb->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(m_mdb->catalog, i));
            if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry))
                out.push_back(entry);
        }
        return out;
    }

    QVariant value(const QString& table, qint64 number, MdbColumn& col, const char* bytes,
                   int length) {
        if (length <= 0) return {};
        const JetType type = typeOf(col.col_type);
        if (type == JetType::Ole) {
            size_t size = 0;
            void* data = mdb_ole_read_full(m_mdb, &col, &size);
            QByteArray out(static_cast<const char*>(data), qsizetype(size));
            g_free(data);
            return out;
        }
        if (type == JetType::Binary) return QByteArray(bytes, length);
        if (size_t(length) >= BindSize - 1)
            throw DataError(
                QStringLiteral("\"%1\": %2, row %3: the value of %4 is longer than %5 bytes")
                    .arg(m_path, table)
                    .arg(number)
                    .arg(QString::fromUtf8(col.name))
                    .arg(BindSize - 2));
        const QString text = QString::fromUtf8(bytes, length);
        bool ok = true;
        QVariant out;
        switch (type) {
            case JetType::Boolean:
                out = text.toInt(&ok) != 0;
                break;
            case JetType::Byte:
            case JetType::Integer:
            case JetType::LongInteger:
                out = text.toLongLong(&ok);
                break;
            case JetType::Float:
            case JetType::Double:
                out = text.toDouble(&ok);
                break;
            case JetType::DateTime:
                out = parseDate(text);
                ok = out.isValid();
                break;
            default:
                out = text;
                break;
        }
        if (!ok)
            throw DataError(
                QStringLiteral("\"%1\": %2, row %3: %4 holds \"%5\", which cannot be read")
                    .arg(m_path, table)
                    .arg(number)
                    .arg(QString::fromUtf8(col.name), text));
        return out;
    }

    QString m_path;
    MdbHandle* m_mdb;
};

}  // namespace

std::unique_ptr<JetReader> openJetFile(const QString& path) {
    requireFile(path);
    MdbHandle* mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!mdb) throw DataError(QStringLiteral("\"%1\" is not a Jet database (.mdb)").arg(path));
    auto reader = std::make_unique<MdbReader>(path, mdb);
    // Jet 3 keeps text in the code page its header names (1251 for a Russian office);
    // libmdb reads it as 1252 unless told otherwise.
    if (mdb->f->jet_version == MDB_VER_JET3 && mdb->f->code_page != 0 &&
        !qEnvironmentVariableIsSet("MDB_JET3_CHARSET")) {
        qputenv("MDB_JET3_CHARSET", "CP" + QByteArray::number(mdb->f->code_page));
        mdb_iconv_close(mdb);
        mdb_iconv_init(mdb);
        qunsetenv("MDB_JET3_CHARSET");
    }
    mdb_set_date_fmt(mdb, DateFormat);
    mdb_set_shortdate_fmt(mdb, DateFormat);
    mdb_set_boolean_fmt_numbers(mdb);
    mdb_set_bind_size(mdb, BindSize);
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        throw DataError(QStringLiteral("\"%1\": the list of tables cannot be read").arg(path));
    return reader;
}

}  // namespace dbtools
