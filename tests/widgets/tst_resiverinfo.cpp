#include "adjview.h"
#include "resiverinfo.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QtTest>

#include <vector>

using Routes = QList<int>;   // the transmitters routed to outputs Ч/Д 1, Ч/Д 2, А/Д 1, А/Д 2

// temperature 25, level 1234, frequency 500, inputs 125 (12.5 Hz), 1000 (100 Hz),
// 100 (350.277 mV), 200 (700.554 mV)
static const char kDataRecord[] = "1900d204f4017d000000e80300006400c800";

class tst_resiverinfo : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void columnWidths();
};

// A row without an 18-byte record is grey and empty; a level marker makes it red with dashes;
// a record makes it white, with the inputs shown only in the rows routed to an output.
// Firmware up to 220 has 16 rows, from 221 on 256.
void tst_resiverinfo::rows_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<Routes>("routes");
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QColor>("colour");

    const QColor grey(Qt::lightGray), red(Qt::red), white(Qt::white);
    const QStringList empty{"2", "", "", "", "", "", "", ""};
    const QByteArray data = QByteArray::fromHex(kDataRecord);

    QTest::newRow("no record") << 221 << Routes{2, 2, 2, 2} << 2 << QByteArray() << empty << grey;
    QTest::newRow("17 bytes") << 221 << Routes{2, 2, 2, 2} << 2
        << QByteArray::fromHex("1900d204f4017d000000e80300006400c8") << empty << grey;
    QTest::newRow("19 bytes") << 221 << Routes{2, 2, 2, 2} << 2
        << QByteArray::fromHex("1900d204f4017d000000e80300006400c80000") << empty << grey;
    QTest::newRow("level 9999") << 221 << Routes{4, 4, 4, 4} << 4
        << QByteArray::fromHex("19000f27f4017d000000e80300006400c800")
        << QStringList{"4", "-", "9999", "-", "-", "-", "-", "-"} << red;
    QTest::newRow("level 65535 at 220") << 220 << Routes{4, 4, 4, 4} << 4
        << QByteArray::fromHex("1900fffff4017d000000e80300006400c800")
        << QStringList{"4", "-", "65535", "-", "-", "-", "-", "-"} << red;
    QTest::newRow("not routed") << 221 << Routes{0, 0, 0, 0} << 5 << data
        << QStringList{"5", "25", "1234", "500", "---", "---", "---", "---"} << white;
    QTest::newRow("one transmitter feeds every output") << 221 << Routes{7, 7, 7, 7} << 7 << data
        << QStringList{"7", "25", "1234", "500", "12.5", "100", "350.277", "700.554"} << white;
    QTest::newRow("input 1 Lo") << 221 << Routes{3, 0, 0, 0} << 3
        << QByteArray::fromHex("1900d204f40100000000e80300006400c800")
        << QStringList{"3", "25", "1234", "500", "Lo", "---", "---", "---"} << white;
    QTest::newRow("input 1 Hi, wide address") << 221 << Routes{200, 0, 0, 0} << 200
        << QByteArray::fromHex("1900d204f4019f860100e80300006400c800")
        << QStringList{"200", "25", "1234", "500", "Hi", "---", "---", "---"} << white;
    QTest::newRow("analog input 2 at 220") << 220 << Routes{0, 0, 0, 10} << 10 << data
        << QStringList{"10", "25", "1234", "500", "---", "---", "---", "700.554"} << white;
}

void tst_resiverinfo::rows()
{
    QFETCH(int, version);
    QFETCH(Routes, routes);
    QFETCH(int, address);
    QFETCH(QByteArray, record);
    QFETCH(QStringList, cells);
    QFETCH(QColor, colour);

    std::vector<QByteArray> records(256);
    records[address] = record;
    ResiverInfo info(records.data(), nullptr, quint16(version), quint8(routes[2]), quint8(routes[3]),
                     quint8(routes[0]), quint8(routes[1]));
    auto *model = qobject_cast<QStandardItemModel *>(info.table()->model());
    QVERIFY(model);
    QCOMPARE(model->rowCount(), version > 220 ? 256 : 16);
    QCOMPARE(model->columnCount(), 8);
    for (int c = 0; c < 8; ++c) {
        QStandardItem *item = model->item(address, c);
        QCOMPARE(item->text(), cells.at(c));
        QCOMPARE(item->background().color(), colour);
        QCOMPARE(item->background().style(), Qt::SolidPattern);
    }
}

// The columns keep their shares of the table's width when the dialog is resized, and the
// table is never so narrow that a header is cut.
void tst_resiverinfo::columnWidths()
{
    std::vector<QByteArray> records(256);
    ResiverInfo info(records.data(), nullptr, 221, 0, 0, 0, 0);
    info.show();
    QVERIFY(QTest::qWaitForWindowExposed(&info));
    QCOMPARE(info.table()->rowHeight(0), 15);   // not the font's 21 to 25: 27 rows in view
    const int percents[] = {12, 12, 12, 16, 12, 12, 12, 12};
    adjview *view = info.table();
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

QTEST_MAIN(tst_resiverinfo)
#include "tst_resiverinfo.moc"
