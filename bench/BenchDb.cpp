#include "BenchDb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "Generate.h"

namespace bench {

QString studentNumber(int i) { return dbtools::generatedStudentNumber(i); }

QString database() {
    QString path = qEnvironmentVariable("TESSALY_BENCH_DB");
    if (path.isEmpty()) path = QStringLiteral("university/verdikon.mdb");
    if (!QFileInfo::exists(path)) {
        std::fprintf(stderr, "building the benchmark database %s ...\n", qPrintable(path));
        QDir().mkpath(QFileInfo(path).absolutePath());
        dbtools::generate(path, Students);
    }
    return QFileInfo(path).absoluteFilePath();
}

DataModuleFolder::DataModuleFolder(const QString& db) : m_previous(QDir::currentPath()) {
    QFile::link(QFileInfo(db).absoluteFilePath(), m_dir.filePath(QStringLiteral("verdikon.mdb")));
    QDir::setCurrent(m_dir.path());
}

DataModuleFolder::~DataModuleFolder() { QDir::setCurrent(m_previous); }

}  // namespace bench
