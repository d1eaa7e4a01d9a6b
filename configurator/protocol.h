#pragma once

// Wire formats of the ТАЛВЕР controllers: request frames, the settings record, the
// address tables and the reply scanners. No widgets here: MainWindow reads its controls into
// these values and hands the bytes to the port; the tests and the fuzzer call them directly.

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

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
// 21 19, the 24-byte address table, 06.
QByteArray writeAddressTableFrame(const QByteArray &table24);
// 21 1F, the 30-byte map of transmitters 16..255, 32.
QByteArray writeReceiverTableFrame(const QByteArray &mask30);

// ---- Settings record ------------------------------------------------------------------

// Byte 3 packs the operating mode (bit 7) and the RS-485 speed index (bits 0-6).
inline quint8 modeByte(int regimIndex, int rs485Index)
{
    return quint8((regimIndex != 0 ? 0x80 : 0x00) | (rs485Index & 0x7F));
}

struct TransmitterSettings
{
    quint8 channel = 0;
    quint8 subnet = 0;
    quint8 deviceAdr = 0;
    quint8 regim = 0;        // 0 standard, 1 transparent
    quint8 rs485Speed = 0;   // index 0..3
    quint8 radioSpeed = 0;   // index 0..4
    quint8 power = 0;
    quint8 dutAdr = 0;
    quint8 timeFd1 = 10, timeFd2 = 10, timeAd1 = 10, timeAd2 = 10;
    bool range4096 = true;   // ДУТ range: true "4096", false "65536"
};

struct ReceiverSettings
{
    quint8 channel = 0;
    quint8 subnet = 0;
    quint8 period = 1;
    quint8 regim = 0;
    quint8 rs485Speed = 0;
    quint8 radioSpeed = 0;
    quint8 power = 0;
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
// The 14 record bytes a receiver write carries; the output bytes depend on the version.
QByteArray packReceiverSettings(const ReceiverSettings &s, quint16 version);
// Whole write frames: 21 0E rec 02 and 21 0F rec 02.
QByteArray writeSettingsFrame(const TransmitterSettings &s);
QByteArray writeSettingsFrame(const ReceiverSettings &s, quint16 version);

// Reads a cached record (at least the layout's size; missing bytes count as 0).
TransmitterSettings unpackTransmitterSettings(const QByteArray &record);
ReceiverSettings unpackReceiverSettings(const QByteArray &record, quint16 version);

// How many bytes the controller answers a settings read with: the record without its last
// byte, plus that byte above version 295. Receiver layout when deviceType is 1, else
// transmitter (also before identification).
int settingsReplySize(quint8 deviceType, quint16 version);
// The table read reply: 32 bytes from a receiver, 24 from a transmitter.
int tableReplySize(quint8 deviceType);

// Copies the first settingsReplySize() bytes of a complete reply into the cached record
// (kept at kMaxRecordSize bytes); fields the reply does not carry keep their cached value.
// Returns false, leaving the record alone, while the reply is still short.
bool mergeSettingsReply(QByteArray &record, const QByteArray &reply, quint8 deviceType,
                        quint16 version);

// ---- Address tables -------------------------------------------------------------------

constexpr int kAddressTableSize = 24;   // transmitter: 7 rows of (on, address, ДУТ), In1A, row, 0
constexpr int kReceiverMapSize = 30;    // receiver: transmitters 16..255, least significant bit first

// The 30-byte map carried in bytes 2..31 of a receiver's table reply.
QByteArray receiverMapFromReply(const QByteArray &reply32);

// Bit access to the receiver map: transmitter number a (16..255).
bool receiverMapHas(const QByteArray &map30, int address);

// ---- Replies --------------------------------------------------------------------------

// Identity text such as "<Transmitter v.296>". The tag must stand at a position above 0.
// Complete once the version digits are followed by one more byte (or three digits and one
// more byte): "<Receiver v.221>" gives deviceType 1, version 221, label "<Receiver v.221>".
struct Identity
{
    quint8 deviceType = NoDevice;
    quint16 version = 0;
    QString label;   // from the first "<" through the first ">" inclusive
};
std::optional<Identity> scanIdentity(const QByteArray &reply);

// A register value after its tag ("S250=", "S202=", "S201="): every decimal digit after the
// tag; complete once a non-digit follows the digits or five digits have arrived. A non-digit
// right after the tag gives 0. std::nullopt while the tag or the end of the number is missing.
std::optional<int> scanRegister(const QByteArray &reply, const QByteArray &tag);

// "+SRDRSSI: " followed by up to three characters before a line end. The first character
// gives its digit value (0 if not a digit), every following digit is appended, other
// characters are skipped: "87\r" gives 87, "x7" gives 7, "300" gives 300. Complete once three
// characters or a line end have arrived.
std::optional<int> scanRssi(const QByteArray &reply);

// The measurement text between the first "$" and the following "#", split at ",".
// Field 1 temperature, 2 level, 4 and 5 frequencies, 6 and 7 analog inputs; a field that is
// not an integer counts as 0. std::nullopt until both marks have arrived, and for a text of
// fewer than eight fields (a partial measurement is never shown).
struct Measurement
{
    QString temp, level, freq1, freq2, an1, an2;   // already formatted for display
};
std::optional<Measurement> scanMeasurement(const QByteArray &reply);

// Display rules shared by the measurement fields and the transmitter data table.
QString formatFrequency(qint64 tenthsOfHertz);   // "Hi" at 99999, "Lo" at 0, else v / 10
QString formatMillivolts(qint64 raw);            // raw × 3.50277

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

} // namespace proto
