#include "exchangelog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

ExchangeLog::ExchangeLog(const QString &path, QObject *parent)
    : QObject(parent)
    , logFile(new QFile(path, this))
{
    logFile->open(QIODevice::WriteOnly);   // empties the last run's log; a failure only loses the log
}

QString ExchangeLog::failure() const
{
    if (logFile->isOpen())
        return QString();
    return QStringLiteral("Журнал обмена не записывается: %1 (%2)")
        .arg(QDir::toNativeSeparators(QFileInfo(*logFile).absoluteFilePath()), logFile->errorString());
}

void ExchangeLog::writeRequest(const QByteArray &data, quint8 attemptsLeft)
{
    const char attempt = char(53 - attemptsLeft);
    write(attempt + QByteArray("------->\r\n") + data + "\r\n");
    emit blockWritten(attempt, data);
}

void ExchangeLog::writeReply(const QByteArray &batch)
{
    write("<-------\r\n" + batch + "\r\n");
    emit blockWritten(0, batch);
}

void ExchangeLog::setLimitMb(int megabytes)
{
    limitMb = megabytes > 0 ? megabytes : kDefaultLimitMb;
}

void ExchangeLog::write(const QByteArray &block)
{
    if (!logFile->isOpen() || full)
        return;
    if (written + block.size() > qint64(limitMb) << 20) {
        full = true;
        logFile->write(QStringLiteral("\r\n[log.txt достиг %1 МБ (MaxLogMb в settings.conf): дальнейший обмен "
                                      "не записан]\r\n").arg(limitMb).toUtf8());
        logFile->flush();
        emit limitReached(limitMb);
        return;
    }
    written += qMax<qint64>(0, logFile->write(block));
    logFile->flush();
}
