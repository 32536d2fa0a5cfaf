#include "BenchDb.h"

#include <QDir>
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

}  // namespace bench
