#pragma once

// Wire formats of the ТАЛВЕР controllers: request frames, the settings record, the
// address tables and the reply scanners. No widgets here: MainWindow reads its controls into
// these values and hands the bytes to the port; the tests and the fuzzer call them directly.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The kind of the last request and so of the reply awaited. The values are fixed: the
// parser dispatches on them and the tests name them.
namespace SendType {
enum SendType : quint8 {
    none = 0,
    readVersion = 2,
    saveSetting = 3,
    readSetting = 4,
    comandRegim = 5,
    readCHA = 6,
    dataRegim = 7,
    readPower = 9,
    saveSimParam = 10,
    getLevel = 13,
    resiverInfo = 14,
    readLevel = 15,
    saveMassive = 16,
    readMassive = 17,
    saveMassiveResiver = 18,
    probeVersion = 19,   // the identification outside any operation
};
}

namespace proto {

enum DeviceType : quint8 { NoDevice = 0, Receiver = 1, Transmitter = 2 };

// Firmware thresholds: above 220 a receiver polls 256 transmitters and uses the newer
// output layout; above 295 the settings record carries the ДУТ range byte.
constexpr quint16 kWideAddressVersion = 220;
constexpr quint16 kRangeByteVersion = 295;
inline bool hasWideAddresses(quint16 version) { return version > kWideAddressVersion; }
inline bool hasRangeByte(quint16 version) { return version > kRangeByteVersion; }

// ---- Requests -------------------------------------------------------------------------

// "!" (0x21), N = payload length (low 8 bits), then the payload: the arguments followed by
// the command code. No checksum, no terminator.
QByteArray frame(const QByteArray &arguments, quint8 command);

// A radio-module AT command passed through the controller: "!", L, text, 0x04.
QByteArray atFrame(const QByteArray &text);

QByteArray versionRequest();                         // 21 01 01
QByteArray readSettingsRequest();                    // 21 01 03
QByteArray readTableRequest(quint8 deviceType);      // 21 01 33 (receiver) or 21 01 07
// Measurement request: 21 02 i 08 above version 220 (i = the ДУТ selector index as a signed
// byte, so an empty list gives 0xFF), else 21 01 00.
QByteArray levelRequest(quint16 version, int dutIndex);
// Data of transmitter n held by a receiver: 21 02 n 1E above version 220, else 21 01 (0A+n).
QByteArray transmitterDataRequest(quint16 version, quint8 n);
struct AddressTable;
// 21 19, the 24-byte address table, 06.
QByteArray writeAddressTableFrame(const AddressTable &table);
// 21 1F, the 30-byte map of transmitters 16..255, 32; cut or zero-padded to 30 bytes.
QByteArray writeReceiverTableFrame(const QByteArray &mask30);

// Radio-module commands in their pass-through frames. Values are plain decimal numbers.
QByteArray commandModeFrame();                        // "+++"
QByteArray dataModeFrame();                           // "ATO\r"
QByteArray registerReadFrame(int reg);                // "ATS<reg>?\r", e.g. 250 -> "ATS250?\r"
QByteArray registerWriteFrame(int reg, int value);    // "ATS<reg>=<value>\r"
QByteArray rssiRequestFrame();                        // "AT+SRDRSSI?\r\n"

// ---- Settings record ------------------------------------------------------------------

// Byte 3 packs the operating mode (bit 7) and the RS-485 speed index (bits 0-6).
inline quint8 modeByte(int regimIndex, int rs485Index)
{
    return quint8((regimIndex != 0 ? 0x80 : 0x00) | (rs485Index & 0x7F));
}

// The fields both kinds of controller keep in the same bytes: 0, 1, 3 and 4, 5.
struct RadioSettings
{
    quint8 channel = 0;
    quint8 subnet = 0;
    quint8 regim = 0;        // 0 standard, 1 transparent
    quint8 rs485Speed = 0;   // index 0..3
    quint8 radioSpeed = 0;   // index 0..4
    quint8 power = 0;
};

struct TransmitterSettings : RadioSettings
{
    quint8 deviceAdr = 0;
    quint8 dutAdr = 0;
    quint8 timeFd1 = 10, timeFd2 = 10, timeAd1 = 10, timeAd2 = 10;
    bool range4096 = true;   // ДУТ range: true "4096", false "65536"
};

struct ReceiverSettings : RadioSettings
{
    quint8 period = 1;
    quint8 fq1Mode = 0, fq2Mode = 0;   // 0 "Частота", 1 "Дискрет"
    quint8 mask0 = 0, mask1 = 0;       // transmitters 0..7 and 8..15
    quint8 fq1 = 0, fq2 = 0, an1 = 0, an2 = 0;   // output routing: transmitter addresses
    bool range4096 = true;
};

constexpr int kTransmitterRecordSize = 13;
constexpr int kReceiverRecordSize = 14;
constexpr int kMaxRecordSize = 14;

// The 13 record bytes a transmitter write carries (without the command byte).
QByteArray packTransmitterSettings(const TransmitterSettings &s);
// The 14 record bytes a receiver write carries; the output bytes depend on the version (see
// unpackReceiverSettings). Modes are taken as one bit, and up to 220 the address as 7 bits,
// so neither can spill into the other.
QByteArray packReceiverSettings(const ReceiverSettings &s, quint16 version);
// Whole write frames: 21 0E rec 02 and 21 0F rec 02.
QByteArray writeSettingsFrame(const TransmitterSettings &s);
QByteArray writeSettingsFrame(const ReceiverSettings &s, quint16 version);

// Reads a cached record; missing bytes count as 0. range4096 is byte 12 (transmitter) or
// 13 (receiver) being non-zero; the controller reports that byte only above version 295, so
// the caller decides whether to apply it. Power (byte 5) is returned too, although the
// window takes the power from the radio module instead.
TransmitterSettings unpackTransmitterSettings(const QByteArray &record);
// Up to version 220 bytes 9 and 10 carry the output's transmitter in bits 0-6 and its mode in
// bit 7; above 220 they carry the transmitter alone and byte 6 the modes (bit 0 output 1,
// bit 1 output 2).
ReceiverSettings unpackReceiverSettings(const QByteArray &record, quint16 version);

// How many bytes the controller answers a settings read with: the record without its last
// byte, plus that byte above version 295. Receiver layout when deviceType is 1, else
// transmitter (also before identification).
int settingsReplySize(quint8 deviceType, quint16 version);
// The table read reply: 32 bytes from a receiver, 24 from a transmitter.
int tableReplySize(quint8 deviceType);

// The exact size of a binary reply (settings record, address table or receiver map, a
// transmitter's 18-byte data record), -1 for a text reply. Binary replies carry no framing:
// the bytes received since the request are the reply only when there are exactly this many;
// fewer or more (noise, a late answer to an earlier request) cannot be told apart from it.
int recordReplySize(SendType::SendType kind, quint8 deviceType, quint16 version);

// Copies the first settingsReplySize() bytes of a complete reply into the cached record
// (kept at kMaxRecordSize bytes); fields the reply does not carry keep their cached value,
// bytes beyond settingsReplySize() are ignored. Returns false, leaving the record alone,
// while the reply is still short.
bool mergeSettingsReply(QByteArray &record, const QByteArray &reply, quint8 deviceType,
                        quint16 version);

// ---- Address tables -------------------------------------------------------------------

constexpr int kAddressTableSize = 24;   // transmitter: 7 rows of (on, address, ДУТ), In1A, row, 0
constexpr int kReceiverMapSize = 30;

// A transmitter's address table as it travels: rows 1..7 of the window's table as (on,
// address, ДУТ) triples, then the In1A flag, the In1A row (0 is the device itself) and a spare
// byte. Every byte is kept as it came, so a table read and written back is sent unchanged.
struct AddressTable
{
    static constexpr int kSize = kAddressTableSize;
    static constexpr int kRows = 7;
    struct Row
    {
        quint8 on = 0, address = 0, dut = 0;
        bool operator==(const Row &o) const { return on == o.on && address == o.address && dut == o.dut; }
    };
    std::array<Row, kRows> rows{};
    quint8 in1a = 0;      // non-zero: a row is marked In1A
    quint8 in1aRow = 0;   // the marked row, taken modulo 8
    quint8 spare = 0;

