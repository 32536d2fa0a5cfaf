// The report container: a hidden window that holds the program's report
// layouts and lives for the whole run.
#pragma once

#include <QWidget>

class TF_Report : public QWidget {
    Q_OBJECT
public:
    explicit TF_Report(QWidget* parent = nullptr);
    ~TF_Report() override;
};
