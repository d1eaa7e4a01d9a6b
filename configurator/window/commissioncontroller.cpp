#include "commissioncontroller.h"

#include "commissionbar.h"
#include "filedialog.h"
#include "mainwindow.h"
#include "profilecontroller.h"
#include "usersettings.h"

#include <QAction>
#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QStatusBar>

namespace {

// The profile and the address rule of a mode the program was left in, for the next start.
const char kProfileKey[] = "commissioning/profile";
const char kKeepKey[] = "commissioning/keepAddress";
const char kFromKey[] = "commissioning/addressFrom";   // the next free address from here; 0: another rule

QString typeName(quint8 type)
{
    return type == proto::Receiver ? QStringLiteral("Приемник") : QStringLiteral("Передатчик");
}

QString typeOf(quint8 type)   // "… вместо передатчика"
{
    return type == proto::Receiver ? QStringLiteral("приемника") : QStringLiteral("передатчика");
}

} // namespace

CommissionController::CommissionController(MainWindow *window, ProfileController *profiles)
    : QObject(window), m_window(window), m_profiles(profiles), m_bar(new CommissionBar),
      m_fleet(profiles->journalPath())
{
    // Under the window's buttons, in the row the form keeps empty.
    if (auto *row = window->findChild<QBoxLayout *>(QStringLiteral("bottomLayout")))
        row->addWidget(m_bar);
    else
        window->statusBar()->addPermanentWidget(m_bar);
    m_bar->hide();

    QMenu *menu = profiles->fileMenu();
    QAction *before = nullptr;   // after the profiles, before the journal
    for (QAction *a : menu->actions()) {
        if (a->isSeparator()) {
            before = a;
            break;
        }
    }
    auto *action = new QAction(QStringLiteral("Пусконаладка по профилю…"), menu);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    menu->insertAction(before, action);
    connect(action, &QAction::triggered, this, &CommissionController::chooseProfile);

    connect(m_bar, &CommissionBar::startClicked, this, &CommissionController::start);
    connect(m_bar, &CommissionBar::finishClicked, this, &CommissionController::leave);
    connect(m_bar, &CommissionBar::ruleChanged, this, &CommissionController::saveRule);
    connect(window, &MainWindow::identified, this, &CommissionController::identified);
    connect(window, &MainWindow::readFinished, this, &CommissionController::readFinished);
    connect(window, &MainWindow::writeFinished, this, &CommissionController::writeFinished);

    // The program was left in the mode: the same profile and rule again, the port as chosen now.
    const QString file = UserSettings().value(QLatin1String(kProfileKey)).toString();
    if (!file.isEmpty()) {
        const QString error = enter(file);
        if (!error.isEmpty()) {
            UserSettings().remove(QLatin1String(kProfileKey));
            window->statusBar()->showMessage(QStringLiteral("Пусконаладка не продолжена: %1: %2")
                                                 .arg(QDir::toNativeSeparators(file), error));
        }
    }
}

void CommissionController::chooseProfile()
{
    FileDialog dialog(m_window, QStringLiteral("Пусконаладка по профилю"), ProfileController::dialogFolder(),
                      ProfileController::filter());
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString file = dialog.selectedFiles().constFirst();
    const QString error = enter(file);
    if (!error.isEmpty())
        m_profiles->refuse(file, error);
}

void CommissionController::enterAtStart(const QString &file, int addressFrom, bool connect)
{
    const QString error = enter(file, addressFrom);
    if (!error.isEmpty()) {
        leave();   // not the mode a former session was left in, with a profile not named now
        m_profiles->refuse(file, error);
    } else if (connect) {
        start();
    }
}

QString CommissionController::enter(const QString &file, int addressFrom)
{
    if (m_stage != Stage::Idle)
        return QStringLiteral("устройство ещё настраивается");
    profile::Profile p;
    const QString error = profile::readFile(file, p);
    if (!error.isEmpty())
        return error;
    m_profile = p;
    m_file = QFileInfo(file).absoluteFilePath();
    UserSettings settings;
    settings.setValue(QLatin1String(kProfileKey), m_file);
    m_bar->setProfile(m_file, p.comment);
    const int from = addressFrom > 0 ? addressFrom : settings.value(QLatin1String(kFromKey), 0).toInt();
    const bool keep = settings.value(QLatin1String(kKeepKey), true).toBool();
    m_bar->setRule(from > 0 ? CommissionBar::Rule::NextFree : keep ? CommissionBar::Rule::Keep : CommissionBar::Rule::Profile,
                   from > 0 ? from : 1);
    m_bar->setReceiver(p.deviceType == proto::Receiver);
    saveRule();
    m_bar->show();
    return QString();
}

