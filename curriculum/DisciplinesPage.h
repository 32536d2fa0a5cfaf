// Page "Дисциплины" of the educational-process window: the discipline list.
#pragma once

#include <QWidget>

class DisciplinesPage : public QWidget {
    Q_OBJECT
public:
    explicit DisciplinesPage(QWidget* parent = nullptr);
};
