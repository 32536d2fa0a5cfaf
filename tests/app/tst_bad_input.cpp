// Bad input through the windows as the office types it: every kind of bound
// edit of the student, teacher, plan and structure windows takes wrong
// numbers, impossible dates, over-long pastes, control characters and quotes,
// and each ends with the system's message or a refused key, the row still
// pending with what was valid, and nothing wrong in the database file.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <memory>

#include "Application.h"
#include "CurriculumFixture.h"
#include "DBComboBox.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBNavigator.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "GridModel.h"
#include "Messages.h"
#include "Prepod.h"
#include "References.h"
#include "StructurePage.h"
#include "Studenti.h"
#include "StudentsFixture.h"
#include "TeachersFixture.h"
#include "TypeText.h"
#include "YMO.h"

namespace {

// Shows the pages a control lies on, as a user clicks their tabs.
void bringForward(QWidget* control) {
    for (QWidget* w = control; w; w = w->parentWidget())
        if (auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget()))
            if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()))
                tabs->setCurrentWidget(w);
}

int columnTitled(DBGrid* grid, const QString& title) {
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (grid->model()->headerData(c, Qt::Horizontal).toString() == title) return c;
    return -1;
}

QString fileText(const QVariant& v) {
    return v.isNull() ? QString() : v.toString();
}

// The control under test: where its keys go, the text it shows, how a user
// leaves it and posts the row, and the file's value of its column.
struct Target {
    QWidget* keys = nullptr;
    std::function<QLineEdit*()> line;
    Dataset* dataset = nullptr;
    std::function<void()> leave;
    std::function<void()> post;
    std::function<QString()> stored;
    // A card edit of the same row that takes a valid text first, with its column in the file.
    QWidget* companion = nullptr;
    QString companionText;
    std::function<QString()> companionStored;
};

// One window made on its own register, and the control a row names in it.
class Session {
public:
    bool open(const QString& window, const QString& control);
    Target target;

private:
    std::unique_ptr<StudentsFixture> m_students;
    std::unique_ptr<TeachersFixture> m_teachers;
    std::unique_ptr<CurriculumFixture> m_curriculum;
    std::function<QVariant(const QString&)> m_scalar;

    void edit(QLineEdit* e, std::function<void()> post);
    void cell(DBGrid* grid, const QString& title);
    std::function<QString()> column(const QString& sql) {
        auto scalar = m_scalar;
        return [scalar, sql] { return fileText(scalar(sql)); };
    }
};

void Session::edit(QLineEdit* e, std::function<void()> post) {
    bringForward(e);
    target.keys = e;
    target.line = [e] { return e; };
    target.leave = [e] { QTest::keyClick(e, Qt::Key_Tab); };
    target.post = std::move(post);
}

void Session::cell(DBGrid* grid, const QString& title) {
    bringForward(grid);
    const int c = columnTitled(grid, title);
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(grid->gridModel()->dataset()->recNo(), c));
    if (!grid->editor()) QTest::keyClick(grid, Qt::Key_F2);
    auto line = [grid] { return qobject_cast<QLineEdit*>(grid->editor()); };
    target.keys = line();
    target.line = line;
    target.leave = [line] { QTest::keyClick(line(), Qt::Key_Return); };
    // Another row: the grid settles the one it leaves (past the last one it opens a new one).
    target.post = [grid] { QTest::keyClick(grid, Qt::Key_Down); };
}

