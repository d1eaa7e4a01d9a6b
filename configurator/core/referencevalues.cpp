#include "referencevalues.h"

void ReferenceValues::written(const proto::DeviceConfig &readBack, const QStringList &skipped)
{
    const proto::DeviceConfig before = device;
    const bool had = held;
    device = readBack;
    held = true;
    if (!had)
        return;
    // registers() lists regim, subnet, channel, power, speed: the same order here.
    const proto::RadioSettings &old = before.radio();
    proto::RadioSettings &now = device.radio();
    quint8 *fields[] = {&now.regim, &now.subnet, &now.channel, &now.power, &now.radioSpeed};
    const quint8 kept[] = {old.regim, old.subnet, old.channel, old.power, old.radioSpeed};
    const QList<QPair<int, int>> registers = readBack.registers();
    for (int i = 0; i < registers.size(); ++i) {
        if (skipped.contains(QStringLiteral("S%1").arg(registers.at(i).first)))
            *fields[i] = kept[i];
    }
}
