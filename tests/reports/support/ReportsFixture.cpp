#include "ReportsFixture.h"

#include <unistd.h>
#include <QAbstractItemView>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

#include "Connection.h"
#include "DBLookupComboBox.h"
#include "DM_Tessaly.h"
#include "JpegWriter.h"
#include "Prepod.h"
#include "Report.h"
#include "Studenti.h"
#include "YMO.h"
#include "otchet.h"

// The printed cards find photos under the running program's own folder, which
// other tests share: the files here carry this process's tag, and only what
// this fixture made is removed again.
class ReportsFixture::ExecutablePhotos {
public:
    ExecutablePhotos() : m_tag(QStringLiteral("reports-%1").arg(::getpid())) {
        const QDir base(QCoreApplication::applicationDirPath());
        for (const char* folder : {"Foto", "Foto/Prepod"})
            if (!base.exists(QLatin1String(folder))) m_madeFolders.prepend(base.filePath(folder));
        base.mkpath(QStringLiteral("Foto/Prepod"));
        m_students = base.filePath(QStringLiteral("Foto"));
        m_teachers = base.filePath(QStringLiteral("Foto/Prepod"));
    }
    ~ExecutablePhotos() {
        for (const QString& file : m_files) QFile::remove(file);
        for (const QString& folder : m_madeFolders) QDir().rmdir(folder);
    }
    QString name(const QString& suffix) const { return m_tag + suffix; }
    void write(bool teacher, const QString& name, const QByteArray& bytes) {
        const QString path = (teacher ? m_teachers : m_students) + QLatin1Char('/') + name;
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
        m_files << path;
    }

private:
    QString m_tag;
    QString m_students;
    QString m_teachers;
    QStringList m_madeFolders;
    QStringList m_files;
};

namespace {

QImage face(const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0xc8, 0xa0, 0x80));
    return image;
}

QByteArray bitmapBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

}  // namespace

