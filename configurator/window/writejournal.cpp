#include "writejournal.h"

#include "changes.h"
#include "history.h"
#include "journal.h"
#include "mainwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QStatusBar>

WriteJournal::WriteJournal(MainWindow *window, QObject *parent)
    : QObject(parent), m_window(window), m_path(journal::defaultPath())
{
    connect(window, &MainWindow::writeStarting, this, &WriteJournal::writeStarting);
    connect(window, &MainWindow::writeFinished, this, &WriteJournal::writeFinished);
}

QString WriteJournal::historyFolder() const
{
    return QFileInfo(m_path).absolutePath() + QStringLiteral("/history");
}

void WriteJournal::profileLoaded(const QString &file, const proto::DeviceConfig &values, const QStringList &leftOut)
{
    m_profile = QFileInfo(file).absoluteFilePath();
    m_profileValues = values;
    m_leftOut = leftOut;
}

void WriteJournal::addToStatus(const QString &text)
{
    const QString shown = m_window->statusBar()->currentMessage();
    m_window->statusBar()->showMessage((shown.isEmpty() ? QString() : shown + QStringLiteral("; ")) + text);
}

// Called before the write's first frame leaves; a failure is told and the write goes on.
void WriteJournal::writeStarting()
{
    m_before.reset();
    m_history.clear();
    m_historySaved = false;
    const proto::DeviceConfig *reference = m_window->referenceValues();
    if (!reference)
        return;
    m_before = *reference;
    const proto::DeviceConfig &written = m_window->writtenValues();
    QString error;
    const QString name = history::baseName(QDateTime::currentDateTime(), m_window->portName(), written);
    m_history = history::save(historyFolder(), name, *reference, written, error);
    m_historySaved = error.isEmpty();
    if (!m_historySaved) {
        m_history = QStringLiteral("история не сохранена: %1").arg(error);
        addToStatus(QStringLiteral("Запись идёт, но %1").arg(m_history));
    }
}

void WriteJournal::writeFinished(steps::WriteResult result)
{
    const proto::DeviceConfig &c = m_window->writtenValues();
    const WriteReport &report = m_window->writeReport();
    journal::Entry e;
    e.time = QDateTime::currentDateTime();
    e.port = m_window->portName();
    e.deviceType = c.deviceType;
    e.version = c.version;
    e.address = c.transmitter.deviceAdr;   // the address box, 254 for a receiver
    QStringList skipped;
    if (m_window->panelsFromProfile()) {
        // Named as loaded only when every value written is the profile's.
        e.profile = QDir::toNativeSeparators(m_profile)
                    + (proto::changes(m_profileValues, c).isEmpty() ? QString() : QStringLiteral(" (изменён)"));
        if (!m_leftOut.isEmpty())
            skipped << QStringLiteral("нет в прошивке: %1").arg(m_leftOut.join(QStringLiteral(", ")));
    }
    e.result = result;
    e.changed = m_before ? proto::changesText(proto::changes(*m_before, c))
                         : QStringLiteral("устройство не было считано");
    if (!report.skipped().isEmpty())
        skipped << QStringLiteral("не записаны в радиомодуль: %1").arg(report.skipped().join(QStringLiteral(", ")));
    e.skipped = skipped.join(QStringLiteral("; "));
    e.details = report.details();
    if (m_historySaved)
        e.before = QDir::toNativeSeparators(m_history);
    else if (!m_history.isEmpty())
        e.details += (e.details.isEmpty() ? QString() : QStringLiteral("; ")) + m_history;
    const QString error = journal::append(m_path, e);
    if (!m_historySaved && !m_history.isEmpty())
        addToStatus(m_history);
    if (!error.isEmpty())
        addToStatus(QStringLiteral("журнал записи не записан: %1 (%2)").arg(QDir::toNativeSeparators(m_path), error));
}
