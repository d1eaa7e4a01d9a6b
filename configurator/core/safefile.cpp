#include "safefile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace safefile {

QString save(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // commit() can report success after its own last write failed (the file then cut short):
    // every write and the flush are checked first, and a failure never commits.
    if (file.write(data) != data.size() || !file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return why;
    }
    return file.commit() ? QString() : file.errorString();
}

QString notRegular(const QString &path)
{
    // stat() only: it follows a link to what it names and never waits on a pipe.
    const QFileInfo info(path);
    if (!info.exists() || info.isFile() || info.isDir())
        return QString();
    return QStringLiteral("Это не файл: устройство, канал или сокет");
}

} // namespace safefile
