// The program's daily safety copy of its database: written on a thread of its
// own, with its own connection, so the start is not delayed; a failure is
// written to standard error and never stops the user.
#pragma once

#include <QDate>
#include <QString>
#include <atomic>
#include <thread>

class DailyBackup {
public:
    // Starts writing the day's copy of `database` into `folder` unless it has one.
    DailyBackup(QString database, QString folder, QDate day);
    // A copy still being written is stopped (it leaves nothing behind) and waited for.
    ~DailyBackup();
    DailyBackup(const DailyBackup&) = delete;
    DailyBackup& operator=(const DailyBackup&) = delete;

    // Waits until the copy is written, found there, or failed.
    void wait();

    // The per-user application data folder's "backups".
    static QString defaultFolder();

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
