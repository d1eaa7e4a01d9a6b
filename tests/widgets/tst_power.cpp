#include "power.h"

#include <QLabel>
#include <QtTest>

#include <qwt_knob.h>
#include <qwt_scale_div.h>

class tst_power : public QObject
{
    Q_OBJECT

private slots:
    void construction();
    void scale_data();
    void scale();
    void value_data();
    void value();
    void valueTruncates();
};

void tst_power::construction()
{
    power p;
    auto *knob = p.findChild<QwtKnob *>();
    QVERIFY(knob);
    QCOMPARE(knob->knobStyle(), QwtKnob::Sunken);
    QCOMPARE(knob->markerStyle(), QwtKnob::Dot);
    QCOMPARE(knob->scaleDiv().upperBound(), 3.0);
    QCOMPARE(p.value(), quint16(0));
    auto *label = p.findChild<QLabel *>();
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Мощность"));
    QCOMPARE(label->alignment(), Qt::Alignment(Qt::AlignCenter));
}

void tst_power::scale_data()
{
    QTest::addColumn<int>("max");
    QTest::newRow("levels 0..7") << 7;
    QTest::newRow("levels 0..3") << 3;
    QTest::newRow("levels 0..1") << 1;
}

void tst_power::scale()
{
    QFETCH(int, max);
    power p;
    p.setMaxValue(quint8(max));
    auto *knob = p.findChild<QwtKnob *>();
    const QwtScaleDiv div = knob->scaleDiv();
    QList<double> ticks;
    for (int i = 0; i <= max; ++i)
        ticks.append(i);
    QCOMPARE(div.lowerBound(), 0.0);
    QCOMPARE(div.upperBound(), double(max));
    QCOMPARE(div.ticks(QwtScaleDiv::MajorTick), ticks);
    QVERIFY(div.ticks(QwtScaleDiv::MediumTick).isEmpty());
    QVERIFY(div.ticks(QwtScaleDiv::MinorTick).isEmpty());
    QCOMPARE(knob->totalAngle(), 180.0);
    QCOMPARE(knob->totalSteps(), uint(max));
}

void tst_power::value_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("expected");
    QTest::newRow("end of travel") << 7 << 7;
    QTest::newRow("start") << 0 << 0;
    QTest::newRow("middle") << 4 << 4;
    QTest::newRow("above the scale") << 9 << 7;
}

void tst_power::value()
{
    QFETCH(int, set);
    QFETCH(int, expected);
    power p;
    p.setMaxValue(7);
    p.setValue(quint8(set));
    QCOMPARE(p.value(), quint16(expected));
}

// A knob left between steps (dragged without alignment) reads as the level below.
void tst_power::valueTruncates()
{
    power p;
    p.setMaxValue(7);
    auto *knob = p.findChild<QwtKnob *>();
    knob->setStepAlignment(false);
    knob->setValue(5.9);
    QCOMPARE(p.value(), quint16(5));
}

QTEST_MAIN(tst_power)
#include "tst_power.moc"