bool Session::open(const QString& window, const QString& control) {
    Target& t = target;
    if (window == QLatin1String("student")) {
        m_students = std::make_unique<StudentsFixture>();
        StudentsFixture* f = m_students.get();
        m_scalar = [f](const QString& sql) { return f->scalar(sql); };
        TStuds* w = f->openWindow();
        if (!w) return false;
        const QString row = QStringLiteral(" FROM Studenti WHERE N_student = '0000001'");
        auto save = [w] { QTest::mouseClick(w->SaveButton, Qt::LeftButton); };
        t.dataset = DM->Q_Studenti;
        t.companion = w->SecNameEdit;
        t.companionText = QStringLiteral("Олегович");
        t.companionStored = column(QStringLiteral("SELECT SecName") + row);
        if (control == QLatin1String("GradeGrid")) {
            w->PageControl1->setCurrentIndex(1);
            t.dataset = DM->T_Ocenki;
            t.companion = nullptr;
            t.stored = column(
                QStringLiteral("SELECT Date FROM Ocenki WHERE rowid = %1")
                    .arg(f->scalar(QStringLiteral("SELECT rowid FROM Ocenki WHERE N_student = "
                                                  "'%1' AND ID_Plan = %2")
                                       .arg(DM->T_Ocenki->fieldByName(QStringLiteral("N_student"))
                                                .asString())
                                       .arg(DM->T_Ocenki->fieldByName(QStringLiteral("ID_Plan"))
                                                .asInteger()))
                             .toInt()));
            cell(w->GradeGrid, DM->T_Ocenki->fieldByName(QStringLiteral("Date")).displayLabel());
            return t.keys != nullptr;
        }
        const QMap<QString, std::pair<DBEdit*, QString>> edits{
            {QStringLiteral("BirthDateEdit"), {w->BirthDateEdit, QStringLiteral("BirthDate")}},
            {QStringLiteral("PodGroupEdit"), {w->PodGroupEdit, QStringLiteral("PodGroupe")}},
            {QStringLiteral("StreetEdit"), {w->StreetEdit, QStringLiteral("Street")}},
            {QStringLiteral("FamEdit"), {w->FamEdit, QStringLiteral("Fam")}}};
        const auto e = edits.value(control);
        if (!e.first) return false;
        edit(e.first, save);
        t.stored = column(QStringLiteral("SELECT ") + e.second + row);
        return true;
    }
    if (window == QLatin1String("teacher")) {
        m_teachers = std::make_unique<TeachersFixture>();
        TeachersFixture* f = m_teachers.get();
        m_scalar = [f](const QString& sql) { return f->scalar(sql); };
        TPrep* w = f->openWindow();
        if (!w) return false;
        const QString row =
            QStringLiteral(" FROM Prepodavateli WHERE ID_Prepod = %1")
                .arg(DM->Q_Prepod->fieldByName(QStringLiteral("ID_Prepod")).asInteger());
        t.dataset = DM->Q_Prepod;
        t.companion = w->BirthPlaceEdit;
        t.companionText = QStringLiteral("Томск");
        t.companionStored = column(QStringLiteral("SELECT \"Место рожд\"") + row);
        auto post = [w] {
            QTest::mouseClick(w->DBNavigator1->button(DBNavigator::Post), Qt::LeftButton);
        };
        if (control.startsWith(QLatin1String("DBGrid1:"))) {
            const QString title = control.section(u':', 1);
            t.companion = nullptr;
            t.stored = column(QStringLiteral("SELECT \"%1\"").arg(title) + row);
            cell(w->DBGrid1, title);
            return t.keys != nullptr;
        }
        const QMap<QString, std::pair<DBEdit*, QString>> edits{
            {QStringLiteral("BirthDateEdit"), {w->BirthDateEdit, QStringLiteral("День рождения")}},
            {QStringLiteral("StreetEdit"), {w->StreetEdit, QStringLiteral("Street")}},
            {QStringLiteral("FamEdit"), {w->FamEdit, QStringLiteral("Фамилия")}}};
        const auto e = edits.value(control);
        if (!e.first) return false;
        edit(e.first, post);
        t.stored = column(QStringLiteral("SELECT \"%1\"").arg(e.second) + row);
        return true;
    }
    m_curriculum = std::make_unique<CurriculumFixture>();
    CurriculumFixture* f = m_curriculum.get();
    m_scalar = [f](const QString& sql) { return f->scalar(sql); };
    Typ* w = f->openWindow();
    if (!w) return false;
    if (window == QLatin1String("plan")) {
        w->PageControl1->setCurrentIndex(0);
        const QString row =
            QStringLiteral(" FROM PlanSpec WHERE ID_Plan = %1")
                .arg(DM->T_Plan_Spec->fieldByName(QStringLiteral("ID_Plan")).asInteger());
        t.dataset = DM->T_Plan_Spec;
        auto save = [w] { QTest::mouseClick(w->PlanSaveButton, Qt::LeftButton); };
        if (control.startsWith(QLatin1String("PlanGrid:"))) {
            const QString name = control.section(u':', 1);
            t.stored = column(QStringLiteral("SELECT ") + name + row);
            cell(w->PlanGrid, DM->T_Plan_Spec->fieldByName(name).displayLabel());
            return t.keys != nullptr;
        }
        t.companion =
            control == QLatin1String("PlanPracticeEdit") ? w->PlanLectureEdit : w->PlanPracticeEdit;
        t.companionText = QStringLiteral("40");
        t.companionStored =
            column(QStringLiteral("SELECT ") +
                   (t.companion == w->PlanLectureEdit ? QStringLiteral("Time_Lekcii")
                                                      : QStringLiteral("Time_Prakt")) +
                   row);
        if (control == QLatin1String("PlanSemesterBox")) {
            DBComboBox* box = w->PlanSemesterBox;
            bringForward(box);
            t.keys = box;
            t.line = [box] { return box->lineEdit(); };
            t.leave = [box] { QTest::keyClick(box, Qt::Key_Tab); };
            t.post = save;
            t.stored = column(QStringLiteral("SELECT Semestr") + row);
            return true;
        }
        DBEdit* e =
            control == QLatin1String("PlanLectureEdit") ? w->PlanLectureEdit : w->PlanPracticeEdit;
        edit(e, save);
        t.stored = column(QStringLiteral("SELECT ") + e->dataField() + row);
        return true;
    }
    StructurePage* p = w->Structure;
    const QString row =
        QStringLiteral(" FROM Facultet WHERE ID_Facultet = %1")
            .arg(DM->facultet->fieldByName(QStringLiteral("ID_Facultet")).asInteger());
    t.dataset = DM->facultet;
    edit(p->FacultyNameEdit, [p] { QTest::mouseClick(p->FacultySaveButton, Qt::LeftButton); });
    t.stored = column(QStringLiteral("SELECT Nazvanie") + row);
    return true;
}

