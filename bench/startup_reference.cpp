// The reference for start-up: the smallest Qt Widgets program with one main window.
#include "startup_child.h"

#include <QMainWindow>

int main(int argc, char *argv[])
{
    StartupApplication app(argc, argv);
    QMainWindow window;
    window.resize(400, 300);
    app.watched = &window;
    window.show();
    return app.exec();
}
