#pragma once

// What "Записать" sends to one controller, as one value: the radio module's registers, the
// settings record's fields and the address table (transmitter) or the map of polled
// transmitters 16..255 (receiver). The write fills it from the panels once; the read-back
// compares the device's answers against it; profiles save and load it. No widgets here.

#include "protocol.h"

#include <QList>
#include <QString>

namespace proto {

struct DeviceConfig
{
    quint8 deviceType = NoDevice;   // Receiver, or the transmitter layout for anything else
    quint16 version = 0;            // firmware the values are meant for
    TransmitterSettings transmitter;
    ReceiverSettings receiver;
    AddressTable addressTable;                                       // transmitter, above 220
    QByteArray receiverMap = QByteArray(kReceiverMapSize, '\0');     // receiver, above 220

    bool isReceiver() const { return deviceType == Receiver; }
    // The factory values "По умолчанию" puts in the panels: the radio link, the ДУТ range, an
    // empty address table with the device's own address and ДУТ number 0, and the fields of
    // this device type; the other type's fields stay.
    void resetToFactory();
    // The radio-link fields of the layout in use (registers 220, 250, 200, 202, 201 and
    // bytes 0, 1, 3, 4, 5 of the record).
    const RadioSettings &radio() const;
    RadioSettings &radio();

    // The write frames: 21 0E/0F rec 02, and 21 19 table 06 or 21 1F map 32.
    QByteArray settingsFrame() const;
    QByteArray tableFrame() const;
    // The radio registers in the order the write sends them: 220, 250, 200, 202, 201, each with
    // the setting it holds.
    struct Register
    {
        int number;
        quint8 RadioSettings::*value;
    };
    static const QList<Register> &radioRegisters();
    // The same registers with this device's values.
    QList<QPair<int, int>> registers() const;

    // Fills the settings fields from a settings read reply (the record without its last byte
    // up to version 295); fields the reply lacks keep their values.
    void takeSettingsReply(const QByteArray &reply);
    // Fills the table from a table read reply (24 bytes transmitter, 32 receiver).
    void takeTableReply(const QByteArray &reply);

    struct Difference
    {
        QString field;   // the field's name in the window
        QString sent;
        QString read;
    };
    // The fields that differ between what was written (this) and what the device reported
    // back (`read`), only those the device reports for its firmware: the record without the
    // power byte (the module keeps the power), the range byte above 295, the table above 220.
    QList<Difference> compare(const DeviceConfig &read) const;

    struct Value
    {
        QString field;   // the field's name in the window
        int value;
        QString limit;   // "не больше 5 при скорости 19200"
        // "Канал связи: 9 — не больше 5 при скорости 19200"
        QString text() const;
    };
    // Values a box of the window cannot show (an index its list lacks, a number outside its
    // range, which a spin box would clamp), so that writing the panels back would send a value
    // the device never had: channel above the speed's plan, subnet above 99, power above 7,
    // speed indexes outside the lists, measuring times outside 1..60, a poll period outside
    // 1..5, an output routed to a transmitter the firmware cannot address.
    QList<Value> valuesOutOfRange() const;

    bool operator==(const DeviceConfig &o) const;
    bool operator!=(const DeviceConfig &o) const { return !(*this == o); }
};

// The radio channel plan by speed index (0 "4800" .. 4 "115200"): the faster the link, the
// wider the channel. An index outside the list gets the plan of the slow speeds.
struct ChannelPlan
{
    int maxChannel;
    qint64 baseHz;
    qint64 stepHz;
};
ChannelPlan channelPlan(int radioSpeedIndex);

// Texts the window shows for an index: radio speed "9600", RS-485 speed "19200", etc.
// (The lists themselves are with the fields, fields.h.)
QString radioSpeedText(int index);
QString rs485SpeedText(int index);
QString regimText(int index);

} // namespace proto
