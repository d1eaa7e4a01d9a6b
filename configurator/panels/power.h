#pragma once

#include <QWidget>

class QLabel;
class QwtKnob;

// The transmit power knob: a Qwt knob over 0..n with the caption "Мощность" under it.
class power : public QWidget
{
    Q_OBJECT
public:
    explicit power(QWidget *parent = nullptr);
    ~power() override;

    void setMaxValue(quint8 n);
    void setValue(quint8 v);
    quint16 value() const;   // the knob's value truncated toward zero

private:
    QLabel *label = nullptr;
    QwtKnob *knob = nullptr;
};
