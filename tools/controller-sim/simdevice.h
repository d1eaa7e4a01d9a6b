#pragma once

#include "simfaults.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QVector>

namespace sim {

// What a transmitter holds for one of its inputs and what a receiver keeps for one
// transmitter: the values behind the measurement text and the 18-byte record.
struct RecordValues
{
    quint8 temperature = 0;   // °C
    quint8 status = 0;        // not shown by the configurator
    quint16 level = 0;        // fuel level; 9999 and 65535 are the controller's markers
    quint16 frequency = 0;    // the fuel sensor's own frequency
    quint32 in1 = 0;          // input 1 frequency, tenths of a hertz (99999 "Hi", 0 "Lo")
    quint32 in2 = 0;          // input 2 frequency, tenths of a hertz
    quint16 an1 = 0;          // analog input 1, ADC counts (×3.50277 gives mV)
    quint16 an2 = 0;          // analog input 2, ADC counts

    // The 18-byte little-endian record a receiver returns for this transmitter.
    QByteArray toRecord() const;
};

// The device side of the serial line: one controller with its radio module, as a pure model.
// Bytes from the line go in through feed(); the replies come back, nothing is written anywhere.
class Device
{
public:
    enum Type { Receiver = 1, Transmitter = 2 };

    static constexpr int SettingsSizeTransmitter = 13;
    static constexpr int SettingsSizeReceiver = 14;
    static constexpr int AddressTableSize = 24;
    static constexpr int TransmitterMapSize = 30;
    static constexpr int RecordSize = 18;
    static constexpr int RecordCount = 256;

    explicit Device(Type type = Transmitter, quint16 version = 296);

    // Takes bytes from the line in any batching and returns the replies to the requests that
    // these bytes complete, in order. A frame is "!", a length byte N and N payload bytes whose
    // last one is the command; bytes outside a frame are skipped up to the next "!".
    QList<QByteArray> feed(const QByteArray &bytes);
    // True while a frame has begun but is not complete.
    bool hasPartialFrame() const { return !m_frame.isEmpty(); }
    // Forgets a frame that has begun (the line went quiet in the middle of it).
    void resetFrame() { m_frame.clear(); }

    // Every complete request frame received, in order (lost and ignored ones included).
    QList<QByteArray> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

    Type type() const { return m_type; }
    void setType(Type type) { m_type = type; }
    quint16 version() const { return m_version; }
    void setVersion(quint16 version) { m_version = version; }
    // "<Transmitter v.296>" or "<Receiver v.221>".
    QByteArray identity() const;

    static int settingsSize(Type type);
    // The full settings record of the current type (13 bytes transmitter, 14 receiver).
    QByteArray settings() const { return m_settings.value(m_type); }
    // Sets the record of the current type; it is cut or padded with zeros to its size.
    void setSettings(const QByteArray &record);
    // What the settings read answers: the record without its last byte, which only
    // firmware above 295 reports.
    QByteArray settingsReply() const;

    // Radio module registers 200 (channel), 201 (speed), 202 (power), 220 (mode), 250 (subnet).
    static bool isKnownRegister(int reg);
    // The value, or -1 for a register the module does not have.
    int sRegister(int reg) const { return m_registers.value(reg, -1); }
    // Returns false (and changes nothing) for an unknown register or a value out of its range.
    bool setSRegister(int reg, int value);
    bool commandMode() const { return m_commandMode; }
    void setCommandMode(bool on) { m_commandMode = on; }
    int rssi() const { return m_rssi; }
    void setRssi(int rssi) { m_rssi = rssi; }

    // The transmitter's 24-byte address table (seven on/address/sensor triples, In1A flag,
    // In1A row, 0).
    QByteArray addressTable() const { return m_addressTable; }
    void setAddressTable(const QByteArray &table);
    // The receiver's 30-byte map of polled transmitters 16..255, least significant bit first.
    QByteArray transmitterMap() const { return m_transmitterMap; }
    void setTransmitterMap(const QByteArray &map);
    // What the receiver's table read answers: the masks of transmitters 0..7 and 8..15
    // (settings bytes 7 and 8), then the 30-byte map.
    QByteArray transmitterTableReply() const;

    // The transmitter's own inputs behind the measurement text.
    RecordValues measurement() const { return m_measurement; }
    void setMeasurement(const RecordValues &values) { m_measurement = values; }
    // "$i,temperature,level,frequency,in1,in2,an1,an2#\r\n" for sensor i (0 its own sensor,
    // 1..7 those of the address table rows; any other number has no sensor: level 65535).
    QByteArray measurementReply(int sensor) const;

    // The 18-byte records a receiver holds for transmitters 0..255. setRecord takes any bytes,
    // so a test can make a short or empty one (an empty record is not answered).
    QByteArray record(int n) const { return m_records.value(n); }
    void setRecord(int n, const QByteArray &bytes);
    bool isRecordSilent(int n) const { return m_silentRecords.value(n, false); }
    void setRecordSilent(int n, bool silent);

    // The content faults: silent, dropEvery, errorAtWrites, garbage, garbageFirst, noTerminator,
    // ignoreAt, dropWrites, frameLosses, swapSilenceMs. Timing faults are the server's business and are ignored
    // here. Setting the faults starts the counts of garbageFirst, dropWrites and frameLosses afresh.
    Faults faults() const { return m_faults; }
    void setFaults(const Faults &faults);
    // How many times Faults::swapSilenceMs has put a fresh device on the line.
    int swaps() const { return m_swaps; }

private:
    QByteArray handleFrame(const QByteArray &frame);
    QByteArray handleCommand(quint8 command, const QByteArray &args);
    QByteArray handleAt(const QByteArray &text);
    QByteArray noise();
    // Faults::swapSilenceMs: true while the line is silent between two devices.
    bool swapping(quint8 command);

    // What a fresh device holds, for Faults::swapSilenceMs.
    struct StartUp
    {
        QMap<int, QByteArray> settings;
        QMap<int, int> registers;
        QByteArray addressTable;
        QByteArray transmitterMap;
    };

    Type m_type;
    quint16 m_version;
    QMap<int, QByteArray> m_settings;   // by Type
    QMap<int, int> m_registers;
    bool m_commandMode = false;
    int m_rssi = 87;
    QByteArray m_addressTable;
    QByteArray m_transmitterMap;
    RecordValues m_measurement;
    QVector<QByteArray> m_records;
    QVector<bool> m_silentRecords;
    Faults m_faults;

    QByteArray m_frame;                 // the frame being received
    QList<QByteArray> m_requests;
    quint64 m_frameCount = 0;           // for Faults::dropEvery
    int m_noisyLeft = 0;                // replies still to get noise, for Faults::garbageFirst
    int m_writesToDrop = 0;             // write frames still to lose, for Faults::dropWrites
    QHash<QByteArray, int> m_arrivals;  // of each frame, for Faults::frameLosses
    quint32 m_noiseState = 0x2545F491u;
    StartUp m_startUp;                  // taken when the faults are set
    bool m_swapArmed = false;           // a settings write came: the next identification swaps
    QElapsedTimer m_swapSilence;        // running while the line is silent between two devices
    int m_swaps = 0;
};

} // namespace sim
