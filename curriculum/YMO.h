// The educational-process window: the specialties of each faculty with their
// curriculum plans, the institution's structure and the discipline list. It
// has no data of its own; every control works on the data module's shared
// datasets, so a row made current here is current in every other window.
//
// Several windows may exist; `yp` names the newest. Closing destroys the
// window and empties `yp`. While a window is open the plan query holds all
// plan rows in the table's order; afterwards, ordered by specialty.
#pragma once

#include <QWidget>

#include "References.h"

class DBComboBox;
class DBEdit;
class DBGrid;
class DBLookupComboBox;
class DBText;
class DisciplinesPage;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class StructurePage;

class Typ : public QWidget {
    Q_OBJECT
public:
    enum Page { SpecialtyIndex = 0, StructureIndex = 1, DisciplinesIndex = 2 };
    enum PlanPage { EditPlanIndex = 0, QuickAddIndex = 1 };

    explicit Typ(QWidget* parent = nullptr);
    ~Typ() override;

    QTabWidget* PageControl1 = nullptr;

    // Page "Специальность": the faculty band.
    QWidget* FacultyBand = nullptr;
    QLabel* FacultyHeading = nullptr;
    DBLookupComboBox* FacultyPicker = nullptr;
    DBText* SpecialtyName = nullptr;

    // The specialty list.
    QSplitter* SpecialtySplitter = nullptr;
    QGroupBox* SpecialtyBox = nullptr;
    DBEdit* SpecNameEdit = nullptr;
    DBEdit* SpecCodeEdit = nullptr;
    DBEdit* SpecFacultyEdit = nullptr;
    QPushButton* SpecNewButton = nullptr;
    QPushButton* SpecPriorButton = nullptr;
    QPushButton* SpecNextButton = nullptr;
    QPushButton* SpecSaveButton = nullptr;
    DBGrid* SpecGrid = nullptr;

    // The plan: two sub-pages over the plan grid.
    QGroupBox* PlanBox = nullptr;
    QSplitter* PlanSplitter = nullptr;
    QTabWidget* PlanPages = nullptr;
    DBGrid* PlanGrid = nullptr;

    // Sub-page "Редактировать записей".
    DBLookupComboBox* PlanDisciplinePicker = nullptr;
    DBComboBox* PlanSemesterBox = nullptr;
    DBEdit* PlanLectureEdit = nullptr;
    DBEdit* PlanPracticeEdit = nullptr;
    DBLookupComboBox* PlanControlPicker = nullptr;
    QPushButton* PlanNewButton = nullptr;
    QPushButton* PlanSaveButton = nullptr;
    QPushButton* PlanPriorButton = nullptr;
    QPushButton* PlanNextButton = nullptr;

    // Sub-page "Быстрое добавление дисциплин".
    DBGrid* QuickPlanGrid = nullptr;
    QPushButton* QuickAddButton = nullptr;
    QComboBox* QuickSemesterBox = nullptr;
    DBLookupComboBox* QuickControlPicker = nullptr;
    QLineEdit* QuickPracticeEdit = nullptr;
    QLineEdit* QuickLectureEdit = nullptr;
    QPushButton* QuickRemoveButton = nullptr;
    DBGrid* QuickDisciplineGrid = nullptr;

    // Pages "Структура ВУЗа" and "Дисциплины".
    StructurePage* Structure = nullptr;
    DisciplinesPage* Disciplines = nullptr;

    // Handlers.
    void FormCreate();
    void SpecNewButtonClick();
    void SpecPriorButtonClick();
    void SpecNextButtonClick();
    void SpecSaveButtonClick();
    void PlanNewButtonClick();
    void PlanSaveButtonClick();
    void PlanPriorButtonClick();
    void PlanNextButtonClick();
    void PlanPagesChange(int index);
    void QuickAddButtonClick();
    void QuickRemoveButtonClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Names the window in `yp` from the start of its construction, and empties
    // `yp` when the window goes, also when its creation step fails half-way.
    struct Claim {
        explicit Claim(Typ* window) : window(window) { yp = window; }
        ~Claim() {
            if (yp == window) yp = nullptr;
        }
        Claim(const Claim&) = delete;
        Claim& operator=(const Claim&) = delete;
        Typ* window;
    };
    Claim m_reference{this};

    QWidget* buildSpecialtyPage();
    QWidget* buildFacultyBand();
    QGroupBox* buildSpecialtyBox();
    QGroupBox* buildPlanBox();
    QWidget* buildEditPlanPage();
    QWidget* buildQuickAddPage();
};
