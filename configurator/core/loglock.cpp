#include "loglock.h"

#include <QDir>
#include <QLockFile>

namespace {
constexpr int kMaxInstances = 99;

QString logName(int instance)
{
    return instance == 1 ? QStringLiteral("log.txt") : QStringLiteral("log-%1.txt").arg(instance);
}
} // namespace

LogLock::LogLock(const QString &folder)
    : name(logName(1))
{
    const QDir dir(folder);
    for (int instance = 1; instance <= kMaxInstances; ++instance) {
        auto candidate =
            std::make_unique<QLockFile>(dir.filePath(logName(instance) + QStringLiteral(".lock")));
        // A configurator may run for days: a lock is stale only when its owner has ended, never
        // for its age.
        candidate->setStaleLockTime(0);
        if (candidate->tryLock(0)) {
            lock = std::move(candidate);
            name = logName(instance);
            return;
        }
        // An unwritable folder cannot hold a log either: keep the usual name and no lock.
        if (candidate->error() != QLockFile::LockFailedError)
            return;
    }
}

LogLock::~LogLock() = default;

QString LogLock::notice() const
{
    if (name == logName(1))
        return QString();
    return QStringLiteral("В этой папке работает другой конфигуратор: журнал обмена пишется в %1").arg(name);
}
