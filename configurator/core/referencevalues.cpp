#include "referencevalues.h"

void ReferenceValues::written(const proto::DeviceConfig &readBack, const QStringList &skipped)
{
    const proto::DeviceConfig before = device;
    const bool had = held;
    device = readBack;
    held = true;
    if (!had)
        return;
    // A register passed over keeps what the module held before.
    for (const proto::DeviceConfig::Register &r : proto::DeviceConfig::radioRegisters()) {
        if (skipped.contains(QStringLiteral("S%1").arg(r.number)))
            device.radio().*r.value = before.radio().*r.value;
    }
}
