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

using proto::Field;
using Kind = Field::Kind;

const QVector<Field> &allFields() { return proto::fields(); }

QString deviceKey(quint8 type) { return type == proto::Receiver ? QStringLiteral("receiver") : QStringLiteral("transmitter"); }

} // namespace

QString deviceName(quint8 type)
{
    return type == proto::Receiver ? QStringLiteral("Приемник")
         : type == proto::Transmitter ? QStringLiteral("Передатчик") : QStringLiteral("не опознано");
}

namespace {

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
QByteArray tableText(const proto::AddressTable &t, int indent)
{
    const QByteArray pad(indent + 8, ' ');
    QByteArray rows = "[\n";
    for (int k = 0; k < proto::AddressTable::kRows; ++k)
        rows += pad + QStringLiteral("{\"on\": %1, \"address\": %2, \"dut\": %3}")
                          .arg(t.rows[k].on ? QStringLiteral("true") : QStringLiteral("false"))
                          .arg(t.rows[k].address)
                          .arg(t.rows[k].dut)
                          .toLatin1()
              + (k < 6 ? ",\n" : "\n");
    rows += QByteArray(indent + 4, ' ') + ']';
    return object({{"rows", rows}, {"in1a", t.markedRow() < 0 ? "null" : QByteArray::number(t.markedRow())}}, indent);
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
        return take(v.isBool(), where, "ожидается true или false", v, v.toBool(), out);
    }

    bool object(const QJsonValue &v, const QString &where, QJsonObject &out)
    {
        return take(v.isObject(), where, "ожидается объект { … }", v, v.toObject(), out);
    }

    bool array(const QJsonValue &v, const QString &where, QJsonArray &out)
    {
        return take(v.isArray(), where, "ожидается список [ … ]", v, v.toArray(), out);
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
    template <typename T>
    bool take(bool ok, const QString &where, const char *expected, const QJsonValue &v, const T &value, T &out)
    {
        if (!ok)
            return fail(where, QString::fromUtf8(expected), v);
        out = value;
        return true;
    }

    bool fail(const QString &where, const QString &expected, const QJsonValue &v)
    {
        error = QStringLiteral("%1: %2, в файле %3").arg(where, expected, v.isUndefined() ? QStringLiteral("его нет")
                                                                                          : valueText(v));
        return false;
    }

    bool table(const QJsonValue &v, const QString &where, proto::AddressTable &out)
    {
        QJsonObject o;
        QJsonArray rows;
        if (!object(v, where, o) || !array(o.value(QStringLiteral("rows")), where + QStringLiteral(".rows"), rows))
            return false;
        if (rows.size() != 7)
            return fail(where + QStringLiteral(".rows"), QStringLiteral("ожидается 7 строк"), rows.size());
        proto::AddressTable t;
        for (int k = 0; k < proto::AddressTable::kRows; ++k) {
            const QString at = QStringLiteral("%1.rows[%2]").arg(where).arg(k);
            QJsonObject row;
            bool on = false;
            int address = 0, dut = 0;
            if (!object(rows.at(k), at, row) || !boolean(row.value(QStringLiteral("on")), at + QStringLiteral(".on"), on)
                || !integer(row.value(QStringLiteral("address")), at + QStringLiteral(".address"), 0, 255, address)
                || !integer(row.value(QStringLiteral("dut")), at + QStringLiteral(".dut"), 0, 255, dut))
                return false;
            t.rows[k] = {quint8(on), quint8(address), quint8(dut)};
        }
        const QJsonValue in1a = o.value(QStringLiteral("in1a"));
        int row = 0;
        if (!in1a.isNull() && !integer(in1a, where + QStringLiteral(".in1a"), 0, 7, row))
            return false;
        t.in1a = !in1a.isNull();
        t.in1aRow = quint8(row);
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
        if (allFields().at(id).appliesTo(p.deviceType) && allFields().at(id).firmwareHas(c.version))
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
        if (!fields.contains(id) || !f.appliesTo(deviceType))
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
        if (!f.appliesTo(p.deviceType))
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
        if (!f.appliesTo(p.deviceType) || !p.fields.contains(id))
            continue;
        if (!f.firmwareHas(device.version)) {
            out.leftOut << f.label();
            continue;
        }
        if (!(keepAddress && f.address))
            f.copy(p.values, out.config);
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
