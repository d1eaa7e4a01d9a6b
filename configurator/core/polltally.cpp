#include "polltally.h"

#include <QStringList>

bool PollTally::missed(int number, int tries, bool late)
{
    m_late = m_late || late;
    if (++m_tries < tries)
        return false;
    m_tries = 0;
    m_passedOver << number;
    return true;
}

QString PollTally::summary(int periodMs, const QString &settingsPath) const
{
    QStringList parts;
    if (!m_passedOver.isEmpty()) {
        QStringList numbers;
        for (const int n : m_passedOver)
            numbers << QString::number(n);
        parts << QStringLiteral("Нет данных от приемника по передатчикам: %1").arg(numbers.join(QStringLiteral(", ")));
    }
    if (m_late)
        parts << QStringLiteral("записи приходили позже, чем ZaprosResiverTimeMs = %1 мс: увеличьте это значение в %2")
                     .arg(periodMs).arg(settingsPath);
    return parts.join(QStringLiteral("; "));
}
