#pragma once

// The commissioning journal: one line per write, appended to "journal.csv" in the user's data
// folder, so that a site's record says which device got which settings, what changed, whether
// the read-back confirmed them, and where the values the device held before are kept. The file
// is only ever appended to, one complete line at a time, by one configurator at a time. No
// widgets.

#include "steps.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

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

// The time column: "2024-03-05 14:07:09".
inline constexpr char kTimeFormat[] = "yyyy-MM-dd HH:mm:ss";

// "journal.csv" in the user's data folder.
QString defaultPath();

// The program's own column titles, eleven of them; files of the first journals have the first
// seven.
QStringList columns();

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

// One line of the file as read back.
struct Line
{
    QStringList cells;   // by column, as written; a best guess when the line does not parse
    bool parsed = false; // the line is sound CSV of at least the first journals' seven columns
    QString raw;         // the line's text as it stands in the file, without its line end
};

// Every line after the header, oldest first. Lines of older files (seven columns) and lines that
// do not parse come back as they are (parsed = false keeps `raw`); a broken line never takes the
// lines after it along, and the file is never refused as a whole. A missing file is no lines and
// no error; a file that cannot be read is no lines and its reason in `error`.
QList<Line> read(const QString &path, QString *error = nullptr);

// The same over the file's bytes (the byte order mark, if any, first).
QList<Line> parse(const QByteArray &bytes);

} // namespace journal
