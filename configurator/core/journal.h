#pragma once

// The commissioning journal: one line per write, appended to "journal.csv" in the user's data
// folder, so that a site's record says which device got which settings, what changed, whether
// the read-back confirmed them, and where the values the device held before are kept. The file
// is only ever appended to, one complete line at a time, by one configurator at a time. No
// widgets.

#include "steps.h"

#include <QDateTime>
#include <QString>

#include <functional>

namespace journal {

struct Entry
{
    QDateTime time;
    QString port;
    quint8 deviceType = 0;   // proto::DeviceType
    quint16 version = 0;
    int address = 0;
    QString profile;         // the profile file the panels came from, empty for none
    steps::WriteResult result = steps::WriteResult::Checked;
    QString changed;         // "Канал связи: 3 → 5; …"
    QString skipped;         // fields the firmware lacks, registers passed over
    QString details;         // the failure's cause
    QString before;          // the history file of the values the device held, empty for none
};

// "journal.csv" in the user's data folder.
QString defaultPath();

// The column titles and one entry, each a CSV line (";"-separated, as spreadsheets in a Russian
// locale expect) ending in "\r\n"; a field holding ";", a quote or a line break is quoted. The
// first seven columns are those of the first journals, so that their files stay readable.
QByteArray header();
QByteArray line(const Entry &e);

// Runs `work` holding the journal's lock ("journal.csv.lock", taken over when older than 10 s):
// another configurator sharing the folder waits for it. False when the lock cannot be had.
bool underLock(const QString &path, const std::function<void()> &work);

// Appends the entry (and the titles first when the file is new) with one write under the lock.
// A short write is cut back off, so the next line never runs on from half of this one. Returns
// why the entry could not be written, empty on success.
QString append(const QString &path, const Entry &e);

} // namespace journal
