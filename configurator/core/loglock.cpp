#include "loglock.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>

namespace {
constexpr int kMaxInstances = 99;

QString logName(int instance)
{
    return instance == 1 ? QStringLiteral("log.txt") : QStringLiteral("log-%1.txt").arg(instance);
}

struct Owner
{
    bool known = false;   // the lock file could be read
    qint64 pid = 0;
    QString host;
    QString program;
};

Owner ownerOf(const QLockFile &lock)
{
    Owner owner;
    owner.known = lock.getLockInfo(&owner.pid, &owner.host, &owner.program);
    return owner;
}

// An empty or unreadable lock is abandoned once it has been so for a while; its time is taken
// either way, a shared folder's clock may be ahead of ours.
bool abandoned(const QLockFile &lock, const QString &lockPath)
{
    const qint64 age = QFileInfo(lockPath).lastModified().msecsTo(QDateTime::currentDateTime());
    return !ownerOf(lock).known && qAbs(age) > LogLock::kUnreadableStaleMs;
}
} // namespace

LogLock::LogLock(const QString &folder)
    : name(logName(1))
{
    const QDir dir(folder);
    for (int instance = 1; instance <= kMaxInstances; ++instance) {
        const Take take = tryTake(dir.filePath(logName(instance) + QStringLiteral(".lock")), logName(instance));
        // An unwritable folder cannot hold a log either: no lock, and the name of a log no other
        // configurator holds, for the window to say that it is not written.
        if (take == Take::Unwritable)
            name = logName(instance);
        if (take != Take::Held)
            return;
    }
}

LogLock::~LogLock() = default;

LogLock::Take LogLock::tryTake(const QString &lockPath, const QString &logFileName)
{
    auto candidate = std::make_unique<QLockFile>(lockPath);
    // A configurator may run for days: a readable lock is stale only when its owner has ended,
    // never for its age.
    candidate->setStaleLockTime(0);
    const Owner before = ownerOf(*candidate);
    QString why;
    if (candidate->tryLock(0)) {
        if (before.known)   // Qt has removed the lock of a process that no longer runs
            why = QStringLiteral("процесс %1 уже не работает").arg(before.pid);
    } else if (candidate->error() != QLockFile::LockFailedError) {
        return Take::Unwritable;
    } else if (abandoned(*candidate, lockPath)) {
        // Two configurators may find the same abandoned lock: the one holding Qt's own removal
        // lock removes it, and only if it still is the abandoned one.
        QLockFile removal(lockPath + QStringLiteral(".rmlock"));
        if (!removal.tryLock(0) || !abandoned(*candidate, lockPath) || !candidate->removeStaleLockFile()
            || !candidate->tryLock(0))
            return Take::Held;
        why = QStringLiteral("файл был пуст или не читался");
    } else {
        const Owner owner = ownerOf(*candidate);
        if (foreignLock.isEmpty() && owner.known && !owner.host.isEmpty()
            && owner.host != QSysInfo::machineHostName()) {
            foreignLock = QStringLiteral("%1 занят конфигуратором на компьютере %2 (процесс %3, %4); "
                                         "если он там не работает, удалите %5")
                              .arg(logFileName, owner.host)
                              .arg(owner.pid)
                              .arg(owner.program, QDir::toNativeSeparators(lockPath));
        }
        return Take::Held;
    }
    if (!why.isEmpty())
        takenOver = QStringLiteral("Журнал обмена %1: снята брошенная блокировка %2 (%3)")
                        .arg(logFileName, QDir::toNativeSeparators(lockPath), why);
    lock = std::move(candidate);
    name = logFileName;
    return Take::Taken;
}

QString LogLock::notice() const
{
    QStringList parts;
    if (name != logName(1) && lock)
        parts << QStringLiteral("В этой папке работает другой конфигуратор: журнал обмена пишется в %1").arg(name);
    else if (name != logName(1))
        parts << QStringLiteral("В этой папке работает другой конфигуратор");
    parts << foreignLock << takenOver;
    parts.removeAll(QString());
    return parts.join(QStringLiteral(". "));
}
