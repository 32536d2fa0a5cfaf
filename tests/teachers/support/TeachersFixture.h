// A program folder with its photo store and the main window's picture, a working folder holding a
// small teacher register (two faculties with their departments, specialties and groups, three
// teachers, positions, titles and degrees), the data module opened on it, and teacher windows made
// as the main window makes them.
#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <memory>

#include "RegisterFolders.h"

class TDM;
class TPrep;

class TeachersFixture {
public:
    // extraSql: statements run on the register before the data module opens it.
    explicit TeachersFixture(const QString& extraSql = QString());
    ~TeachersFixture();

    TPrep* openWindow();
    QString photoFolder() const { return m_folders.programFolder() + QStringLiteral("/Foto/Prepod"); }
    QString path(const QString& name) const { return m_folders.path(name); }
    // A value read straight from the file on a second connection.
    QVariant scalar(const QString& sql) const { return m_folders.scalar(sql); }

private:
    RegisterFolders m_folders;
    std::unique_ptr<TDM> m_dm;
    QList<QPointer<TPrep>> m_windows;
};
