// grab-screen FILE.png: saves what the X display in $DISPLAY shows, for looking at
// the program from a machine without a monitor.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: grab-screen FILE.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "grab-screen: cannot grab the screen into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
