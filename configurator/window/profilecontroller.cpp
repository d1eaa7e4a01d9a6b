#include "profilecontroller.h"
#include "usersettings.h"

#include "filedialog.h"
#include "mainwindow.h"
#include "plainbox.h"
#include "undocontroller.h"
#include "writejournal.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>

namespace {

constexpr int kRecent = 5;
constexpr int kStatusMs = 8000;
QString connectFirst() { return QStringLiteral("Профиль загружается в подключённое устройство: сначала подключите его"); }
const char kRecentKey[] = "profiles/recent";
const char kFolderKey[] = "profiles/folder";


// Qt's own file dialog, so that a row can be added under the file name.
void addRow(QFileDialog &dialog, QWidget *label, QWidget *widget)
{
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(widget, row, 1, 1, -1);
    }
}

} // namespace

QString ProfileController::filter() { return QStringLiteral("Профили ТАЛВЕР (*.json);;Все файлы (*)"); }

// The profile dialogs open in the folder of the last profile, the user's documents at first.
QString ProfileController::dialogFolder()
{
    return UserSettings().value(QLatin1String(kFolderKey),
                                QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).toString();
}

ProfileController::ProfileController(MainWindow *window)
    : QObject(window), m_window(window), m_journal(new WriteJournal(window, this)),
      m_undo(new UndoController(window, this, m_journal->path()))
{
    auto *menu = m_menu = new QMenu(QStringLiteral("Файл"), window);
    menu->setToolTipsVisible(true);   // the disabled save says why
    QMenuBar *bar = window->menuBar();
    bar->insertMenu(bar->actions().value(0), menu);

    m_save = menu->addAction(QStringLiteral("Сохранить профиль…"), this, &ProfileController::saveWithDialog,
                             QKeySequence(Qt::CTRL | Qt::Key_S));
    menu->addAction(QStringLiteral("Загрузить профиль…"), this, &ProfileController::loadWithDialog,
                    QKeySequence(Qt::CTRL | Qt::Key_O));
    m_recent = menu->addMenu(QStringLiteral("Недавние профили"));
    menu->addSeparator();
    menu->addAction(QStringLiteral("Журнал записи…"), m_undo, &UndoController::showJournal);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Выход"), window, &QWidget::close);

    connect(menu, &QMenu::aboutToShow, this, [this] {
        updateSaveAction();
        fillRecent();
    });
    connect(window, &MainWindow::panelsTrustChanged, this, &ProfileController::updateSaveAction);
    connect(window, &MainWindow::readFinished, this, &ProfileController::readFinished);
    updateSaveAction();
    fillRecent();
}

QStringList ProfileController::recentProfiles() const
{
    UserSettings settings;
    return settings.value(QLatin1String(kRecentKey)).toStringList().mid(0, kRecent);
}

void ProfileController::remember(const QString &file)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    QStringList recent = recentProfiles();
    recent.removeAll(path);
    recent.prepend(path);
    UserSettings settings;
    settings.setValue(QLatin1String(kRecentKey), QStringList(recent.mid(0, kRecent)));
    settings.setValue(QLatin1String(kFolderKey), QFileInfo(path).absolutePath());
    fillRecent();
}

void ProfileController::fillRecent()
{
    m_recent->clear();
    const QStringList recent = recentProfiles();
    for (const QString &file : recent) {
        // From the list, as from the dialog's default: the device keeps its own address.
        m_recent->addAction(QDir::toNativeSeparators(file), this, [this, file] { load(file, true); });
    }
    m_recent->setEnabled(!recent.isEmpty());
}

void ProfileController::updateSaveAction()
{
    QString why;
    if (!m_window->panelsTrusted())
        why = QStringLiteral("Сначала считайте устройство полностью, загрузите заводские настройки или профиль");
    else if (m_window->panelsConfig().deviceType == proto::NoDevice)
        why = QStringLiteral("Устройство не опознано: неизвестно, для какого типа сохранять профиль");
    m_save->setEnabled(why.isEmpty());
    m_save->setToolTip(why.isEmpty() ? QStringLiteral("Сохранить настройки из окна в файл профиля") : why);
}

void ProfileController::status(const QString &text, int ms)
{
    m_window->statusBar()->showMessage(text, ms);
}

void ProfileController::refuse(const QString &file, const QString &reason)
{
    QMessageBox box(QMessageBox::Warning, m_window->windowTitle(),
                    QStringLiteral("Профиль не загружен: %1").arg(QDir::toNativeSeparators(file)), QMessageBox::Ok,
                    m_window);
    box.setInformativeText(reason);
    makePlain(box);
    box.exec();
}

// ---- Saving -------------------------------------------------------------------------------

QString ProfileController::save(const QString &file, const QString &comment)
{
    const QString error = profile::writeFile(file, profile::Profile::fromConfig(m_window->panelsConfig(), comment));
    if (error.isEmpty()) {
        remember(file);
        status(QStringLiteral("Профиль сохранён: %1").arg(QDir::toNativeSeparators(file)), kStatusMs);
    }
    return error;
}

