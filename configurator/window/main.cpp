#include "commissioncontroller.h"
#include "exchangelog.h"
#include "loglock.h"
#include "mainwindow.h"
#include "profilecontroller.h"
#include "trace.h"

#include "appstart.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

int main(int argc, char *argv[])
{
    // The menu entry starts the program here, so that its files stay out of the user's home.
    const QString userFolder = userFolderOf(QStringLiteral("configurator"));

    // Read before the application object: --help must work on a console without a display.
    CommandLine commandLine(QStringLiteral("configurator"), QStringLiteral(TALVER_VERSION),
                            QStringLiteral("ТАЛВЕР: конфигуратор радиоконтроллеров."));
    const QCommandLineOption portOption = startPortOption();
    commandLine.addOption(portOption);
    const QCommandLineOption userFolderOption(
        QStringLiteral("user-folder"),
        QStringLiteral("Работать в папке %1 (создаётся при необходимости): в ней журнал обмена log.txt "
                       "и файл настроек settings.conf. Без этого ключа они в текущей папке.")
            .arg(QDir::toNativeSeparators(userFolder)));
    commandLine.addOption(userFolderOption);
    const QCommandLineOption profileOption(
        QStringLiteral("profile"),
        QStringLiteral("Профиль для загрузки: открывает порт из --port (без него ждёт «Подключить»), "
                       "считывает устройство и накладывает на него профиль, сохраняя адрес устройства и номер "
                       "ДУТ. В устройство ничего не пишется до нажатия «Записать»."),
        QStringLiteral("ФАЙЛ"));
    const QCommandLineOption profileAddressOption(
        QStringLiteral("profile-address"),
        QStringLiteral("С --profile: адрес устройства и номер ДУТ тоже взять из профиля."));
    commandLine.addOption(profileOption);
    commandLine.addOption(profileAddressOption);
    const QCommandLineOption commissionOption(
        QStringLiteral("commission"),
        QStringLiteral("Пусконаладка по профилю: показывает панель пусконаладки с этим профилем; с --port "
                       "открывает порт и сразу настраивает подключённое устройство, следующие — по «Пуск» (F5)."),
        QStringLiteral("ФАЙЛ"));
    const QCommandLineOption addressFromOption(
        QStringLiteral("address-from"),
        QStringLiteral("С --commission: каждому передатчику следующий свободный адрес, начиная с N (1–253): "
                       "не записанный с этим профилем по журналу записи, не занятый другим конфигуратором и не "
                       "строка таблицы адресов профиля."),
        QStringLiteral("N"));
    commandLine.addOption(commissionOption);
    commandLine.addOption(addressFromOption);
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Печатать диагностические строки обмена в стандартный поток ошибок (категория "
                       "talver.trace; то же даёт QT_LOGGING_RULES=\"talver.trace.debug=true\")."));
    commandLine.addOption(traceOption);
    if (!commandLine.read(CommandLine::arguments(argc, argv))
        || !commandLine.requireWith(profileAddressOption, profileOption)
        || !commandLine.requireWith(addressFromOption, commissionOption)
        || !commandLine.requireNumber(addressFromOption, 1, FleetAddresses::kLast)
        || !commandLine.refuseTogether(profileOption, commissionOption))
        return commandLine.finish();
    if (commandLine.isSet(traceOption))
        enableTrace();

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("talver"));
    QApplication::setApplicationName(QStringLiteral("configurator"));
    QApplication::setApplicationVersion(QStringLiteral(TALVER_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.talver.configurator"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("ru.talver.configurator")));
    installQtTranslation(&app);

    if (commandLine.isSet(userFolderOption) && !enterUserFolder(userFolder))
        return 1;

    const LogLock logLock(QDir::currentPath());
    MainWindow window(nullptr, logLock.fileName());
    // Where the exchange log goes, when it is not simply "log.txt" or not written at all.
    QStringList logNotes;
    if (const ExchangeLog *exchangeLog = window.findChild<ExchangeLog *>())
        logNotes << exchangeLog->failure();
    logNotes << logLock.notice();
    logNotes.removeAll(QString());
    if (!logNotes.isEmpty()) {
        auto *note = new QLabel(logNotes.join(QStringLiteral(". ")));
        note->setToolTip(note->text());   // the whole text, when the window is too narrow for it
        window.statusBar()->addPermanentWidget(note);
    }
    window.selectPort(commandLine.value(portOption));
    window.show();
    if (commandLine.isSet(profileOption)) {
        ProfileController *profiles = window.findChild<ProfileController *>();
        const QString file = commandLine.value(profileOption);
        const bool keepAddress = !commandLine.isSet(profileAddressOption);
        const bool connect = commandLine.isSet(portOption);
        // Once the window is on screen, so that a refusal shows over it.
        QTimer::singleShot(0, profiles, [=] { profiles->loadAtStart(file, keepAddress, connect); });
    }
    if (commandLine.isSet(commissionOption)) {
        CommissionController *mode = window.findChild<CommissionController *>();
        const QString file = commandLine.value(commissionOption);
        const int from = commandLine.value(addressFromOption).toInt();   // 0 when not given
        const bool connect = commandLine.isSet(portOption);
        QTimer::singleShot(0, mode, [=] { mode->enterAtStart(file, from, connect); });
    }
    return app.exec();
}
