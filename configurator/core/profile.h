#pragma once

// Device profiles: what "Записать" sends to one controller, kept in a small JSON file so that a
// fleet can be set up from one device. The file is versioned ("format": "talver-profile",
// "version": 1), its field names are English and its values are what the window shows (speed
// "9600", not an index). Reading never trusts the file: every field is checked for presence and
// type before use, unknown fields are ignored, and a broken file is refused with a message that
// says where. No widgets here.

#include "fields.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>

namespace profile {

extern const char kFormat[];       // "talver-profile"
constexpr int kFormatVersion = 1;  // the newest version this program reads and the one it writes
constexpr qint64 kMaxFileSize = 1 << 20;

struct Profile
{
    quint8 deviceType = proto::Transmitter;   // Receiver or Transmitter
    quint16 firmware = 0;                     // the firmware of the device it was saved from
    QString saved;                            // ISO 8601 date and time of saving
    QString comment;
    proto::DeviceConfig values;               // the fields below, the rest at their defaults
    QSet<int> fields;                         // the fields the profile holds, as indexes into proto::fields()

    // Everything the panels hold that the firmware of `c` has.
    static Profile fromConfig(const proto::DeviceConfig &c, const QString &comment,
                              const QDateTime &saved = QDateTime::currentDateTime());
    QByteArray toJson() const;
};

// The place of field `id` in the file ("radio.channel").
QString fieldPath(int id);

// Reads a profile; on failure returns false and says why and where in `error`.
bool read(const QByteArray &json, Profile &out, QString &error);
// The same from a file (too large, unreadable); an empty string on success.
QString readFile(const QString &path, Profile &out);
// Writes the file atomically: a failed save leaves an existing file as it was.
QString writeFile(const QString &path, const Profile &p);

struct Applied
{
    proto::DeviceConfig config;   // the device's values with the profile's on top
    QStringList leftOut;          // labels of the profile's fields the device's firmware lacks
    QString refusal;              // non-empty: nothing may be applied
};

// Lays the profile over what was just read from the device. Fields the profile lacks keep the
// device's values, fields its firmware lacks are left out, and with `keepAddress` a transmitter
// keeps its own address and ДУТ number. A profile of the other device type, or one giving a value
// the device cannot take, is refused whole.
Applied apply(const Profile &p, const proto::DeviceConfig &device, bool keepAddress);

// A device type as the technician reads it: "Приемник", "Передатчик", "не опознано".
QString deviceName(quint8 type);

} // namespace profile