// Puts text into a control over what it shows, typed key by key or pasted.
void enter(QWidget* keys, QLineEdit* line, const QString& how, const QString& text) {
    keys->setFocus();
    line->selectAll();
    if (how == QLatin1String("paste")) {
        QApplication::clipboard()->setText(text);
        QTest::keyClick(keys, Qt::Key_V, Qt::ControlModifier);
    } else if (text.isEmpty()) {
        QTest::keyClick(keys, Qt::Key_Backspace);
    } else {
        typeText(keys, text);
    }
}

QString longText(int length) {
    const QString word = QStringLiteral("Длинный текст ");
    QString text;
    while (text.size() < length) text += word;
    return text.left(length);
}

}  // namespace

class TestBadInput : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void badInputIsReportedOrRefusedAndNothingWrongIsStored_data();
    void badInputIsReportedOrRefusedAndNothingWrongIsStored();
    void pickerTypingWhatNoEntryStartsWithChoosesNothing_data();
    void pickerTypingWhatNoEntryStartsWithChoosesNothing();
};

void TestBadInput::badInputIsReportedOrRefusedAndNothingWrongIsStored_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("text");
    // What the control shows once the text is in: refused keys never land.
    QTest::addColumn<QString>("shown");
    // The message the text gets on leaving the control; none when it is taken.
    QTest::addColumn<QString>("message");
    // The column in the file after the row is posted.
    QTest::addColumn<QString>("stored");

    const QString type = QStringLiteral("type");
    const QString paste = QStringLiteral("paste");
    auto notInteger = [](const QString& t) { return msg::invalidInteger(t); };
    auto notDate = [](const QString& t) { return msg::invalidDate(t); };
    const QString born = QStringLiteral("2004-05-06");

    struct Date {
        const char* window;
        const char* control;
        QString before;
    };
    const Date dateControls[] = {
        {"student", "BirthDateEdit", born},
        {"student", "GradeGrid", QStringLiteral("2024-01-15")},
        {"teacher", "BirthDateEdit", QString()},
        {"teacher", "DBGrid1:День рождения", QString()},
    };
    for (const Date& d : dateControls)
        for (const char* text : {"31.02.2024", "32.13.2024", "1.1.24"}) {
            const QString t = QString::fromUtf8(text);
            QTest::addRow("%s %s, %s", d.window, d.control, text)
                << d.window << QString::fromUtf8(d.control) << type << t << t << notDate(t)
                << d.before;
        }
    QTest::newRow("student grade date, letters refused")
        << "student"
        << "GradeGrid" << type << "1x.0z2.2024"
        << "1.02.2024" << QString() << "2024-02-01";
    QTest::newRow("student birth date, letters refused")
        << "student"
        << "BirthDateEdit" << type << "0б1.02.2003"
        << "01.02.2003" << QString() << "2003-02-01";
    QTest::newRow("teacher birth date pasted in words") << "teacher"
                                                        << "BirthDateEdit" << paste << "вчера"
                                                        << "вчера" << notDate("вчера") << QString();

    struct Integer {
        const char* window;
        const char* control;
        QString before;
        bool small;
    };
    const Integer integerControls[] = {
        {"student", "PodGroupEdit", QString(), true},
        {"teacher", "DBGrid1:Kur_Gr", QStringLiteral("1"), false},
        {"plan", "PlanSemesterBox", QStringLiteral("1"), false},
        {"plan", "PlanLectureEdit", QStringLiteral("36"), false},
        {"plan", "PlanPracticeEdit", QStringLiteral("18"), false},
        {"plan", "PlanGrid:Semestr", QStringLiteral("1"), false},
    };
    for (const Integer& i : integerControls) {
        const QString control = QString::fromUtf8(i.control);
        QTest::addRow("%s %s, letters refused", i.window, i.control)
            << i.window << control << type << "2a"
            << "2" << QString() << "2";
        QTest::addRow("%s %s, letters pasted", i.window, i.control)
            << i.window << control << paste << "два"
            << "два" << notInteger("два") << i.before;
        QTest::addRow("%s %s, quotes refused", i.window, i.control)
            << i.window << control << type << "'3\""
            << "3" << QString() << "3";
        for (const char* text : {"4294967296", "-2147483649", "99999999999999999999"}) {
            const QString t = QString::fromUtf8(text);
            QTest::addRow("%s %s, %s", i.window, i.control, text)
                << i.window << control << type << t << t << notInteger(t) << i.before;
        }
        QTest::addRow("%s %s, beyond 16 bits", i.window, i.control)
            << i.window << control << type << "40000"
            << "40000"
            << (i.small ? QStringLiteral("40000 is not a valid value for field 'PodGroupe'. "
                                         "The allowed range is -32768 to 32767")
                        : QString())
            << (i.small ? i.before : QStringLiteral("40000"));
    }

    struct Text {
        const char* window;
        const char* control;
        int size;
    };
    const Text textControls[] = {
        {"student", "StreetEdit", 10},        {"student", "FamEdit", 30},
        {"teacher", "StreetEdit", 10},        {"teacher", "DBGrid1:Street", 10},
        {"structure", "FacultyNameEdit", 50},
    };
    for (const Text& t : textControls) {
        const QString control = QString::fromUtf8(t.control);
        const QString cut = longText(t.size);
        QTest::addRow("%s %s, pasted past its size", t.window, t.control)
            << t.window << control << paste << longText(t.size + 15) << cut << QString() << cut;
        const QString quotes = QStringLiteral("О'Нил \"ст\"").left(t.size);
        QTest::addRow("%s %s, both quotes", t.window, t.control)
            << t.window << control << type << quotes << quotes << QString() << quotes;
        QTest::addRow("%s %s, control characters typed", t.window, t.control)
            << t.window << control << type << QStringLiteral("Ан\x01на\x7f") << "Анна" << QString()
            << "Анна";
        QTest::addRow("%s %s, control characters pasted", t.window, t.control)
            << t.window << control << paste << QStringLiteral("Ан\tна\r\n") << "Анна" << QString()
            << "Анна";
    }
}

