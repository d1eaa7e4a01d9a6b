#pragma once

// The commissioning journal's side of a write: before its first frame, the values the device
// held and those about to be sent go to the history folder; when it ends, one line goes to
// "journal.csv" with what changed, what was passed over, why it failed and where the values
// held before are kept. MainWindow's ProfileController creates it and tells it which profile
// the panels came from.

#include "deviceconfig.h"
#include "steps.h"

#include <QObject>
#include <QStringList>

#include <optional>

class MainWindow;

class WriteJournal : public QObject
{
    Q_OBJECT

public:
    WriteJournal(MainWindow *window, QObject *parent);

    QString path() const { return m_path; }
    // "history/" beside the journal.
    QString historyFolder() const;
    // A profile was laid over the panels: its file, the values as laid and the fields the
    // device's firmware lacks.
    void profileLoaded(const QString &file, const proto::DeviceConfig &values, const QStringList &leftOut);

private:
    void writeStarting();
    void writeFinished(steps::WriteResult result);
    void addToStatus(const QString &text);

    MainWindow *m_window;
    QString m_path;
    QString m_profile;                 // the last profile laid over the panels
    proto::DeviceConfig m_profileValues;
    QStringList m_leftOut;
    std::optional<proto::DeviceConfig> m_before;   // the reference values when the write started
    QString m_history;                 // its before file, or why it was not saved
    bool m_historySaved = false;
};
