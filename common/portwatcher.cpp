#include "portwatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

PortWatcher::PortWatcher(QObject *parent, const QString &deviceFolder, const QString &byIdFolder)
    : QObject(parent)
    , deviceFolder(deviceFolder)
    , byIdFolder(byIdFolder)
    , watcher(new QFileSystemWatcher(this))
    , settle(new QTimer(this))
{
    settle->setSingleShot(true);
    settle->setInterval(kSettleMs);
    connect(settle, &QTimer::timeout, this, &PortWatcher::list);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &PortWatcher::changed);
}

void PortWatcher::start()
{
    list();   // which watches the folders too
}

// A burst of changes (a device file, then its links) is listed once, a moment after the first.
void PortWatcher::changed()
{
    if (!settle->isActive())
        settle->start();
}

void PortWatcher::list()
{
    // The by-id folder comes with the first adapter and goes with the last one.
    watchFolders();
    const QVector<PortEntry> ports = listPorts(byIdFolder);
    if (ports == current)
        return;
    current = ports;
    emit portsChanged(current);
}

void PortWatcher::watchFolders()
{
    const QStringList watched = watcher->directories();
    // The by-id folder's parent is watched too: the system makes it and the folder together.
    const QString folders[] = {deviceFolder, QFileInfo(byIdFolder).absolutePath(), byIdFolder};
    for (const QString &folder : folders) {
        if (!watched.contains(folder) && QFileInfo(folder).isDir())
            watcher->addPath(folder);
    }
}
