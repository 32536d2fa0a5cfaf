// tessaly-db: creates, fills and checks databases of the program, and prints its documents.
// Drawing the demo's photos paints shapes on images only, which needs no GUI
// application; printing measures and draws text in fonts, which needs one
// (offscreen is enough, so no display is asked for).
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstring>

#include "DbTool.h"

int main(int argc, char* argv[]) {
    if (argc > 1 && std::strcmp(argv[1], "print") == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return dbtools::run(QCoreApplication::arguments());
    }
    QCoreApplication app(argc, argv);
    return dbtools::run(QCoreApplication::arguments());
}
