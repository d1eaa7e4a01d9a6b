#pragma once

// What the window holds that the device does not: control by control, with one name per
// control that the change marks, the question before dropping edits and the journal all use.
// Unlike DeviceConfig::compare (the write's read-back check) this takes in the power and
// splits the address table into its rows and the In1A mark, and the polled transmitters into
// one per transmitter, as the panels show them.

#include "deviceconfig.h"

#include <QList>
#include <QString>

namespace proto {

struct Change
{
    QString field;    // "Канал связи", "Таблица адресов, строка 3", "Опрашиваемый передатчик 17"
    QString before;   // as the device holds it
    QString after;    // as the window shows it
    const char *key = nullptr;   // the field's key ("channel"); "in1a" for the address table's In1A mark
    int index = -1;              // the address table's row (1..7) or the transmitter's number
};

// The controls of `now` that differ from `reference`, over the fields a device of the
// reference's type and firmware has, in the order of the field table.
QList<Change> changes(const DeviceConfig &reference, const DeviceConfig &now);
// "Канал связи: 3 → 5"
QString changeText(const Change &c);
// The changes joined by "; ".
QString changesText(const QList<Change> &list);

} // namespace proto
