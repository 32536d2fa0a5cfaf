#include "DailyBackup.h"

#include <QStandardPaths>
#include <cstdio>
#include <exception>

#include "Backup.h"

DailyBackup::DailyBackup(QString database, QString folder, QDate day) {
    m_thread = std::thread([this, database = std::move(database), folder = std::move(folder), day] {
        try {
            backup::writeDailyBackup(database, folder, day, backup::DailyCopiesKept, &m_stop);
        } catch (const backup::Stopped&) {
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tessaly: the daily backup of %s failed: %s\n",
                         database.toLocal8Bit().constData(), e.what());
        }
    });
}

DailyBackup::~DailyBackup() {
    m_stop = true;
    wait();
}

void DailyBackup::wait() {
    if (m_thread.joinable()) m_thread.join();
}

QString DailyBackup::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/backups");
}
