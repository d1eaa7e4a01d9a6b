#include "massiveadr.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QtTest>

// The table's widgets by their place in the grid: row r of the table is grid row r + 1.
template <typename W>
static W *cell(const MassiveAdr &m, int row, int column)
{
    auto *grid = m.findChild<QGridLayout *>();
    QLayoutItem *item = grid ? grid->itemAtPosition(row + 1, column) : nullptr;
    return item ? qobject_cast<W *>(item->widget()) : nullptr;
}
static QCheckBox *on(const MassiveAdr &m, int r) { return cell<QCheckBox>(m, r, 0); }
static QSpinBox *adr(const MassiveAdr &m, int r) { return cell<QSpinBox>(m, r, 1); }
static QSpinBox *dut(const MassiveAdr &m, int r) { return cell<QSpinBox>(m, r, 2); }
static QCheckBox *in1a(const MassiveAdr &m, int r) { return cell<QCheckBox>(m, r, 3); }

class tst_massiveadr : public QObject
{
    Q_OBJECT

private slots:
    void construction();
    void roundTrip_data();
    void roundTrip();
    void shortRecord_data();
    void shortRecord();
    void in1aClick();
    void in1aCleared_data();
    void in1aCleared();
    void duplicates_data();
    void duplicates();
    void mirrorSignals();
    void setDefault();
};

void tst_massiveadr::construction()
{
    MassiveAdr m;
    QCOMPARE(m.getMassive(), QByteArray(24, '\0'));
    QVERIFY(!m.isDuplicate());
    QVERIFY(on(m, 0)->isChecked());
    QVERIFY(!on(m, 0)->isEnabled());
    for (int r = 0; r < 8; ++r) {
        QVERIFY(on(m, r) && adr(m, r) && dut(m, r) && in1a(m, r));
        QCOMPARE(adr(m, r)->maximum(), 255);
        QCOMPARE(dut(m, r)->minimum(), 0);
    }
    auto *grid = m.findChild<QGridLayout *>();
    QCOMPARE(qobject_cast<QLabel *>(grid->itemAtPosition(0, 1)->widget())->text(),
             QStringLiteral("Адрес"));
    QCOMPARE(qobject_cast<QLabel *>(grid->itemAtPosition(0, 3)->widget())->text(),
             QStringLiteral("In1A"));
}

void tst_massiveadr::roundTrip_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("no In1A") << QByteArray::fromHex("010a0b000c0d01ff00000000010203000000011011000000")
                             << QByteArray::fromHex("010a0b000c0d01ff00000000010203000000011011000000");
    QTest::newRow("In1A row 3") << QByteArray::fromHex("010a0b000c0d01ff00000000010203000000011011010300")
                                << QByteArray::fromHex("010a0b000c0d01ff00000000010203000000011011010300");
    QTest::newRow("In1A row 0") << QByteArray::fromHex("000000000000000000000000000000000000000000010000")
                                << QByteArray::fromHex("000000000000000000000000000000000000000000010000");
    QTest::newRow("all on") << QByteArray::fromHex("01ffff01fefe01fdfd01fcfc01fbfb01fafa01f9f9010700")
                            << QByteArray::fromHex("01ffff01fefe01fdfd01fcfc01fbfb01fafa01f9f9010700");
    // Flags count when positive as signed bytes; the In1A row is taken modulo 8.
    QTest::newRow("flag 2 is on") << QByteArray::fromHex("020102000000000000000000000000000000000000020b00")
                                  << QByteArray::fromHex("010102000000000000000000000000000000000000010300");
    QTest::newRow("flag 0x80 is off") << QByteArray::fromHex("800102000000000000000000000000000000000000800300")
                                      << QByteArray::fromHex("000102000000000000000000000000000000000000000000");
    QTest::newRow("flag 0 ignores the row") << QByteArray::fromHex("000000000000000000000000000000000000000000000500")
                                            << QByteArray::fromHex("000000000000000000000000000000000000000000000000");
}

void tst_massiveadr::roundTrip()
{
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, expected);
    MassiveAdr m;
    m.setMassive(record);
    QCOMPARE(m.getMassive(), expected);
    m.setMassive(m.getMassive());
    QCOMPARE(m.getMassive(), expected);
    QVERIFY(on(m, 0)->isChecked());
}

// A record cut short reads as zeros where it ends.
void tst_massiveadr::shortRecord_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty") << QByteArray()
                           << QByteArray::fromHex("000000000000000000000000000000000000000000000000");
    QTest::newRow("row 1 and half of row 2") << QByteArray::fromHex("0105060107")
                           << QByteArray::fromHex("010506010700000000000000000000000000000000000000");
    QTest::newRow("In1A flag without its row") << QByteArray::fromHex("00000000000000000000000000000000000000000001")
                           << QByteArray::fromHex("000000000000000000000000000000000000000000010000");
}

void tst_massiveadr::shortRecord()
{
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, expected);
    MassiveAdr m;
    m.setMassive(QByteArray::fromHex("01ffff01fefe01fdfd01fcfc01fbfb01fafa01f9f9010700"));
    m.setMassive(record);
    QCOMPARE(m.getMassive(), expected);
}

