// A program folder with its photo store, a working folder holding a small
// register (two faculties, three specialties, four groups, four students, a
// parent, a plan and grades), the data module opened on it, and a student
// window made as the main window makes it.
#pragma once

#include <QString>
#include <QVariant>
#include <memory>

#include "RegisterFolders.h"

class TDM;
class TStuds;
class SqliteConnection;

class StudentsFixture {
public:
    // extraSql: statements run on the register before the data module opens it. With
    // `server` (a connection string) the register is copied to that empty server
    // database and the data module opens it there, as a desk sharing it does.
    explicit StudentsFixture(const QString& extraSql = QString(),
                             const QString& server = QString());
    ~StudentsFixture();

    TStuds* openWindow();
    QString programFolder() const { return m_folders.programFolder(); }
    QString photoFolder() const { return programFolder() + QStringLiteral("/Foto"); }
    QString path(const QString& name) const { return m_folders.path(name); }
    // A value read straight from the file on a second connection.
    QVariant scalar(const QString& sql) const { return m_folders.scalar(sql); }
    // Writes a picture of this size at the path (format by extension).
    static void writePicture(const QString& path, int width, int height, const QColor& color);

private:
    RegisterFolders m_folders;
    std::unique_ptr<TDM> m_dm;
};
