// A program folder and a working folder holding a small register for the
// educational-process window (two faculties with their specialties, plans,
// departments and groups, four disciplines, two control types, three
// teachers and two students with grades), the data module opened on it, and
// windows made as the main window makes them.
#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <memory>

#include "RegisterFolders.h"

class TDM;
class TStuds;
class Typ;

class CurriculumFixture {
public:
    // extraSql: statements run on the register before the data module opens it.
    explicit CurriculumFixture(const QString& extraSql = QString());
    ~CurriculumFixture();

    // A new window, shown, exposed and active.
    Typ* openWindow();
    // A student window on the grade sheet of the first course's autumn semester.
    TStuds* openFirstSemesterSheet();
    // The running program's path in the program folder, for a main window.
    QString programPath() const { return m_folders.path(QStringLiteral("bin/tessaly")); }
    QString path(const QString& name) const { return m_folders.path(name); }
    // A value read straight from the file on a second connection.
    QVariant scalar(const QString& sql) const { return m_folders.scalar(sql); }

private:
    RegisterFolders m_folders;
    std::unique_ptr<TDM> m_dm;
    QList<QPointer<Typ>> m_windows;
    QPointer<TStuds> m_students;
};
