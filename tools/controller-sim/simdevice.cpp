#include "simdevice.h"

#include <QRegularExpression>

namespace sim {

namespace {

constexpr char FrameStart = '!';

enum Command : quint8 {
    CmdLevelOld = 0x00,
    CmdIdentity = 0x01,
    CmdWriteSettings = 0x02,
    CmdReadSettings = 0x03,
    CmdRadio = 0x04,
    CmdWriteAddressTable = 0x06,
    CmdReadAddressTable = 0x07,
    CmdLevel = 0x08,
    CmdRecordOldFirst = 0x0A,   // 0x0A + n for transmitters 0..15
    CmdRecordOldLast = 0x19,
    CmdRecord = 0x1E,
    CmdWriteTransmitterMap = 0x32,
    CmdReadTransmitterMap = 0x33,
};

// Firmware above this serves 256 transmitters, the sensor-selecting level request and the
// numbered record request; up to it, 16 transmitters and one request code per number.
constexpr quint16 WideVersion = 220;
// Firmware above this reports the last byte of the settings record (the sensor range).
constexpr quint16 RangeVersion = 295;

struct RegisterRange { int reg; int max; };
// Ranges the radio module accepts from "ATSnnn=v": the channel limit is the widest one
// (4800 and 9600 bit/s); the module takes the channel before the speed, so it cannot check
// the pair.
constexpr RegisterRange Registers[] = {
    {200, 11},   // channel
    {201, 4},    // speed: 4800, 9600, 19200, 38400, 115200
    {202, 7},    // power
    {220, 1},    // mode: standard, transparent
    {250, 99},   // subnet
};

const QByteArray Ok = QByteArrayLiteral("OK\r\n");
const QByteArray Error = QByteArrayLiteral("ERROR\r\n");

void putLe(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

// Plausible contents for the records a receiver holds: different values per transmitter,
// with the level markers 9999 and 65535 on some of them.
RecordValues factoryRecord(int n)
{
    RecordValues v;
    v.temperature = quint8(18 + (n * 7) % 15);
    v.status = quint8(n % 4);
    if (n % 16 == 7)
        v.level = 9999;
    else if (n % 32 == 13)
        v.level = 65535;
    else
        v.level = quint16(400 + (n * 131) % 3600);
    v.frequency = quint16(500 + (n * 53) % 1000);
    v.in1 = n % 11 == 4 ? 0u : n % 11 == 9 ? 99999u : quint32(1000 + (n * 379) % 9000);
    v.in2 = n % 9 == 2 ? 0u : quint32(50 + (n * 613) % 5000);
    v.an1 = quint16(200 + (n * 97) % 1000);
    v.an2 = quint16(100 + (n * 41) % 1100);
    return v;
}

} // namespace

QByteArray RecordValues::toRecord() const
{
    QByteArray out;
    putLe(out, temperature, 1);
    putLe(out, status, 1);
    putLe(out, level, 2);
    putLe(out, frequency, 2);
    putLe(out, in1, 4);
    putLe(out, in2, 4);
    putLe(out, an1, 2);
    putLe(out, an2, 2);
    return out;
}

Device::Device(Type type, quint16 version)
    : m_type(type), m_version(version)
{
    // Factory state: channel 3, subnet 5, radio 19200 bit/s, power 7, RS-485 9600 bit/s.
    m_settings[Transmitter] = QByteArray::fromHex("03051102020700010a0a0a0a01");
    // Receiver: period 3 s, transmitters 0..3 polled, outputs fed by 1, 2, 1, 3, range 4096.
    m_settings[Receiver] = QByteArray::fromHex("030503020207000f000102010301");
    m_registers = {{200, 3}, {201, 2}, {202, 7}, {220, 0}, {250, 5}};
    // Rows 1 and 2 on (addresses 18 and 19, sensors 2 and 3), row 1 marked In1A.
    m_addressTable = QByteArray::fromHex("011202011303000000000000000000000000000000010100");
    // Transmitters 16, 17 and 20 polled.
    m_transmitterMap = QByteArray(TransmitterMapSize, '\0');
    m_transmitterMap[0] = char(0x13);

    m_measurement.temperature = 23;
    m_measurement.level = 1843;
    m_measurement.frequency = 812;
    m_measurement.in1 = 5000;
    m_measurement.in2 = 1250;
    m_measurement.an1 = 285;
    m_measurement.an2 = 1427;

    m_records.resize(RecordCount);
    m_silentRecords.fill(false, RecordCount);
    for (int n = 0; n < RecordCount; ++n)
        m_records[n] = factoryRecord(n).toRecord();
}

QByteArray Device::identity() const
{
    const char *name = m_type == Receiver ? "Receiver" : "Transmitter";
    return "<" + QByteArray(name) + " v." + QByteArray::number(m_version) + ">";
}

int Device::settingsSize(Type type)
{
    return type == Receiver ? SettingsSizeReceiver : SettingsSizeTransmitter;
}

void Device::setSettings(const QByteArray &record)
{
    QByteArray r = record.left(settingsSize(m_type));
    r.append(QByteArray(settingsSize(m_type) - r.size(), '\0'));
    m_settings[m_type] = r;
}

QByteArray Device::settingsReply() const
{
    const QByteArray r = settings();
    return m_version > RangeVersion ? r : r.left(r.size() - 1);
}

bool Device::isKnownRegister(int reg)
{
    for (const RegisterRange &r : Registers) {
        if (r.reg == reg)
            return true;
    }
    return false;
}

bool Device::setSRegister(int reg, int value)
{
    // Tests may put any value into a register (a module with odd contents); the range
    // check applies to what arrives over the line.
    if (!isKnownRegister(reg) || value < 0)
        return false;
    m_registers[reg] = value;
    return true;
}

void Device::setAddressTable(const QByteArray &table)
{
    m_addressTable = table.left(AddressTableSize);
    m_addressTable.append(QByteArray(AddressTableSize - m_addressTable.size(), '\0'));
}

void Device::setTransmitterMap(const QByteArray &map)
{
    m_transmitterMap = map.left(TransmitterMapSize);
    m_transmitterMap.append(QByteArray(TransmitterMapSize - m_transmitterMap.size(), '\0'));
}

QByteArray Device::transmitterTableReply() const
{
    const QByteArray rx = m_settings.value(Receiver);
    return rx.mid(7, 2) + m_transmitterMap;
}

QByteArray Device::measurementReply(int sensor) const
{
    RecordValues v = m_measurement;
    if (sensor >= 0 && sensor <= 7)
        v.level = quint16(v.level + 57 * sensor);
    else
        v.level = 65535;
    return QStringLiteral("$%1,%2,%3,%4,%5,%6,%7,%8#\r\n")
        .arg(sensor).arg(v.temperature).arg(v.level).arg(v.frequency)
        .arg(v.in1).arg(v.in2).arg(v.an1).arg(v.an2)
        .toLatin1();
}

void Device::setRecord(int n, const QByteArray &bytes)
{
    if (n >= 0 && n < RecordCount)
        m_records[n] = bytes;
}

void Device::setRecordSilent(int n, bool silent)
{
    if (n >= 0 && n < RecordCount)
        m_silentRecords[n] = silent;
}

void Device::setFaults(const Faults &faults)
{
    m_faults = faults;
    m_noisyLeft = qMax(0, faults.garbageFirst);
    m_writesToDrop = qMax(0, faults.dropWrites);
    m_arrivals.clear();
    m_startUp = {m_settings, m_registers, m_addressTable, m_transmitterMap};
    m_swapArmed = false;
    m_swapSilence.invalidate();
}

bool Device::swapping(quint8 command)
{
    if (m_faults.swapSilenceMs <= 0)
        return false;
    if (m_swapSilence.isValid()) {
        if (!m_swapSilence.hasExpired(m_faults.swapSilenceMs))
            return true;
        m_swapSilence.invalidate();   // the fresh device is on the line
        m_settings = m_startUp.settings;
        m_registers = m_startUp.registers;
        m_addressTable = m_startUp.addressTable;
        m_transmitterMap = m_startUp.transmitterMap;
        m_commandMode = false;
        ++m_swaps;
        return false;
    }
    if (command == CmdWriteSettings)
        m_swapArmed = true;
    else if (command == CmdIdentity && m_swapArmed) {
        m_swapArmed = false;
        m_swapSilence.start();
        return true;
    }
    return false;
}

QList<QByteArray> Device::feed(const QByteArray &bytes)
{
    QList<QByteArray> replies;
    for (const char c : bytes) {
        if (m_frame.isEmpty()) {
            if (c == FrameStart)
                m_frame.append(c);
            continue;
        }
        m_frame.append(c);
        const int payload = quint8(m_frame.at(1));
        if (m_frame.size() < 2 + payload)
            continue;
        const QByteArray frame = m_frame;
        m_frame.clear();
        const QByteArray reply = handleFrame(frame);
        if (!reply.isEmpty())
            replies.append(reply);
    }
    return replies;
}

QByteArray Device::handleFrame(const QByteArray &frame)
{
    m_requests.append(frame);
    ++m_frameCount;
    const int arrival = m_arrivals[frame]++;
    bool replyLost = false;
    for (const FrameLoss &loss : m_faults.frameLosses) {
        if (loss.frame == frame && arrival >= loss.from && arrival < loss.to) {
            if (!loss.applied)
                return {};
            replyLost = true;
        }
    }
    if (m_faults.silent)
        return {};
    if (m_faults.dropEvery > 0 && m_frameCount % quint64(m_faults.dropEvery) == 0)
        return {};
    const QByteArray payload = frame.mid(2);
    if (payload.isEmpty())
        return {};
    const quint8 command = quint8(payload.back());
    const QByteArray args = payload.left(payload.size() - 1);
    if (swapping(command))
        return {};
    if (m_faults.ignoreAt && command == CmdRadio)
        return {};
    const bool write = command == CmdWriteSettings || command == CmdWriteAddressTable
        || command == CmdWriteTransmitterMap;
    if (write && m_writesToDrop > 0) {
        --m_writesToDrop;
        return {};
    }
    QByteArray reply = handleCommand(command, args);
    if (reply.isEmpty() || replyLost)
        return {};
    // Text replies end with a line end, the identity with ">"; binary records are left alone.
    const bool text = command == CmdIdentity || command == CmdRadio || command == CmdLevel
        || command == CmdLevelOld;
    if (m_faults.noTerminator && text) {
        if (reply.endsWith("\r\n"))
            reply.chop(2);
        else if (reply.endsWith('>'))
            reply.chop(1);
    }
    const bool noisy = m_faults.garbage || m_noisyLeft > 0;
    if (m_noisyLeft > 0)
        --m_noisyLeft;
    return noisy ? noise() + reply : reply;
}

QByteArray Device::handleCommand(quint8 command, const QByteArray &args)
{
    const bool receiver = m_type == Receiver;
    const bool wide = m_version > WideVersion;

    switch (command) {
    case CmdIdentity:
        return args.isEmpty() ? identity() : QByteArray();
    case CmdReadSettings:
        return args.isEmpty() ? settingsReply() : QByteArray();
    case CmdWriteSettings:
        // A record of the other kind of controller is not taken.
        if (args.size() == settingsSize(m_type))
            m_settings[m_type] = args;
        return {};
    case CmdRadio:
        return handleAt(args);
    case CmdWriteAddressTable:
        if (!receiver && args.size() == AddressTableSize)
            m_addressTable = args;
        return {};
    case CmdReadAddressTable:
        return !receiver && args.isEmpty() ? m_addressTable : QByteArray();
    case CmdWriteTransmitterMap:
        if (receiver && args.size() == TransmitterMapSize)
            m_transmitterMap = args;
        return {};
    case CmdReadTransmitterMap:
        return receiver && args.isEmpty() ? transmitterTableReply() : QByteArray();
    case CmdLevel:
        return !receiver && wide && args.size() == 1 ? measurementReply(quint8(args.at(0)))
                                                     : QByteArray();
    case CmdLevelOld:
        return !receiver && !wide && args.isEmpty() ? measurementReply(0) : QByteArray();
    case CmdRecord:
        if (!receiver || !wide || args.size() != 1)
            return {};
        return isRecordSilent(quint8(args.at(0))) ? QByteArray() : record(quint8(args.at(0)));
    default:
        break;
    }
    if (command >= CmdRecordOldFirst && command <= CmdRecordOldLast) {
        const int n = command - CmdRecordOldFirst;
        if (!receiver || wide || !args.isEmpty() || isRecordSilent(n))
            return {};
        return record(n);
    }
    return {};
}

QByteArray Device::handleAt(const QByteArray &text)
{
    // The escape sequence has no line end.
    if (text == "+++") {
        m_commandMode = true;
        return Ok;
    }
    // Every other command is executed at its carriage return.
    QByteArray body = text;
    if (body.endsWith("\r\n"))
        body.chop(2);
    else if (body.endsWith('\r'))
        body.chop(1);
    else
        return {};
    body = body.toUpper();

    if (body == "ATO") {
        // Answered in either mode, so a repeated "ATO" after a lost "OK" still gets one.
        m_commandMode = false;
        return Ok;
    }
    if (body == "AT+SRDRSSI?")
        return "+SRDRSSI: " + QByteArray::number(m_rssi) + "\r\n";
    // In data mode everything else is payload for the radio link, not a command.
    if (!m_commandMode)
        return {};
    if (body == "AT")
        return Ok;

    static const QRegularExpression read(QStringLiteral("^ATS(\\d{1,3})\\?$"));
    static const QRegularExpression write(QStringLiteral("^ATS(\\d{1,3})=(\\d{1,5})$"));
    const QString command = QString::fromLatin1(body);

    QRegularExpressionMatch m = read.match(command);
    if (m.hasMatch()) {
        const int reg = m.captured(1).toInt();
        if (!isKnownRegister(reg))
            return Error;
        return "S" + QByteArray::number(reg) + "=" + QByteArray::number(sRegister(reg)) + "\r\n";
    }
    m = write.match(command);
    if (m.hasMatch()) {
        const int reg = m.captured(1).toInt();
        const int value = m.captured(2).toInt();
        if (m_faults.errorAtWrites)
            return Error;
        for (const RegisterRange &r : Registers) {
            if (r.reg == reg && value <= r.max) {
                m_registers[reg] = value;
                return Ok;
            }
        }
        return Error;
    }
    return Error;
}

QByteArray Device::noise()
{
    // One to three bytes that are neither printable text nor "!", so they can only be
    // taken for a piece of a binary reply.
    QByteArray out;
    m_noiseState = m_noiseState * 1664525u + 1013904223u;
    const int count = 1 + int((m_noiseState >> 24) % 3);
    for (int i = 0; i < count; ++i) {
        m_noiseState = m_noiseState * 1664525u + 1013904223u;
        out.append(char(0x80 | (m_noiseState >> 25)));
    }
    return out;
}

} // namespace sim
