#include "resiver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QtTest>

// The box of address a: the form's "00".."15" or the added "16".."255".
static QCheckBox *box(const resiver &r, int a)
{
    const QString text = a < 16 ? QStringLiteral("%1").arg(a, 2, 10, QLatin1Char('0'))
                                : QString::number(a);
    const auto boxes = r.findChildren<QCheckBox *>();
    for (QCheckBox *b : boxes)
        if (b->text() == text)
            return b;
    return nullptr;
}

static QList<int> checkedAddresses(const resiver &r)
{
    QList<int> list;
    for (int a = 0; a < 256; ++a)
        if (box(r, a)->isChecked())
            list.append(a);
    return list;
}

class tst_resiver : public QObject
{
    Q_OBJECT

private slots:
    void masks_data();
    void masks();
    void clearAndFill();
    void setMaxAdr_data();
    void setMaxAdr();
};

// Every row starts from all boxes checked: the masks set every box, a short map clears the
// boxes past its end and a long one is cut at 30 bytes.
void tst_resiver::masks_data()
{
    QTest::addColumn<int>("mask0");
    QTest::addColumn<int>("mask1");
    QTest::addColumn<QByteArray>("ext");
    QTest::addColumn<QList<int>>("checked");

    QTest::newRow("lowest bits") << 0x01 << 0x01
        << QByteArray::fromHex("010000000000000000000000000000000000000000000000000000000000")
        << QList<int>{0, 8, 16};
    QTest::newRow("highest bits") << 0x80 << 0x80
        << QByteArray::fromHex("000000000000000000000000000000000000000000000000000000000080")
        << QList<int>{7, 15, 255};
    QTest::newRow("mixed") << 0x29 << 0x82
        << QByteArray::fromHex("0300000000000000000000000000008000000000000000000000000000c0")
        << QList<int>{0, 3, 5, 9, 15, 16, 17, 143, 254, 255};
    QTest::newRow("empty map") << 0x00 << 0x00 << QByteArray() << QList<int>();
    QTest::newRow("two-byte map") << 0x00 << 0x00 << QByteArray::fromHex("ff01")
        << QList<int>{16, 17, 18, 19, 20, 21, 22, 23, 24};
    QTest::newRow("32-byte map") << 0x00 << 0x00
        << QByteArray::fromHex("0000000000000000000000000000000000000000000000000000000000ffffff")
        << QList<int>{248, 249, 250, 251, 252, 253, 254, 255};
}

void tst_resiver::masks()
{
    QFETCH(int, mask0);
    QFETCH(int, mask1);
    QFETCH(QByteArray, ext);
    QFETCH(QList<int>, checked);

    resiver r;
    r.fillAll();
    r.setAdrMask0(quint8(mask0));
    r.setAdrMask1(quint8(mask1));
    r.setAdrMaskExt(ext);
    QCOMPARE(checkedAddresses(r), checked);
    QCOMPARE(r.getAdrMask0(), quint8(mask0));
    QCOMPARE(r.getAdrMask1(), quint8(mask1));
    QCOMPARE(r.getAdrMaskExt(), ext.leftJustified(30, '\0', true));
}

// "Очистить все" keeps address 0; "Выбрать все" reaches the disabled wide addresses too.
void tst_resiver::clearAndFill()
{
    resiver r;
    QVERIFY(!box(r, 200)->isEnabled());
    QTest::mousePress(r.findChild<QPushButton *>("pbFill"), Qt::LeftButton);
    QCOMPARE(checkedAddresses(r).size(), 256);
    QCOMPARE(r.getAdrMaskExt(), QByteArray::fromHex(
        "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"));

    QTest::mousePress(r.findChild<QPushButton *>("pbClear"), Qt::LeftButton);
    QCOMPARE(checkedAddresses(r), QList<int>{0});
    QCOMPARE(r.getAdrMask0(), quint8(0x01));
}

void tst_resiver::setMaxAdr_data()
{
    QTest::addColumn<int>("n");
    QTest::newRow("old receiver") << 15;
    QTest::newRow("wide receiver") << 255;
}

// The four output combos list the transmitters 0..n and go back to 0.
void tst_resiver::setMaxAdr()
{
    QFETCH(int, n);
    resiver r;
    r.setAn2(9);
    r.setMaxAdr(quint8(n));
    for (const char *name : {"comboBoxFq1", "comboBoxFq2", "comboBoxAn1", "comboBoxAn2"}) {
        auto *c = r.findChild<QComboBox *>(name);
        QCOMPARE(c->count(), n + 1);
        QCOMPARE(c->itemText(n), QString::number(n));
        QCOMPARE(c->currentIndex(), 0);
    }
    r.setFq2(quint8(n));
    QCOMPARE(r.getFq2(), n);
}

QTEST_MAIN(tst_resiver)
#include "tst_resiver.moc"
