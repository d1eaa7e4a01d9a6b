#include "commissionbar.h"

#include "notelabel.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {

// The result keeps its colour on the window's green background: dark green or red, bold.
const char kDone[] = "color: rgb(0, 100, 0); font-weight: bold;";
const char kFailed[] = "color: rgb(200, 0, 0); font-weight: bold;";
const char kAmber[] = "color: rgb(170, 95, 0); font-weight: bold;";

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
    m_rule->addItems({QStringLiteral("Сохранить адрес устройства"), QStringLiteral("Адрес из профиля"),
                      QStringLiteral("Следующий свободный, начиная с")});
    m_rule->setToolTip(QStringLiteral("Адрес и номер ДУТ: свои у каждого устройства или из профиля; или адрес, "
                                      "ещё не записанный с этим профилем по журналу и не занятый другим "
                                      "конфигуратором, номер ДУТ из профиля"));
    m_from = new QSpinBox;
    m_from->setObjectName(QStringLiteral("commissionAddressFrom"));
    m_from->setRange(1, 253);
    m_from->setToolTip(QStringLiteral("Первый адрес, с которого искать свободный"));
    m_from->hide();
    m_receiver = new QLabel(QStringLiteral("Приемник: адрес 254, правила адреса не действуют"));
    m_receiver->hide();
    m_start = new QPushButton(QStringLiteral("Пуск"));
    m_start->setObjectName(QStringLiteral("commissionStart"));
    m_start->setShortcut(Qt::Key_F5);
    m_start->setToolTip(QStringLiteral("Считать устройство, записать профиль и проверить (F5)"));
    m_result = new NoteLabel;   // never widens the window; the whole text is its tooltip
    m_result->setObjectName(QStringLiteral("commissionResult"));
    m_note = new NoteLabel;
    m_note->setObjectName(QStringLiteral("commissionNote"));
    m_note->setStyleSheet(QLatin1String(kAmber));
    m_note->hide();
    m_counts = new QLabel;
    auto *finish = new QPushButton(QStringLiteral("Завершить"));
    finish->setToolTip(QStringLiteral("Выйти из режима пусконаладки"));

    row->addWidget(new QLabel(QStringLiteral("Профиль:")));
    row->addWidget(m_profile);
    row->addWidget(m_rule);
    row->addWidget(m_from);
    row->addWidget(m_receiver);
    row->addWidget(m_start);
    row->addWidget(m_result, 2);
    row->addWidget(m_note, 1);
    row->addWidget(m_counts);
    row->addWidget(finish);
    setCounts(0, 0);

    connect(m_start, &QPushButton::clicked, this, &CommissionBar::startClicked);
    connect(finish, &QPushButton::clicked, this, &CommissionBar::finishClicked);
    connect(m_rule, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        m_from->setVisible(index == int(Rule::NextFree));
        emit ruleChanged();
    });
    connect(m_from, QOverload<int>::of(&QSpinBox::valueChanged), this, &CommissionBar::ruleChanged);
}

void CommissionBar::setProfile(const QString &file, const QString &comment)
{
    m_profile->setText(QFileInfo(file).fileName());
    m_profile->setToolTip(comment.isEmpty() ? QStringLiteral("Без комментария") : comment);
}

CommissionBar::Rule CommissionBar::rule() const
{
    return Rule(m_rule->currentIndex());
}

int CommissionBar::addressFrom() const
{
    return m_from->value();
}

void CommissionBar::setRule(Rule rule, int from)
{
    m_from->setValue(from);
    m_rule->setCurrentIndex(int(rule));
}

void CommissionBar::setReceiver(bool receiver)
{
    m_rule->setVisible(!receiver);
    m_from->setVisible(!receiver && rule() == Rule::NextFree);
    m_receiver->setVisible(receiver);
}

void CommissionBar::setRunning()
{
    m_start->setEnabled(false);
    m_result->setStyleSheet(QString());
    m_result->setNote(QStringLiteral("Устройство настраивается…"));
    setNote(QString());
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

void CommissionBar::setNote(const QString &text)
{
    m_note->setNote(text);
    m_note->setVisible(!text.isEmpty());
}

QString CommissionBar::note() const
{
    return m_note->note();
}

void CommissionBar::setCounts(int written, int failed)
{
    m_counts->setText(QStringLiteral("Записано: %1, с ошибками: %2").arg(written).arg(failed));
}
