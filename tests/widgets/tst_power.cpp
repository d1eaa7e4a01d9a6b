#include "power.h"

#include <QtTest>

#include <qwt_knob.h>
#include <qwt_scale_div.h>

class tst_power : public QObject
{
    Q_OBJECT

private slots:
    void scale();
    void value_data();
    void value();
};

// Levels 0..7: one major tick each and nothing between, so the knob only stops on whole levels.
void tst_power::scale()
{
    const int max = 7;
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
    QCOMPARE(knob->totalSteps(), uint(max));
}

void tst_power::value_data()
{
    QTest::addColumn<double>("set");
    QTest::addColumn<bool>("free");
    QTest::addColumn<int>("expected");
    QTest::newRow("start") << 0.0 << false << 0;
    QTest::newRow("end of travel") << 7.0 << false << 7;
    QTest::newRow("above the scale") << 9.0 << false << 7;
    // A knob left between steps (dragged without alignment) reads as the level below.
    QTest::newRow("between steps") << 5.9 << true << 5;
}

void tst_power::value()
{
    QFETCH(double, set);
    QFETCH(bool, free);
    QFETCH(int, expected);
    power p;
    p.setMaxValue(7);
    auto *knob = p.findChild<QwtKnob *>();
    knob->setStepAlignment(!free);
    if (free)
        knob->setValue(set);
    else
        p.setValue(quint8(set));
    QCOMPARE(p.value(), quint16(expected));
}

QTEST_MAIN(tst_power)
#include "tst_power.moc"
