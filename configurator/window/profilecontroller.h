#pragma once

// The "Файл" menu and what stands behind it: saving the panels as a profile, loading a profile
// into the connected device (a full read first, the profile laid over it), the recent profiles,
// and the commissioning journal's menu entry (the journal itself: writejournal.h). MainWindow
// only creates it.

#include "profile.h"
#include "steps.h"

#include <QObject>
#include <QStringList>

#include <optional>

class MainWindow;
class QAction;
class WriteJournal;
class QMenu;
class UndoController;

class ProfileController : public QObject
{
    Q_OBJECT

public:
    explicit ProfileController(MainWindow *window);

    // Saves the panels to `file`; returns why not, or an empty string.
    QString save(const QString &file, const QString &comment);
    // Reads the file, then reads the connected device and lays the profile over it when that
    // read is complete. With `keepAddress` the device keeps its address and ДУТ number.
    void load(const QString &file, bool keepAddress);
    // The same at start: the profile waits for the read that opening the port starts (`connect`)
    // or that the technician starts by connecting. A refused file is reported and the device is
    // still opened and read.
    void loadAtStart(const QString &file, bool keepAddress, bool connect);

    // Lays `p` over the panels (which hold a complete read of the device) as a loaded profile
    // from `file`: a write names the file in the journal. Returns the refusal, empty when laid.
    QString layOver(const QString &file, const profile::Profile &p, bool keepAddress, QStringList *leftOut = nullptr);

    QString journalPath() const;
    UndoController *undo() const { return m_undo; }
    QStringList recentProfiles() const;

    // For the commissioning mode: the menu, the profile dialog's folder and filter, the usual
    // refusal, and a profile laid over the panels (`values`, less the fields in `leftOut`)
    // for the journal's next lines.
    QMenu *fileMenu() const { return m_menu; }
    static QString dialogFolder();
    static QString filter();
    void refuse(const QString &file, const QString &reason);
    void profileLaid(const QString &file, const proto::DeviceConfig &values, const QStringList &leftOut);

private:
    void saveWithDialog();
    void loadWithDialog();
    void updateSaveAction();
    void fillRecent();
    void remember(const QString &file);
    void readFinished(bool complete);
    void status(const QString &text, int ms = 0);

    struct Pending
    {
        profile::Profile profile;
        QString file;
        bool keepAddress = true;
    };

    MainWindow *m_window;
    QMenu *m_menu = nullptr;
    QAction *m_save = nullptr;
    QMenu *m_recent = nullptr;
    std::optional<Pending> m_pending;   // waits for the read of the device
    WriteJournal *m_journal;
    UndoController *m_undo;
};