void CommissionController::leave()
{
    if (m_stage != Stage::Idle)
        m_window->stop();   // the pass ends red ("Остановлено"), the module back in data mode
    m_fleet.release();
    m_file.clear();
    UserSettings().remove(QLatin1String(kProfileKey));
    m_bar->hide();
}

void CommissionController::saveRule()
{
    // The older key keeps its meaning for the first two rules.
    UserSettings settings;
    settings.setValue(QLatin1String(kKeepKey), m_bar->rule() == CommissionBar::Rule::Keep);
    settings.setValue(QLatin1String(kFromKey), m_bar->rule() == CommissionBar::Rule::NextFree ? m_bar->addressFrom() : 0);
}

void CommissionController::start()
{
    if (!active() || m_stage != Stage::Idle)
        return;
    m_note.clear();
    m_cause.clear();
    m_causeDetail.clear();
    m_leftOut.clear();
    m_typeChecked = false;
    m_clock.start();
    m_bar->setRunning();
    m_stage = Stage::Starting;   // the read this replaces ends unheard
    m_window->setBoxHandler([this](const QString &text, const QString &detail) { boxInstead(text, detail); });
    if (m_window->portOpen())
        m_window->startRead();
    else
        m_window->connectPort();
    if (m_stage != Stage::Starting)
        return;
    if (m_window->runningOperation() != steps::Operation::Read) {
        finish(false, cause(m_window->portName().isEmpty()
                                ? QStringLiteral("Не выбран порт")
                                : QStringLiteral("Не удалось открыть порт %1").arg(m_window->portName())));
        return;
    }
    m_stage = Stage::Reading;
}

// The type is checked on the identification, before the long part of the read.
void CommissionController::identified(quint8 deviceType, quint16)
{
    if (m_stage != Stage::Reading || m_typeChecked)
        return;
    m_typeChecked = true;
    if (deviceType == m_profile.deviceType)
        return;
    finish(false, QStringLiteral("%1 вместо %2").arg(typeName(deviceType), typeOf(m_profile.deviceType)));
    // Not from inside the reply's handling: the read stops before its next request.
    QMetaObject::invokeMethod(m_window, [w = m_window] {
        if (w->runningOperation() == steps::Operation::Read)
            w->stop();
    }, Qt::QueuedConnection);
}

void CommissionController::readFinished(bool complete)
{
    if (m_stage != Stage::Reading)
        return;
    if (!complete) {
        finish(false, cause(QStringLiteral("Чтение остановлено")));
        return;
    }
    // The profile goes over the values just read (the device's reference values), by the
    // address rule, and into the panels quietly: through the address box it would clear the
    // profile's In1A mark.
    const proto::DeviceConfig *read = m_window->referenceValues();
    profile::Applied applied = profile::apply(m_profile, read ? *read : m_window->panelsConfig(),
                                              m_bar->rule() == CommissionBar::Rule::Keep);
    if (!applied.refusal.isEmpty()) {
        finish(false, applied.refusal);
        return;
    }
    if (!giveAddress(applied.config))
        return;
    m_leftOut = applied.leftOut;
    m_window->applyConfig(applied.config);
    m_profiles->profileLaid(m_file, applied.config, applied.leftOut);
    m_stage = Stage::Writing;
    m_window->write();
    if (m_stage == Stage::Writing && m_window->runningOperation() != steps::Operation::Write)
        finish(false, cause(QStringLiteral("Запись не начата")));
}

