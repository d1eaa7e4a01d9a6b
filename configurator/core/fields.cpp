#include "fields.h"

namespace proto {

namespace {

using Get = int (*)(const DeviceConfig &);
using Set = void (*)(DeviceConfig &, int);

Field number(const char *section, const char *key, const char *name, int min, int max, Get get, Set set,
             quint8 device = 0)
{
    Field f;
    f.section = section;
    f.key = key;
    f.name = name;
    f.min = min;
    f.max = max;
    f.get = get;
    f.set = set;
    f.device = device;
    return f;
}

Field choice(const char *section, const char *key, const char *name, QStringList (*choices)(), Get get, Set set,
             quint8 device = 0, Field::Needs needs = Field::Needs::Any)
{
    Field f = number(section, key, name, 0, 0, get, set, device);
    f.kind = Field::Kind::Choice;
    f.choices = choices;
    f.needs = needs;
    return f;
}

Field numbers(const char *section, const char *key, const char *name, int min, int max,
              bool (*has)(const DeviceConfig &, int), void (*mark)(DeviceConfig &, int, bool))
{
    Field f = number(section, key, name, min, max, nullptr, nullptr, Receiver);
    f.kind = Field::Kind::Numbers;
    f.has = has;
    f.mark = mark;
    return f;
}

QStringList rangeChoices() { return {QStringLiteral("4096"), QStringLiteral("65536")}; }
QStringList modeChoices() { return {QStringLiteral("Частота"), QStringLiteral("Дискрет")}; }

void setBit(QByteArray &bytes, int i, bool on)
{
    if (bytes.size() <= i / 8)
        bytes.append(QByteArray(i / 8 + 1 - bytes.size(), '\0'));
    const char mask = char(1 << (i % 8));
    bytes[i / 8] = on ? char(bytes.at(i / 8) | mask) : char(bytes.at(i / 8) & ~mask);
}

// Transmitters 0..7 and 8..15 (QByteArray has no list constructor: {a, b} would be a times b).
bool polledLow(const DeviceConfig &c, int n)
{
    return (quint16(c.receiver.mask0 | c.receiver.mask1 << 8) >> n) & 1;
}
void markLow(DeviceConfig &c, int n, bool on)
{
    QByteArray masks = QByteArray().append(char(c.receiver.mask0)).append(char(c.receiver.mask1));
    setBit(masks, n, on);
    c.receiver.mask0 = quint8(masks.at(0));
    c.receiver.mask1 = quint8(masks.at(1));
}

#define BYTE(member) \
    [](const DeviceConfig &c) { return int(c.member); }, [](DeviceConfig &c, int v) { c.member = quint8(v); }
#define RANGE(settings) \
    [](const DeviceConfig &c) { return c.settings.range4096 ? 0 : 1; }, \
    [](DeviceConfig &c, int v) { c.settings.range4096 = v == 0; }

// Modifiers for the rows below that are not the usual case.
Field topped(Field f, int (*top)(const DeviceConfig &), QString (*when)(const DeviceConfig &))
{
    f.top = top;
    f.when = when;
    return f;
}
Field own(Field f)
{
    f.address = true;
    return f;
}
Field unreported(Field f)
{
    f.reported = false;
    return f;
}
Field wide(Field f)
{
    f.needs = Field::Needs::WideAddresses;
    return f;
}
// A speed outside the list has no plan: the speed itself is reported then, not the channel.
int channelTop(const DeviceConfig &c)
{
    return c.radio().radioSpeed < radioSpeedChoices().size() ? channelPlan(c.radio().radioSpeed).maxChannel : 255;
}
QString channelWhen(const DeviceConfig &c) { return QStringLiteral("при скорости %1").arg(radioSpeedText(c.radio().radioSpeed)); }
int outputTop(const DeviceConfig &c) { return maxTransmitterAddress(c.version); }
QString outputWhen(const DeviceConfig &c) { return QStringLiteral("у версии %1").arg(c.version); }

QVector<Field> makeFields()
{
    constexpr quint8 Tx = Transmitter, Rx = Receiver;
    constexpr Field::Needs RangeByte = Field::Needs::RangeByte;
    Field table;
    table.kind = Field::Kind::Table;
    table.key = "addressTable";
    table.name = "Таблица адресов";
    table.device = Tx;
    return {
        choice("radio", "mode", "Режим работы", regimChoices, BYTE(radio().regim)),
        number("radio", "subnet", "Номер подсети", 0, 99, BYTE(radio().subnet)),
        topped(number("radio", "channel", "Канал связи", 0, 11, BYTE(radio().channel)), channelTop, channelWhen),
        unreported(number("radio", "power", "Мощность", 0, 7, BYTE(radio().power))),
        choice("radio", "speed", "Скорость", radioSpeedChoices, BYTE(radio().radioSpeed)),
        choice("settings", "rs485Speed", "Интерфейс RS-485, скорость", rs485SpeedChoices, BYTE(radio().rs485Speed)),
        own(number("settings", "address", "Адрес устройства", 0, 255, BYTE(transmitter.deviceAdr), Tx)),
        own(number("settings", "dutAddress", "Адрес ДУТ", 0, 255, BYTE(transmitter.dutAdr), Tx)),
        number("settings", "timeFd1", "Время измерения, сек., Вх.1 Ч/Д", 1, 60, BYTE(transmitter.timeFd1), Tx),
        number("settings", "timeFd2", "Время измерения, сек., Вх.2 Ч/Д", 1, 60, BYTE(transmitter.timeFd2), Tx),
        number("settings", "timeAd1", "Время измерения, сек., Вх.1 А/Д", 1, 60, BYTE(transmitter.timeAd1), Tx),
        number("settings", "timeAd2", "Время измерения, сек., Вх.2 А/Д", 1, 60, BYTE(transmitter.timeAd2), Tx),
        choice("settings", "dutRange", "Диапазон значений ДУТ", rangeChoices, RANGE(transmitter), Tx, RangeByte),
        number("settings", "pollPeriod", "Период опроса, сек.", 1, 5, BYTE(receiver.period), Rx),
        topped(number("settings", "outputFd1Address", "Выход 1 Ч/Д, адрес", 0, 255, BYTE(receiver.fq1), Rx), outputTop, outputWhen),
        choice("settings", "outputFd1Mode", "Выход 1 Ч/Д", modeChoices, BYTE(receiver.fq1Mode), Rx),
        topped(number("settings", "outputFd2Address", "Выход 2 Ч/Д, адрес", 0, 255, BYTE(receiver.fq2), Rx), outputTop, outputWhen),
        choice("settings", "outputFd2Mode", "Выход 2 Ч/Д", modeChoices, BYTE(receiver.fq2Mode), Rx),
        topped(number("settings", "outputAd1Address", "Выход 1 А/Д, адрес", 0, 255, BYTE(receiver.an1), Rx), outputTop, outputWhen),
        topped(number("settings", "outputAd2Address", "Выход 2 А/Д, адрес", 0, 255, BYTE(receiver.an2), Rx), outputTop, outputWhen),
        choice("settings", "dutRange", "Диапазон значений ДУТ", rangeChoices, RANGE(receiver), Rx, RangeByte),
        numbers("settings", "polled", "Адреса опрашиваемых передатчиков 0–15", 0, 15, polledLow, markLow),
        wide(numbers(nullptr, "polledTable", "Адреса опрашиваемых передатчиков 16–255", 16, 255,
                     [](const DeviceConfig &c, int n) { return receiverMapHas(c.receiverMap, n); },
                     [](DeviceConfig &c, int n, bool on) { setBit(c.receiverMap, n - 16, on); })),
        wide(table),
    };
}


} // namespace

QString indexText(const QStringList &items, int index)
{
    return index >= 0 && index < items.size() ? items.at(index) : QString::number(index);
}

QStringList radioSpeedChoices()
{
    return {QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
            QStringLiteral("115200")};
}

QStringList rs485SpeedChoices()
{
    return {QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200")};
}

QStringList regimChoices()
{
    return {QStringLiteral("Стандартный (RS-485, Analog, Freq)"), QStringLiteral("Прозрачный (только RS-485)")};
}

QString radioSpeedText(int index) { return indexText(radioSpeedChoices(), index); }
QString rs485SpeedText(int index) { return indexText(rs485SpeedChoices(), index); }
QString regimText(int index) { return indexText(regimChoices(), index); }

const QVector<Field> &fields()
{
    static const QVector<Field> table = makeFields();
    return table;
}

const Field &field(const char *key)
{
    for (const Field &f : fields()) {
        if (qstrcmp(f.key, key) == 0)
            return f;
    }
    Q_UNREACHABLE();
}

bool Field::firmwareHas(quint16 version) const
{
    switch (needs) {
    case Needs::WideAddresses: return hasWideAddresses(version);
    case Needs::RangeByte: return hasRangeByte(version);
    case Needs::Any: break;
    }
    return true;
}

QList<Field::Part> Field::parts(const DeviceConfig &c) const
{
    switch (kind) {
    case Kind::Number:
        return {{label(), QString::number(get(c))}};
    case Kind::Choice:
        return {{label(), indexText(choices(), get(c))}};
    case Kind::Numbers: {
        QStringList out;
        for (int n = min; n <= max; ++n) {
            if (has(c, n))
                out << QString::number(n);
        }
        return {{label(), out.isEmpty() ? QStringLiteral("—") : out.join(QStringLiteral(", "))}};
    }
    case Kind::Table:
        break;
    }
    QList<Part> out;
    for (int row = 1; row <= AddressTable::kRows; ++row)
        out.append({QStringLiteral("%1, строка %2").arg(label()).arg(row), c.addressTable.rowText(row)});
    out.append({QStringLiteral("%1, Вх.1 А/Д").arg(label()), c.addressTable.in1aText()});
    return out;
}

QString Field::text(const DeviceConfig &c) const
{
    const QList<Part> all = parts(c);
    if (all.size() == 1)
        return all.constFirst().text;
    QStringList out;
    for (const Part &p : all)
        out << QStringLiteral("%1: %2").arg(p.name.mid(label().size() + 2), p.text);
    return out.join(QStringLiteral("; "));
}

void Field::copy(const DeviceConfig &from, DeviceConfig &to) const
{
    switch (kind) {
    case Kind::Number:
    case Kind::Choice:
        set(to, get(from));
        break;
    case Kind::Numbers:
        for (int n = min; n <= max; ++n)
            mark(to, n, has(from, n));
        break;
    case Kind::Table:
        to.addressTable = from.addressTable;
        break;
    }
}

} // namespace proto
