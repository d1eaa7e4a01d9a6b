#pragma once

// Files the technician names: a profile or a table he saves, a profile he opens. A save either
// replaces the old file whole or leaves it exactly as it was; only a regular file is opened for
// reading. No widgets.

#include <QByteArray>
#include <QString>

namespace safefile {

// Writes `data` to `path` through a temporary file that takes the old one's place only once
// every byte has reached the file system. Returns the system's reason for a failure (a full
// disk, a size limit, no right to write), empty on success.
QString save(const QString &path, const QByteArray &data);

// Why `path` must not be opened for reading: a device, a pipe or a socket would block the
// window until someone wrote into it. Empty for a regular file, or for a path that does not
// exist (opening it then says why). Looks without opening.
QString notRegular(const QString &path);

} // namespace safefile
