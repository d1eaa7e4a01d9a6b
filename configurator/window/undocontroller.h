#pragma once

// The journal window and the undo of a write. "Вернуть прежние значения" on a journal line reads
// the connected device in full (after the unwritten-edit question) and goes on only when the
// device is of the line's type and holds the values that write sent; then the values it held
// before are laid over the panels as a profile with its own address, the changes marked, and
// nothing is written until "Записать". ProfileController creates it for its "Журнал записи…".

#include "history.h"

#include <QObject>
#include <QPointer>

#include <optional>

class JournalWindow;
class MainWindow;
class ProfileController;

class UndoController : public QObject
{
    Q_OBJECT

public:
    UndoController(MainWindow *window, ProfileController *profiles, const QString &journalPath);

    // Opens the journal window, or brings it forward.
    void showJournal();
    JournalWindow *journalWindow() const;
    // Undoes the line's write as "Вернуть прежние значения" does.
    void undo(const journal::Line &line);

private:
    void readFinished(bool complete);
    void refuse(const QString &reason);
    void status(const QString &text);

    MainWindow *m_window;
    ProfileController *m_profiles;
    QString m_path;
    QPointer<JournalWindow> m_journalWindow;
    std::optional<history::Pair> m_pending;   // waits for the read of the device
};
