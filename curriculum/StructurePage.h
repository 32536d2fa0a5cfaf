// Page "Структура ВУЗа" of the educational-process window: the faculties,
// their departments and the groups of the current specialty.
#pragma once

#include <QWidget>

class StructurePage : public QWidget {
    Q_OBJECT
public:
    explicit StructurePage(QWidget* parent = nullptr);
};
