#pragma once

// The commissioning journal: one line per write, appended to "journal.csv" in the user's data
// folder, so that a site's record says which device got which settings and whether the read-back
// confirmed them. The file is only ever appended to, one complete line at a time. No widgets.

#include "steps.h"

#include <QDateTime>
#include <QString>

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
};

// "journal.csv" in the user's data folder.
QString defaultPath();

// The column titles and one entry, each a CSV line (";"-separated, as spreadsheets in a Russian
// locale expect) ending in "\r\n"; a field holding ";", a quote or a line break is quoted.
QByteArray header();
QByteArray line(const Entry &e);

// Appends the entry (and the titles first when the file is new) with one write; false when the
// file cannot be written.
bool append(const QString &path, const Entry &e);

} // namespace journal
