#include "profile.h"
#include "safefile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QByteArrayList>

#include <cmath>

namespace profile {

const char kFormat[] = "talver-profile";

namespace {

using proto::DeviceConfig;

enum class Kind { Number, Choice, Numbers, Table };
enum class Needs { Any, WideAddresses, RangeByte };

// One field of the file: where it sits, what the window calls it, which devices and firmware
// have it, and how it reads from and writes into the configuration value.
struct Field
{
    Kind kind = Kind::Number;
    const char *section = nullptr;   // "radio", "settings", or nullptr for the top level
    const char *key = nullptr;
    const char *label = nullptr;
    quint8 device = 0;               // proto::Receiver, proto::Transmitter, 0 for both
    Needs needs = Needs::Any;
    bool address = false;            // kept when the device keeps its own address
    int min = 0, max = 0;            // Number: the box's range; Numbers: the transmitter numbers
    QStringList (*choices)() = nullptr;
    int (*get)(const DeviceConfig &) = nullptr;   // Number and Choice (the index)
    void (*set)(DeviceConfig &, int) = nullptr;
    bool (*has)(const DeviceConfig &, int) = nullptr;   // Numbers: is transmitter n polled
    void (*mark)(DeviceConfig &, int, bool) = nullptr;
};

using Get = int (*)(const DeviceConfig &);
using Set = void (*)(DeviceConfig &, int);

Field number(const char *section, const char *key, const char *label, int min, int max, Get get, Set set,
             quint8 device = 0, bool address = false)
{
    Field f;
    f.section = section;
    f.key = key;
    f.label = label;
    f.min = min;
    f.max = max;
    f.get = get;
    f.set = set;
    f.device = device;
    f.address = address;
    return f;
}

Field choice(const char *section, const char *key, const char *label, QStringList (*choices)(), Get get, Set set,
             quint8 device = 0, Needs needs = Needs::Any)
{
    Field f = number(section, key, label, 0, 0, get, set, device);
    f.kind = Kind::Choice;
    f.choices = choices;
    f.needs = needs;
    return f;
}

QStringList texts(QString (*text)(int), int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << text(i);
    return out;
}
QStringList regimChoices() { return texts(proto::regimText, 2); }
QStringList radioSpeedChoices() { return texts(proto::radioSpeedText, 5); }
QStringList rs485SpeedChoices() { return texts(proto::rs485SpeedText, 4); }
QStringList rangeChoices() { return {QStringLiteral("4096"), QStringLiteral("65536")}; }
QStringList modeChoices() { return {QStringLiteral("Частота"), QStringLiteral("Дискрет")}; }

bool bit(const QByteArray &bytes, int i) { return i / 8 < bytes.size() && (quint8(bytes.at(i / 8)) >> (i % 8)) & 1; }
void setBit(QByteArray &bytes, int i, bool on)
{
    if (bytes.size() <= i / 8)
        bytes.append(QByteArray(i / 8 + 1 - bytes.size(), '\0'));
    const char mask = char(1 << (i % 8));
    bytes[i / 8] = on ? char(bytes.at(i / 8) | mask) : char(bytes.at(i / 8) & ~mask);
}

// Transmitters 0..7 and 8..15 (QByteArray has no list constructor: {a, b} would be a times b).
QByteArray masks(const DeviceConfig &c)
{
    return QByteArray().append(char(c.receiver.mask0)).append(char(c.receiver.mask1));
}
bool polledLow(const DeviceConfig &c, int n) { return bit(masks(c), n); }
void markLow(DeviceConfig &c, int n, bool on)
{
    QByteArray masks = profile::masks(c);
    setBit(masks, n, on);
    c.receiver.mask0 = quint8(masks.at(0));
    c.receiver.mask1 = quint8(masks.at(1));
}

#define BYTE(member) \
    [](const DeviceConfig &c) { return int(c.member); }, [](DeviceConfig &c, int v) { c.member = quint8(v); }
#define RANGE(settings) \
    [](const DeviceConfig &c) { return c.settings.range4096 ? 0 : 1; }, \
    [](DeviceConfig &c, int v) { c.settings.range4096 = v == 0; }

const QVector<Field> &allFields()
{
    static const QVector<Field> table = [] {
        constexpr quint8 Tx = proto::Transmitter, Rx = proto::Receiver;
        QVector<Field> t = {
            choice("radio", "mode", "Режим работы", regimChoices, BYTE(radio().regim)),
            number("radio", "subnet", "Номер подсети", 0, 99, BYTE(radio().subnet)),
            number("radio", "channel", "Канал связи", 0, 11, BYTE(radio().channel)),
            number("radio", "power", "Мощность", 0, 7, BYTE(radio().power)),
            choice("radio", "speed", "Скорость", radioSpeedChoices, BYTE(radio().radioSpeed)),
            choice("settings", "rs485Speed", "Интерфейс RS-485, скорость", rs485SpeedChoices, BYTE(radio().rs485Speed)),
            number("settings", "address", "Адрес устройства", 0, 255, BYTE(transmitter.deviceAdr), Tx, true),
            number("settings", "dutAddress", "Адрес ДУТ", 0, 255, BYTE(transmitter.dutAdr), Tx, true),
            number("settings", "timeFd1", "Время измерения, сек., Вх.1 Ч/Д", 1, 60, BYTE(transmitter.timeFd1), Tx),
            number("settings", "timeFd2", "Время измерения, сек., Вх.2 Ч/Д", 1, 60, BYTE(transmitter.timeFd2), Tx),
            number("settings", "timeAd1", "Время измерения, сек., Вх.1 А/Д", 1, 60, BYTE(transmitter.timeAd1), Tx),
            number("settings", "timeAd2", "Время измерения, сек., Вх.2 А/Д", 1, 60, BYTE(transmitter.timeAd2), Tx),
            choice("settings", "dutRange", "Диапазон значений ДУТ", rangeChoices, RANGE(transmitter), Tx, Needs::RangeByte),
            number("settings", "pollPeriod", "Период опроса, сек.", 1, 5, BYTE(receiver.period), Rx),
            number("settings", "outputFd1Address", "Выход 1 Ч/Д, адрес", 0, 255, BYTE(receiver.fq1), Rx),
            choice("settings", "outputFd1Mode", "Выход 1 Ч/Д", modeChoices, BYTE(receiver.fq1Mode), Rx),
            number("settings", "outputFd2Address", "Выход 2 Ч/Д, адрес", 0, 255, BYTE(receiver.fq2), Rx),
            choice("settings", "outputFd2Mode", "Выход 2 Ч/Д", modeChoices, BYTE(receiver.fq2Mode), Rx),
            number("settings", "outputAd1Address", "Выход 1 А/Д, адрес", 0, 255, BYTE(receiver.an1), Rx),
            number("settings", "outputAd2Address", "Выход 2 А/Д, адрес", 0, 255, BYTE(receiver.an2), Rx),
            choice("settings", "dutRange", "Диапазон значений ДУТ", rangeChoices, RANGE(receiver), Rx, Needs::RangeByte),
        };
        Field polled;
        polled.kind = Kind::Numbers;
        polled.section = "settings";
        polled.key = "polled";
        polled.label = "Адреса опрашиваемых передатчиков 0–15";
        polled.device = Rx;
        polled.min = 0;
        polled.max = 15;
        polled.has = polledLow;
        polled.mark = markLow;
        t << polled;
        polled.section = nullptr;
        polled.key = "polledTable";
        polled.label = "Адреса опрашиваемых передатчиков 16–255";
        polled.needs = Needs::WideAddresses;
        polled.min = 16;
        polled.max = 255;
        polled.has = [](const DeviceConfig &c, int n) { return proto::receiverMapHas(c.receiverMap, n); };
        polled.mark = [](DeviceConfig &c, int n, bool on) { setBit(c.receiverMap, n - 16, on); };
        t << polled;
        Field table;
        table.kind = Kind::Table;
        table.key = "addressTable";
        table.label = "Таблица адресов";
        table.device = Tx;
        table.needs = Needs::WideAddresses;
        t << table;
        return t;
    }();
    return table;
}

bool appliesTo(const Field &f, quint8 deviceType) { return f.device == 0 || f.device == deviceType; }

bool firmwareHas(const Field &f, quint16 version)
{
    switch (f.needs) {
    case Needs::WideAddresses: return proto::hasWideAddresses(version);
    case Needs::RangeByte: return proto::hasRangeByte(version);
    case Needs::Any: break;
    }
    return true;
}

QString deviceKey(quint8 type) { return type == proto::Receiver ? QStringLiteral("receiver") : QStringLiteral("transmitter"); }
QString deviceName(quint8 type)
{
    return type == proto::Receiver ? QStringLiteral("Приемник")
         : type == proto::Transmitter ? QStringLiteral("Передатчик") : QStringLiteral("не опознано");
}

// ---- Writing ----------------------------------------------------------------------------

// The file is written by hand rather than through QJsonObject, which sorts its members: the
// header comes first, the fields in the window's order, and each table row and list on one line,
// so that two profiles compare line by line.
using Members = QVector<QPair<QByteArray, QByteArray>>;   // name, value as JSON text

QByteArray scalar(const QJsonValue &v)
{
    const QByteArray json = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return json.mid(1, json.size() - 2);
}

QByteArray object(const Members &members, int indent)
{
    const QByteArray pad(indent + 4, ' ');
    QByteArray out = "{\n";
    for (int i = 0; i < members.size(); ++i)
        out += pad + '"' + members.at(i).first + "\": " + members.at(i).second + (i + 1 < members.size() ? ",\n" : "\n");
    return out + QByteArray(indent, ' ') + '}';
}

// Rows 1..7 as {"on", "address", "dut"}; "in1a" the marked row (0 is the device's own) or null.
QByteArray tableText(const QByteArray &table, int indent)
{
    const QByteArray t = (table + QByteArray(proto::kAddressTableSize, '\0')).left(proto::kAddressTableSize);
    const QByteArray pad(indent + 8, ' ');
    QByteArray rows = "[\n";
    for (int k = 0; k < 7; ++k)
        rows += pad + QStringLiteral("{\"on\": %1, \"address\": %2, \"dut\": %3}")
                          .arg(t.at(3 * k) ? QStringLiteral("true") : QStringLiteral("false"))
                          .arg(quint8(t.at(3 * k + 1)))
                          .arg(quint8(t.at(3 * k + 2)))
                          .toLatin1()
              + (k < 6 ? ",\n" : "\n");
    rows += QByteArray(indent + 4, ' ') + ']';
    return object({{"rows", rows}, {"in1a", t.at(21) ? QByteArray::number(quint8(t.at(22)) % 8) : "null"}}, indent);
}

// ---- Reading ----------------------------------------------------------------------------

// A value as it stands in the file, for messages.
QString valueText(const QJsonValue &v)
{
    const QByteArray json = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    const QString text = QString::fromUtf8(json.mid(1, json.size() - 2));
    return text.size() > 40 ? text.left(40) + QStringLiteral("…") : text;
}

class Reader
{
public:
    QString error;