void TestBadInput::badInputIsReportedOrRefusedAndNothingWrongIsStored() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, how);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    QFETCH(QString, stored);

    Session s;
    QVERIFY(s.open(window, control));
    Target& t = s.target;
    const QString before = t.stored();
    const QString beforeText = t.line()->text();
    QString companionBefore;
    if (t.companion) {
        companionBefore = t.companionStored();
        auto* line = qobject_cast<QLineEdit*>(t.companion);
        enter(t.companion, line, QStringLiteral("type"), t.companionText);
        QTest::keyClick(t.companion, Qt::Key_Tab);
        QCOMPARE(t.dataset->state(), DatasetState::Edit);
    }

    platform::MessageRecorder messages;
    enter(t.keys, t.line(), how, text);
    QCOMPARE(t.line()->text(), shown);
    t.leave();
    if (message.isEmpty()) {
        QCOMPARE(messages.texts(), QStringList());
        t.post();
        QCOMPARE(messages.texts(), QStringList());
        QVERIFY(!t.dataset->isModified());
        QCOMPARE(t.stored(), stored);
        if (t.companion) QCOMPARE(t.companionStored(), t.companionText);
        return;
    }

    QCOMPARE(messages.texts(), QStringList{message + u'.'});
    // The row waits with the text for correcting, and nothing reached the file.
    QVERIFY(t.dataset->isEditing());
    QCOMPARE(t.line()->text(), shown);
    QVERIFY_THROWS_EXCEPTION(platform::SilentAbort, t.dataset->post());
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY(t.dataset->isEditing());
    QCOMPARE(t.stored(), before);
    QCOMPARE(stored, before);
    if (t.companion) {
        QCOMPARE(t.companionStored(), companionBefore);
        QCOMPARE(t.dataset->fieldByName(qobject_cast<DBEdit*>(t.companion)->dataField()).asString(),
                 t.companionText);
    }
    // Put back as it was, the row goes through with what was valid.
    enter(t.keys, t.line(), QStringLiteral("type"), beforeText);
    t.leave();
    t.post();
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY(!t.dataset->isModified());
    QCOMPARE(t.stored(), before);
    if (t.companion) QCOMPARE(t.companionStored(), t.companionText);
}

