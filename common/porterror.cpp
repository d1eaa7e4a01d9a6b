#include "porterror.h"

#include <QCoreApplication>

namespace {

QString russianReason(QSerialPort::SerialPortError error, const QString &systemText)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("порт не найден");
    case QSerialPort::PermissionError:
        // The port's lock file belongs to a running program; otherwise the device is not ours.
        if (systemText.contains(QLatin1String("lock"), Qt::CaseInsensitive)
            || systemText.contains(QLatin1String("busy"), Qt::CaseInsensitive))
            return QStringLiteral("порт занят другой программой");
#ifdef Q_OS_LINUX
        return QStringLiteral("нет прав на порт: добавьте пользователя в группу dialout "
                              "(sudo usermod -aG dialout $USER) и войдите в систему заново");
#else
        return QStringLiteral("нет прав на порт или он занят другой программой");
#endif
    case QSerialPort::OpenError:
        return QStringLiteral("порт уже открыт");
    case QSerialPort::NotOpenError:
        return QStringLiteral("порт не открыт");
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("это устройство не последовательный порт или не принимает его настройки");
    case QSerialPort::ResourceError:
        return QStringLiteral("устройство отключено или больше не отвечает");
    case QSerialPort::ReadError:
        return QStringLiteral("ошибка чтения из порта, устройство отключено?");
    case QSerialPort::WriteError:
        return QStringLiteral("ошибка записи в порт");
    case QSerialPort::TimeoutError:
        return QStringLiteral("порт не ответил вовремя");
    case QSerialPort::ParityError:
        return QStringLiteral("ошибка чётности");
    case QSerialPort::FramingError:
        return QStringLiteral("ошибка кадра");
    case QSerialPort::BreakConditionError:
        return QStringLiteral("обрыв линии");
    case QSerialPort::NoError:
    case QSerialPort::UnknownError:
        break;
    }
    return QStringLiteral("неизвестная ошибка");
}

// Qt's placeholder for "no text from the system" says nothing the Russian reason does not.
bool saysNothing(const QString &systemText)
{
    return systemText.isEmpty() || systemText == QLatin1String("Unknown error")
           || systemText == QCoreApplication::translate("QIODevice", "Unknown error");
}

} // namespace

QString portErrorReason(QSerialPort::SerialPortError error, const QString &systemText)
{
    const QString reason = russianReason(error, systemText);
    if (saysNothing(systemText))
        return reason;
    return QStringLiteral("%1 (%2)").arg(reason, systemText);
}

QString portOpenFailedText(const QString &port, QSerialPort::SerialPortError error, const QString &systemText)
{
    return QStringLiteral("Не удалось открыть порт %1: %2").arg(port, portErrorReason(error, systemText));
}

QString portLostText(const QString &port, QSerialPort::SerialPortError error, const QString &systemText)
{
    return QStringLiteral("Связь с портом %1 потеряна: %2").arg(port, portErrorReason(error, systemText));
}
