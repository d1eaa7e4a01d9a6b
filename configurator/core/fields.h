#pragma once

// Every setting the configurator reads from a controller and writes to it, once: the name the
// window gives it, its range or choices, which device type and firmware have it, where a profile
// keeps it, and how it is read from and written into a DeviceConfig. The read-back comparison,
// the range check and the profiles walk this table; none of them lists the fields by hand.
// Adding a setting: a row here, its box in a panel (panelsconfig.cpp) and the simulator's record.

#include "deviceconfig.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace proto {

struct Field
{
    enum class Kind {
        Number,    // a spin box: min..max
        Choice,    // a list: the index into choices()
        Numbers,   // transmitter numbers min..max, each polled or not
        Table,     // the address table, as a whole
    };
    enum class Needs { Any, WideAddresses, RangeByte };

    Kind kind = Kind::Number;
    const char *name = nullptr;      // as the technician reads it: "Канал связи"
    const char *section = nullptr;   // in a profile: "radio", "settings", or the top level
    const char *key = nullptr;
    quint8 device = 0;               // Receiver, Transmitter, 0 for both
    Needs needs = Needs::Any;
    bool address = false;            // the device's own address: kept when loading a profile says so
    bool reported = true;            // the device reports it back (not the power: the module keeps it)
    int min = 0, max = 0;            // Number: the box's range; Numbers: the transmitter numbers
    int (*top)(const DeviceConfig &) = nullptr;   // a maximum that depends on other values
    QString (*when)(const DeviceConfig &) = nullptr;   // what it depends on: "при скорости 19200"
    QStringList (*choices)() = nullptr;
    int (*get)(const DeviceConfig &) = nullptr;   // Number and Choice (the index)
    void (*set)(DeviceConfig &, int) = nullptr;
    bool (*has)(const DeviceConfig &, int) = nullptr;   // Numbers: is transmitter n polled
    void (*mark)(DeviceConfig &, int, bool) = nullptr;

    QString label() const { return QString::fromUtf8(name); }
    // Whether a device of this type and firmware has the field.
    // (A device not yet identified counts as a transmitter, whose layout it is written in.)
    bool appliesTo(quint8 deviceType) const
    {
        return device == 0 || device == (deviceType == Receiver ? Receiver : Transmitter);
    }
    bool firmwareHas(quint16 version) const;
    bool belongsTo(const DeviceConfig &c) const { return appliesTo(c.deviceType) && firmwareHas(c.version); }

    // The value as the window shows it: "9600", "0, 3, 15" ("—" for none); the address table
    // as its rows. parts() gives the same in the pieces the read-back compares: one for most
    // fields, each row and the In1A mark for the address table.
    struct Part
    {
        QString name;
        QString text;
    };
    QList<Part> parts(const DeviceConfig &c) const;
    QString text(const DeviceConfig &c) const;
    // The largest value the field may hold in `c` (Number fields).
    int maxIn(const DeviceConfig &c) const { return top ? top(c) : max; }
    // Copies the field from `from` into `to`.
    void copy(const DeviceConfig &from, DeviceConfig &to) const;
};

// The fields in the order a profile lists them.
const QVector<Field> &fields();
// The field a profile keeps under `key` ("channel"); the panels take their boxes' names,
// ranges and lists from it.
const Field &field(const char *key);

// Choice lists and index texts shared with the panels: "9600", "19200", etc.
QString indexText(const QStringList &items, int index);
QStringList radioSpeedChoices();
QStringList rs485SpeedChoices();
QStringList regimChoices();

} // namespace proto
