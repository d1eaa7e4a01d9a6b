#include "journal.h"

#include "csv.h"
#include "protocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace journal {

namespace {

QByteArray join(const QStringList &fields)
{
    return csv::line(fields).toUtf8();
}

QString resultText(int result)
{
    switch (result) {
    case 0: return QStringLiteral("проверено");
    case 1: return QStringLiteral("расхождения");
    case 2: return QStringLiteral("не проверено");
    default: return QStringLiteral("остановлено");
    }
}

} // namespace

QString defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/journal.csv");
}

QByteArray header()
{
    return join({QStringLiteral("Время"), QStringLiteral("Порт"), QStringLiteral("Устройство"), QStringLiteral("Версия"),
                 QStringLiteral("Адрес"), QStringLiteral("Профиль"), QStringLiteral("Результат")});
}

QByteArray line(const Entry &e)
{
    const QString device = e.deviceType == proto::Receiver ? QStringLiteral("Приемник")
                         : e.deviceType == proto::Transmitter ? QStringLiteral("Передатчик") : QStringLiteral("—");
    return join({e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), e.port, device, QString::number(e.version),
                 QString::number(e.address), e.profile.isEmpty() ? QStringLiteral("—") : e.profile,
                 resultText(e.result)});
}

bool append(const QString &path, const Entry &e)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Unbuffered: the line leaves in one write, so a crash cannot leave half of it.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    // A byte order mark first, so that spreadsheets take the file as UTF-8.
    const qint64 before = file.size();
    const QByteArray text = (before == 0 ? "\xEF\xBB\xBF" + header() : QByteArray()) + line(e);
    if (file.write(text) == text.size())
        return true;
    file.resize(before);   // a full disk leaves no half line for the next entry to run on from
    return false;
}

} // namespace journal