void ProfileController::saveWithDialog()
{
    updateSaveAction();
    if (!m_save->isEnabled())
        return;
    const proto::DeviceConfig c = m_window->panelsConfig();
    FileDialog dialog(m_window, QStringLiteral("Сохранить профиль"), dialogFolder(), filter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    dialog.selectFile(QStringLiteral("%1-%2.json")
                          .arg(c.isReceiver() ? QStringLiteral("receiver") : QStringLiteral("transmitter"))
                          .arg(c.version));
    auto *comment = new QLineEdit;
    comment->setPlaceholderText(QStringLiteral("объект, назначение, кто настраивал"));
    addRow(dialog, new QLabel(QStringLiteral("Комментарий:")), comment);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString file = dialog.selectedFiles().constFirst();
    const QString error = save(file, comment->text());
    if (!error.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, m_window->windowTitle(),
                        QStringLiteral("Профиль не сохранён: %1").arg(QDir::toNativeSeparators(file)), QMessageBox::Ok,
                        m_window);
        box.setInformativeText(error);
        makePlain(box);
        box.exec();
    }
}

// ---- Loading ------------------------------------------------------------------------------

void ProfileController::loadWithDialog()
{
    if (!m_window->portOpen()) {
        status(connectFirst(), kStatusMs);
        return;
    }
    FileDialog dialog(m_window, QStringLiteral("Загрузить профиль"), dialogFolder(), filter());
    dialog.setFileMode(QFileDialog::ExistingFile);
    auto *keep = new QCheckBox(QStringLiteral("Сохранить адрес устройства"));
    keep->setChecked(true);
    keep->setToolTip(QStringLiteral("Устройство сохранит свои адрес и номер ДУТ, остальное возьмётся из профиля"));
    addRow(dialog, new QLabel, keep);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        load(dialog.selectedFiles().constFirst(), keep->isChecked());
}

void ProfileController::load(const QString &file, bool keepAddress)
{
    profile::Profile p;
    const QString error = profile::readFile(file, p);
    if (!error.isEmpty()) {
        refuse(file, error);
        return;
    }
    if (!m_window->portOpen()) {
        status(connectFirst(), kStatusMs);
        return;
    }
    if (!m_window->mayDropEdits())   // the profile's read would replace them
        return;
    // A read that runs already (just after connecting) is the read the profile waits for; a
    // write or a poll is not cut short for it.
    const steps::Operation running = m_window->runningOperation();
    if (running == steps::Operation::Write || running == steps::Operation::Poll) {
        refuse(file, QStringLiteral("устройство занято записью или опросом передатчиков: дождитесь конца "
                                    "или нажмите «Стоп» и загрузите профиль снова"));
        return;
    }
    m_pending = Pending{p, file, keepAddress};
    if (running != steps::Operation::Read)
        m_window->startRead();
    status(QStringLiteral("Чтение устройства перед загрузкой профиля %1…").arg(QFileInfo(file).fileName()));
}

void ProfileController::loadAtStart(const QString &file, bool keepAddress, bool connect)
{
    profile::Profile p;
    const QString error = profile::readFile(file, p);
    if (error.isEmpty())
        m_pending = Pending{p, file, keepAddress};
    else
        refuse(file, error);
    if (connect)
        m_window->connectPort();
    else if (error.isEmpty())
        status(QStringLiteral("Профиль %1 загрузится после подключения устройства").arg(QFileInfo(file).fileName()));
}

void ProfileController::readFinished(bool complete)
{
    if (!m_pending)
        return;
    const Pending pending = *m_pending;
    m_pending.reset();
    const QString name = QFileInfo(pending.file).fileName();
    if (!complete) {
        // In a box, after the read's own notice: a new read clears the status bar at once.
        QMetaObject::invokeMethod(this, [this, file = pending.file] {
            refuse(file, QStringLiteral("устройство не считано полностью"));
        }, Qt::QueuedConnection);
        return;
    }
    QStringList leftOut;
    const QString refusal = layOver(pending.file, pending.profile, pending.keepAddress, &leftOut);
    if (!refusal.isEmpty()) {
        refuse(pending.file, refusal);
        return;
    }
    remember(pending.file);
    QString text = QStringLiteral("Профиль %1 загружен%2. Запишите его кнопкой «Записать»")
                       .arg(name, pending.keepAddress && pending.profile.deviceType != proto::Receiver
                                      ? QStringLiteral(" (адрес устройства сохранён)") : QString());
    if (!leftOut.isEmpty())
        text += QStringLiteral("; нет в прошивке устройства, пропущено: %1").arg(leftOut.join(QStringLiteral(", ")));
    status(text);
}

QString ProfileController::layOver(const QString &file, const profile::Profile &p, bool keepAddress, QStringList *leftOut)
{
    const profile::Applied applied = profile::apply(p, m_window->panelsConfig(), keepAddress);
    if (!applied.refusal.isEmpty())
        return applied.refusal;
    m_window->applyConfig(applied.config);
    m_journal->profileLoaded(file, applied.config, applied.leftOut);
    if (leftOut)
        *leftOut = applied.leftOut;
    return QString();
}

// ---- The journal --------------------------------------------------------------------------

void ProfileController::profileLaid(const QString &file, const proto::DeviceConfig &values, const QStringList &leftOut)
{
    m_journal->profileLoaded(file, values, leftOut);
}

QString ProfileController::journalPath() const
{
    return m_journal->path();
}
