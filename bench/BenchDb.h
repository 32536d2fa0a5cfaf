// The university-scale database the benchmarks run on: what
// `tessaly-db generate --students 30000` writes (1,500,000 grades), built once
// and kept, at any path.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace bench {
constexpr int Students = 30000;

// $TESSALY_BENCH_DB, else university/verdikon.mdb under the current folder; built on first use.
QString database();
QString studentNumber(int i);

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
