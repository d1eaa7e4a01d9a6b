#include "protocol.h"

#include <QtEndian>

namespace proto {

namespace {

constexpr char kFrameStart = 0x21;   // "!"
constexpr quint8 kAtCommand = 0x04;

QByteArray fixedSize(const QByteArray &bytes, int size)
{
    QByteArray out = bytes.left(size);
    if (out.size() < size)
        out.append(size - out.size(), '\0');
    return out;
}

quint8 byteAt(const QByteArray &bytes, int i)
{
    return i < bytes.size() ? quint8(bytes.at(i)) : 0;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

qint64 integerField(const QByteArray &field)
{
    bool ok = false;
    const qint64 v = field.toLongLong(&ok);
    return ok ? v : 0;
}

// Version after an identity tag standing at tagPos > 0: up to three digits, complete once
// three have arrived or a byte follows fewer; at the check tick, with the digits so far.
std::optional<Identity> identityAt(const QByteArray &reply, int tagPos, int tagSize,
                                   quint8 deviceType)
{
    const int start = tagPos + tagSize;
    int digits = 0;
    quint16 version = 0;
    while (digits < 3 && start + digits < reply.size() && isDigit(reply.at(start + digits))) {
        version = quint16(version * 10 + (reply.at(start + digits) - '0'));
        ++digits;
    }
    // The digits may go on: firmware versions have three, so fewer without a byte after them
    // are never taken, not even at the check tick ("v.2" of a "v.296" still on its way).
    if (digits < 3 && start + digits >= reply.size())
        return std::nullopt;

    Identity id;
    id.deviceType = deviceType;
    id.version = version;
    int from = reply.indexOf('<');
    if (from < 0)
        from = 0;
    const int to = reply.indexOf('>', from);
    const QByteArray label = to < 0 ? reply.mid(from) : reply.mid(from, to - from + 1);
    id.label = deviceText(QString::fromUtf8(label.constData(), label.size()));   // keeps bytes past a zero
    return id;
}

} // namespace

// ---- Requests -------------------------------------------------------------------------

QByteArray frame(const QByteArray &arguments, quint8 command)
{
    QByteArray f;
    f.reserve(arguments.size() + 3);
    f.append(kFrameStart);
    f.append(char(quint8(arguments.size() + 1)));
    f.append(arguments);
    f.append(char(command));
    return f;
}

QByteArray atFrame(const QByteArray &text)
{
    return frame(text, kAtCommand);
}

QByteArray versionRequest() { return frame({}, 0x01); }
QByteArray readSettingsRequest() { return frame({}, 0x03); }

QByteArray readTableRequest(quint8 deviceType)
{
    return frame({}, deviceType == Receiver ? 0x33 : 0x07);
}

QByteArray levelRequest(quint16 version, int dutIndex)
{
    if (!hasWideAddresses(version))
        return frame({}, 0x00);
    return frame(QByteArray(1, char(qint8(dutIndex))), 0x08);
}

QByteArray transmitterDataRequest(quint16 version, quint8 n)
{
    if (!hasWideAddresses(version))
        return frame({}, quint8(0x0A + n));
    return frame(QByteArray(1, char(n)), 0x1E);
}

QByteArray writeAddressTableFrame(const QByteArray &table24)
{
    return frame(fixedSize(table24, kAddressTableSize), 0x06);
}

QByteArray writeReceiverTableFrame(const QByteArray &mask30)
{
    return frame(fixedSize(mask30, kReceiverMapSize), 0x32);
}

QByteArray commandModeFrame() { return atFrame("+++"); }
QByteArray dataModeFrame() { return atFrame("ATO\r"); }
QByteArray rssiRequestFrame() { return atFrame("AT+SRDRSSI?\r\n"); }

QByteArray registerReadFrame(int reg)
{
    return atFrame("ATS" + QByteArray::number(reg) + "?\r");
}

QByteArray registerWriteFrame(int reg, int value)
{
    return atFrame("ATS" + QByteArray::number(reg) + '=' + QByteArray::number(value) + '\r');
}

// ---- Settings record ------------------------------------------------------------------

namespace {

void packRadio(QByteArray &r, const RadioSettings &s)
{
    r[0] = char(s.channel);
    r[1] = char(s.subnet);
    r[3] = char(modeByte(s.regim, s.rs485Speed));
    r[4] = char(s.radioSpeed);
    r[5] = char(s.power);
}

void unpackRadio(RadioSettings &s, const QByteArray &record)
{
    s.channel = byteAt(record, 0);
    s.subnet = byteAt(record, 1);
    s.regim = byteAt(record, 3) >> 7;
    s.rs485Speed = byteAt(record, 3) & 0x7F;
    s.radioSpeed = byteAt(record, 4) & 0x7F;
    s.power = byteAt(record, 5);
}

} // namespace

QByteArray packTransmitterSettings(const TransmitterSettings &s)
{
    QByteArray r(kTransmitterRecordSize, '\0');
    packRadio(r, s);
    r[2] = char(s.deviceAdr);
    r[7] = char(s.dutAdr);
    r[8] = char(s.timeFd1);
    r[9] = char(s.timeFd2);
    r[10] = char(s.timeAd1);
    r[11] = char(s.timeAd2);
    r[12] = char(s.range4096 ? 1 : 0);
    return r;
}

QByteArray packReceiverSettings(const ReceiverSettings &s, quint16 version)
{
    const bool wide = hasWideAddresses(version);
    const quint8 mode1 = s.fq1Mode & 1;
    const quint8 mode2 = s.fq2Mode & 1;
    QByteArray r(kReceiverRecordSize, '\0');
    packRadio(r, s);
    r[2] = char(s.period);
    r[6] = char(wide ? (mode2 << 1) | mode1 : 0);
    r[7] = char(s.mask0);
    r[8] = char(s.mask1);
    r[9] = char(wide ? s.fq1 : (mode1 << 7) | (s.fq1 & 0x7F));
    r[10] = char(wide ? s.fq2 : (mode2 << 7) | (s.fq2 & 0x7F));
    r[11] = char(s.an1);
    r[12] = char(s.an2);
    r[13] = char(s.range4096 ? 1 : 0);
    return r;
}

QByteArray writeSettingsFrame(const TransmitterSettings &s)
{
    return frame(packTransmitterSettings(s), 0x02);
}

QByteArray writeSettingsFrame(const ReceiverSettings &s, quint16 version)
{
    return frame(packReceiverSettings(s, version), 0x02);
}

TransmitterSettings unpackTransmitterSettings(const QByteArray &record)
{
    TransmitterSettings s;
    unpackRadio(s, record);
    s.deviceAdr = byteAt(record, 2);
    s.dutAdr = byteAt(record, 7);
    s.timeFd1 = byteAt(record, 8);
    s.timeFd2 = byteAt(record, 9);
    s.timeAd1 = byteAt(record, 10);
    s.timeAd2 = byteAt(record, 11);
    s.range4096 = byteAt(record, 12) != 0;
    return s;
}

ReceiverSettings unpackReceiverSettings(const QByteArray &record, quint16 version)
{
    ReceiverSettings s;
    unpackRadio(s, record);
    s.period = byteAt(record, 2);
    s.mask0 = byteAt(record, 7);
    s.mask1 = byteAt(record, 8);
    const quint8 b9 = byteAt(record, 9);
    const quint8 b10 = byteAt(record, 10);
    if (hasWideAddresses(version)) {
        s.fq1 = b9;
        s.fq2 = b10;
        s.fq1Mode = byteAt(record, 6) & 1;
        s.fq2Mode = (byteAt(record, 6) >> 1) & 1;
    } else {
        s.fq1 = b9 & 0x7F;
        s.fq2 = b10 & 0x7F;
        s.fq1Mode = b9 >> 7;
        s.fq2Mode = b10 >> 7;
    }
    s.an1 = byteAt(record, 11);
    s.an2 = byteAt(record, 12);
    s.range4096 = byteAt(record, 13) != 0;
    return s;
}

int settingsReplySize(quint8 deviceType, quint16 version)
{
    const int record = deviceType == Receiver ? kReceiverRecordSize : kTransmitterRecordSize;
    return hasRangeByte(version) ? record : record - 1;
}

int tableReplySize(quint8 deviceType)
{
    return deviceType == Receiver ? 2 + kReceiverMapSize : kAddressTableSize;
}

int recordReplySize(SendType::SendType kind, quint8 deviceType, quint16 version)
{
    switch (kind) {
    case SendType::readSetting: return settingsReplySize(deviceType, version);
    case SendType::readMassive: return tableReplySize(deviceType);
    case SendType::resiverInfo: return TransmitterRecord::kSize;
    default: return -1;
    }
}

bool mergeSettingsReply(QByteArray &record, const QByteArray &reply, quint8 deviceType,
                        quint16 version)
{
    const int n = settingsReplySize(deviceType, version);
    if (reply.size() < n)
        return false;
    record = fixedSize(record, kMaxRecordSize);
    record.replace(0, n, reply.constData(), n);
    return true;
}

// ---- Address tables -------------------------------------------------------------------

QByteArray receiverMapFromReply(const QByteArray &reply32)
{
    return fixedSize(reply32.mid(2), kReceiverMapSize);
}

bool receiverMapHas(const QByteArray &map30, int address)
{
    if (address < 16 || address > 255)
        return false;
    const int k = address - 16;
    return (byteAt(map30, k / 8) >> (k % 8)) & 1;
}

int nextPolledTransmitter(quint8 mask0, quint8 mask1, const QByteArray &map30, int start)
{
    const quint16 low = quint16(mask0 | (mask1 << 8));
    for (int a = qMax(start, 0); a <= 255; ++a) {
        if (a < 16 ? ((low >> a) & 1) != 0 : receiverMapHas(map30, a))
            return a;
    }
    return -1;
}

QStringList dutSelectorItems(quint8 ownDut, const QByteArray &table24)
{
    QStringList items{QString::number(ownDut)};
    for (int k = 0; k < 7; ++k)
        items << (byteAt(table24, 3 * k) != 0 ? QString::number(byteAt(table24, 3 * k + 2))
                                               : QStringLiteral("-"));
    return items;
}

bool replyHasOk(const QByteArray &reply)
{
    return reply.contains("OK");
}

bool replyAcceptsWrite(const QByteArray &reply)
{
    return reply.contains("OK") && !reply.contains("ERROR");
}

QByteArray registerTag(SendType::SendType kind)
{
    return kind == SendType::readCHA ? QByteArrayLiteral("S250=")
         : kind == SendType::readPower ? QByteArrayLiteral("S202=") : QByteArrayLiteral("S201=");
}

bool replyComplete(SendType::SendType kind, const QByteArray &reply, quint8 deviceType, quint16 version)
{
    switch (kind) {
    case SendType::readSetting:
    case SendType::readMassive:
    case SendType::resiverInfo:
        return reply.size() == recordReplySize(kind, deviceType, version);
    default:
        return false;
    }
}

// ---- Replies --------------------------------------------------------------------------

QString deviceText(const QString &text)
{
    return text.size() <= kMaxDeviceText ? text : text.left(kMaxDeviceText - 1) + QChar(0x2026);
}

std::optional<Identity> scanIdentity(const QByteArray &reply)
{
    static const QByteArray receiverTag("Receiver v.");
    static const QByteArray transmitterTag("Transmitter v.");
    const int r = reply.indexOf(receiverTag);
    const int t = reply.indexOf(transmitterTag);
    const bool hasR = r > 0;
    const bool hasT = t > 0;
    if (hasR && (!hasT || r < t))
        return identityAt(reply, r, receiverTag.size(), Receiver);
    if (hasT)
        return identityAt(reply, t, transmitterTag.size(), Transmitter);
    return std::nullopt;
}

std::optional<int> scanRegister(const QByteArray &reply, const QByteArray &tag, bool final)
{
    const int pos = reply.indexOf(tag);
    if (pos < 0)
        return std::nullopt;
    int i = pos + tag.size();
    int value = 0;
    int digits = 0;
    while (digits < 5) {
        if (i >= reply.size()) {
            if (final && digits > 0)
                break;             // the check tick takes the digits that have come
            return std::nullopt;   // more digits or their end may follow
        }
        if (!isDigit(reply.at(i)))
            break;
        value = value * 10 + (reply.at(i) - '0');
        ++digits;
        ++i;
    }
    return value;
}

std::optional<int> scanRssi(const QByteArray &reply, bool final)
{
    static const QByteArray tag("+SRDRSSI: ");
    const int pos = reply.indexOf(tag);
    if (pos < 0)
        return std::nullopt;
    const int start = pos + tag.size();
    int value = 0;
    for (int n = 0; n < 3; ++n) {
        if (start + n >= reply.size()) {
            if (final && n > 0)
                break;
            return std::nullopt;
        }
        const char c = reply.at(start + n);
        if (isLineEnd(c))
            break;
        if (isDigit(c))
            value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<Measurement> scanMeasurement(const QByteArray &reply)
{
    const int from = reply.indexOf('$');
    if (from < 0)
        return std::nullopt;
    const int to = reply.indexOf('#', from);
    if (to < 0)
        return std::nullopt;
    const QList<QByteArray> f = reply.mid(from, to - from).split(',');
    if (f.size() < 8)
        return std::nullopt;
    Measurement m;
    m.temp = QString::number(integerField(f.at(1)));
    m.level = QString::number(integerField(f.at(2)));
    m.freq1 = formatFrequency(integerField(f.at(4)));
    m.freq2 = formatFrequency(integerField(f.at(5)));
    m.an1 = formatMillivolts(integerField(f.at(6)));
    m.an2 = formatMillivolts(integerField(f.at(7)));
    return m;
}

QString formatFrequency(qint64 tenthsOfHertz)
{
    if (tenthsOfHertz == 99999)
        return QStringLiteral("Hi");
    if (tenthsOfHertz == 0)
        return QStringLiteral("Lo");
    return QString::number(double(tenthsOfHertz) / 10);
}

QString formatMillivolts(qint64 raw)
{
    return QString::number(double(raw) * 3.50277);
}

std::optional<TransmitterRecord> TransmitterRecord::parse(const QByteArray &bytes)
{
    if (bytes.size() != kSize)
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    TransmitterRecord r;
    r.temperature = p[0];
    r.reserved = p[1];
    r.level = qFromLittleEndian<quint16>(p + 2);
    r.frequency = qFromLittleEndian<quint16>(p + 4);
    r.fq1 = qFromLittleEndian<quint32>(p + 6);
    r.fq2 = qFromLittleEndian<quint32>(p + 10);
    r.an1 = qFromLittleEndian<quint16>(p + 14);
    r.an2 = qFromLittleEndian<quint16>(p + 16);
    return r;
}

QByteArray TransmitterRecord::pack() const
{
    QByteArray bytes(kSize, '\0');
    auto *p = reinterpret_cast<uchar *>(bytes.data());
    p[0] = temperature;
    p[1] = reserved;
    qToLittleEndian<quint16>(level, p + 2);
    qToLittleEndian<quint16>(frequency, p + 4);
    qToLittleEndian<quint32>(fq1, p + 6);
    qToLittleEndian<quint32>(fq2, p + 10);
    qToLittleEndian<quint16>(an1, p + 14);
    qToLittleEndian<quint16>(an2, p + 16);
    return bytes;
}

// ---- Meanings ------------------------------------------------------------------------

QString requestMeaning(const QByteArray &frame)
{
    if (frame.size() < 3 || frame.at(0) != kFrameStart || quint8(frame.at(1)) != frame.size() - 2)
        return QStringLiteral("Не кадр");
    const quint8 command = quint8(frame.back());
    const QByteArray arguments = frame.mid(2, frame.size() - 3);
    const bool bare = arguments.isEmpty();

    if (command == kAtCommand) {
        QByteArray text = arguments;
        while (!text.isEmpty() && isLineEnd(text.back()))
            text.chop(1);
        if (text == "+++")
            return QStringLiteral("Командный режим");
        if (text == "ATO")
            return QStringLiteral("Режим данных");
        if (text == "AT+SRDRSSI?")
            return QStringLiteral("Уровень сигнала");
        return QString::fromLatin1(text);
    }
    if (bare && command >= 0x0A && command <= 0x19)   // firmware up to 220: the number in the code
        return QStringLiteral("Данные передатчика %1").arg(command - 0x0A);
    if (command == 0x1E && arguments.size() == 1)
        return QStringLiteral("Данные передатчика %1").arg(quint8(arguments.at(0)));
    if (command == 0x08 && arguments.size() == 1)
        return QStringLiteral("Запрос измерения, ДУТ %1").arg(int(qint8(arguments.at(0))));
    switch (bare ? command : 0xFF) {
    case 0x00: return QStringLiteral("Запрос измерения");
    case 0x01: return QStringLiteral("Запрос версии");
    case 0x03: return QStringLiteral("Чтение настроек");
    case 0x07: return QStringLiteral("Чтение таблицы адресов");
    case 0x33: return QStringLiteral("Чтение таблицы передатчиков");
    default: break;
    }
    switch (command) {
    case 0x02: return QStringLiteral("Запись настроек");
    case 0x06: return QStringLiteral("Запись таблицы адресов");
    case 0x32: return QStringLiteral("Запись таблицы передатчиков");
    default: break;
    }
    return QStringLiteral("Команда 0x%1").arg(command, 2, 16, QLatin1Char('0'));
}

} // namespace proto
