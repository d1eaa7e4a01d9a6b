#include "portlist.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>

#include <algorithm>

namespace {

QString deviceFile(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

} // namespace

QVector<PortEntry> mergePorts(const QVector<PortEntry> &reported, const QHash<QString, QString> &links)
{
    // The by-id name of each device; links are taken in name order so the choice is stable
    // when one device has several.
    QStringList linkNames = links.keys();
    std::sort(linkNames.begin(), linkNames.end());
    QHash<QString, QString> byIdOf;
    for (const QString &link : qAsConst(linkNames)) {
        if (!byIdOf.contains(links.value(link)))
            byIdOf.insert(links.value(link), link);
    }

    QVector<PortEntry> ports;
    auto known = [&ports](const QString &location) {
        return std::any_of(ports.cbegin(), ports.cend(),
                           [&location](const PortEntry &p) { return p.location == location; });
    };
    for (PortEntry port : reported) {
        if (known(port.location))
            continue;
        port.byId = byIdOf.value(port.location);
        ports.append(port);
    }
    for (const QString &link : qAsConst(linkNames)) {
        const QString location = links.value(link);
        if (known(location))
            continue;
        PortEntry port;
        port.name = location;
        port.location = location;
        port.byId = link;
        ports.append(port);
    }
    return ports;
}

QString portToolTip(const PortEntry &port)
{
    QStringList lines;
    if (!port.description.isEmpty())
        lines << QStringLiteral("Описание: %1").arg(port.description);
    if (!port.manufacturer.isEmpty())
        lines << QStringLiteral("Изготовитель: %1").arg(port.manufacturer);
    if (!port.serialNumber.isEmpty())
        lines << QStringLiteral("Серийный номер: %1").arg(port.serialNumber);
    if (!port.byId.isEmpty())
        lines << QStringLiteral("Постоянное имя: %1").arg(port.byId);
    lines << QStringLiteral("Устройство: %1").arg(port.location);
    return lines.join(QLatin1Char('\n'));
}

QVector<PortEntry> listPorts(const QString &byIdFolder)
{
    QVector<PortEntry> reported;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        PortEntry port;
        port.name = info.portName();
        port.location = deviceFile(info.systemLocation());
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        reported.append(port);
    }
    QHash<QString, QString> links;
    const QFileInfoList entries =
        QDir(byIdFolder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        // A link whose device has gone (the adapter is being pulled) names nothing.
        if (entry.isSymLink() && entry.exists())
            links.insert(entry.absoluteFilePath(), entry.canonicalFilePath());
    }
    return mergePorts(reported, links);
}
