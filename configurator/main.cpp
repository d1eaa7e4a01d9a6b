#include "loglock.h"
#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QStandardPaths>
#include <QStatusBar>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("talver"));
    QApplication::setApplicationName(QStringLiteral("configurator"));
    QApplication::setApplicationVersion(QStringLiteral("0.342"));
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.talver.configurator"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("ru.talver.configurator")));
    // The menu entry starts the program here, so that its files stay out of the user's home.
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                               + QStringLiteral("/talver/configurator");

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("ТАЛВЕР: конфигуратор радиоконтроллеров"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Serial port to select at start (name or path)."),
                                        QStringLiteral("NAME"));
    parser.addOption(portOption);
    const QCommandLineOption userFolderOption(
        QStringLiteral("user-folder"),
        QStringLiteral("Работать в папке %1 (создаётся при необходимости): в ней журнал обмена log.txt "
                       "и файл настроек settings.conf. Без этого ключа они в текущей папке.")
            .arg(QDir::toNativeSeparators(userFolder)));
    parser.addOption(userFolderOption);
    parser.process(app);

    if (parser.isSet(userFolderOption) && !(QDir().mkpath(userFolder) && QDir::setCurrent(userFolder))) {
        const QString error = QStringLiteral("Не удалось открыть папку %1").arg(userFolder);
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }

    const LogLock logLock(QDir::currentPath());
    MainWindow window(nullptr, logLock.fileName());
    if (!logLock.notice().isEmpty())
        window.statusBar()->insertPermanentWidget(0, new QLabel(logLock.notice()));
    window.selectPort(parser.value(portOption));
    window.show();
    return app.exec();
}
