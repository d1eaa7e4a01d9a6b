// The panels alone under the offscreen platform: the power knob, the receiver panel, the
// address table, the transmitter data table and the file dialog.

#include "adjview.h"
#include "filedialog.h"
#include "massiveadr.h"
#include "power.h"
#include "resiver.h"
#include "resiverinfo.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTreeView>
#include <QtTest>

#include <qwt_knob.h>


static QByteArray hex(const char *h) { return QByteArray::fromHex(h); }

// The address table's widgets by their place in the grid: row r of the table is grid row r + 1.
template <typename W> W *cell(const MassiveAdr &m, int row, int column)
{ return qobject_cast<W *>(m.findChild<QGridLayout *>()->itemAtPosition(row + 1, column)->widget()); }

using Routes = QList<int>;   // the transmitters routed to outputs Ч/Д 1, Ч/Д 2, А/Д 1, А/Д 2

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    // Levels 0..7: the knob stops on whole levels, and one left between steps reads as the level below.
    void powerKnob()
    {
        power p;
        p.setMaxValue(7);
        auto *knob = p.findChild<QwtKnob *>();
        QCOMPARE(knob->totalSteps(), 7u);
        knob->setStepAlignment(false);
        knob->setValue(5.9);
        QCOMPARE(p.value(), quint16(5));
    }

    // From all boxes checked, the masks and the map read back as they came.
    // "Очистить все" keeps address 0; an index the output list lacks keeps the choice.
    void receiver()
    {
        resiver r;
        r.fillAll();
        r.setAdrMask0(0x29);
        r.setAdrMask1(0x82);
        const QByteArray map = hex("0300000000000000000000000000008000000000000000000000000000c0");
        r.setAdrMaskExt(map);
        QCOMPARE(int(r.getAdrMask0()) | r.getAdrMask1() << 8, 0x8229);
        QCOMPARE(r.getAdrMaskExt(), map.leftJustified(30, '\0'));
        QTest::mousePress(r.findChild<QPushButton *>("pbClear"), Qt::LeftButton);
        QCOMPARE(int(r.getAdrMask0()) | r.getAdrMask1() << 8, 1);
        QCOMPARE(r.getAdrMaskExt(), QByteArray(30, '\0'));
        r.setMaxAdr(15);
        r.setFq2(15);
        r.setFq2(16);
        QCOMPARE(r.getFq2(), 15);
    }

    // A record reads back as it came; flags count when positive as signed bytes, the In1A row
    // modulo 8. One In1A mark at most: a click on row 3 then row 5 leaves row 5, a second click
    // takes it off. Row 0 follows the main window's boxes and tells the window when the user
    // changes it.
    void addressTable()
    {
        MassiveAdr m;
        QSignalSpy dut(&m, &MassiveAdr::updateDut);
        const QByteArray record = hex("010a0b000c0d01ff00000000010203000000011011010300");
        m.setMassive(proto::AddressTable::parse(record));
        QCOMPARE(m.getMassive().pack(), record);
        m.setMassive(proto::AddressTable::parse(hex("020102000000000000000000000000000000000000020b00")));
        QCOMPARE(m.getMassive().pack(), hex("010102000000000000000000000000000000000000010300"));
        cell<QCheckBox>(m, 5, 3)->click();
        QCOMPARE(m.getMassive().pack().right(3), hex("010500"));
        cell<QCheckBox>(m, 5, 3)->click();
        QCOMPARE(m.getMassive().pack().right(3), hex("000000"));
        m.slotSetAdr(7);
        QCOMPARE(cell<QSpinBox>(m, 0, 1)->value(), 7);
        cell<QSpinBox>(m, 0, 2)->setValue(200);
        QCOMPARE(dut.takeFirst().at(0).toInt(), 200);
    }

    // Row 0 (address 5, ДУТ 1) against a record: equal addresses or equal ДУТ make a duplicate.
    void duplicates()
    {
        for (const char *record : {"000000010601000000000000010701", "010602000000000000000000000000000000010603"}) {
            MassiveAdr m;
            m.slotSetAdr(5);
            m.slotSetDut(1);
            m.setMassive(proto::AddressTable::parse(hex(record)));
            QVERIFY2(m.isDuplicate(), record);
        }
    }

    void dataRows_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<Routes>("routes");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("cells");   // the row's cells and its colour

        // temperature 25, level 1234, frequency 500, inputs 125 (12.5 Hz), 1000 (100 Hz),
        // 100 (350.277 mV), 200 (700.554 mV)
        const QByteArray data = hex("1900d204f4017d000000e80300006400c800");
        QTest::newRow("no record") << 221 << Routes{2, 2, 2, 2} << QByteArray() << "2||||||||#c0c0c0";
        QTest::newRow("level 9999") << 221 << Routes{4, 4, 4, 4} << hex("19000f27f4017d000000e80300006400c800")
                                    << "4|-|9999|-|-|-|-|-|#ff0000";
        QTest::newRow("every output") << 221 << Routes{7, 7, 7, 7} << data << "7|25|1234|500|12.5|100|350.277|700.554|#ffffff";
        QTest::newRow("input 2 alone") << 221 << Routes{0, 8, 0, 0} << data << "8|25|1234|500|---|100|---|---|#ffffff";
        QTest::newRow("analog 2 at 220") << 220 << Routes{0, 0, 0, 10} << data << "10|25|1234|500|---|---|---|700.554|#ffffff";
    }
    // A row without an 18-byte record is grey and empty; a level marker makes it red with
    // dashes; a record makes it white, with the inputs shown only in the rows routed to an
    // output. Firmware up to 220 has 16 rows, from 221 on 256.
    void dataRows()
    {
        QFETCH(int, version);
        QFETCH(Routes, routes);
        QFETCH(QByteArray, record);
        QFETCH(QString, cells);
        const int address = cells.section('|', 0, 0).toInt();
        QVector<QByteArray> records(256);
        records[address] = record;
        ResiverInfo info(records.data(), nullptr, quint16(version), quint8(routes[2]), quint8(routes[3]),
                         quint8(routes[0]), quint8(routes[1]));
        auto *model = qobject_cast<QStandardItemModel *>(info.table()->model());
        QCOMPARE(model->rowCount(), version > 220 ? 256 : 16);
        QStringList shown;
        for (int c = 0; c < model->columnCount(); ++c)
            shown << model->item(address, c)->text();
        QCOMPARE(shown.join('|') + '|' + model->item(address, 0)->background().color().name(), cells);
    }

    // Rows 15 px high (not the font's 21 to 25: 27 rows in view); the columns keep their shares
    // of the width at the dialog's least width, and no header is cut.
    void dataTableGeometry()
    {
        QVector<QByteArray> records(256);
        ResiverInfo info(records.data(), nullptr, 221, 0, 0, 0, 0);
        info.show();
        QVERIFY(QTest::qWaitForWindowExposed(&info));
        adjview *view = info.table();
        QCOMPARE(view->rowHeight(0), 15);
        const int percents[] = {12, 12, 12, 16, 12, 12, 12, 12};
        const int width = view->minimumWidth() + 6;   // left and right margins of 3
        info.resize(width, info.height());
        QTRY_COMPARE(view->width(), width - 6);
        for (int c = 0; c < 8; ++c) {
            QCOMPARE(view->columnWidth(c), percents[c] * view->width() / 100);
            QVERIFY(view->columnViewportPosition(c) + view->horizontalHeader()->sectionSizeHint(c)
                    <= qMin(view->columnViewportPosition(c) + view->columnWidth(c), view->viewport()->width()));
        }
    }

    // The file dialog in Russian form whatever the system's locale, no column title cut.
    void fileDialog()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("a.json")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(2100, 'x')) == 2100 && file.flush());
        QVERIFY(file.setFileTime(QDateTime(QDate(2026, 12, 7), QTime(17, 52)), QFileDevice::FileModificationTime));
        file.close();
        FileDialog dialog(nullptr, QString(), dir.path(), QStringLiteral("*.json"));
        const auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
        QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 1);
        const QModelIndex row = view->model()->index(0, 0, view->rootIndex());
        QCOMPARE(row.siblingAtColumn(3).data().toString() + " | " + row.siblingAtColumn(1).data().toString(),
                 QStringLiteral("07.12.2026 17:52 | 2,1 кБ"));
        for (int c = 0; c < 4; ++c)
            QVERIFY(view->header()->sectionSize(c) >= view->header()->sectionSizeHint(c));
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
