// Page "Структура ВУЗа" of the educational-process window: the faculties with
// their deans, the departments of the current faculty and the groups of the
// current specialty with their curators.
#pragma once

#include <QWidget>

class DBEdit;
class DBGrid;
class DBLookupComboBox;
class DBText;
class QGroupBox;
class QPushButton;
class QSplitter;

class StructurePage : public QWidget {
    Q_OBJECT
public:
    explicit StructurePage(QWidget* parent = nullptr);

    // The faculty box across the top over the department and group boxes.
    QSplitter* StructureSplitter = nullptr;
    QSplitter* LowerSplitter = nullptr;

    // Box "Факультет".
    QGroupBox* FacultyBox = nullptr;
    DBGrid* FacultyGrid = nullptr;
    DBEdit* FacultyNameEdit = nullptr;
    DBLookupComboBox* DeanPicker = nullptr;
    QPushButton* FacultyDeleteButton = nullptr;
    QPushButton* FacultyPriorButton = nullptr;
    QPushButton* FacultyNewButton = nullptr;
    QPushButton* FacultyNextButton = nullptr;
    QPushButton* FacultySaveButton = nullptr;

    // Box "Кафедра".
    QGroupBox* DepartmentBox = nullptr;
    DBEdit* DepartmentNameEdit = nullptr;
    DBText* DepartmentFaculty = nullptr;
    QPushButton* DepartmentAddButton = nullptr;
    QPushButton* DepartmentSaveButton = nullptr;
    QPushButton* DepartmentDeleteButton = nullptr;
    DBGrid* DepartmentGrid = nullptr;

    // Box "Группы".
    QGroupBox* GroupsBox = nullptr;
    DBLookupComboBox* GroupSpecialtyPicker = nullptr;
    DBEdit* GroupNameEdit = nullptr;
    DBLookupComboBox* CuratorPicker = nullptr;
    QPushButton* GroupAddButton = nullptr;
    QPushButton* GroupSaveButton = nullptr;
    QPushButton* GroupDeleteButton = nullptr;
    DBGrid* GroupGrid = nullptr;

    // Handlers.
    void FacultyDeleteButtonClick();
    void FacultyPriorButtonClick();
    void FacultyNewButtonClick();
    void FacultyNextButtonClick();
    void FacultySaveButtonClick();
    void DepartmentAddButtonClick();
    void DepartmentSaveButtonClick();
    void DepartmentDeleteButtonClick();
    void GroupAddButtonClick();
    void GroupSaveButtonClick();
    void GroupDeleteButtonClick();

private:
    QGroupBox* buildFacultyBox();
    QGroupBox* buildDepartmentBox();
    QGroupBox* buildGroupsBox();
};
