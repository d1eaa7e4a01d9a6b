// The configurator's reply scanners and record unpacking, fed as the main window feeds them:
// a reply arrives in any number of batches, each batch is added to the bytes received since
// the request, and the scanner looks at everything so far after every batch.
//
// Input: byte 0 the awaited reply (a SendType value, modulo the table below), byte 1 the
// device type (raw, so values the controller never reports are tried too), byte 2 the firmware
// version (from a table around the 220 and 295 thresholds), byte 3 how the rest is cut into
// batches (see cutIntoBatches); the rest is what the controller sends.

#include "batches.h"
#include "protocol.h"

#include <optional>

using namespace proto;

namespace {

// SendType values in the order the selector byte picks them.
enum Kind : quint8 {
    None = 0, ReadVersion = 2, SaveSetting = 3, ReadSetting = 4, ComandRegim = 5, ReadCHA = 6,
    DataRegim = 7, ReadPower = 9, SaveSimParam = 10, ReadPower2 = 11, SaveSimParam2 = 12,
    GetLevel = 13, ResiverInfo = 14, ReadLevel = 15, SaveMassive = 16, ReadMassive = 17,
    SaveMassiveResiver = 18,
};
const Kind kKinds[] = {None, ReadVersion, SaveSetting, ReadSetting, ComandRegim, ReadCHA,
                       DataRegim, ReadPower, SaveSimParam, ReadPower2, SaveSimParam2, GetLevel,
                       ResiverInfo, ReadLevel, SaveMassive, ReadMassive, SaveMassiveResiver};
const quint16 kVersions[] = {0, 1, 100, 200, 219, 220, 221, 222,
                             294, 295, 296, 297, 342, 999, 1000, 65535};
constexpr int kHeader = 4;

bool sameTransmitter(const TransmitterSettings &a, const TransmitterSettings &b)
{
    return a.channel == b.channel && a.subnet == b.subnet && a.deviceAdr == b.deviceAdr
           && a.regim == b.regim && a.rs485Speed == b.rs485Speed && a.radioSpeed == b.radioSpeed
           && a.power == b.power && a.dutAdr == b.dutAdr && a.timeFd1 == b.timeFd1
           && a.timeFd2 == b.timeFd2 && a.timeAd1 == b.timeAd1 && a.timeAd2 == b.timeAd2
           && a.range4096 == b.range4096;
}

bool sameReceiver(const ReceiverSettings &a, const ReceiverSettings &b)
{
    return a.channel == b.channel && a.subnet == b.subnet && a.period == b.period
           && a.regim == b.regim && a.rs485Speed == b.rs485Speed && a.radioSpeed == b.radioSpeed
           && a.power == b.power && a.fq1Mode == b.fq1Mode && a.fq2Mode == b.fq2Mode
           && a.mask0 == b.mask0 && a.mask1 == b.mask1 && a.fq1 == b.fq1 && a.fq2 == b.fq2
           && a.an1 == b.an1 && a.an2 == b.an2 && a.range4096 == b.range4096;
}

// What the window reads out of a cached record must survive being written back and read again:
// otherwise a read followed by a write would change the controller's settings.
void checkRecordRoundTrip(const QByteArray &record, quint16 version)
{
    const TransmitterSettings t = unpackTransmitterSettings(record);
    const QByteArray tPacked = packTransmitterSettings(t);
    FUZZ_CHECK(tPacked.size() == kTransmitterRecordSize);
    FUZZ_CHECK(sameTransmitter(unpackTransmitterSettings(tPacked), t));
    const QByteArray tFrame = writeSettingsFrame(t);
    FUZZ_CHECK(tFrame == QByteArray("\x21\x0e", 2) + tPacked + '\x02');

    const ReceiverSettings r = unpackReceiverSettings(record, version);
    const QByteArray rPacked = packReceiverSettings(r, version);
    FUZZ_CHECK(rPacked.size() == kReceiverRecordSize);
    FUZZ_CHECK(sameReceiver(unpackReceiverSettings(rPacked, version), r));
    FUZZ_CHECK(writeSettingsFrame(r, version) == QByteArray("\x21\x0f", 2) + rPacked + '\x02');
}

// The settings reply, merged into a cache as the window does it.
struct SettingsCheck
{
    QByteArray cache;
    std::optional<QByteArray> complete;

