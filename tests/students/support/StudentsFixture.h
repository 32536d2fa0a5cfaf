// A program folder with its photo store, a working folder holding a small
// register (two faculties, three specialties, four groups, four students, a
// parent, a plan and grades), the data module opened on it, and a student
// window made as the main window makes it.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

class TDM;
class TStuds;
class SqliteConnection;

class StudentsFixture {
public:
    // extraSql: statements run on the register before the data module opens it.
    explicit StudentsFixture(const QString& extraSql = QString());
    ~StudentsFixture();

    TStuds* openWindow();
    QString programFolder() const { return m_dir.filePath(QStringLiteral("bin")); }
    QString photoFolder() const { return m_dir.filePath(QStringLiteral("bin/Foto")); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // A value read straight from the file on a second connection.
    QVariant scalar(const QString& sql) const;
    // Writes a picture of this size at the path (format by extension).
    static void writePicture(const QString& path, int width, int height, const QColor& color);

private:
    QTemporaryDir m_dir;
    QString m_previous;
    std::unique_ptr<TDM> m_dm;
};
