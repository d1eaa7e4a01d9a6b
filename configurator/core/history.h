#pragma once

// What a device held before each write, kept beside the journal: before the first frame of a
// write, the values the device was known to hold and the values about to be sent go to a pair
// of files in the profile format under "history/". The program never overwrites nor deletes
// them. No widgets.

#include "deviceconfig.h"
#include "journal.h"
#include "profile.h"

#include <QDateTime>
#include <QString>

namespace history {

// "<yyyy-MM-dd_HHmmss>_<port>_<type>-<firmware>_<address>": the port's base name with anything
// but letters, digits, '-' and '_' as '_', the type "transmitter" or "receiver" (never text the
// device sent), the address the write gives the device.
QString baseName(const QDateTime &time, const QString &port, const proto::DeviceConfig &written);

// Saves "<base>_before.json" (comment "до записи") and "<base>_written.json" ("записано") in
// `folder`; a pair of that name already there makes it "<base>-2_…", "-3" and so on. Returns
// the path of the before file, or an empty string with the reason in `error`.
QString save(const QString &folder, const QString &base, const proto::DeviceConfig &before,
             const proto::DeviceConfig &written, QString &error);

// The pair a journal line names in its "Было" column, read back.
struct Pair
{
    QString beforeFile;
    profile::Profile before, written;
};

// Reads the line's pair; an empty string, or why there is none to read: a line that does not
// parse, a line of the first journals, a write whose history was not saved, a file that is gone
// or refused.
QString readPair(const journal::Line &line, Pair &pair);

// What the write of a pair read by readPair() changed, one "<поле>: <было> → <стало>" a line, or
// a single "— …" line saying why nothing is shown (`why`, readPair's answer).
QStringList changesOf(const QString &why, const Pair &pair);

} // namespace history
