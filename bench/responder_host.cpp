// The poll responder's own window code (poll_responder_core) as the program runs it, plus the
// click on its connect button that a technician would make: the program opens its port only
// on that click. Usage: responder_host --port PATH
#include "mainwindow.h"

#include <QApplication>
#include <QPushButton>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3 || QByteArray(argv[1]) != "--port") {
        std::fprintf(stderr, "usage: %s --port PATH\n", argv[0]);
        return 2;
    }
    MainWindow window;
    window.selectPort(QString::fromLocal8Bit(argv[2]));
    window.show();
    auto *connectButton = window.findChild<QPushButton *>(QStringLiteral("pbConnect"));
    if (!connectButton)
        return 1;
    connectButton->click();
    if (connectButton->text() != QStringLiteral("CLOSE")) {
        std::fprintf(stderr, "responder_host: the port did not open\n");
        return 1;
    }
    return app.exec();
}
