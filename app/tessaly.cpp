// Start-up: the application and its title, the main window, the hidden report
// container, the data module and, once the database is open, the day's safety
// copy beside the event loop, then the event loop until the main window closes.
#include <QDate>
#include <QFileInfo>
#include <memory>

#include "Application.h"
#include "DM_Tessaly.h"
#include "DailyBackup.h"
#include "Report.h"
#include "TESSALY_MainForm.h"

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    auto mainWindow = std::make_unique<Tform_m>();
    auto reportContainer = std::make_unique<TF_Report>();
    auto dataModule = std::make_unique<TDM>();
    std::unique_ptr<DailyBackup> dailyBackup;
    if (dataModule->ADOConnection1.isOpen())
        dailyBackup = std::make_unique<DailyBackup>(
            QFileInfo(dataModule->ADOConnection1.path()).absoluteFilePath(),
            DailyBackup::defaultFolder(), QDate::currentDate());
    mainWindow->show();
    const int code = app.exec();
    // A copy still being written is stopped and waited for before anything else goes.
    dailyBackup.reset();
    // The main window goes first: it flushes and releases the settings file.
    mainWindow.reset();
    reportContainer.reset();
    dataModule.reset();
    return code;
}
