#include "adjview.h"
#include "resiverinfo.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QtTest>

#include <vector>

// temperature 25, level 1234, frequency 500, inputs 125 (12.5 Hz), 1000 (100 Hz),
// 100 (350.277 mV), 200 (700.554 mV)
static const char kDataRecord[] = "1900d204f4017d000000e80300006400c800";

class tst_resiverinfo : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void otherRowsShowDashes();
    void rowCount_data();
    void rowCount();
    void dialog();
    void columnWidths();
    void adjviewGeometry();
};

void tst_resiverinfo::rows_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("fq1");
    QTest::addColumn<int>("fq2");
    QTest::addColumn<int>("an1");
    QTest::addColumn<int>("an2");
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QColor>("colour");

    const QColor grey(Qt::lightGray), red(Qt::red), white(Qt::white);
    const QByteArray data = QByteArray::fromHex(kDataRecord);

    QTest::newRow("no record") << 221 << 2 << 2 << 2 << 2 << 2 << QByteArray()
        << QStringList{"2", "", "", "", "", "", "", ""} << grey;
    QTest::newRow("17 bytes") << 221 << 2 << 2 << 2 << 2 << 2
        << QByteArray::fromHex("1900d204f4017d000000e80300006400c8")
        << QStringList{"2", "", "", "", "", "", "", ""} << grey;
    QTest::newRow("19 bytes") << 221 << 2 << 2 << 2 << 2 << 2
        << QByteArray::fromHex("1900d204f4017d000000e80300006400c80000")
        << QStringList{"2", "", "", "", "", "", "", ""} << grey;
    QTest::newRow("level 9999") << 221 << 4 << 4 << 4 << 4 << 4
        << QByteArray::fromHex("19000f27f4017d000000e80300006400c800")
        << QStringList{"4", "-", "9999", "-", "-", "-", "-", "-"} << red;
    QTest::newRow("level 65535") << 220 << 4 << 4 << 4 << 4 << 4
        << QByteArray::fromHex("1900fffff4017d000000e80300006400c800")
        << QStringList{"4", "-", "65535", "-", "-", "-", "-", "-"} << red;
    QTest::newRow("not routed") << 221 << 0 << 0 << 0 << 0 << 5 << data
        << QStringList{"5", "25", "1234", "500", "---", "---", "---", "---"} << white;
    QTest::newRow("input 1 Ч/Д 12.5") << 221 << 3 << 0 << 0 << 0 << 3 << data
        << QStringList{"3", "25", "1234", "500", "12.5", "---", "---", "---"} << white;
    QTest::newRow("input 1 Ч/Д Lo") << 221 << 3 << 0 << 0 << 0 << 3
        << QByteArray::fromHex("1900d204f40100000000e80300006400c800")
        << QStringList{"3", "25", "1234", "500", "Lo", "---", "---", "---"} << white;
    QTest::newRow("input 1 Ч/Д Hi") << 221 << 3 << 0 << 0 << 0 << 3
        << QByteArray::fromHex("1900d204f4019f860100e80300006400c800")
        << QStringList{"3", "25", "1234", "500", "Hi", "---", "---", "---"} << white;
    QTest::newRow("input 2 Ч/Д 100") << 221 << 0 << 3 << 0 << 0 << 3 << data
        << QStringList{"3", "25", "1234", "500", "---", "100", "---", "---"} << white;
    QTest::newRow("input 1 А/Д 350.277") << 221 << 1 << 1 << 0 << 1 << 0 << data
        << QStringList{"0", "25", "1234", "500", "---", "---", "350.277", "---"} << white;
    QTest::newRow("input 1 А/Д 0") << 221 << 1 << 1 << 0 << 1 << 0
        << QByteArray::fromHex("1900d204f4017d000000e80300000000c800")
        << QStringList{"0", "25", "1234", "500", "---", "---", "0", "---"} << white;
    QTest::newRow("input 2 А/Д 700.554") << 220 << 0 << 0 << 0 << 10 << 10 << data
        << QStringList{"10", "25", "1234", "500", "---", "---", "---", "700.554"} << white;
    QTest::newRow("one transmitter feeds every output") << 221 << 7 << 7 << 7 << 7 << 7 << data
        << QStringList{"7", "25", "1234", "500", "12.5", "100", "350.277", "700.554"} << white;
    QTest::newRow("wide address") << 221 << 200 << 0 << 0 << 0 << 200 << data
        << QStringList{"200", "25", "1234", "500", "12.5", "---", "---", "---"} << white;
}

void tst_resiverinfo::rows()
{
    QFETCH(int, version);
    QFETCH(int, fq1);
    QFETCH(int, fq2);
    QFETCH(int, an1);
    QFETCH(int, an2);
    QFETCH(int, address);
    QFETCH(QByteArray, record);
    QFETCH(QStringList, cells);
    QFETCH(QColor, colour);

    std::vector<QByteArray> records(256);
    records[address] = record;
    ResiverInfo info(records.data(), nullptr, quint16(version), quint8(an1), quint8(an2),
                     quint8(fq1), quint8(fq2));
    auto *model = qobject_cast<QStandardItemModel *>(info.table()->model());
    QVERIFY(model);
    QCOMPARE(model->columnCount(), 8);
    for (int c = 0; c < 8; ++c) {
        QStandardItem *item = model->item(address, c);
        QVERIFY(item);
        QCOMPARE(item->text(), cells.at(c));
        QCOMPARE(item->background().color(), colour);
        QCOMPARE(item->background().style(), Qt::SolidPattern);
    }
}

