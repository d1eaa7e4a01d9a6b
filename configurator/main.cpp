#include "mainwindow.h"
#include "profilecontroller.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

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
    const QCommandLineOption profileOption(
        QStringLiteral("profile"),
        QStringLiteral("Профиль для загрузки: открывает порт из --port (без него ждёт «Подключить»), "
                       "считывает устройство и накладывает на него профиль, сохраняя адрес устройства и номер "
                       "ДУТ. В устройство ничего не пишется до нажатия «Записать»."),
        QStringLiteral("ФАЙЛ"));
    const QCommandLineOption profileAddressOption(
        QStringLiteral("profile-address"),
        QStringLiteral("С --profile: адрес устройства и номер ДУТ тоже взять из профиля."));
    parser.addOption(profileOption);
    parser.addOption(profileAddressOption);
    parser.process(app);

    MainWindow window;
    window.selectPort(parser.value(portOption));
    window.show();
    if (parser.isSet(profileOption)) {
        ProfileController *profiles = window.findChild<ProfileController *>();
        const QString file = parser.value(profileOption);
        const bool keepAddress = !parser.isSet(profileAddressOption);
        const bool connect = parser.isSet(portOption);
        // Once the window is on screen, so that a refusal shows over it.
        QTimer::singleShot(0, profiles, [=] { profiles->loadAtStart(file, keepAddress, connect); });
    }
    return app.exec();
}
