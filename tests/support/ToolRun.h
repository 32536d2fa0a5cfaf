// tessaly-db run as a program, for the suites that test it from outside. The
// including suite defines TESSALY_DB_EXECUTABLE, the tool's path.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

struct ToolResult {
    int code = -1;
    QString out;
    QString err;
};

inline ToolResult tool(const QStringList& args) {
    QProcess p;
    p.setProgram(QStringLiteral(TESSALY_DB_EXECUTABLE));
    p.setArguments(args);
    p.start();
    ToolResult r;
    if (!p.waitForFinished(240000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("did not finish");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline QString describe(const ToolResult& r) {
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(r.code).arg(r.out, r.err);
}
