#include "mainwindow.h"

#include "appstart.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Read before the application object: --help must work on a console without a display.
    CommandLine commandLine(QStringLiteral("configurator"), QStringLiteral("0.342"),
                            QStringLiteral("ТАЛВЕР: конфигуратор радиоконтроллеров."));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Выбрать порт при запуске (имя или путь)."),
                                        QStringLiteral("ИМЯ"));
    commandLine.addOption(portOption);
    if (!commandLine.read(CommandLine::arguments(argc, argv)))
        return commandLine.finish();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("configurator"));
    QApplication::setApplicationVersion(QStringLiteral("0.342"));
    installQtTranslation(&app);

    MainWindow window;
    window.selectPort(commandLine.value(portOption));
    window.show();
    return app.exec();
}