    bool integer(const QJsonValue &v, const QString &where, int min, int max, int &out)
    {
        const double d = v.toDouble();
        if (!v.isDouble() || d != std::floor(d) || d < min || d > max)
            return fail(where, QStringLiteral("ожидается целое число от %1 до %2").arg(min).arg(max), v);
        out = int(d);
        return true;
    }

    bool oneOf(const QJsonValue &v, const QString &where, const QStringList &choices, int &out)
    {
        out = choices.indexOf(v.toString());
        if (!v.isString() || out < 0)
            return fail(where, QStringLiteral("ожидается одно из значений: «%1»").arg(choices.join(QStringLiteral("», «"))), v);
        return true;
    }

    bool boolean(const QJsonValue &v, const QString &where, bool &out)
    {
        if (!v.isBool())
            return fail(where, QStringLiteral("ожидается true или false"), v);
        out = v.toBool();
        return true;
    }

    bool object(const QJsonValue &v, const QString &where, QJsonObject &out)
    {
        if (!v.isObject())
            return fail(where, QStringLiteral("ожидается объект { … }"), v);
        out = v.toObject();
        return true;
    }

    bool array(const QJsonValue &v, const QString &where, QJsonArray &out)
    {
        if (!v.isArray())
            return fail(where, QStringLiteral("ожидается список [ … ]"), v);
        out = v.toArray();
        return true;
    }

