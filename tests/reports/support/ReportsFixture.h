// A small register for the documents' tests, opened by the data module as the
// program opens it, with the report container made as start-up makes it:
//
// - faculties "Информатики" (dean 5, Лебедев) and "Экономики" (dean 8, Ким),
//   one specialty each (090304, 080105);
// - groups "ПИ-21" (090304, curator 3, Соколова; three students), "ПИ-22"
//   (090304, no students) and "ФК-11" (080105, curator 8; LongGroupSize
//   students, enough for a statement of two pages);
// - teachers 3 "доцент", 8 "профессор", 5 "старший преподаватель";
// - disciplines "Алгебра", "История", "Физика"; plan rows for 090304:
//   "Алгебра" in semesters 4 (72 + 0) and 3 (36 + 18), "История" in semester
//   2 without hours; for 080105: "Алгебра" in semester 1 (10 + 10);
// - photos in the photo store under the test program's own folder: the first
//   student's a JPEG, the second's a damaged bitmap, the third none; teacher
//   3's a bitmap, teacher 5's a damaged JPEG, teacher 8 none.
#pragma once

#include <QList>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

#include "RegisterFolders.h"

class DBLookupComboBox;
class TDM;
class TF_Report;
class TPrep;
class TStuds;
class Tf_otchet;
class Typ;

class ReportsFixture {
public:
    static constexpr int LongGroupSize = 20;
    static inline const QSize StudentPhotoSize{60, 80};
    static inline const QSize TeacherPhotoSize{90, 120};

    ReportsFixture();
    ~ReportsFixture();

    // Windows made as the main window makes them, shown, exposed and active.
    Tf_otchet* openSelection();
    TStuds* openStudents();
    TPrep* openTeachers();
    Typ* openStudyWindow();

    // The `Foto` value of the first, second student; of teacher 3, 5.
    QString studentPhoto(int i) const;
    QString teacherPhoto(int id) const;

    QString path(const QString& name) const { return m_folders.path(name); }
    // The running program's path in the program folder, for a main window.
    QString programPath() const { return m_folders.path(QStringLiteral("bin/tessaly")); }
    // A statement run on the register on a second connection, as another program would.
    void exec(const QString& sql) const;

private:
    class ExecutablePhotos;
    RegisterFolders m_folders;
    std::unique_ptr<ExecutablePhotos> m_photos;
    std::unique_ptr<TF_Report> m_reports;
    std::unique_ptr<TDM> m_dm;
    QList<QPointer<QWidget>> m_windows;
};

// As a user chooses: opens the picker's list, moves to the entry that shows
// this text and presses Enter. False when the list offers no such entry.
bool choose(DBLookupComboBox* picker, const QString& shown);
// Every line of a page list's dump that holds the text, in order.
QStringList linesWith(const QString& dump, const QString& text);
