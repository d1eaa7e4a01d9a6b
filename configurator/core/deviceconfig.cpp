#include "deviceconfig.h"
#include "fields.h"

namespace proto {

ChannelPlan channelPlan(int radioSpeedIndex)
{
    switch (radioSpeedIndex) {
    case 2: return {5, 868050000, 100000};    // 19200
    case 3: return {2, 868100000, 200000};    // 38400
    case 4: return {0, 868300000, 600000};    // 115200
    default: return {11, 868025000, 50000};   // 4800 and 9600
    }
}

void DeviceConfig::resetToFactory()
{
    for (RadioSettings *r : {static_cast<RadioSettings *>(&transmitter), static_cast<RadioSettings *>(&receiver)}) {
        r->subnet = 1;
        r->radioSpeed = 1;
        r->channel = 1;
        r->power = 0;
        r->regim = 0;
        r->rs485Speed = 3;
    }
    transmitter.range4096 = receiver.range4096 = true;
    addressTable = AddressTable();
    transmitter.deviceAdr = transmitter.dutAdr = 0;
    if (deviceType == Transmitter)
        transmitter.timeFd1 = transmitter.timeFd2 = transmitter.timeAd1 = transmitter.timeAd2 = 10;
    if (deviceType == Receiver) {
        const ReceiverSettings factory;
        receiver.period = factory.period;
        receiver.fq1Mode = receiver.fq2Mode = 0;
        receiver.mask0 = 1;   // transmitter 0 is always polled
        receiver.mask1 = 0;
        receiver.fq1 = receiver.fq2 = receiver.an1 = receiver.an2 = 0;
        receiverMap.fill('\0', kReceiverMapSize);
    }
}

const RadioSettings &DeviceConfig::radio() const
{
    return isReceiver() ? static_cast<const RadioSettings &>(receiver)
                        : static_cast<const RadioSettings &>(transmitter);
}

RadioSettings &DeviceConfig::radio()
{
    return isReceiver() ? static_cast<RadioSettings &>(receiver) : static_cast<RadioSettings &>(transmitter);
}

QByteArray DeviceConfig::settingsFrame() const
{
    return isReceiver() ? writeSettingsFrame(receiver, version) : writeSettingsFrame(transmitter);
}

QByteArray DeviceConfig::tableFrame() const
{
    return isReceiver() ? writeReceiverTableFrame(receiverMap) : writeAddressTableFrame(addressTable);
}

const QList<DeviceConfig::Register> &DeviceConfig::radioRegisters()
{
    static const QList<Register> all = {{220, &RadioSettings::regim}, {250, &RadioSettings::subnet},
                                        {200, &RadioSettings::channel}, {202, &RadioSettings::power},
                                        {201, &RadioSettings::radioSpeed}};
    return all;
}

QList<QPair<int, int>> DeviceConfig::registers() const
{
    QList<QPair<int, int>> out;
    for (const Register &r : radioRegisters())
        out.append({r.number, radio().*r.value});
    return out;
}

void DeviceConfig::takeSettingsReply(const QByteArray &reply)
{
    QByteArray record = isReceiver() ? packReceiverSettings(receiver, version)
                                     : packTransmitterSettings(transmitter);
    const int n = qMin(int(reply.size()), settingsReplySize(deviceType, version));
    record.replace(0, n, reply.constData(), n);
    const quint8 power = radio().power;   // the module's register, not the record's byte
    if (isReceiver())
        receiver = unpackReceiverSettings(record, version);
    else
        transmitter = unpackTransmitterSettings(record);
    radio().power = power;
}

void DeviceConfig::takeTableReply(const QByteArray &reply)
{
    if (isReceiver())
        receiverMap = receiverMapFromReply(reply);
    else
        addressTable = AddressTable::parse(reply);
}

QList<DeviceConfig::Difference> DeviceConfig::compare(const DeviceConfig &read) const
{
    QList<Difference> out;
    for (const Field &f : fields()) {
        if (!f.reported || !f.belongsTo(*this))
            continue;
        const QList<Field::Part> sent = f.parts(*this), got = f.parts(read);
        for (int i = 0; i < sent.size(); ++i) {
            if (sent.at(i).text != got.at(i).text)
                out.append({sent.at(i).name, sent.at(i).text, got.at(i).text});
        }
    }
    return out;
}

QString DeviceConfig::Value::text() const
{
    return QStringLiteral("%1: %2 — %3").arg(field).arg(value).arg(limit);
}

QList<DeviceConfig::Value> DeviceConfig::valuesOutOfRange() const
{
    QList<Value> out;
    for (const Field &f : fields()) {
        if (!f.belongsTo(*this))
            continue;
        const bool number = f.kind == Field::Kind::Number, choice = f.kind == Field::Kind::Choice;
        if (!number && !choice)
            continue;
        const int value = f.get(*this), max = number ? f.maxIn(*this) : f.choices().size() - 1;
        if (value >= f.min && value <= max)
            continue;
        // The limit is said with the value: "не больше 5 при скорости 19200", "от 1 до 60".
        QString limit = f.min == 0 ? QStringLiteral("не больше %1").arg(max) : QStringLiteral("от %1 до %2").arg(f.min).arg(max);
        if (f.when)
            limit += QLatin1Char(' ') + f.when(*this);
        out.append({f.label(), value, limit});
    }
    return out;
}

bool DeviceConfig::operator==(const DeviceConfig &o) const
{
    return deviceType == o.deviceType && version == o.version && settingsFrame() == o.settingsFrame()
           && tableFrame() == o.tableFrame();
}

} // namespace proto
