#include "mainwindow.h"

#include "appstart.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int main(int argc, char *argv[])
{
    // The menu entry starts the program here rather than in the user's home.
    const QString userFolder = userFolderOf(QStringLiteral("poll-responder"));

    // Read before the application object: --help must work on a console without a display.
    CommandLine commandLine(QStringLiteral("poll-responder"), QStringLiteral(TALVER_VERSION),
                            QStringLiteral("Стендовый ответчик: отвечает на опросы с CRC-8 по последовательному порту."));
    const QCommandLineOption portOption = startPortOption();
    commandLine.addOption(portOption);
    const QCommandLineOption userFolderOption(
        QStringLiteral("user-folder"),
        QStringLiteral("Работать в папке %1 (создаётся при необходимости). Программа не пишет файлов.")
            .arg(QDir::toNativeSeparators(userFolder)));
    commandLine.addOption(userFolderOption);
    if (!commandLine.read(CommandLine::arguments(argc, argv)))
        return commandLine.finish();

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("poll-responder"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVER_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.talver.poll_responder"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("ru.talver.poll_responder")));
    installQtTranslation(&app);

    if (commandLine.isSet(userFolderOption) && !enterUserFolder(userFolder))
        return 1;

    MainWindow window;
    if (commandLine.isSet(portOption))
        window.selectPort(commandLine.value(portOption));
    window.show();
    return app.exec();
}
