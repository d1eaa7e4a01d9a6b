#include "power.h"

#include <QLabel>
#include <QList>
#include <QVBoxLayout>

#include <qwt_knob.h>
#include <qwt_scale_div.h>

#include <cmath>

power::power(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);

    knob = new QwtKnob(this);
    knob->setKnobStyle(QwtKnob::Sunken);
    knob->setMarkerStyle(QwtKnob::Dot);
    setMaxValue(3);

    label = new QLabel(this);
    label->setAlignment(Qt::AlignCenter);
    label->setText(QStringLiteral("Мощность"));

    layout->addWidget(knob);
    layout->addWidget(label);
}

power::~power() = default;

// One major tick per level and one knob step per level, over half a turn.
void power::setMaxValue(quint8 n)
{
    QList<double> major;
    for (int i = 0; i <= n; ++i)
        major.append(i);
    knob->setScale(QwtScaleDiv(0.0, n, QList<double>(), QList<double>(), major));
    knob->setTotalAngle(180.0);
    knob->setTotalSteps(n);
}

void power::setValue(quint8 v)
{
    knob->setValue(v);
}

quint16 power::value() const
{
    return quint16(std::trunc(knob->value()));
}
