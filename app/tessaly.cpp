// Start-up: the application and its title, the main window, the hidden report
// container, the data module, then the event loop until the main window closes.
#include <memory>

#include "Application.h"
#include "DM_Tessaly.h"
#include "Report.h"
#include "TESSALY_MainForm.h"

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    auto mainWindow = std::make_unique<Tform_m>();
    auto reportContainer = std::make_unique<TF_Report>();
    auto dataModule = std::make_unique<TDM>();
    mainWindow->show();
    const int code = app.exec();
    // The main window goes first: it flushes and releases the settings file.
    mainWindow.reset();
    reportContainer.reset();
    dataModule.reset();
    return code;
}
