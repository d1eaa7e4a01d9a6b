#include "undocontroller.h"

#include "changes.h"
#include "journalwindow.h"
#include "mainwindow.h"
#include "plainbox.h"
#include "profilecontroller.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStatusBar>

UndoController::UndoController(MainWindow *window, ProfileController *profiles, const QString &journalPath)
    : QObject(profiles), m_window(window), m_profiles(profiles), m_path(journalPath)
{
    connect(window, &MainWindow::readFinished, this, &UndoController::readFinished);
}

void UndoController::showJournal()
{
    if (!m_journalWindow) {
        m_journalWindow = new JournalWindow(m_path, m_window);
        m_journalWindow->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_journalWindow, &JournalWindow::undoRequested, this, &UndoController::undo);
    }
    m_journalWindow->show();
    m_journalWindow->raise();
    m_journalWindow->activateWindow();
}

JournalWindow *UndoController::journalWindow() const
{
    return m_journalWindow;
}

void UndoController::status(const QString &text)
{
    m_window->statusBar()->showMessage(text);
}

void UndoController::refuse(const QString &reason)
{
    QWidget *parent = m_journalWindow && m_journalWindow->isVisible() ? static_cast<QWidget *>(m_journalWindow) : m_window;
    QMessageBox box(QMessageBox::Warning, m_window->windowTitle(), QStringLiteral("Прежние значения не возвращены"),
                    QMessageBox::Ok, parent);
    box.setInformativeText(reason);
    makePlain(box);
    box.exec();
}

void UndoController::undo(const journal::Line &line)
{
    history::Pair pair;
    const QString why = history::readPair(line, pair);
    if (!why.isEmpty()) {
        refuse(why);
        return;
    }
    if (!m_window->portOpen()) {
        refuse(QStringLiteral("прежние значения возвращаются в подключённое устройство: сначала подключите его"));
        return;
    }
    const steps::Operation running = m_window->runningOperation();
    if (running == steps::Operation::Write || running == steps::Operation::Poll) {
        refuse(QStringLiteral("устройство занято записью или опросом передатчиков: дождитесь конца или нажмите «Стоп»"));
        return;
    }
    if (!m_window->mayDropEdits())   // the read would replace them
        return;
    m_pending = pair;
    if (running != steps::Operation::Read)
        m_window->startRead();
    status(QStringLiteral("Чтение устройства перед возвратом прежних значений…"));
}

void UndoController::readFinished(bool complete)
{
    if (!m_pending)
        return;
    const history::Pair pair = *m_pending;
    m_pending.reset();
    QString why;
    const proto::DeviceConfig device = m_window->panelsConfig();
    if (!complete) {
        why = QStringLiteral("устройство не считано полностью");
    } else if (device.deviceType != pair.written.deviceType) {
        why = QStringLiteral("подключено другое устройство: запись была в «%1», подключено «%2»")
                  .arg(profile::deviceName(pair.written.deviceType), profile::deviceName(device.deviceType));
    } else {
        // The device must still hold what the write sent: otherwise it is another device, or
        // it was changed since, and its values before that write are not the ones to go back to.
        QStringList differ;
        for (const proto::Change &c : proto::changes(pair.written.values, device))
            differ << proto::changeText(c);
        if (!differ.isEmpty())
            why = QStringLiteral("устройство хранит не те значения, что записала эта строка: это другое устройство, "
                                 "или его настройки изменены после неё. Записано → сейчас:\n%1")
                      .arg(differ.join(QLatin1Char('\n')));
        else
            why = m_profiles->layOver(pair.beforeFile, pair.before, false);
    }
    if (!why.isEmpty()) {
        // In a box, after the read's own notice: a new read clears the status bar at once.
        QMetaObject::invokeMethod(this, [this, why] { refuse(why); }, Qt::QueuedConnection);
        return;
    }
    status(QStringLiteral("Прежние значения из %1 в окне, с прежним адресом. Запишите их кнопкой «Записать»")
               .arg(QFileInfo(pair.beforeFile).fileName()));
}
