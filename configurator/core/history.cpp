#include "history.h"

#include "changes.h"
#include "profile.h"

#include <QDir>
#include <QFile>

namespace history {

QString baseName(const QDateTime &time, const QString &port, const proto::DeviceConfig &written)
{
    QString name = port.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
    for (QChar &c : name) {
        if (!(c.unicode() < 128 && c.isLetterOrNumber()) && c != QLatin1Char('-') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    }
    return QStringLiteral("%1_%2_%3-%4_%5")
        .arg(time.toString(QStringLiteral("yyyy-MM-dd_HHmmss")), name,
             written.isReceiver() ? QStringLiteral("receiver") : QStringLiteral("transmitter"))
        .arg(written.version)
        .arg(written.transmitter.deviceAdr);
}

QString save(const QString &folder, const QString &base, const proto::DeviceConfig &before,
             const proto::DeviceConfig &written, QString &error)
{
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("не удалось создать папку %1").arg(QDir::toNativeSeparators(folder));
        return QString();
    }
    // The before file's name is taken by creating the file, which fails when it exists: two
    // writes in the same second, from this program or another, never share a name.
    const QString stem = QDir(folder).filePath(base);
    QString path;
    for (int n = 1; n < 1000; ++n) {
        const QString name = n == 1 ? stem : QStringLiteral("%1-%2").arg(stem).arg(n);
        if (QFile::exists(name + QStringLiteral("_written.json")))
            continue;
        QFile reserve(name + QStringLiteral("_before.json"));
        if (reserve.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            path = name;
            break;
        }
        error = reserve.errorString();
        if (!reserve.exists())   // not taken by another write: it cannot be made at all
            break;
    }
    if (path.isEmpty())
        return QString();
    const QString beforeFile = path + QStringLiteral("_before.json");
    error = profile::writeFile(beforeFile, profile::Profile::fromConfig(before, QStringLiteral("до записи")));
    if (!error.isEmpty()) {
        QFile::remove(beforeFile);   // only the empty file that took the name
        return QString();
    }
    error = profile::writeFile(path + QStringLiteral("_written.json"),
                               profile::Profile::fromConfig(written, QStringLiteral("записано")));
    return error.isEmpty() ? beforeFile : QString();
}

QString readPair(const journal::Line &line, Pair &pair)
{
    constexpr int kBefore = 10;   // "Было"
    if (!line.parsed)
        return QStringLiteral("строка журнала не разобрана");
    if (line.cells.size() <= kBefore)
        return QStringLiteral("строка старого журнала: файлов истории нет");
    const QString cell = line.cells.at(kBefore).trimmed();
    const QString suffix = QStringLiteral("_before.json");
    if (cell.isEmpty() || cell == QStringLiteral("—"))
        return QStringLiteral("значения устройства до записи не сохранены");
    if (!cell.endsWith(suffix))
        return QStringLiteral("в столбце «Было» не файл истории: %1").arg(cell);
    pair.beforeFile = QDir::fromNativeSeparators(cell);
    const QString writtenFile = pair.beforeFile.left(pair.beforeFile.size() - suffix.size()) + QStringLiteral("_written.json");
    for (const QString &file : {pair.beforeFile, writtenFile}) {
        const QString error = profile::readFile(file, file == writtenFile ? pair.written : pair.before);
        if (!error.isEmpty())
            return QStringLiteral("файл %1 не прочитан: %2").arg(QDir::toNativeSeparators(file), error);
    }
    if (pair.before.deviceType != pair.written.deviceType)
        return QStringLiteral("файлы пары сохранены для разных устройств");
    return QString();
}

QStringList changesOf(const QString &why, const Pair &pair)
{
    if (!why.isEmpty())
        return {QStringLiteral("— ") + why};
    QStringList out;
    for (const proto::Change &c : proto::changes(pair.before.values, pair.written.values))
        out << proto::changeText(c);
    if (out.isEmpty())
        out << QStringLiteral("— запись не изменила ни одного значения");
    return out;
}

} // namespace history
