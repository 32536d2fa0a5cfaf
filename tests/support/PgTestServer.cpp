#include "PgTestServer.h"

#include <QCoreApplication>
#include <QProcess>

#include "PgConnection.h"

namespace {
const QString serverScript = QStringLiteral(TESSALY_SOURCE_DIR "/scripts/pg-test-server");
}

bool PgTestServer::start() {
    if (m_running) return true;
    m_dir.emplace();
    if (!m_dir->isValid()) {
        m_error = QStringLiteral("no temporary folder for the server");
        return false;
    }
    QProcess script;
    // The script also stops the server should this process die without stopping it.
    script.start(serverScript, {QStringLiteral("start"), m_dir->path(),
                                QString::number(QCoreApplication::applicationPid())});
    if (!script.waitForFinished(120000)) {
        m_error = script.errorString();
        return false;
    }
    if (script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0) {
        m_error = QString::fromUtf8(script.readAllStandardError());
        return false;
    }
    m_conninfo = QString::fromUtf8(script.readAllStandardOutput()).trimmed();
    m_running = !m_conninfo.isEmpty();
    if (!m_running) m_error = QStringLiteral("the server script printed no connection string");
    return m_running;
}

void PgTestServer::stop() {
    if (!m_running) return;
    m_running = false;
    QProcess script;
    script.start(serverScript, {QStringLiteral("stop"), m_dir->path()});
    if (!script.waitForFinished(120000) || script.exitCode() != 0)
        qWarning("The test server in %s did not stop: %s", qPrintable(m_dir->path()),
                 script.readAllStandardError().constData());
}

void PgTestServer::clear() {
    PgConnection c(m_conninfo);
    c.open();
    c.execute(QStringLiteral("DROP SCHEMA public CASCADE; CREATE SCHEMA public"));
}

PgTestServer& PgTestServer::shared() {
    static PgTestServer server;
    return server;
}