ReportsFixture::ReportsFixture() : m_photos(std::make_unique<ExecutablePhotos>()) {
    m_folders.writeMainWindowPicture();
    m_photos->write(false, studentPhoto(1), jpegBytes(face(StudentPhotoSize), JpegModel::Rgb));
    m_photos->write(false, studentPhoto(2), QByteArray("BM not really a bitmap"));
    m_photos->write(true, teacherPhoto(3), bitmapBytes(face(TeacherPhotoSize)));
    m_photos->write(true, teacherPhoto(5), QByteArray("not really a JPEG"));
    {
        SqliteConnection c(m_folders.database());
        c.open();
        c.execute(QStringLiteral(
            "INSERT INTO Facultet (Nazvanie, ID_Dekan) VALUES ('Информатики', 5), "
            "('Экономики', 8);"
            "INSERT INTO Specialnost (Nazvanie, ID_Facultet, ID_Spec) VALUES "
            "('Программная инженерия', 1, '090304'), ('Финансы и кредит', 2, '080105');"
            "INSERT INTO Kafedra (ID_facultet, Nazvanie, ID_kafedra) VALUES "
            "(1, 'Алгебры', 11), (2, 'Финансов', 21);"
            "INSERT INTO Dolgnost (SNAME, NAME) VALUES ('доц.', 'доцент'), "
            "('проф.', 'профессор'), ('ст. преп.', 'старший преподаватель');"
            "INSERT INTO Gruppa (Nazvanie, ID_Specialnost, ID_Kyrator) VALUES "
            "('ПИ-21', '090304', 3), ('ПИ-22', '090304', NULL), ('ФК-11', '080105', 8);"
            "INSERT INTO Disciplins (NameDis, TypeDis) VALUES ('Алгебра', 1), ('История', 2), "
            "('Физика', 1);"
            "INSERT INTO ID_kontrol (ID_KONTROL, Nazvanie) VALUES (1, 'Экзамен'), (2, 'Зачет');"
            "INSERT INTO PlanSpec (ID_Spec, Ndis, Semestr, Time_Lekcii, Time_Prakt, ID_Kontrol) "
            "VALUES ('090304', 1, 4, 72, 0, 1), ('090304', 1, 3, 36, 18, 1), "
            "('090304', 2, 2, NULL, NULL, 2), ('080105', 1, 1, 10, 10, 1);"));
        auto teachers = c.prepare(QStringLiteral(
            "INSERT INTO Prepodavateli (ID_Prepod, \"Фамилия\", \"Имя\", \"Отчество\", "
            "\"День рождения\", \"Место рожд\", \"Гражданство\", \"Должность\", Kur_Gr, "
            "ID_kafedra, City, Street, House, Apar, Foto) VALUES "
            "(3, 'Соколова', 'Анна', 'Петровна', '1975-03-14', 'Котлас', 'РФ', 1, 1, 11, "
            "'Архангельск', 'Садовая', '7', '21', ?), "
            "(8, 'Ким', 'Олег', 'Игоревич', NULL, NULL, NULL, 2, 3, 21, NULL, NULL, NULL, NULL, "
            "NULL), "
            "(5, 'Лебедев', 'Иван', 'Ильич', NULL, NULL, NULL, 3, NULL, 11, NULL, NULL, NULL, "
            "NULL, ?)"));
        teachers->bind(1, teacherPhoto(3));
        teachers->bind(2, teacherPhoto(5));
        teachers->step();
        auto students = c.prepare(QStringLiteral(
            "INSERT INTO Studenti (N_student, Fam, Name, SecName, BirthDate, ID_group, Type_Stud, "
            "City, Street, House, Apar, Foto) VALUES "
            "('0000001', 'Петров', 'Пётр', 'Сергеевич', '2004-05-06', 1, 'Бюджет', "
            "'Архангельск', 'Ленина', '5', '12', ?), "
            "('0000002', 'Иванова', 'Анна', 'Игоревна', NULL, 1, 'Контракт', NULL, NULL, NULL, "
            "NULL, ?), "
            "('0000003', 'Сидоров', 'Иван', 'Ильич', NULL, 1, NULL, NULL, NULL, NULL, NULL, "
            "NULL)"));
        students->bind(1, studentPhoto(1));
        students->bind(2, studentPhoto(2));
        students->step();
        auto group = c.prepare(QStringLiteral(
            "INSERT INTO Studenti (N_student, Fam, Name, SecName, ID_group) VALUES (?, ?, "
            "'Кирилл', 'Ильич', 3)"));
        for (int i = 1; i <= LongGroupSize; ++i) {
            group->reset();
            group->bind(1, QStringLiteral("00001%1").arg(i, 2, 10, QLatin1Char('0')));
            group->bind(2, QStringLiteral("Орлов%1").arg(i, 2, 10, QLatin1Char('0')));
            group->step();
        }
    }
    m_reports = std::make_unique<TF_Report>();
    m_dm = std::make_unique<TDM>();
}

ReportsFixture::~ReportsFixture() {
    for (const QPointer<QWidget>& w : m_windows) delete w.data();
    m_dm.reset();
    m_reports.reset();
}

void ReportsFixture::exec(const QString& sql) const {
    SqliteConnection c(m_folders.database());
    c.open();
    c.execute(sql);
}

QString ReportsFixture::studentPhoto(int i) const {
    return m_photos->name(i == 1 ? QStringLiteral("-1.jpg") : QStringLiteral("-2.BMP"));
}

QString ReportsFixture::teacherPhoto(int id) const {
    return m_photos->name(id == 3 ? QStringLiteral("-3.BMP") : QStringLiteral("-5.jpg"));
}

Tf_otchet* ReportsFixture::openSelection() {
    auto* w = new Tf_otchet;
    m_windows << w;
    w->show();
    return shownActive(w);
}

TStuds* ReportsFixture::openStudents() {
    auto* w = new TStuds;
    m_windows << w;
    return shownActive(w);
}

TPrep* ReportsFixture::openTeachers() {
    auto* w = new TPrep;
    m_windows << w;
    return shownActive(w);
}

Typ* ReportsFixture::openStudyWindow() {
    auto* w = new Typ;
    m_windows << w;
    return shownActive(w);
}

bool choose(DBLookupComboBox* picker, const QString& shown) {
    picker->showPopup();
    QAbstractItemModel* model = picker->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (model->data(index).toString() != shown) continue;
        picker->view()->setCurrentIndex(index);
        QTest::keyClick(picker->view(), Qt::Key_Return);
        return picker->displayText() == shown;
    }
    picker->hidePopup();
    return false;
}

QStringList linesWith(const QString& dump, const QString& text) {
    QStringList found;
    for (const QString& line : dump.split(u'\n'))
        if (line.contains(text)) found << line;
    return found;
}
