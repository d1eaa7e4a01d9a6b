#include "deviceconfig.h"

namespace proto {

namespace {

QString indexText(const QStringList &items, int index)
{
    return index >= 0 && index < items.size() ? items.at(index) : QString::number(index);
}

QString rangeText(bool range4096) { return range4096 ? QStringLiteral("4096") : QStringLiteral("65536"); }
QString modeText(int mode) { return mode ? QStringLiteral("Дискрет") : QStringLiteral("Частота"); }

// Transmitter numbers set in a mask or map, as "3, 16, 255" (or "—" for none).
QString numbersText(const QByteArray &bits, int first)
{
    QStringList out;
    for (int i = 0; i < bits.size() * 8; ++i) {
        if ((quint8(bits.at(i / 8)) >> (i % 8)) & 1)
            out << QString::number(first + i);
    }
    return out.isEmpty() ? QStringLiteral("—") : out.join(QStringLiteral(", "));
}

// One row of the address table: "вкл., адрес 5, ДУТ 7" or "выкл.".
QString tableRowText(const QByteArray &t, int row)
{
    const int k = 3 * (row - 1);
    if (quint8(t.at(k)) == 0)
        return QStringLiteral("выкл.");
    return QStringLiteral("вкл., адрес %1, ДУТ %2").arg(quint8(t.at(k + 1))).arg(quint8(t.at(k + 2)));
}

QString in1aText(const QByteArray &t)
{
    return quint8(t.at(21)) ? QStringLiteral("строка %1").arg(quint8(t.at(22)) % 8) : QStringLiteral("нет");
}

class Comparer
{
public:
    explicit Comparer(QList<DeviceConfig::Difference> &out) : m_out(out) {}
    void operator()(const QString &field, int sent, int read)
    {
        (*this)(field, QString::number(sent), QString::number(read));
    }
    void operator()(const QString &field, const QString &sent, const QString &read)
    {
        if (sent != read)
            m_out.append({field, sent, read});
    }

private:
    QList<DeviceConfig::Difference> &m_out;
};

} // namespace

ChannelPlan channelPlan(int radioSpeedIndex)
{
    switch (radioSpeedIndex) {
    case 2: return {5, 868050000, 100000};    // 19200
    case 3: return {2, 868100000, 200000};    // 38400
    case 4: return {0, 868300000, 600000};    // 115200
    default: return {11, 868025000, 50000};   // 4800 and 9600
    }
}

QString radioSpeedText(int index)
{
    return indexText({QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"),
                      QStringLiteral("38400"), QStringLiteral("115200")},
                     index);
}

QString rs485SpeedText(int index)
{
    return indexText({QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
                      QStringLiteral("19200")},
                     index);
}

QString regimText(int index)
{
    return indexText({QStringLiteral("Стандартный (RS-485, Analog, Freq)"),
                      QStringLiteral("Прозрачный (только RS-485)")},
                     index);
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

QList<QPair<int, int>> DeviceConfig::registers() const
{
    const RadioSettings &r = radio();
    return {{220, r.regim}, {250, r.subnet}, {200, r.channel}, {202, r.power}, {201, r.radioSpeed}};
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
        addressTable = (reply + QByteArray(kAddressTableSize, '\0')).left(kAddressTableSize);
}

QList<DeviceConfig::Difference> DeviceConfig::compare(const DeviceConfig &read) const
{
    QList<Difference> out;
    Comparer cmp(out);
    const RadioSettings &a = radio(), &b = read.radio();
    cmp(QStringLiteral("Канал связи"), a.channel, b.channel);
    cmp(QStringLiteral("Номер подсети"), a.subnet, b.subnet);
    cmp(QStringLiteral("Режим работы"), regimText(a.regim), regimText(b.regim));
    cmp(QStringLiteral("Интерфейс RS-485, скорость"), rs485SpeedText(a.rs485Speed), rs485SpeedText(b.rs485Speed));
    cmp(QStringLiteral("Скорость"), radioSpeedText(a.radioSpeed), radioSpeedText(b.radioSpeed));
    const bool range = hasRangeByte(version);
    const bool wide = hasWideAddresses(version);
    if (!isReceiver()) {
        const TransmitterSettings &s = transmitter, &r = read.transmitter;
        cmp(QStringLiteral("Адрес устройства"), s.deviceAdr, r.deviceAdr);
        cmp(QStringLiteral("Адрес ДУТ"), s.dutAdr, r.dutAdr);
        cmp(QStringLiteral("Время измерения, сек., Вх.1 Ч/Д"), s.timeFd1, r.timeFd1);
        cmp(QStringLiteral("Время измерения, сек., Вх.2 Ч/Д"), s.timeFd2, r.timeFd2);
        cmp(QStringLiteral("Время измерения, сек., Вх.1 А/Д"), s.timeAd1, r.timeAd1);
        cmp(QStringLiteral("Время измерения, сек., Вх.2 А/Д"), s.timeAd2, r.timeAd2);
        if (range)
            cmp(QStringLiteral("Диапазон значений ДУТ"), rangeText(s.range4096), rangeText(r.range4096));
        if (wide) {
            for (int row = 1; row <= 7; ++row)
                cmp(QStringLiteral("Таблица адресов, строка %1").arg(row), tableRowText(addressTable, row),
                    tableRowText(read.addressTable, row));
            cmp(QStringLiteral("Таблица адресов, Вх.1 А/Д"), in1aText(addressTable), in1aText(read.addressTable));
        }
        return out;
    }
    const ReceiverSettings &s = receiver, &r = read.receiver;
    cmp(QStringLiteral("Период опроса, сек."), s.period, r.period);
    cmp(QStringLiteral("Адреса опрашиваемых передатчиков 0–15"),
        numbersText(QByteArray().append(char(s.mask0)).append(char(s.mask1)), 0),
        numbersText(QByteArray().append(char(r.mask0)).append(char(r.mask1)), 0));
    cmp(QStringLiteral("Выход 1 Ч/Д, адрес"), s.fq1, r.fq1);
    cmp(QStringLiteral("Выход 2 Ч/Д, адрес"), s.fq2, r.fq2);
    cmp(QStringLiteral("Выход 1 Ч/Д"), modeText(s.fq1Mode), modeText(r.fq1Mode));
    cmp(QStringLiteral("Выход 2 Ч/Д"), modeText(s.fq2Mode), modeText(r.fq2Mode));
    cmp(QStringLiteral("Выход 1 А/Д, адрес"), s.an1, r.an1);
    cmp(QStringLiteral("Выход 2 А/Д, адрес"), s.an2, r.an2);
    if (range)
        cmp(QStringLiteral("Диапазон значений ДУТ"), rangeText(s.range4096), rangeText(r.range4096));
    if (wide)
        cmp(QStringLiteral("Адреса опрашиваемых передатчиков 16–255"), numbersText(receiverMap, 16),
            numbersText(read.receiverMap, 16));
    return out;
}

QString DeviceConfig::Value::text() const
{
    return QStringLiteral("%1: %2 — %3").arg(field).arg(value).arg(limit);
}

QList<DeviceConfig::Value> DeviceConfig::valuesOutOfRange() const
{
    QList<Value> out;
    // The limit is said with the value: "не больше 5 при скорости 19200", "от 1 до 60".
    const auto check = [&out](const char *field, int value, int min, int max, const QString &when = QString()) {
        if (value >= min && value <= max)
            return;
        QString limit = min == 0 ? QStringLiteral("не больше %1").arg(max) : QStringLiteral("от %1 до %2").arg(min).arg(max);
        if (!when.isEmpty())
            limit += QLatin1Char(' ') + when;
        out.append({QString::fromUtf8(field), value, limit});
    };
    const RadioSettings &r = radio();
    check("Скорость", r.radioSpeed, 0, 4);
    if (r.radioSpeed <= 4)
        check("Канал связи", r.channel, 0, channelPlan(r.radioSpeed).maxChannel,
              QStringLiteral("при скорости %1").arg(radioSpeedText(r.radioSpeed)));
    check("Номер подсети", r.subnet, 0, 99);
    check("Мощность", r.power, 0, 7);
    check("Интерфейс RS-485, скорость", r.rs485Speed, 0, 3);
    if (!isReceiver()) {
        const TransmitterSettings &t = transmitter;
        check("Время измерения, сек., Вх.1 Ч/Д", t.timeFd1, 1, 60);
        check("Время измерения, сек., Вх.2 Ч/Д", t.timeFd2, 1, 60);
        check("Время измерения, сек., Вх.1 А/Д", t.timeAd1, 1, 60);
        check("Время измерения, сек., Вх.2 А/Д", t.timeAd2, 1, 60);
        return out;
    }
    const ReceiverSettings &s = receiver;
    const int top = maxTransmitterAddress(version);
    const QString firmware = QStringLiteral("у версии %1").arg(version);
    check("Период опроса, сек.", s.period, 1, 5);
    check("Выход 1 Ч/Д, адрес", s.fq1, 0, top, firmware);
    check("Выход 2 Ч/Д, адрес", s.fq2, 0, top, firmware);
    check("Выход 1 А/Д, адрес", s.an1, 0, top, firmware);
    check("Выход 2 А/Д, адрес", s.an2, 0, top, firmware);
    return out;
}

bool DeviceConfig::operator==(const DeviceConfig &o) const
{
    return deviceType == o.deviceType && version == o.version && settingsFrame() == o.settingsFrame()
           && tableFrame() == o.tableFrame();
}

} // namespace proto