void TestBadInput::pickerTypingWhatNoEntryStartsWithChoosesNothing_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("picker");
    QTest::addColumn<QString>("text");
    const char* const pickers[][2] = {
        {"student", "GroupPicker"}, {"teacher", "KafedraPicker"}, {"teacher", "DolgnostPicker"}};
    const QString texts[] = {QStringLiteral("'"), QStringLiteral("\""), QStringLiteral("\x01\t"),
                             QStringLiteral("99999999999"), QStringLiteral("Ы'; DROP")};
    for (const auto& p : pickers)
        for (const QString& t : texts)
            QTest::addRow("%s %s, %s", p[0], p[1], qPrintable(t))
                << QString::fromUtf8(p[0]) << QString::fromUtf8(p[1]) << t;
}

void TestBadInput::pickerTypingWhatNoEntryStartsWithChoosesNothing() {
    QFETCH(QString, window);
    QFETCH(QString, picker);
    QFETCH(QString, text);
    std::unique_ptr<StudentsFixture> students;
    std::unique_ptr<TeachersFixture> teachers;
    DBLookupComboBox* box = nullptr;
    Dataset* ds = nullptr;
    std::function<QVariant(const QString&)> scalar;
    QString sql;
    if (window == QLatin1String("student")) {
        students = std::make_unique<StudentsFixture>();
        TStuds* w = students->openWindow();
        QVERIFY(w);
        box = w->GroupPicker;
        ds = DM->Q_Studenti;
        scalar = [&students](const QString& q) { return students->scalar(q); };
        sql = QStringLiteral("SELECT ID_group FROM Studenti WHERE N_student = '0000001'");
    } else {
        teachers = std::make_unique<TeachersFixture>();
        TPrep* w = teachers->openWindow();
        QVERIFY(w);
        box = picker == QLatin1String("KafedraPicker") ? w->KafedraPicker : w->DolgnostPicker;
        ds = DM->Q_Prepod;
        scalar = [&teachers](const QString& q) { return teachers->scalar(q); };
        sql = QStringLiteral("SELECT \"%1\" FROM Prepodavateli WHERE ID_Prepod = 3")
                  .arg(picker == QLatin1String("KafedraPicker") ? QStringLiteral("ID_kafedra")
                                                                : QStringLiteral("Должность"));
    }
    bringForward(box);
    const QString before = fileText(scalar(sql));
    const QString shownBefore = box->displayText();
    platform::MessageRecorder messages;
    box->setFocus();
    typeText(box, text);
    QTest::keyClick(box, Qt::Key_Tab);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(box->displayText(), shownBefore);
    QCOMPARE(ds->state(), DatasetState::Browse);
    QCOMPARE(fileText(scalar(sql)), before);
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestBadInput test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_bad_input.moc"