void tst_massiveadr::in1aClick()
{
    MassiveAdr m;
    in1a(m, 3)->click();
    QCOMPARE(m.getMassive().right(3), QByteArray::fromHex("010300"));
    in1a(m, 5)->click();
    QVERIFY(!in1a(m, 3)->isChecked());
    QCOMPARE(m.getMassive().right(3), QByteArray::fromHex("010500"));
    in1a(m, 5)->click();   // a second click takes the mark off
    QCOMPARE(m.getMassive().right(3), QByteArray::fromHex("000000"));
}

// Any other edit of the table takes the In1A mark off.
void tst_massiveadr::in1aCleared_data()
{
    QTest::addColumn<QString>("edit");
    QTest::newRow("address of row 2") << "adr2";
    QTest::newRow("address of row 5") << "adr5";
    QTest::newRow("ДУТ of row 7") << "dut7";
    QTest::newRow("Вкл. of row 1") << "on1";
    QTest::newRow("main window address") << "slotSetAdr";
    QTest::newRow("main window ДУТ") << "slotSetDut";
}

void tst_massiveadr::in1aCleared()
{
    QFETCH(QString, edit);
    MassiveAdr m;
    in1a(m, 5)->click();
    QCOMPARE(m.getMassive().right(3), QByteArray::fromHex("010500"));

    if (edit == "adr2")
        adr(m, 2)->setValue(9);
    else if (edit == "adr5")
        adr(m, 5)->setValue(9);
    else if (edit == "dut7")
        dut(m, 7)->setValue(3);
    else if (edit == "on1")
        on(m, 1)->click();
    else if (edit == "slotSetAdr")
        m.slotSetAdr(12);
    else
        m.slotSetDut(4);
    QCOMPARE(m.getMassive().right(3), QByteArray::fromHex("000000"));
}

void tst_massiveadr::duplicates_data()
{
    QTest::addColumn<int>("adr0");
    QTest::addColumn<int>("dut0");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("duplicate");

    QTest::newRow("row 1 on, same as row 0") << 5 << 1
        << QByteArray::fromHex("010501000000000000000000000000000000000000000000") << true;
    QTest::newRow("row 1 off, same as row 0") << 5 << 1
        << QByteArray::fromHex("000501000000000000000000000000000000000000000000") << false;
    QTest::newRow("same ДУТ, other address") << 5 << 1
        << QByteArray::fromHex("000000010601000000000000010701000000000000000000") << true;
    QTest::newRow("same address, other ДУТ") << 5 << 1
        << QByteArray::fromHex("010602000000000000000000000000000000010603000000") << true;
    QTest::newRow("row 0 against row 7") << 9 << 9
        << QByteArray::fromHex("010102010203010304010405010506010607010909000000") << true;
    QTest::newRow("all on, all different") << 9 << 9
        << QByteArray::fromHex("010102010203010304010405010506010607010708000000") << false;
    QTest::newRow("equal rows that are off") << 5 << 1
        << QByteArray::fromHex("000202000202000202000000000000000000000000000000") << false;
}

void tst_massiveadr::duplicates()
{
    QFETCH(int, adr0);
    QFETCH(int, dut0);
    QFETCH(QByteArray, record);
    QFETCH(bool, duplicate);
    MassiveAdr m;
    m.slotSetAdr(adr0);
    m.slotSetDut(dut0);
    m.setMassive(record);
    QCOMPARE(m.isDuplicate(), duplicate);
}

// Row 0 follows the main window's spin boxes and tells the window when it changes.
void tst_massiveadr::mirrorSignals()
{
    MassiveAdr m;
    QSignalSpy adrSpy(&m, &MassiveAdr::updateAdr);
    QSignalSpy dutSpy(&m, &MassiveAdr::updateDut);

    m.slotSetAdr(7);
    QCOMPARE(adr(m, 0)->value(), 7);
    QCOMPARE(adrSpy.count(), 1);
    QCOMPARE(adrSpy.at(0).at(0).value<quint8>(), quint8(7));
    m.slotSetAdr(7);   // unchanged: the exchange with the window ends here
    QCOMPARE(adrSpy.count(), 1);

    dut(m, 0)->setValue(200);
    QCOMPARE(dutSpy.count(), 1);
    QCOMPARE(dutSpy.at(0).at(0).value<quint8>(), quint8(200));

    adr(m, 1)->setValue(3);
    dut(m, 1)->setValue(3);
    m.setMassive(QByteArray::fromHex("010909000000000000000000000000000000000000000000"));
    QCOMPARE(adrSpy.count(), 1);
    QCOMPARE(dutSpy.count(), 1);
}

void tst_massiveadr::setDefault()
{
    MassiveAdr m;
    m.slotSetAdr(7);
    m.slotSetDut(2);
    m.setMassive(QByteArray::fromHex("01ffff01fefe01fdfd01fcfc01fbfb01fafa01f9f9010700"));
    QSignalSpy adrSpy(&m, &MassiveAdr::updateAdr);
    QSignalSpy dutSpy(&m, &MassiveAdr::updateDut);

    m.setDefault();
    QCOMPARE(m.getMassive(), QByteArray(24, '\0'));
    QVERIFY(on(m, 0)->isChecked());
    QCOMPARE(adrSpy.count(), 1);
    QCOMPARE(adrSpy.at(0).at(0).value<quint8>(), quint8(0));
    QCOMPARE(dutSpy.count(), 1);
    QCOMPARE(dutSpy.at(0).at(0).value<quint8>(), quint8(0));
}

QTEST_MAIN(tst_massiveadr)
#include "tst_massiveadr.moc"
