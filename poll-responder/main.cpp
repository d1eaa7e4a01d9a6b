#include "mainwindow.h"

#include "appstart.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Read before the application object: --help must work on a console without a display.
    CommandLine commandLine(QStringLiteral("poll-responder"), QStringLiteral(TALVER_VERSION),
                            QStringLiteral("Стендовый ответчик: отвечает на опросы с CRC-8 по последовательному порту."));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Выбрать порт при запуске (имя или путь)."),
                                        QStringLiteral("ИМЯ"));
    commandLine.addOption(portOption);
    if (!commandLine.read(CommandLine::arguments(argc, argv)))
        return commandLine.finish();

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("poll-responder"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVER_VERSION));
    installQtTranslation(&app);

    MainWindow window;
    if (commandLine.isSet(portOption))
        window.selectPort(commandLine.value(portOption));
    window.show();
    return app.exec();
}
