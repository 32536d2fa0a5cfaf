// Reading a Jet database (the Access ".mdb" file of Jet 3 and Jet 4): its user
// tables, their columns and their rows, with values already in Qt's types.
// The import reads through this interface only, so it can be fed from a file
// through libmdb or from rows made in memory.
#pragma once

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace dbtools {

// The column types of Jet, as the file declares them.
enum class JetType {
    Boolean,
    Byte,
    Integer,      // 16 bits
    LongInteger,  // 32 bits
    Money,
    Float,
    Double,
    DateTime,
    Binary,
    Text,
    Ole,
    Memo,
    ReplicationId,
    Numeric,
    Other
};

struct JetColumn {
    QString name;
    JetType type = JetType::Text;
    int size = 0;             // text: most characters the file allows; bytes otherwise
    bool autoNumber = false;  // a counter the database assigns
};

struct JetTable {
    QString name;
    std::vector<JetColumn> columns;
};

// The values of one row in the order of the table's columns. Null is an invalid
// QVariant (Jet keeps no difference between a null and an empty text). Otherwise:
// bool for Boolean, qlonglong for the integer types, double for Float and Double,
// QString holding the exact decimal for Money and Numeric, QDateTime for DateTime,
// QString for Text, Memo and ReplicationId, QByteArray for Binary and Ole.
using JetRow = std::vector<QVariant>;

class JetReader {
public:
    virtual ~JetReader() = default;
    // The user tables in the order the file lists them; no system tables.
    virtual std::vector<JetTable> tables() = 0;
    // Calls row for every row of the table, in the order the file keeps them.
    // Throws DataError when the table cannot be read.
    virtual void readRows(const QString& table, const std::function<void(const JetRow&)>& row) = 0;
};

// Opens a Jet file through libmdb; throws DataError naming the path when it is
// missing or not a Jet database.
std::unique_ptr<JetReader> openJetFile(const QString& path);

}  // namespace dbtools
