#pragma once

// The values the device is known to hold, against which the window marks its edits: the last
// complete read, then after each write whose read-back agreed what the device confirmed. They
// outlive a lost port (the edits stay guarded after a pulled cable) until the next read.

#include "deviceconfig.h"

#include <QStringList>

class ReferenceValues
{
public:
    // nullptr until a complete read.
    const proto::DeviceConfig *values() const { return held ? &device : nullptr; }
    void read(const proto::DeviceConfig &c)
    {
        device = c;
        held = true;
    }
    void forget() { held = false; }
    // A write whose read-back agreed: the record and the table as read back; each radio
    // register as sent, unless the module did not take it ("S202" in `skipped`), which keeps
    // the value held before.
    void written(const proto::DeviceConfig &readBack, const QStringList &skipped);

private:
    proto::DeviceConfig device;
    bool held = false;
};