// A transmitter keeping its address hears when the journal shows it given already with this
// profile; with the next free rule it gets that address, reserved until its pass ends. The ДУТ
// number stays as the profile was laid. A receiver's address is always 254.
bool CommissionController::giveAddress(proto::DeviceConfig &config)
{
    if (config.isReceiver())
        return true;
    quint8 &address = config.transmitter.deviceAdr;
    if (m_bar->rule() == CommissionBar::Rule::Keep) {
        const QDateTime when = FleetAddresses::lastWritten(m_profiles->journalPath(), m_file, address);
        if (when.isValid())
            m_note = QStringLiteral("адрес %1 уже записан %2 (журнал)")
                         .arg(address)
                         .arg(when.toString(QStringLiteral("dd.MM HH:mm")));
        return true;
    }
    if (m_bar->rule() != CommissionBar::Rule::NextFree)
        return true;
    QSet<int> rows;
    for (const proto::AddressTable::Row &row : config.addressTable.rows) {
        if (row.on)
            rows << row.address;
    }
    const FleetAddresses::Choice choice = m_fleet.reserve(m_file, m_bar->addressFrom(), rows);
    if (!choice.error.isEmpty())
        finish(false, QStringLiteral("Адрес не выбран: %1").arg(choice.error));
    else if (choice.address == 0)
        finish(false, QStringLiteral("Свободных адресов нет"));
    else
        address = quint8(choice.address);
    return choice.address != 0;
}

// Called after the journal has its line: ProfileController hears the write first. A failed
// write is told as the journal tells it: what the window would have asked or said, then the
// causes and what reached the device.
void CommissionController::writeFinished(steps::WriteResult result)
{
    if (m_stage != Stage::Writing)
        return;
    if (result != steps::WriteResult::Checked) {
        const QString details = m_window->writeReport().details();
        const QString head = m_cause.isEmpty() ? cause(QStringLiteral("Запись не проверена")) : m_cause;
        finish(false, details.isEmpty() ? cause(head) : head + QStringLiteral(": ") + details,
               result == steps::WriteResult::Lost);
        return;
    }
    const proto::DeviceConfig c = m_window->panelsConfig();
    QString text = QStringLiteral("Готово: %1, адрес %2, проверено за %3 с")
                       .arg(m_window->deviceLabel())
                       .arg(c.transmitter.deviceAdr)
                       .arg(QString::number(m_clock.elapsed() / 1000.0, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(',')));
    if (!m_leftOut.isEmpty())
        text += QStringLiteral("; нет в прошивке устройства, пропущено: %1").arg(m_leftOut.join(QStringLiteral(", ")));
    finish(true, text);
}

// A box the window would show: its first sentence (without "Продолжить?") is the cause, with
// the detail when it names values rather than the request.
void CommissionController::boxInstead(const QString &text, const QString &detail)
{
    if (!m_cause.isEmpty())
        return;
    const QString first = text.section(QLatin1Char('.'), 0, 0).trimmed();
    m_cause = first.endsWith(QLatin1Char('?')) ? text.trimmed() : first;
    if (!detail.isEmpty() && !detail.startsWith(QStringLiteral("Запрос:")))
        m_causeDetail = QString(detail).replace(QLatin1Char('\n'), QStringLiteral("; "));
}

QString CommissionController::cause(const QString &otherwise) const
{
    if (!m_cause.isEmpty())
        return m_causeDetail.isEmpty() ? m_cause : m_cause + QStringLiteral(": ") + m_causeDetail;
    if (!m_window->portOpen())
        return QStringLiteral("Связь с портом %1 потеряна").arg(m_window->portName());
    return otherwise;
}

void CommissionController::finish(bool ok, const QString &text, bool deferBoxes)
{
    m_stage = Stage::Idle;
    m_fleet.release();   // the journal has the device's line by now, if it got one
    // Boxes come back at once (a question of the technician's own click that ended the pass
    // is asked), but after a write that lost the port only once its notice, posted before the
    // write's end was told, has gone to the handler.
    if (!deferBoxes)
        m_window->setBoxHandler(nullptr);
    else
        QMetaObject::invokeMethod(this, [this] {
            if (m_stage == Stage::Idle)
                m_window->setBoxHandler(nullptr);
        }, Qt::QueuedConnection);
    ++(ok ? m_written : m_failed);
    m_bar->setResult(text, ok);
    m_bar->setNote(m_note);
    m_bar->setCounts(m_written, m_failed);
    emit passFinished(ok, text);
}