    // Bytes a short table lacks count as 0, bytes beyond 24 are ignored.
    static AddressTable parse(const QByteArray &bytes);
    QByteArray pack() const;
    // The marked row 0..7, or -1 for none.
    int markedRow() const { return in1a ? in1aRow % 8 : -1; }
    // "вкл., адрес 5, ДУТ 7" or "выкл." for row 1..7; "строка 3" or "нет" for the In1A mark.
    QString rowText(int row) const;
    QString in1aText() const;
    bool operator==(const AddressTable &o) const { return pack() == o.pack(); }
    bool operator!=(const AddressTable &o) const { return !(*this == o); }
};    // receiver: transmitters 16..255, least significant bit first

// The 30-byte map carried in bytes 2..31 of a receiver's table reply; always 30 bytes, the
// bytes a short reply lacks count as 0.
QByteArray receiverMapFromReply(const QByteArray &reply32);

// Bit access to the receiver map: transmitter number a (16..255) is bit (a-16) mod 8 of byte
// (a-16) / 8. False for numbers outside 16..255 and for bytes the map lacks.
bool receiverMapHas(const QByteArray &map30, int address);

// The highest transmitter number a receiver of this version polls: 255 above 220, else 15.
inline int maxTransmitterAddress(quint16 version) { return hasWideAddresses(version) ? 255 : 15; }

// The smallest transmitter number not below `start` that the receiver polls: 0..7 from mask0,
// 8..15 from mask1 (bit k for number 8+k), 16..255 from the map. -1 when start is above 255
// or no selected number remains (a negative start counts as 0).
int nextPolledTransmitter(quint8 mask0, quint8 mask1, const QByteArray &map30, int start);

// The items of the "Адрес ДУТ" measurement selector after a transmitter's table reply: the
// decimal ownDut first, then for rows 1..7 of the table the decimal ДУТ number when the row is
// on (its flag non-zero), else "-". Always 8 items.
QStringList dutSelectorItems(quint8 ownDut, const AddressTable &table);

// The tag of the register a read step asks for: "S250=" (readCHA), "S202=" (readPower),
// "S201=" otherwise.
QByteArray registerTag(SendType::SendType kind);

// Whether the bytes received since a request for a binary record already form it, at exactly
// its size, so that the fast pace may decide the step once the line has then been quiet. Text
// replies need no such check: the window takes them as they arrive, when their scan succeeds.
bool replyComplete(SendType::SendType kind, const QByteArray &reply, quint8 deviceType, quint16 version);

// Radio-module answers. The reading pair ("+++", "ATO" while reading) is answered by "OK"
// anywhere; a command of the writing sequence only by "OK" without "ERROR".
bool replyHasOk(const QByteArray &reply);
bool replyAcceptsWrite(const QByteArray &reply);

// ---- Replies --------------------------------------------------------------------------

// Identity text such as "<Transmitter v.296>". The tag ("Receiver v." or "Transmitter v.",
// its first occurrence) must stand at a position above 0; when both occur, the earlier one
// counts. The version is the decimal value of up to three digits after the tag (0 when a
// non-digit follows the tag). Complete once three digits have arrived or a byte follows fewer,
// so a reply without its closing ">" is taken: "<Receiver v.221>" gives deviceType 1, version 221,
// label "<Receiver v.221>". The label runs from the first "<" (the start when there is none) through
// the first ">" after it, or to the end of the bytes received so far.
struct Identity
{
    quint8 deviceType = NoDevice;
    quint16 version = 0;
    QString label;   // from the first "<" through the first ">" inclusive
};
std::optional<Identity> scanIdentity(const QByteArray &reply);

// Text a device sent, as the window shows it: at most kMaxDeviceText characters, the last one
// "…" when it was cut. Shown as plain text wherever it goes.
constexpr int kMaxDeviceText = 64;
QString deviceText(const QString &text);

// A register value after its tag ("S250=", "S202=", "S201="): every decimal digit after the
// tag (its first occurrence, anywhere in the reply); complete once a non-digit follows the
// digits or five digits have arrived, and with `final` (the check tick) with the digits that
// have come, so "S250=5" without its line end is taken. A non-digit right after the tag gives
// 0. std::nullopt while the tag or the end of the number is missing.
std::optional<int> scanRegister(const QByteArray &reply, const QByteArray &tag, bool final = false);

// "+SRDRSSI: " followed by up to three characters before a line end. The first character
// gives its digit value (0 if not a digit), every following digit is appended, other
// characters are skipped: "87\r" gives 87, "x7\r" gives 7, "300" gives 300 (no 8-bit cut; the
// caller clamps to its bar). Complete once three characters or a line end ("\r" or "\n")
// have arrived, or with `final` (the first tick after the request) once one has; a line end
// right after the tag gives 0.
std::optional<int> scanRssi(const QByteArray &reply, bool final = false);

// The measurement text between the first "$" and the first "#" after it, split at ","
// (field 0 begins with the "$"). Field 1 temperature and 2 level in decimal, 4 and 5 through
// formatFrequency, 6 and 7 through formatMillivolts; a field that is not an integer counts as
// 0. std::nullopt until both marks have arrived, and for a text of fewer than eight fields (a
// partial measurement is never shown).
struct Measurement
{
    QString temp, level, freq1, freq2, an1, an2;   // already formatted for display
};
std::optional<Measurement> scanMeasurement(const QByteArray &reply);

// Display rules shared by the measurement fields and the transmitter data table; fractions
// in "g" notation with 6 significant digits (QString::number(double)).
QString formatFrequency(qint64 tenthsOfHertz);   // "Hi" at 99999, "Lo" at 0, else v / 10
QString formatMillivolts(qint64 raw);            // raw × 3.50277: 100 gives "350.277"

// The 18 bytes a receiver holds for one transmitter, little-endian.
struct TransmitterRecord
{
    static constexpr int kSize = 18;
    quint8 temperature = 0;
    quint8 reserved = 0;
    quint16 level = 0;
    quint16 frequency = 0;
    quint32 fq1 = 0, fq2 = 0;
    quint16 an1 = 0, an2 = 0;

    bool levelIsMarker() const { return level == 0xFFFF || level == 9999; }
    // std::nullopt unless the record has exactly 18 bytes.
    static std::optional<TransmitterRecord> parse(const QByteArray &bytes);
    QByteArray pack() const;
};

// ---- Meanings ------------------------------------------------------------------------

// What a request frame asks, in the window's words: "Запрос версии", "Запись настроек",
// "Данные передатчика 17"; a radio-module command as its text without line ends ("ATS250=5"),
// except the mode switches and the level query, which are named. Bytes that are not one whole
// frame give "Не кадр", an unknown command "Команда 0x<hex>".
QString requestMeaning(const QByteArray &frame);

} // namespace proto
