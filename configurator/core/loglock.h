#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Keeps the exchange logs of configurators started in one folder apart. The first takes
// "log.txt"; while it runs, the next takes "log-2.txt", then "log-3.txt" and so on. Each holds
// a lock file beside its log until it ends.
//
// A lock whose owner is gone is taken over: its process no longer runs on this machine, or the
// file is empty or unreadable and older than kUnreadableStaleMs (younger, an instance may be
// writing it right now). A lock written on another machine is obeyed, since that configurator
// may well run on a shared home; the notice then names its host, its process and the lock
// file, so that a stale one can be removed knowingly.
class LogLock
{
public:
    static constexpr qint64 kUnreadableStaleMs = 10000;

    explicit LogLock(const QString &folder);
    ~LogLock();

    // The log's name in the folder.
    QString fileName() const { return name; }
    // What the window tells the user: a lock taken over, another configurator logging here, or
    // nothing.
    QString notice() const;

private:
    enum class Take { Taken, Held, Unwritable };
    Take tryTake(const QString &lockPath, const QString &logName);

    std::unique_ptr<QLockFile> lock;
    QString name;
    QString takenOver;    // whose lock was taken over, if any
    QString foreignLock;  // the first lock obeyed for another machine, if any
};
