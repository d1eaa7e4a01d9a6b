#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("poll-responder"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVER_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Стендовый ответчик: отвечает на опросы с CRC-8 по последовательному порту."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Выбрать порт NAME при запуске."),
                                        QStringLiteral("NAME"));
    parser.addOption(portOption);
    parser.process(app);

    MainWindow window;
    if (parser.isSet(portOption))
        window.selectPort(parser.value(portOption));
    window.show();
    return app.exec();
}
