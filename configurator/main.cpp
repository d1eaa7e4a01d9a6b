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
        QStringLiteral("Profile to load: opens the port given with --port, reads the device and lays the "
                       "profile over it, keeping the device's address and DUT number. Nothing is written "
                       "until \"Записать\"."),
        QStringLiteral("FILE"));
    const QCommandLineOption profileAddressOption(
        QStringLiteral("profile-address"),
        QStringLiteral("With --profile: take the address and DUT number from the profile too."));
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
