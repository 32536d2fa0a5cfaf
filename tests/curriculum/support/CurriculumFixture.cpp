#include "CurriculumFixture.h"

#include <QTabBar>
#include <QTabWidget>

#include "Connection.h"
#include "DM_Tessaly.h"
#include "Studenti.h"
#include "YMO.h"

CurriculumFixture::CurriculumFixture(const QString& extraSql) {
    m_folders.writeMainWindowPicture();
    {
        SqliteConnection c(m_folders.database());
        c.open();
        c.execute(QStringLiteral(
            "INSERT INTO Facultet (Nazvanie, ID_Dekan) VALUES ('Информатики', 5), "
            "('Экономики', 8);"
            "INSERT INTO Specialnost (Nazvanie, ID_Facultet, ID_Spec) VALUES "
            "('Программная инженерия', 1, '090304'), ('Прикладная информатика', 1, '090303'), "
            "('Финансы и кредит', 2, '080105');"
            "INSERT INTO Disciplins (NameDis, TypeDis) VALUES ('Алгебра', 1), ('История', 2), "
            "('Физика', 1), ('Экономика', 2);"
            "INSERT INTO ID_kontrol (ID_KONTROL, Nazvanie) VALUES (1, 'Экзамен'), (2, 'Зачет');"
            // Plan rows 1 to 5: three for the first specialty in semesters 1 and 2,
            // one for the second, one for the third faculty's specialty.
            "INSERT INTO PlanSpec (ID_Spec, Ndis, Semestr, Time_Lekcii, Time_Prakt, ID_Kontrol) "
            "VALUES ('090304', 1, 1, 36, 18, 1), ('090304', 2, 1, 18, 18, 2), "
            "('090304', 3, 2, 36, 36, 1), ('090303', 3, 1, 18, 0, 2), "
            "('080105', 4, 1, 36, 18, 1);"
            "INSERT INTO Kafedra (ID_facultet, Nazvanie, ID_kafedra) VALUES "
            "(1, 'Алгебры', 11), (1, 'Программирования', 12), (2, 'Финансов', 21);"
            "INSERT INTO Gruppa (Nazvanie, ID_Specialnost, ID_Kyrator) VALUES "
            "('ПИ-21', '090304', 3), ('ПИ-22', '090304', NULL), ('ПРИ-21', '090303', NULL), "
            "('ФК-11', '080105', 8);"
            "INSERT INTO Prepodavateli (ID_Prepod, \"Фамилия\", \"Имя\", \"Отчество\", "
            "ID_kafedra) VALUES (3, 'Соколова', 'Анна', 'Петровна', 11), "
            "(8, 'Ким', 'Олег', 'Игоревич', 21), (5, 'Лебедев', 'Иван', 'Ильич', 12);"
            "INSERT INTO ID_Result (ID_Result, Nazvanie) VALUES (1, 'Отлично'), (5, 'Зачтено');"
            "INSERT INTO Studenti (N_student, Fam, Name, SecName, ID_group) VALUES "
            "('0000001', 'Петров', 'Пётр', 'Сергеевич', 1), "
            "('0000002', 'Иванова', 'Анна', 'Игоревна', 4);"
            "INSERT INTO Ocenki (N_student, ID_Plan, Semestr, ID_Result) VALUES "
            "('0000001', 1, 1, 1)"));
        if (!extraSql.isEmpty()) c.execute(extraSql);
    }
    m_dm = std::make_unique<TDM>();
}

CurriculumFixture::~CurriculumFixture() {
    for (const QPointer<Typ>& w : m_windows) delete w.data();
    delete m_students.data();
    m_dm.reset();
}

Typ* CurriculumFixture::openWindow() {
    auto* w = new Typ;
    m_windows << w;
    return shownActive(w);
}

TStuds* CurriculumFixture::openFirstSemesterSheet() {
    m_students = shownActive(new TStuds);
    if (!m_students) return nullptr;
    m_students->PageControl1->setCurrentIndex(1);
    m_students->CourseTabs->setCurrentIndex(0);
    m_students->SemesterTabs->setCurrentIndex(0);
    return m_students;
}