// Only the rows of the transmitters routed to an output show that input.
void tst_resiverinfo::otherRowsShowDashes()
{
    std::vector<QByteArray> records(256, QByteArray::fromHex(kDataRecord));
    ResiverInfo info(records.data(), nullptr, 221, 5, 6, 3, 4);
    auto *model = qobject_cast<QStandardItemModel *>(info.table()->model());
    const int routed[] = {3, 4, 5, 6};   // columns 4..7
    const char *values[] = {"12.5", "100", "350.277", "700.554"};
    for (int a = 0; a < 256; ++a)
        for (int i = 0; i < 4; ++i)
            QCOMPARE(model->item(a, 4 + i)->text(),
                     a == routed[i] ? QString(values[i]) : QStringLiteral("---"));
}

void tst_resiverinfo::rowCount_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("rows");
    QTest::newRow("not identified") << 0 << 16;
    QTest::newRow("version 220") << 220 << 16;
    QTest::newRow("version 221") << 221 << 256;
    QTest::newRow("version 296") << 296 << 256;
}

void tst_resiverinfo::rowCount()
{
    QFETCH(int, version);
    QFETCH(int, rows);
    std::vector<QByteArray> records(256);
    ResiverInfo info(records.data(), nullptr, quint16(version), 0, 0, 0, 0);
    QCOMPARE(info.table()->model()->rowCount(), rows);
    QCOMPARE(info.table()->model()->index(rows - 1, 0).data().toString(),
             QString::number(rows - 1));
}

void tst_resiverinfo::dialog()
{
    std::vector<QByteArray> records(256);
    ResiverInfo info(records.data(), nullptr, 221, 0, 0, 0, 0);
    QCOMPARE(info.windowTitle(), QStringLiteral("Данные с передатчиков"));
    QCOMPARE(info.minimumHeight(), 480);
    QCOMPARE(info.maximumHeight(), 480);
    adjview *view = info.table();
    QCOMPARE(view->minimumHeight(), 430);
    QCOMPARE(view->maximumHeight(), 430);
    QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    const QStringList labels = {"Адрес", "Tемп-ра", "Уровень ДУТ", "Частота", "Вход 1 Ч/Д, Гц",
                                "Вход 2 Ч/Д, Гц", "Вход 1 А/Д, мВ", "Вход 2 А/Д, мВ"};
    for (int c = 0; c < labels.size(); ++c)
        QCOMPARE(view->model()->headerData(c, Qt::Horizontal).toString(), labels.at(c));
    auto *box = info.findChild<QDialogButtonBox *>();
    QCOMPARE(box->standardButtons(), QDialogButtonBox::StandardButtons(QDialogButtonBox::Ok));

    QSignalSpy accepted(&info, &QDialog::accepted);
    box->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(accepted.count(), 1);
}

void tst_resiverinfo::columnWidths()
{
    std::vector<QByteArray> records(256);
    ResiverInfo info(records.data(), nullptr, 221, 0, 0, 0, 0);
    info.show();
    QVERIFY(QTest::qWaitForWindowExposed(&info));
    const int percents[] = {12, 12, 12, 16, 12, 12, 12, 12};
    for (int width : {801, 1200, 640}) {
        info.resize(width, info.height());
        adjview *view = info.table();
        QTRY_COMPARE(view->width(), width - 6);   // left and right margins of 3
        for (int c = 0; c < 8; ++c)
            QCOMPARE(view->columnWidth(c), percents[c] * view->width() / 100);
    }
}

void tst_resiverinfo::adjviewGeometry()
{
    adjview view(9, {"Вкл", "Адрес", "ДУТ"}, {33, 33, 33});
    QCOMPARE(view.model()->rowCount(), 9);
    QCOMPARE(view.model()->columnCount(), 3);
    // 15 pixels, unless the style needs more for the font to stay legible.
    const int rowHeight = qMax(15, view.verticalHeader()->minimumSectionSize());
    QCOMPARE(view.rowHeight(0), rowHeight);
    const int expected = 9 * rowHeight + view.horizontalHeader()->sizeHint().height() + 2;
    QCOMPARE(view.minimumHeight(), expected);
    QCOMPARE(view.maximumHeight(), expected);
    QVERIFY(view.verticalHeader()->isHidden());
    QVERIFY(!view.horizontalHeader()->sectionsClickable());
    QCOMPARE(view.frameShape(), QFrame::NoFrame);
    QCOMPARE(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    view.resize(300, view.height());
    view.setColumnPercents({50, 25, 25});
    QCOMPARE(view.columnWidth(0), 150);
    QCOMPARE(view.columnWidth(2), 75);
}

QTEST_MAIN(tst_resiverinfo)
#include "tst_resiverinfo.moc"
