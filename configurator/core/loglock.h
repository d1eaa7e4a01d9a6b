#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Keeps the exchange logs of configurators started in one folder apart. The first takes
// "log.txt"; while it runs, the next takes "log-2.txt", then "log-3.txt" and so on. Each holds
// a lock file beside its log until it ends; the lock of an instance that crashed is taken over.
class LogLock
{
public:
    explicit LogLock(const QString &folder);
    ~LogLock();

    // The log's name in the folder.
    QString fileName() const { return name; }
    // What the window tells the user when another configurator already logs here; empty otherwise.
    QString notice() const;

private:
    std::unique_ptr<QLockFile> lock;
    QString name;
};
