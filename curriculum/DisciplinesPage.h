// Page "Дисциплины" of the educational-process window: the discipline list,
// the one place where disciplines are created, renamed and deleted.
#pragma once

#include <QWidget>

class DBGrid;
class DBNavigator;

class DisciplinesPage : public QWidget {
    Q_OBJECT
public:
    explicit DisciplinesPage(QWidget* parent = nullptr);

    DBNavigator* DisciplinesNavigator = nullptr;
    DBGrid* DisciplinesGrid = nullptr;
};