    bool field(const Field &f, const QString &where, const QJsonValue &v, DeviceConfig &c)
    {
        int value = 0;
        switch (f.kind) {
        case Kind::Number:
            if (!integer(v, where, f.min, f.max, value))
                return false;
            f.set(c, value);
            return true;
        case Kind::Choice:
            if (!oneOf(v, where, f.choices(), value))
                return false;
            f.set(c, value);
            return true;
        case Kind::Numbers: {
            QJsonArray list;
            if (!array(v, where, list))
                return false;
            for (int n = f.min; n <= f.max; ++n)
                f.mark(c, n, false);
            for (int i = 0; i < list.size(); ++i) {
                if (!integer(list.at(i), QStringLiteral("%1[%2]").arg(where).arg(i), f.min, f.max, value))
                    return false;
                f.mark(c, value, true);
            }
            return true;
        }
        case Kind::Table:
            return table(v, where, c.addressTable);
        }
        return false;
    }

private:
    bool fail(const QString &where, const QString &expected, const QJsonValue &v)
    {
        error = QStringLiteral("%1: %2, в файле %3").arg(where, expected, v.isUndefined() ? QStringLiteral("его нет")
                                                                                          : valueText(v));
        return false;
    }

    bool table(const QJsonValue &v, const QString &where, QByteArray &out)
    {
        QJsonObject o;
        QJsonArray rows;
        if (!object(v, where, o) || !array(o.value(QStringLiteral("rows")), where + QStringLiteral(".rows"), rows))
            return false;
        if (rows.size() != 7)
            return fail(where + QStringLiteral(".rows"), QStringLiteral("ожидается 7 строк"), rows.size());
        QByteArray t(proto::kAddressTableSize, '\0');
        for (int k = 0; k < 7; ++k) {
            const QString at = QStringLiteral("%1.rows[%2]").arg(where).arg(k);
            QJsonObject row;
            bool on = false;
            int address = 0, dut = 0;
            if (!object(rows.at(k), at, row) || !boolean(row.value(QStringLiteral("on")), at + QStringLiteral(".on"), on)
                || !integer(row.value(QStringLiteral("address")), at + QStringLiteral(".address"), 0, 255, address)
                || !integer(row.value(QStringLiteral("dut")), at + QStringLiteral(".dut"), 0, 255, dut))
                return false;
            t[3 * k] = char(on);
            t[3 * k + 1] = char(address);
            t[3 * k + 2] = char(dut);
        }
        const QJsonValue in1a = o.value(QStringLiteral("in1a"));
        int row = 0;
        if (!in1a.isNull() && !integer(in1a, where + QStringLiteral(".in1a"), 0, 7, row))
            return false;
        t[21] = char(!in1a.isNull());
        t[22] = char(row);
        out = t;
        return true;
    }
};

// "строка 3, столбец 7" for an offset into the text.
QString lineAndColumn(const QByteArray &json, int offset)
{
    const QByteArray before = json.left(offset);
    const int line = before.count('\n') + 1;
    // The offset counts bytes; the technician counts characters ("ряд" is three, not six).
    const int column = QString::fromUtf8(before.mid(before.lastIndexOf('\n') + 1)).toUcs4().size() + 1;
    return QStringLiteral("строка %1, столбец %2").arg(line).arg(column);
}

} // namespace

QString fieldLabel(int id) { return id >= 0 && id < allFields().size() ? QString::fromUtf8(allFields().at(id).label) : QString(); }

QString fieldPath(int id)
{
    if (id < 0 || id >= allFields().size())
        return QString();
    const Field &f = allFields().at(id);
    return f.section ? QStringLiteral("%1.%2").arg(QLatin1String(f.section), QLatin1String(f.key)) : QLatin1String(f.key);
}

Profile Profile::fromConfig(const DeviceConfig &c, const QString &comment, const QDateTime &saved)
{
    Profile p;
    p.deviceType = c.isReceiver() ? proto::Receiver : proto::Transmitter;
    p.firmware = c.version;
    p.saved = saved.toOffsetFromUtc(saved.offsetFromUtc()).toString(Qt::ISODate);
    p.comment = comment;
    p.values = c;
    p.values.deviceType = p.deviceType;
    for (int id = 0; id < allFields().size(); ++id) {
        if (appliesTo(allFields().at(id), p.deviceType) && firmwareHas(allFields().at(id), c.version))
            p.fields.insert(id);
    }
    return p;
}

QByteArray Profile::toJson() const
{
    Members top = {{"format", scalar(QLatin1String(kFormat))},
                   {"version", QByteArray::number(kFormatVersion)},
                   {"device", scalar(deviceKey(deviceType))},
                   {"firmware", QByteArray::number(firmware)}};
    if (!saved.isEmpty())
        top.append({"saved", scalar(saved)});
    top.append({"comment", scalar(comment)});
    Members radio, settings, tables;
    for (int id = 0; id < allFields().size(); ++id) {
        const Field &f = allFields().at(id);
        if (!fields.contains(id) || !appliesTo(f, deviceType))
            continue;
        QByteArray v;
        switch (f.kind) {
        case Kind::Number: v = QByteArray::number(f.get(values)); break;
        case Kind::Choice: v = scalar(f.choices().value(f.get(values))); break;
        case Kind::Numbers: {
            QByteArrayList list;
            for (int n = f.min; n <= f.max; ++n) {
                if (f.has(values, n))
                    list << QByteArray::number(n);
            }
            v = '[' + list.join(", ") + ']';
            break;
        }
        case Kind::Table: v = tableText(values.addressTable, 4); break;
        }
        const QByteArray section = f.section ? f.section : "";
        (section == "radio" ? radio : section == "settings" ? settings : tables).append({f.key, v});
    }
    if (!radio.isEmpty())
        top.append({"radio", object(radio, 4)});
    if (!settings.isEmpty())
        top.append({"settings", object(settings, 4)});
    return object(top + tables, 0) + '\n';
}

bool read(const QByteArray &json, Profile &out, QString &error)
{
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        error = QStringLiteral("%1: %2").arg(lineAndColumn(json, parse.offset), parse.errorString());
        return false;
    }
    if (!doc.isObject()) {
        error = QStringLiteral("файл не является объектом JSON { … }");
        return false;
    }
    const QJsonObject root = doc.object();
    Reader r;
    const auto done = [&](bool ok) {
        error = r.error;
        return ok;
    };
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(kFormat)) {
        error = QStringLiteral("это не профиль устройства: поле format должно быть «%1»").arg(QLatin1String(kFormat));
        return false;
    }
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (version.isDouble() && version.toDouble() > kFormatVersion) {
        error = QStringLiteral("version: версия формата %1 новее той, что читает программа (%2)")
                    .arg(valueText(version)).arg(kFormatVersion);
        return false;
    }
    int number = 0;
    if (!r.integer(version, QStringLiteral("version"), 1, kFormatVersion, number))
        return done(false);

    Profile p;
    const QJsonValue device = root.value(QStringLiteral("device"));
    if (!r.oneOf(device, QStringLiteral("device"), {QStringLiteral("transmitter"), QStringLiteral("receiver")}, number))
        return done(false);
    p.deviceType = number == 0 ? proto::Transmitter : proto::Receiver;
    const QJsonValue firmware = root.value(QStringLiteral("firmware"));
    if (!firmware.isUndefined() && !r.integer(firmware, QStringLiteral("firmware"), 0, 65535, number))
        return done(false);
    p.firmware = firmware.isUndefined() ? 0 : quint16(number);
    for (auto text : {std::make_pair(QStringLiteral("saved"), &p.saved), std::make_pair(QStringLiteral("comment"), &p.comment)}) {
        const QJsonValue v = root.value(text.first);
        if (!v.isUndefined() && !v.isString()) {
            error = QStringLiteral("%1: ожидается текст в кавычках, в файле %2").arg(text.first, valueText(v));
            return false;
        }
        *text.second = v.toString();
    }

    p.values.deviceType = p.deviceType;
    p.values.version = p.firmware;
    for (int id = 0; id < allFields().size(); ++id) {
        const Field &f = allFields().at(id);
        if (!appliesTo(f, p.deviceType))
            continue;
        QJsonObject container = root;
        if (f.section) {
            const QJsonValue section = root.value(QLatin1String(f.section));
            if (section.isUndefined())
                continue;
            if (!r.object(section, QLatin1String(f.section), container))
                return done(false);
        }
        const QJsonValue v = container.value(QLatin1String(f.key));
        if (v.isUndefined())
            continue;
        if (!r.field(f, fieldPath(id), v, p.values))
            return done(false);
        p.fields.insert(id);
    }
    out = p;
    return true;
}

