#include "massiveadr.h"

#include <QCheckBox>
#include <QGridLayout>
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

static const QByteArray AllOn = QByteArray::fromHex("01ffff01fefe01fdfd01fcfc01fbfb01fafa01f9f9010700");

class tst_massiveadr : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void in1aMark_data();
    void in1aMark();
    void duplicates_data();
    void duplicates();
    void mirrorSignalsAndDefault();
};

// Every row starts from a full table; a record cut short reads as zeros where it ends.
void tst_massiveadr::roundTrip_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("In1A row 3") << QByteArray::fromHex("010a0b000c0d01ff00000000010203000000011011010300")
                                << QByteArray::fromHex("010a0b000c0d01ff00000000010203000000011011010300");
    QTest::newRow("In1A row 0") << QByteArray::fromHex("000000000000000000000000000000000000000000010000")
                                << QByteArray::fromHex("000000000000000000000000000000000000000000010000");
    // Flags count when positive as signed bytes; the In1A row is taken modulo 8.
    QTest::newRow("flag 2 is on") << QByteArray::fromHex("020102000000000000000000000000000000000000020b00")
                                  << QByteArray::fromHex("010102000000000000000000000000000000000000010300");
    QTest::newRow("flag 0x80 is off") << QByteArray::fromHex("800102000000000000000000000000000000000000800300")
                                      << QByteArray::fromHex("000102000000000000000000000000000000000000000000");
    QTest::newRow("empty") << QByteArray()
                           << QByteArray::fromHex("000000000000000000000000000000000000000000000000");
    QTest::newRow("row 1 and half of row 2") << QByteArray::fromHex("0105060107")
                           << QByteArray::fromHex("010506010700000000000000000000000000000000000000");
    QTest::newRow("In1A flag without its row") << QByteArray::fromHex("00000000000000000000000000000000000000000001")
                           << QByteArray::fromHex("000000000000000000000000000000000000000000010000");
}

void tst_massiveadr::roundTrip()
{
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, expected);
    MassiveAdr m;
    m.setMassive(AllOn);
    m.setMassive(record);
    QCOMPARE(m.getMassive(), expected);
    QVERIFY(on(m, 0)->isChecked());
}

// One In1A mark at most: a click on row 3 then row 5 leaves row 5; a second click on it, or
// any other edit of the table, takes it off.
void tst_massiveadr::in1aMark_data()
{
    QTest::addColumn<QString>("edit");
    QTest::newRow("row 5 again") << "in1a5";
    QTest::newRow("address of row 2") << "adr2";
    QTest::newRow("ДУТ of row 7") << "dut7";
    QTest::newRow("Вкл. of row 1") << "on1";
    QTest::newRow("main window address") << "slotSetAdr";
}

void tst_massiveadr::in1aMark()
{
    QFETCH(QString, edit);
    MassiveAdr m;
    in1a(m, 3)->click();
    QCOMPARE(m.getMassive().right(3), QByteArray::fromHex("010300"));
    in1a(m, 5)->click();
    QVERIFY(!in1a(m, 3)->isChecked());
    QCOMPARE(m.getMassive().right(3), QByteArray::fromHex("010500"));

    if (edit == "in1a5")
        in1a(m, 5)->click();
    else if (edit == "adr2")
        adr(m, 2)->setValue(9);
    else if (edit == "dut7")
        dut(m, 7)->setValue(3);
    else if (edit == "on1")
        on(m, 1)->click();
    else
        m.slotSetAdr(12);
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

// Row 0 follows the main window's spin boxes and tells the window when the user changes it.
void tst_massiveadr::mirrorSignalsAndDefault()
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

    // Rows 1..7 and a record loaded from the controller say nothing to the window.
    adr(m, 1)->setValue(3);
    dut(m, 1)->setValue(3);
    m.setMassive(AllOn);
    QCOMPARE(adrSpy.count(), 1);
    QCOMPARE(dutSpy.count(), 1);

    // "По умолчанию" empties the table and puts the window back to address 0, ДУТ 0.
    m.setDefault();
    QCOMPARE(m.getMassive(), QByteArray(24, '\0'));
    QVERIFY(on(m, 0)->isChecked());
    QCOMPARE(adrSpy.count(), 2);
    QCOMPARE(adrSpy.at(1).at(0).value<quint8>(), quint8(0));
    QCOMPARE(dutSpy.count(), 2);
    QCOMPARE(dutSpy.at(1).at(0).value<quint8>(), quint8(0));
}

QTEST_MAIN(tst_massiveadr)
#include "tst_massiveadr.moc"
