// The folders a card window's tests run in: a program folder with its photo
// folders (the photo store reads them), and a working folder, the current one
// while this lives, holding a new verdikon.mdb with the program's tables.
// Needs the data module's library.
#pragma once

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include "Connection.h"
#include "FileScalar.h"
#include "PhotoStore.h"
#include "Schema.h"

// A window made by a test, once it is on screen and active; null when it never shows.
template <typename Window>
Window* shownActive(Window* window) {
    if (!QTest::qWaitForWindowExposed(window)) return nullptr;
    QApplication::setActiveWindow(window);
    return window;
}

class RegisterFolders {
public:
    RegisterFolders() : m_previous(QDir::currentPath()) {
        QDir(m_dir.path()).mkpath(QStringLiteral("bin/Foto/Prepod"));
        QDir(m_dir.path()).mkpath(QStringLiteral("work"));
        QDir::setCurrent(m_dir.filePath(QStringLiteral("work")));
        SqliteConnection::createFile(database());
        SqliteConnection c(database());
        c.open();
        schema::create(c);
        photos::setSettingsSource([this] { return programFolder() + QStringLiteral("/tessaly"); },
                                  [this] { return programFolder(); });
    }
    ~RegisterFolders() {
        photos::setSettingsSource({}, {});
        QDir::setCurrent(m_previous);
    }
    RegisterFolders(const RegisterFolders&) = delete;
    RegisterFolders& operator=(const RegisterFolders&) = delete;

    // The main window's picture in the program folder, for the tests that open
    // windows through the main window.
    void writeMainWindowPicture() const {
        QImage picture(216, 143, QImage::Format_RGB32);
        picture.fill(Qt::white);
        picture.save(programFolder() + QStringLiteral("/verdikon.bmp"), "BMP");
    }

    QString database() const { return m_dir.filePath(QStringLiteral("work/verdikon.mdb")); }
    QString programFolder() const { return m_dir.filePath(QStringLiteral("bin")); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // A value read straight from the file on a second connection.
    QVariant scalar(const QString& sql) const { return fileScalar(database(), sql); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
