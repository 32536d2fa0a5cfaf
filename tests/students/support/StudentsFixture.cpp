#include "StudentsFixture.h"

#include <QColor>
#include <QImage>

#include "Connection.h"
#include "Copy.h"
#include "DM_Tessaly.h"
#include "References.h"
#include "Studenti.h"

namespace {

void run(SqliteConnection& c, const QString& sql) {
    auto st = c.prepare(sql);
    while (st->step()) {
    }
}

}  // namespace

StudentsFixture::StudentsFixture(const QString& extraSql, const QString& server) {
    {
        SqliteConnection c(m_folders.database());
        c.open();
        run(c, QStringLiteral(
                   "INSERT INTO Facultet (Nazvanie) VALUES ('Информатики'), ('Экономики')"));
        run(c,
            QStringLiteral(
                "INSERT INTO Specialnost (Nazvanie, ID_Facultet, ID_Spec) VALUES "
                "('Программная инженерия', 1, '090304'), ('Прикладная информатика', 1, '090303'), "
                "('Финансы и кредит', 2, '080105')"));
        run(c, QStringLiteral("INSERT INTO Gruppa (Nazvanie, ID_Specialnost) VALUES "
                              "('ПИ-21', '090304'), ('ПИ-22', '090304'), ('ПРИ-21', '090303'), "
                              "('ФК-11', '080105')"));
        run(c, QStringLiteral(
                   "INSERT INTO Studenti (N_student, Fam, Name, SecName, BirthDate, Sex, ID_group, "
                   "Type_Stud) VALUES "
                   "('0000001', 'Петров', 'Пётр', 'Сергеевич', '2004-05-06', 'М', 1, 'Бюджет'), "
                   "('0000002', 'Иванова', 'Анна', 'Игоревна', NULL, 'Ж', 3, 'Контракт'), "
                   "('0000003', 'Сидоров', 'Иван', 'Ильич', NULL, 'М', 4, NULL), "
                   "('0000004', 'иванов', 'Олег', NULL, NULL, 'М', 2, NULL)"));
        run(c, QStringLiteral("INSERT INTO Parents (PFam, Pname, N_Student) VALUES "
                              "('Петрова', 'Мария', '0000001')"));
        run(c, QStringLiteral("INSERT INTO Disciplins (NameDis) VALUES ('Алгебра'), "
                              "('История'), ('Физика')"));
        run(c, QStringLiteral("INSERT INTO ID_kontrol (ID_KONTROL, Nazvanie) VALUES "
                              "(1, 'Экзамен'), (2, 'Зачет')"));
        run(c, QStringLiteral("INSERT INTO ID_Result (ID_Result, Nazvanie) VALUES "
                              "(1, 'Отлично'), (2, 'Хорошо'), (5, 'Зачтено')"));
        // Plan rows 1 to 4: two in semester 3 and one in 4 for the first
        // specialty, one in semester 3 for the second.
        run(c, QStringLiteral("INSERT INTO PlanSpec (ID_Spec, Ndis, Semestr, ID_Kontrol) VALUES "
                              "('090304', 1, 3, 1), ('090304', 2, 3, 2), ('090304', 3, 4, 1), "
                              "('090303', 3, 3, 1)"));
        run(c, QStringLiteral("INSERT INTO Ocenki (N_student, ID_Plan, Semestr, Date, ID_Result) "
                              "VALUES ('0000001', 1, 3, '2024-01-15', 1), "
                              "('0000001', 3, 4, NULL, NULL), ('0000002', 4, 3, NULL, 2)"));
        for (const QString& sql : extraSql.split(u';', Qt::SkipEmptyParts)) run(c, sql);
    }
    if (!server.isEmpty()) dbtools::copyDatabase({m_folders.database(), false}, {server, true});
    m_dm = std::make_unique<TDM>(nullptr, server);
}

StudentsFixture::~StudentsFixture() {
    if (Studs) delete Studs;
    m_dm.reset();
}

TStuds* StudentsFixture::openWindow() {
    return shownActive(new TStuds);
}

void StudentsFixture::writePicture(const QString& path, int width, int height,
                                   const QColor& color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    image.save(path);
}
