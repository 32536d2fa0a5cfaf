// The university-scale database the benchmarks run on: what
// `tessaly-db generate --students 30000` writes (1,500,000 grades), built once
// and kept, at any path.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class Connection;
class Table;

namespace bench {
constexpr int Students = 30000;

// $TESSALY_BENCH_DB, else university/verdikon.mdb under the current folder; built on first use.
QString database();
QString studentNumber(int i);

// The grades as the grade sheet's table declares them.
std::unique_ptr<Table> gradesTable(Connection& c);
// The best of three runs of a program, its output discarded, in seconds; 0 when it fails.
double commandSeconds(const QString& program, const QStringList& arguments);

// The data module opens "verdikon.mdb" in the current folder. While this lives,
// the current folder is one where that name leads to the given database
// (whatever the database's own file name); the data module's connection stays
// on the database after the folder is gone.
class DataModuleFolder {
public:
    explicit DataModuleFolder(const QString& db);
    ~DataModuleFolder();
    DataModuleFolder(const DataModuleFolder&) = delete;
    DataModuleFolder& operator=(const DataModuleFolder&) = delete;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
}  // namespace bench
