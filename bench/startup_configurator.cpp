// Start-up of the configurator: what its main() does, then quit once the window is shown.
#include "mainwindow.h"
#include "startup_child.h"

int main(int argc, char *argv[])
{
    StartupApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("configurator"));
    MainWindow window;
    app.watched = &window;
    window.show();
    return app.exec();
}
