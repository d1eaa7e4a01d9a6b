#include "writereport.h"

#include "protocol.h"

QString resultWord(steps::WriteResult r)
{
    using R = steps::WriteResult;
    switch (r) {
    case R::Checked: return QStringLiteral("проверено");
    case R::PassedOver: return QStringLiteral("пропуски");
    case R::Differs: return QStringLiteral("расхождения");
    case R::NotChecked: return QStringLiteral("не проверено");
    case R::Cancelled: return QStringLiteral("отменено");
    case R::Stopped: break;
    case R::Lost: return QStringLiteral("связь потеряна");
    }
    return QStringLiteral("остановлено");
}

namespace {

void add(QStringList &list, const QString &s)
{
    if (!list.contains(s))
        list << s;
}

QString registerName(ActionType step)
{
    const int reg = steps::step(step).reg;
    return reg ? QStringLiteral("S%1").arg(reg) : QString();
}

} // namespace

void WriteReport::start(quint8 deviceType)
{
    *this = WriteReport();
    m_table = deviceType == proto::Receiver ? QStringLiteral("адреса опрашиваемых передатчиков")
                                            : QStringLiteral("таблица адресов");
}

void WriteReport::again(End otherwise)
{
    m_otherwise = otherwise;
    m_skipped.clear();
    m_commandMode = false;
}

void WriteReport::sent(ActionType step)
{
    switch (step) {
    case ActionType::saveSimParam: add(m_sent, QStringLiteral("+++")); break;
    case ActionType::saveSimParam4: add(m_sent, QStringLiteral("ATO")); break;
    case ActionType::saveMassive: add(m_sent, m_table); m_frames = true; break;
    case ActionType::saveSetting: add(m_sent, QStringLiteral("настройки контроллера")); m_frames = true; break;
    case ActionType::checkSetting:
    case ActionType::checkMassive: add(m_sent, QStringLiteral("контрольное чтение")); break;
    default:
        if (!registerName(step).isEmpty())
            add(m_sent, registerName(step));
        break;
    }
}

void WriteReport::accepted(ActionType step)
{
    if (!registerName(step).isEmpty())
        add(m_accepted, registerName(step));
}

void WriteReport::passedOver(ActionType step)
{
    if (step == ActionType::saveSimParam4)
        m_commandMode = true;
    if (!registerName(step).isEmpty())
        add(m_skipped, registerName(step));
}

void WriteReport::failed(const QString &cause)
{
    m_causes << cause;
}

steps::WriteResult WriteReport::finish(End how)
{
    using R = steps::WriteResult;
    // No after the table and the record have left (a second pass) leaves the first pass's end.
    if (how == End::Declined && m_frames)
        how = m_otherwise;
    switch (how) {
    case End::Agrees: m_result = m_skipped.isEmpty() && !m_commandMode ? R::Checked : R::PassedOver; break;
    case End::Differs: m_result = R::Differs; break;
    case End::Unchecked: m_result = R::NotChecked; break;
    case End::Declined: m_result = R::Cancelled; break;
    case End::Stopped: m_result = R::Stopped; break;
    case End::Lost: m_result = R::Lost; break;
    }
    return m_result;
}

QString WriteReport::status(const QString &device, const QString &elapsed) const
{
    using R = steps::WriteResult;
    const QString skipped = (m_skipped.isEmpty() ? QString()
                             : QStringLiteral("; не записаны в радиомодуль: %1").arg(m_skipped.join(QStringLiteral(", "))))
        + (m_commandMode ? QStringLiteral("; радиомодуль может остаться в режиме команд") : QString());
    const char *text = nullptr;
    switch (m_result) {
    case R::Checked: text = "Записано и проверено: %1%2%3"; break;
    case R::PassedOver: text = "Записано с пропусками: %1%2%3"; break;
    case R::Differs: text = "Записано с расхождениями: %1%2%3"; break;
    case R::NotChecked: text = "Запись не проверена: %1%2%3"; break;
    case R::Cancelled: return QStringLiteral("Запись отменена: таблица и настройки не отправлены");
    case R::Stopped:
    case R::Lost: return QString();
    }
    return QString::fromUtf8(text).arg(device, elapsed, skipped);
}

QString WriteReport::sentText() const
{
    return m_sent.isEmpty() ? QStringLiteral("ничего") : m_sent.join(QStringLiteral(", "));
}

QString WriteReport::details() const
{
    using R = steps::WriteResult;
    QStringList out = m_causes;
    if (m_result == R::Cancelled)
        out << (m_accepted.isEmpty()
                    ? QStringLiteral("в радиомодуль ничего не записано")
                    : QStringLiteral("в радиомодуль записаны: %1").arg(m_accepted.join(QStringLiteral(", "))));
    if (m_result == R::Stopped || m_result == R::Lost)
        out << QStringLiteral("отправлено до %1: %2")
                   .arg(m_result == R::Lost ? QStringLiteral("обрыва") : QStringLiteral("остановки"), sentText());
    return out.join(QStringLiteral("; "));
}
