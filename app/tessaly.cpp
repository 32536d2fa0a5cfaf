// Start-up: the application and its title, the main window, the hidden report
// container, the data module and, once the database is open, the day's safety
// copy beside the event loop, then the event loop until the main window closes.
#include <QDate>
#include <memory>

#include "Application.h"
#include "DM_Tessaly.h"
#include "DailyBackup.h"
#include "Report.h"
#include "Settings.h"
#include "TESSALY_MainForm.h"

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    auto mainWindow = std::make_unique<Tform_m>();
    auto reportContainer = std::make_unique<TF_Report>();
    // My.ini may name a server database that several desks share; else the file.
    const Settings* settings = Settings::current();
    auto dataModule = std::make_unique<TDM>(nullptr, settings ? settings->server() : QString());
    std::unique_ptr<DailyBackup> dailyBackup;
    // The server keeps its own backups; the day's copy is of the file.
    if (dataModule->ADOConnection1.isOpen() && !dataModule->databaseFile().isEmpty())
        dailyBackup = std::make_unique<DailyBackup>(
            dataModule->databaseFile(), DailyBackup::defaultFolder(), QDate::currentDate());
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
