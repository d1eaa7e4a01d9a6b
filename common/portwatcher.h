#pragma once

#include "portlist.h"

#include <QObject>
#include <QVector>

class QFileSystemWatcher;
class QTimer;

// Follows the system's serial ports: the device folder and the by-id folder are watched
// (the system's change notifications, no polling), and a moment after a change the ports
// are listed again, once the system has filled in what it knows about a new adapter.
class PortWatcher : public QObject
{
    Q_OBJECT

public:
    explicit PortWatcher(QObject *parent = nullptr,
                         const QString &deviceFolder = QStringLiteral("/dev"),
                         const QString &byIdFolder = QStringLiteral("/dev/serial/by-id"));

    // Lists the ports now and follows their changes from here on.
    void start();
    QVector<PortEntry> ports() const { return current; }

    static constexpr int kSettleMs = 400;

signals:
    void portsChanged(const QVector<PortEntry> &ports);

private:
    void changed();
    void list();
    void watchFolders();

    QString deviceFolder;
    QString byIdFolder;
    QFileSystemWatcher *watcher;
    QTimer *settle;
    QVector<PortEntry> current;
};
