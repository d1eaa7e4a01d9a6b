#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("configurator"));
    QApplication::setApplicationVersion(QStringLiteral("0.342"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("ТАЛВЕР: конфигуратор радиоконтроллеров"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Serial port to select at start (name or path)."),
                                        QStringLiteral("NAME"));
    parser.addOption(portOption);
    parser.process(app);

    MainWindow window;
    window.selectPort(parser.value(portOption));
    window.show();
    return app.exec();
}
