#include "journal.h"

#include "csv.h"
#include "protocol.h"
#include "writereport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringList>

namespace journal {

namespace {

QByteArray join(const QStringList &fields)
{
    return csv::line(fields).toUtf8();
}

QString orDash(const QString &s)
{
    return s.isEmpty() ? QStringLiteral("—") : s;
}

} // namespace

QString defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/journal.csv");
}

QStringList columns()
{
    return {QStringLiteral("Время"), QStringLiteral("Порт"), QStringLiteral("Устройство"), QStringLiteral("Версия"),
            QStringLiteral("Адрес"), QStringLiteral("Профиль"), QStringLiteral("Результат"),
            QStringLiteral("Изменено"), QStringLiteral("Пропущено"), QStringLiteral("Подробности"),
            QStringLiteral("Было")};
}

QByteArray header()
{
    return join(columns());
}

QByteArray line(const Entry &e)
{
    const QString device = e.deviceType == proto::Receiver ? QStringLiteral("Приемник")
                         : e.deviceType == proto::Transmitter ? QStringLiteral("Передатчик") : QStringLiteral("—");
    return join({e.time.toString(QLatin1String(kTimeFormat)), e.port, device, QString::number(e.version),
                 QString::number(e.address), orDash(e.profile), resultWord(e.result), orDash(e.changed),
                 orDash(e.skipped), orDash(e.details), orDash(e.before)});
}

bool underLock(const QString &path, const std::function<void()> &work)
{
    // Held only for a few file operations: a lock older than 10 s belongs to a program that died.
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(3000))
        return false;
    work();
    return true;
}

QString append(const QString &path, const Entry &e)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString error = QStringLiteral("занят другой программой");
    underLock(path, [&] {
        // Unbuffered: the line leaves in one write.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            error = file.errorString();
            return;
        }
        // A byte order mark first, so that spreadsheets take the file as UTF-8.
        const qint64 before = file.size();
        const QByteArray text = (before == 0 ? "\xEF\xBB\xBF" + header() : QByteArray()) + line(e);
        if (file.write(text) == text.size()) {
            error.clear();
            return;
        }
        error = file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("записана не вся строка");
        file.resize(before);   // a full disk leaves no half line for the next entry to run on from
    });
    return error;
}

} // namespace journal
