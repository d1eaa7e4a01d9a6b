// The panels alone under the offscreen platform: the power knob, the receiver panel, the
// address table and the transmitter data table.

#include "adjview.h"
#include "massiveadr.h"
#include "power.h"
#include "resiver.h"
#include "resiverinfo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QtTest>

#include <qwt_knob.h>
#include <qwt_scale_div.h>

#include <vector>

namespace {

QByteArray hex(const char *h) { return QByteArray::fromHex(h); }

// The address table's widgets by their place in the grid: row r of the table is grid row r + 1.
template <typename W>
W *cell(const MassiveAdr &m, int row, int column)
{
    return qobject_cast<W *>(m.findChild<QGridLayout *>()->itemAtPosition(row + 1, column)->widget());
}

// The receiver panel's checked transmitters: the form's boxes "00".."15", then "16".."255".
QList<int> checked(const resiver &r)
{
    QList<int> list;
    for (QCheckBox *b : r.findChildren<QCheckBox *>()) {
        if (b->isChecked() && !b->text().isEmpty() && b->text().at(0).isDigit())
            list << b->text().toInt();
    }
    std::sort(list.begin(), list.end());
    return list;
}

const QByteArray kAllOn = hex("01ffff01fefe01fdfd01fcfc01fbfb01fafa01f9f9010700");

} // namespace

