#include "commissionbar.h"

#include "notelabel.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

// The result keeps its colour on the window's green background: dark green or red, bold.
const char kDone[] = "color: rgb(0, 100, 0); font-weight: bold;";
const char kFailed[] = "color: rgb(200, 0, 0); font-weight: bold;";

} // namespace

CommissionBar::CommissionBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("commissionBar"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);

    m_profile = new QLabel;
    m_profile->setTextFormat(Qt::PlainText);   // a file name is text, never markup
    m_rule = new QComboBox;
    m_rule->addItems({QStringLiteral("Сохранить адрес устройства"), QStringLiteral("Адрес из профиля")});
    m_rule->setToolTip(QStringLiteral("Адрес и номер ДУТ: свои у каждого устройства или из профиля"));
    m_start = new QPushButton(QStringLiteral("Пуск"));
    m_start->setObjectName(QStringLiteral("commissionStart"));
    m_start->setShortcut(Qt::Key_F5);
    m_start->setToolTip(QStringLiteral("Считать устройство, записать профиль и проверить (F5)"));
    m_result = new NoteLabel;   // never widens the window; the whole text is its tooltip
    m_result->setObjectName(QStringLiteral("commissionResult"));
    m_counts = new QLabel;
    auto *finish = new QPushButton(QStringLiteral("Завершить"));
    finish->setToolTip(QStringLiteral("Выйти из режима пусконаладки"));

    row->addWidget(new QLabel(QStringLiteral("Профиль:")));
    row->addWidget(m_profile);
    row->addWidget(m_rule);
    row->addWidget(m_start);
    row->addWidget(m_result, 1);
    row->addWidget(m_counts);
    row->addWidget(finish);
    setCounts(0, 0);

    connect(m_start, &QPushButton::clicked, this, &CommissionBar::startClicked);
    connect(finish, &QPushButton::clicked, this, &CommissionBar::finishClicked);
    connect(m_rule, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { emit ruleChanged(index == 0); });
}

void CommissionBar::setProfile(const QString &file, const QString &comment)
{
    m_profile->setText(QFileInfo(file).fileName());
    m_profile->setToolTip(comment.isEmpty() ? QStringLiteral("Без комментария") : comment);
}

bool CommissionBar::keepAddress() const
{
    return m_rule->currentIndex() == 0;
}

void CommissionBar::setKeepAddress(bool keep)
{
    m_rule->setCurrentIndex(keep ? 0 : 1);
}

void CommissionBar::setRunning()
{
    m_start->setEnabled(false);
    m_result->setStyleSheet(QString());
    m_result->setNote(QStringLiteral("Устройство настраивается…"));
}

void CommissionBar::setResult(const QString &text, bool ok)
{
    m_start->setEnabled(true);
    m_result->setStyleSheet(QLatin1String(ok ? kDone : kFailed));
    m_result->setNote(text);
}

QString CommissionBar::result() const
{
    return m_result->note();
}

void CommissionBar::setCounts(int written, int failed)
{
    m_counts->setText(QStringLiteral("Записано: %1, с ошибками: %2").arg(written).arg(failed));
}
