#include "paceoption.h"
#include "usersettings.h"

#include <QAction>
#include <QFileInfo>
#include <QSettings>

namespace {

const char *const kUserKey = "exchange/fast";


} // namespace

PaceOption::PaceOption(const QString &settingsConf, QObject *parent)
    : QObject(parent), m_action(new QAction(QStringLiteral("Быстрый обмен"), this))
{
    m_action->setCheckable(true);
    m_action->setToolTip(QStringLiteral("Решать шаг, как только ответ пришёл целиком и линия затихла, "
                                        "а не ждать весь период опроса"));
    const QSettings file(settingsConf, QSettings::IniFormat);
    bool ok = false;
    const int gap = file.value(QStringLiteral("settings/ZaprosGapMs")).toInt(&ok);
    if (ok && gap > 0 && gap <= 10000)
        m_gapMs = gap;
    const QVariant fixed = file.value(QStringLiteral("settings/FastExchange"));
    const int value = fixed.toInt(&ok);
    if (fixed.isValid() && ok && (value == 0 || value == 1)) {
        m_fixed = true;
        m_action->setChecked(value == 1);
        m_action->setEnabled(false);
        m_action->setToolTip(QStringLiteral("Задано параметром FastExchange в %1")
                                 .arg(QFileInfo(settingsConf).absoluteFilePath()));
    } else {
        m_action->setChecked(UserSettings().value(QLatin1String(kUserKey), false).toBool());
    }
    connect(m_action, &QAction::toggled, this, [this](bool on) {
        if (!m_fixed)
            UserSettings().setValue(QLatin1String(kUserKey), on);
    });
}

bool PaceOption::fast() const
{
    return m_action->isChecked() || (m_commissioning && !m_fixed);
}
