#include "TeachersFixture.h"


#include "Connection.h"
#include "DM_Tessaly.h"
#include "Prepod.h"

TeachersFixture::TeachersFixture(const QString& extraSql) {
    m_folders.writeMainWindowPicture();
    {
        SqliteConnection c(m_folders.database());
        c.open();
        c.execute(QStringLiteral(
            "INSERT INTO Facultet (Nazvanie) VALUES ('Информатики'), ('Экономики');"
            "INSERT INTO Specialnost (Nazvanie, ID_Facultet, ID_Spec) VALUES "
            "('Программная инженерия', 1, '090304'), ('Финансы и кредит', 2, '080105');"
            "INSERT INTO Gruppa (Nazvanie, ID_Specialnost) VALUES ('ПИ-21', '090304'), "
            "('ПИ-22', '090304'), ('ФК-11', '080105');"
            "INSERT INTO Kafedra (ID_facultet, Nazvanie, ID_kafedra) VALUES "
            "(1, 'Алгебры', 11), (1, 'Программирования', 12), (2, 'Финансов', 21);"
            "INSERT INTO Dolgnost (SNAME, NAME) VALUES ('доц.', 'доцент'), "
            "('проф.', 'профессор'), ('ст. преп.', 'старший преподаватель');"
            "INSERT INTO N_Zvanie (NAME) VALUES ('доцент'), ('профессор');"
            "INSERT INTO N_Stepen (SNAME, NAME) VALUES ('к.т.н.', 'кандидат технических наук'), "
            "('д.э.н.', 'доктор экономических наук');"
            // The highest number is not the last row's, nor the count of rows.
            "INSERT INTO Prepodavateli (ID_Prepod, \"Фамилия\", \"Имя\", \"Отчество\", \"Пол\", "
            "ID_kafedra, Kur_Gr, \"Должность\", \"Звание\", \"Степень\") VALUES "
            "(3, 'Соколова', 'Анна', 'Петровна', 'ж', 11, 1, 1, '1', '1'), "
            "(8, 'Ким', 'Олег', 'Игоревич', 'м', 21, 3, 2, '2', '2'), "
            "(5, 'Лебедев', 'Иван', 'Ильич', 'м', 12, 2, 1, NULL, NULL)"));
        if (!extraSql.isEmpty()) c.execute(extraSql);
    }
    m_dm = std::make_unique<TDM>();
}

TeachersFixture::~TeachersFixture() {
    for (const QPointer<TPrep>& w : m_windows) delete w.data();
    m_dm.reset();
}

TPrep* TeachersFixture::openWindow() {
    auto* w = new TPrep;
    m_windows << w;
    return shownActive(w);
}
