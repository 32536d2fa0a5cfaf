// tessaly-db: creates, fills and checks databases of the program.
// Drawing the demo's photos paints shapes on images only, which needs no GUI application.
#include <QCoreApplication>

#include "DbTool.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    return dbtools::run(QCoreApplication::arguments());
}
