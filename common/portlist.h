#pragma once

// The serial ports of the system as the port lists show them: each adapter once, with what
// tells two adapters apart (description, serial number, the stable name under
// /dev/serial/by-id).

#include <QHash>
#include <QString>
#include <QVector>

struct PortEntry
{
    QString name;          // what the list shows and the user may type: "ttyUSB0"
    QString location;      // the device to open: "/dev/ttyUSB0"
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString byId;          // "/dev/serial/by-id/usb-FTDI_..." or empty

    bool operator==(const PortEntry &o) const
    {
        return name == o.name && location == o.location && description == o.description
               && manufacturer == o.manufacturer && serialNumber == o.serialNumber && byId == o.byId;
    }
    bool operator!=(const PortEntry &o) const { return !(*this == o); }
};

// The ports the system reports (locations already resolved to the device file), joined with
// the by-id links (link path -> the device file it points to). An adapter reported twice is
// shown once; a link to a device the system does not report is shown under its device file.
QVector<PortEntry> mergePorts(const QVector<PortEntry> &reported, const QHash<QString, QString> &links);

// The tooltip of a list item: what the system says about the port, one fact a line.
QString portToolTip(const PortEntry &port);

// Asks the system now: the serial ports it reports and the links in `byIdFolder`.
QVector<PortEntry> listPorts(const QString &byIdFolder);