using Routes = QList<int>;   // the transmitters routed to outputs Ч/Д 1, Ч/Д 2, А/Д 1, А/Д 2

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    // Levels 0..7, one major tick each and nothing between: the knob only stops on whole
    // levels, and one left between steps reads as the level below.
    void powerKnob()
    {
        power p;
        p.setMaxValue(7);
        auto *knob = p.findChild<QwtKnob *>();
        const QwtScaleDiv div = knob->scaleDiv();
        QCOMPARE(div.ticks(QwtScaleDiv::MajorTick), (QList<double>{0, 1, 2, 3, 4, 5, 6, 7}));
        QVERIFY(div.ticks(QwtScaleDiv::MediumTick).isEmpty() && div.ticks(QwtScaleDiv::MinorTick).isEmpty());
        QCOMPARE(knob->totalSteps(), 7u);
        p.setValue(9);
        QCOMPARE(p.value(), quint16(7));
        knob->setStepAlignment(false);
        knob->setValue(5.9);
        QCOMPARE(p.value(), quint16(5));
    }

    void receiverMasks_data()
    {
        QTest::addColumn<int>("mask0");
        QTest::addColumn<int>("mask1");
        QTest::addColumn<QByteArray>("map");
        QTest::addColumn<QList<int>>("checked");
        QTest::newRow("lowest bits") << 0x01 << 0x01 << hex("01") << QList<int>{0, 8, 16};
        QTest::newRow("mixed") << 0x29 << 0x82 << hex("0300000000000000000000000000008000000000000000000000000000c0")
                               << QList<int>{0, 3, 5, 9, 15, 16, 17, 143, 254, 255};
        QTest::newRow("32-byte map cut at 30") << 0x00 << 0x00
            << hex("0000000000000000000000000000000000000000000000000000000000ffffff") << QList<int>{248, 249, 250, 251, 252, 253, 254, 255};
    }
    // From all boxes checked: the masks set every box, a short map clears the boxes past its
    // end and a long one is cut at 30 bytes.
    void receiverMasks()
    {
        QFETCH(int, mask0);
        QFETCH(int, mask1);
        QFETCH(QByteArray, map);
        resiver r;
        r.fillAll();
        r.setAdrMask0(quint8(mask0));
        r.setAdrMask1(quint8(mask1));
        r.setAdrMaskExt(map);
        QTEST(checked(r), "checked");
        QCOMPARE(int(r.getAdrMask0()) | r.getAdrMask1() << 8, mask0 | mask1 << 8);
        QCOMPARE(r.getAdrMaskExt(), map.leftJustified(30, '\0', true));
    }

    // "Выбрать все" reaches the disabled wide addresses too, "Очистить все" keeps address 0;
    // the output lists offer 0..n, and an index they lack keeps the choice.
    void receiverButtonsAndLists()
    {
        resiver r;
        QTest::mousePress(r.findChild<QPushButton *>("pbFill"), Qt::LeftButton);
        QCOMPARE(checked(r).size(), 256);
        QTest::mousePress(r.findChild<QPushButton *>("pbClear"), Qt::LeftButton);
        QCOMPARE(checked(r), QList<int>{0});
        for (int n : {15, 255}) {
            r.setAn2(9);
            r.setMaxAdr(quint8(n));
            for (const char *name : {"comboBoxFq1", "comboBoxFq2", "comboBoxAn1", "comboBoxAn2"}) {
                auto *c = r.findChild<QComboBox *>(name);
                QCOMPARE(c->count(), n + 1);
                QCOMPARE(c->currentIndex(), 0);
            }
            r.setFq2(quint8(n));
            r.setFq2(16);
            QCOMPARE(r.getFq2(), n == 15 ? 15 : 16);
        }
    }

    void addressTable_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("In1A row 3") << hex("010a0b000c0d01ff00000000010203000000011011010300")
                                    << hex("010a0b000c0d01ff00000000010203000000011011010300");
        // Flags count when positive as signed bytes; the In1A row is taken modulo 8.
        QTest::newRow("flag 2 is on") << hex("020102000000000000000000000000000000000000020b00")
                                      << hex("010102000000000000000000000000000000000000010300");
        QTest::newRow("flag 0x80 is off") << hex("800102000000000000000000000000000000000000800300")
                                          << hex("000102000000000000000000000000000000000000000000");
        QTest::newRow("row 1 and half of row 2") << hex("0105060107") << hex("010506010700000000000000000000000000000000000000");
    }
    // From a full table: a record cut short reads as zeros where it ends.
    void addressTable()
    {
        QFETCH(QByteArray, record);
        MassiveAdr m;
        m.setMassive(kAllOn);
        m.setMassive(record);
        QTEST(m.getMassive(), "expected");
    }

    void in1aMark_data()
    {
        QTest::addColumn<int>("edit");
        QTest::newRow("row 5 again") << 0;
        QTest::newRow("address of row 2") << 1;
        QTest::newRow("main window address") << 3;
    }
    // One In1A mark at most: a click on row 3 then row 5 leaves row 5; a second click on it, or
    // any other edit of the table, takes it off.
    void in1aMark()
    {
        QFETCH(int, edit);
        MassiveAdr m;
        cell<QCheckBox>(m, 3, 3)->click();
        QCOMPARE(m.getMassive().right(3), hex("010300"));
        cell<QCheckBox>(m, 5, 3)->click();
        QCOMPARE(m.getMassive().right(3), hex("010500"));
        if (edit == 0)
            cell<QCheckBox>(m, 5, 3)->click();
        else if (edit == 3)
            m.slotSetAdr(12);
        else
            cell<QSpinBox>(m, edit == 1 ? 2 : 7, edit)->setValue(9);
        QCOMPARE(m.getMassive().right(3), hex("000000"));
    }

    void duplicates_data()
    {
        QTest::addColumn<int>("adr0");
        QTest::addColumn<int>("dut0");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<bool>("duplicate");
        QTest::newRow("row 1 on, same as row 0") << 5 << 1 << hex("010501") << true;
        QTest::newRow("same ДУТ, other address") << 5 << 1 << hex("000000010601000000000000010701") << true;
        QTest::newRow("same address, other ДУТ") << 5 << 1 << hex("010602000000000000000000000000000000010603") << true;
        QTest::newRow("row 0 against row 7") << 9 << 9 << hex("010102010203010304010405010506010607010909") << true;
    }
    void duplicates()
    {
        QFETCH(int, adr0);
        QFETCH(int, dut0);
        QFETCH(QByteArray, record);
        MassiveAdr m;
        m.slotSetAdr(adr0);
        m.slotSetDut(dut0);
        m.setMassive(record);
        QTEST(m.isDuplicate(), "duplicate");
    }

    // Row 0 follows the main window's boxes and tells the window when the user changes it;
    // rows 1..7 and a record from the controller say nothing; the defaults zero it.
    void rowZero()
    {
        MassiveAdr m;
        QSignalSpy adr(&m, &MassiveAdr::updateAdr), dut(&m, &MassiveAdr::updateDut);
        m.slotSetAdr(7);
        m.slotSetAdr(7);   // unchanged: the exchange with the window ends here
        QCOMPARE(cell<QSpinBox>(m, 0, 1)->value(), 7);
        cell<QSpinBox>(m, 0, 2)->setValue(200);
        cell<QSpinBox>(m, 1, 1)->setValue(3);
        cell<QSpinBox>(m, 1, 2)->setValue(3);
        m.setMassive(kAllOn);
        m.setDefault();
        QCOMPARE(m.getMassive(), QByteArray(24, '\0'));
        QVERIFY(cell<QCheckBox>(m, 0, 0)->isChecked());
        const auto values = [](const QSignalSpy &s) {
            QList<int> out;
            for (const QList<QVariant> &args : s)
                out << args.at(0).toInt();
            return out;
        };
        QCOMPARE(values(adr), (QList<int>{7, 0}));
        QCOMPARE(values(dut), (QList<int>{200, 0}));
    }

    void dataRows_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<Routes>("routes");
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("cells");   // the row's cells and its colour

        // temperature 25, level 1234, frequency 500, inputs 125 (12.5 Hz), 1000 (100 Hz),
        // 100 (350.277 mV), 200 (700.554 mV)
        const QByteArray data = hex("1900d204f4017d000000e80300006400c800");
        QTest::newRow("no record") << 221 << Routes{2, 2, 2, 2} << 2 << QByteArray() << "2||||||||#c0c0c0";
        QTest::newRow("19 bytes") << 221 << Routes{2, 2, 2, 2} << 2 << data + '\0' << "2||||||||#c0c0c0";
        QTest::newRow("level 9999") << 221 << Routes{4, 4, 4, 4} << 4 << hex("19000f27f4017d000000e80300006400c800")
                                    << "4|-|9999|-|-|-|-|-|#ff0000";
        QTest::newRow("one transmitter feeds every output") << 221 << Routes{7, 7, 7, 7} << 7 << data
                                                            << "7|25|1234|500|12.5|100|350.277|700.554|#ffffff";
        QTest::newRow("input 2 routed alone") << 221 << Routes{0, 8, 0, 0} << 8 << data << "8|25|1234|500|---|100|---|---|#ffffff";
        QTest::newRow("input 1 Hi, wide address") << 221 << Routes{200, 0, 0, 0} << 200
            << hex("1900d204f4019f860100e80300006400c800") << "200|25|1234|500|Hi|---|---|---|#ffffff";
        QTest::newRow("analog input 2 at 220") << 220 << Routes{0, 0, 0, 10} << 10 << data
                                               << "10|25|1234|500|---|---|---|700.554|#ffffff";
    }
    // A row without an 18-byte record is grey and empty; a level marker makes it red with
    // dashes; a record makes it white, with the inputs shown only in the rows routed to an
    // output. Firmware up to 220 has 16 rows, from 221 on 256.
    void dataRows()
    {
        QFETCH(int, version);
        QFETCH(Routes, routes);
        QFETCH(int, address);
        QFETCH(QByteArray, record);
        std::vector<QByteArray> records(256);
        records[address] = record;
        ResiverInfo info(records.data(), nullptr, quint16(version), quint8(routes[2]), quint8(routes[3]),
                         quint8(routes[0]), quint8(routes[1]));
        auto *model = qobject_cast<QStandardItemModel *>(info.table()->model());
        QCOMPARE(model->rowCount(), version > 220 ? 256 : 16);
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->item(address, c)->text();
        QCOMPARE(model->item(address, 7)->background().style(), Qt::SolidPattern);
        QTEST(cells.join('|') + '|' + model->item(address, 0)->background().color().name(), "cells");
    }

    // Rows 15 px high (not the font's 21 to 25: 27 rows in view); the columns keep their shares
    // of the width when the dialog is resized, and no header is ever cut.
    void dataTableGeometry()
    {
        std::vector<QByteArray> records(256);
        ResiverInfo info(records.data(), nullptr, 221, 0, 0, 0, 0);
        info.show();
        QVERIFY(QTest::qWaitForWindowExposed(&info));
        adjview *view = info.table();
        QCOMPARE(view->rowHeight(0), 15);
        const int percents[] = {12, 12, 12, 16, 12, 12, 12, 12};
        const int least = view->minimumWidth() + 6;   // left and right margins of 3
        for (int width : {least + 160, least}) {
            info.resize(width, info.height());
            QTRY_COMPARE(view->width(), width - 6);
            for (int c = 0; c < 8; ++c) {
                QCOMPARE(view->columnWidth(c), percents[c] * view->width() / 100);
                QVERIFY(view->columnViewportPosition(c) + view->horizontalHeader()->sectionSizeHint(c)
                        <= qMin(view->columnViewportPosition(c) + view->columnWidth(c), view->viewport()->width()));
            }
        }
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
