#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("poll-responder"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVER_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.talver.poll_responder"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("ru.talver.poll_responder")));
    // The menu entry starts the program here rather than in the user's home.
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                               + QStringLiteral("/talver/poll-responder");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Стендовый ответчик: отвечает на опросы с CRC-8 по последовательному порту."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Выбрать порт NAME при запуске."),
                                        QStringLiteral("NAME"));
    parser.addOption(portOption);
    const QCommandLineOption userFolderOption(
        QStringLiteral("user-folder"),
        QStringLiteral("Работать в папке %1 (создаётся при необходимости). Программа не пишет файлов.")
            .arg(QDir::toNativeSeparators(userFolder)));
    parser.addOption(userFolderOption);
    parser.process(app);

    if (parser.isSet(userFolderOption) && !(QDir().mkpath(userFolder) && QDir::setCurrent(userFolder))) {
        const QString error = QStringLiteral("Не удалось открыть папку %1").arg(userFolder);
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }

    MainWindow window;
    if (parser.isSet(portOption))
        window.selectPort(parser.value(portOption));
    window.show();
    return app.exec();
}