    void step(const QByteArray &reply, quint8 deviceType, quint16 version)
    {
        const int n = settingsReplySize(deviceType, version);
        FUZZ_CHECK(n >= kTransmitterRecordSize - 1 && n <= kMaxRecordSize);
        QByteArray record = cache;
        if (!mergeSettingsReply(record, reply, deviceType, version)) {
            FUZZ_CHECK(reply.size() < n);
            FUZZ_CHECK(record == cache);
            return;
        }
        FUZZ_CHECK(reply.size() >= n);
        FUZZ_CHECK(record.size() == kMaxRecordSize);
        FUZZ_CHECK(record.left(n) == reply.left(n));
        // Fields the reply does not carry keep their cached value (a short cache counts as 0).
        for (int i = n; i < kMaxRecordSize; ++i)
            FUZZ_CHECK(record.at(i) == (i < cache.size() ? cache.at(i) : '\0'));
        // Bytes after a complete record are not part of it.
        if (complete) {
            FUZZ_CHECK(record == *complete);
            return;
        }
        complete = record;
        checkRecordRoundTrip(record, version);
    }
};

void checkReceiverMap(const QByteArray &map, quint8 mask0, quint8 mask1)
{
    FUZZ_CHECK(map.size() == kReceiverMapSize);
    const auto polled = [&](int a) {
        return a < 8 ? ((mask0 >> a) & 1) != 0 : a < 16 ? ((mask1 >> (a - 8)) & 1) != 0
                                                        : receiverMapHas(map, a);
    };
    FUZZ_CHECK(!receiverMapHas(map, 15) && !receiverMapHas(map, 256) && !receiverMapHas(map, -1));
    // nextPolledTransmitter walks exactly the selected numbers, in order.
    int expected = -1;
    for (int a = 255; a >= -1; --a) {
        if (a >= 0 && polled(a))
            expected = a;
        FUZZ_CHECK(nextPolledTransmitter(mask0, mask1, map, a) == expected);
    }
    FUZZ_CHECK(nextPolledTransmitter(mask0, mask1, map, 256) == -1);
}

void checkTransmitterTable(const QByteArray &table, quint8 ownDut)
{
    const AddressTable parsed = AddressTable::parse(table);
    const QStringList items = dutSelectorItems(ownDut, parsed);
    FUZZ_CHECK(items.size() == 8);
    FUZZ_CHECK(items.at(0) == QString::number(ownDut));
    for (int k = 0; k < 7; ++k) {
        const bool on = 3 * k < table.size() && table.at(3 * k) != 0;
        FUZZ_CHECK((items.at(k + 1) == QLatin1String("-")) == !on);
    }
    const QByteArray f = writeAddressTableFrame(parsed);
    FUZZ_CHECK(f.size() == 2 + kAddressTableSize + 1);
    FUZZ_CHECK(f.startsWith("\x21\x19") && f.endsWith('\x06'));
    FUZZ_CHECK(f.mid(2, table.size()) == table.left(kAddressTableSize));
}

void checkRecord(const QByteArray &bytes)
{
    const auto rec = TransmitterRecord::parse(bytes);
    FUZZ_CHECK(rec.has_value() == (bytes.size() == TransmitterRecord::kSize));
    if (rec) {
        FUZZ_CHECK(rec->pack() == bytes);
        FUZZ_CHECK(rec->levelIsMarker() == (rec->level == 0xFFFF || rec->level == 9999));
    }
}

// Everything the window may call on a reply, with no expectation: memory safety only.
void scanEverything(const QByteArray &reply, quint8 deviceType, quint16 version)
{
    QByteArray record;
    mergeSettingsReply(record, reply, deviceType, version);
    unpackTransmitterSettings(reply);
    unpackReceiverSettings(reply, version);
    receiverMapFromReply(reply);
    dutSelectorItems(0, AddressTable::parse(reply));
    scanIdentity(reply);
    scanRegister(reply, "S250=");
    scanRssi(reply);
    scanMeasurement(reply);
    TransmitterRecord::parse(reply);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput in(data, size);
    if (!in.has(kHeader))
        return 0;
    const Kind kind = kKinds[in.at(0) % (sizeof kKinds / sizeof kKinds[0])];
    const quint8 deviceType = in.at(1);
    const quint16 version = kVersions[in.at(2) % 16];
    const QVector<QByteArray> batches = cutIntoBatches(in.payload(kHeader), in.at(3));

    // The cached record before this reply: all zero at start, or what an earlier reply left.
    SettingsCheck settings;
    settings.cache = (in.at(2) & 0x10) ? QByteArray() : QByteArray::fromHex("0705aa820104000c0a0b0c0d0100");
    std::optional<QByteArray> table;
    std::optional<Identity> identity;
    bool labelClosed = false;
    std::optional<int> value;
    std::optional<Measurement> measurement;
    bool ok = false, error = false;

    QByteArray reply;
    for (const QByteArray &batch : batches) {
        reply += batch;
        switch (kind) {
        case ReadSetting:
            settings.step(reply, deviceType, version);
            break;

        case ReadMassive: {
            const int n = tableReplySize(deviceType);
            FUZZ_CHECK(n == (deviceType == Receiver ? 32 : 24));
            if (reply.size() < n)
                break;
            const QByteArray got = deviceType == Receiver ? receiverMapFromReply(reply)
                                                          : reply.left(kAddressTableSize);
            if (table) {
                FUZZ_CHECK(got == *table);   // bytes after a complete table are not part of it
                break;
            }
            table = got;
            if (deviceType == Receiver) {
                FUZZ_CHECK(got == reply.mid(2, kReceiverMapSize));
                checkReceiverMap(got, quint8(reply.at(0)), quint8(reply.at(1)));
            } else {
                checkTransmitterTable(got, quint8(reply.at(0)));
            }
            break;
        }

        case ReadVersion: {
            const auto id = scanIdentity(reply);
            if (identity) {
                // Once complete, later bytes change neither the device nor its version.
                FUZZ_CHECK(id.has_value());
                FUZZ_CHECK(id->deviceType == identity->deviceType);
                FUZZ_CHECK(id->version == identity->version);
                if (labelClosed)
                    FUZZ_CHECK(id->label == identity->label);
            } else if (id) {
                FUZZ_CHECK(id->deviceType == Receiver || id->deviceType == Transmitter);
                FUZZ_CHECK(id->version <= 999);
                FUZZ_CHECK(reply.indexOf(id->deviceType == Receiver ? "Receiver v." : "Transmitter v.") > 0);
                identity = id;
                const int open = reply.indexOf('<');
                labelClosed = open >= 0 && reply.indexOf('>', open) >= 0;
            }
            break;
        }

        case ComandRegim:
        case DataRegim: {
            const bool now = replyHasOk(reply);
            FUZZ_CHECK(now || !ok);   // an "OK" once seen stays seen
            ok = now;
            break;
        }

        case SaveSimParam:
        case SaveSimParam2: {
            const bool accepted = replyAcceptsWrite(reply);
            FUZZ_CHECK(!accepted || replyHasOk(reply));
            if (reply.contains("ERROR"))
                error = true;
            FUZZ_CHECK(!(accepted && error));   // an "ERROR" once seen is never accepted
            break;
        }

        case ReadCHA:
        case ReadPower:
        case ReadPower2: {
            const QByteArray tag = kind == ReadCHA ? "S250=" : kind == ReadPower ? "S202=" : "S201=";
            const auto v = scanRegister(reply, tag);
            if (value) {
                FUZZ_CHECK(v == value);
            } else if (v) {
                FUZZ_CHECK(*v >= 0 && *v <= 99999);
                FUZZ_CHECK(reply.contains(tag));
                value = v;
            }
            break;
        }

        case GetLevel: {
            const auto v = scanRssi(reply);
            if (value) {
                FUZZ_CHECK(v == value);
            } else if (v) {
                FUZZ_CHECK(*v >= 0 && *v <= 999);
                value = v;
            }
            break;
        }

        case ResiverInfo:
            // The window keeps the whole batch; the data table parses it.
            checkRecord(reply);
            if (reply.size() >= TransmitterRecord::kSize)
                checkRecord(reply.left(TransmitterRecord::kSize));
            break;

        case ReadLevel: {
            const auto m = scanMeasurement(reply);
            if (measurement) {
                FUZZ_CHECK(m.has_value());
                FUZZ_CHECK(m->temp == measurement->temp && m->level == measurement->level
                           && m->freq1 == measurement->freq1 && m->freq2 == measurement->freq2
                           && m->an1 == measurement->an1 && m->an2 == measurement->an2);
            } else if (m) {
                const int from = reply.indexOf('$');
                FUZZ_CHECK(from >= 0 && reply.indexOf('#', from) > from);
                measurement = m;
            }
            break;
        }

        case None:
        case SaveSetting:
        case SaveMassive:
        case SaveMassiveResiver:
            scanEverything(reply, deviceType, version);
            break;
        }
    }
    return 0;
}