QString readFile(const QString &path, Profile &out)
{
    if (const QString why = safefile::notRegular(path); !why.isEmpty())
        return why;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("файл не открывается: %1").arg(file.errorString());
    if (file.size() > kMaxFileSize)
        return QStringLiteral("файл слишком большой для профиля (%1 байт)").arg(file.size());
    QString error;
    return read(file.read(kMaxFileSize + 1), out, error) ? QString() : error;
}

QString writeFile(const QString &path, const Profile &p)
{
    return safefile::save(path, p.toJson());
}

Applied apply(const Profile &p, const DeviceConfig &device, bool keepAddress)
{
    Applied out;
    out.config = device;
    if (device.deviceType != p.deviceType) {
        out.refusal = QStringLiteral("Профиль сохранён для устройства «%1», а подключено устройство «%2».")
                          .arg(deviceName(p.deviceType), deviceName(device.deviceType));
        return out;
    }
    for (int id = 0; id < allFields().size(); ++id) {
        const Field &f = allFields().at(id);
        if (!appliesTo(f, p.deviceType) || !p.fields.contains(id))
            continue;
        if (!firmwareHas(f, device.version)) {
            out.leftOut << QString::fromUtf8(f.label);
            continue;
        }
        if (keepAddress && f.address)
            continue;
        switch (f.kind) {
        case Kind::Number:
        case Kind::Choice:
            f.set(out.config, f.get(p.values));
            break;
        case Kind::Numbers:
            for (int n = f.min; n <= f.max; ++n)
                f.mark(out.config, n, f.has(p.values, n));
            break;
        case Kind::Table:
            out.config.addressTable = p.values.addressTable;
            break;
        }
    }
    QStringList bad;
    for (const DeviceConfig::Value &v : out.config.valuesOutOfRange())
        bad << v.text();
    if (!bad.isEmpty())
        out.refusal = QStringLiteral("Устройство (версия %1) не может принять значения: %2.")
                          .arg(device.version).arg(bad.join(QStringLiteral("; ")));
    return out;
}

} // namespace profile
