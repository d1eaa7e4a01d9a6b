#include "resiver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
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
    void construction();
    void masks_data();
    void masks();
    void clearAndFill();
    void buttons();
    void setMaxAdr_data();
    void setMaxAdr();
    void extMaskIdempotent();
    void extMaskLength_data();
    void extMaskLength();
    void combos_data();
    void combos();
    void oldProtokolVisible();
    void setDefault();
};

void tst_resiver::construction()
{
    resiver r;
    for (int a = 0; a < 256; ++a) {
        QCheckBox *b = box(r, a);
        QVERIFY2(b, qPrintable(QString::number(a)));
        QCOMPARE(b->isEnabled(), a < 16);
        QVERIFY(!b->isChecked());
    }
    QCOMPARE(r.findChild<QCheckBox *>("checkBox15")->text(), QStringLiteral("15"));
    auto *period = r.findChild<QSpinBox *>("d_periodWheel");
    QCOMPARE(period->minimum(), 1);
    QCOMPARE(period->maximum(), 5);
    QCOMPARE(r.getPeriod(), 1);
    for (const char *name : {"comboBoxFq1", "comboBoxFq2", "comboBoxAn1", "comboBoxAn2"}) {
        QCOMPARE(r.findChild<QComboBox *>(name)->count(), 16);
        QCOMPARE(r.findChild<QComboBox *>(name)->itemText(15), QStringLiteral("15"));
    }
    QCOMPARE(r.findChild<QComboBox *>("checkBoxFq2")->itemText(1), QStringLiteral("Дискрет"));
    QCOMPARE(r.findChild<QPushButton *>("curValue")->text(),
             QStringLiteral("Данные с передатчиков"));
    QVERIFY(r.getOldProtokol());
}

void tst_resiver::masks_data()
{
    QTest::addColumn<int>("mask0");
    QTest::addColumn<int>("mask1");
    QTest::addColumn<QByteArray>("ext");
    QTest::addColumn<QList<int>>("checked");

    const QByteArray zeros = QByteArray::fromHex(
        "000000000000000000000000000000000000000000000000000000000000");
    QTest::newRow("none") << 0x00 << 0x00 << zeros << QList<int>();
    QTest::newRow("lowest bits") << 0x01 << 0x01
        << QByteArray::fromHex("010000000000000000000000000000000000000000000000000000000000")
        << QList<int>{0, 8, 16};
    QTest::newRow("highest bits") << 0x80 << 0x80
        << QByteArray::fromHex("000000000000000000000000000000000000000000000000000000000080")
        << QList<int>{7, 15, 255};
    QTest::newRow("mixed") << 0x29 << 0x82
        << QByteArray::fromHex("0300000000000000000000000000008000000000000000000000000000c0")
        << QList<int>{0, 3, 5, 9, 15, 16, 17, 143, 254, 255};
    QTest::newRow("all") << 0xff << 0xff
        << QByteArray::fromHex("ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff")
        << [] { QList<int> l; for (int a = 0; a < 256; ++a) l.append(a); return l; }();
}

void tst_resiver::masks()
{
    QFETCH(int, mask0);
    QFETCH(int, mask1);
    QFETCH(QByteArray, ext);
    QFETCH(QList<int>, checked);

    resiver r;
    r.setAdrMask0(quint8(mask0));
    r.setAdrMask1(quint8(mask1));
    r.setAdrMaskExt(ext);
    QCOMPARE(checkedAddresses(r), checked);
    QCOMPARE(r.getAdrMask0(), quint8(mask0));
    QCOMPARE(r.getAdrMask1(), quint8(mask1));
    QCOMPARE(r.getAdrMaskExt(), ext);
}

// "Очистить все" keeps address 0; "Выбрать все" reaches the disabled wide addresses too.
void tst_resiver::clearAndFill()
{
    resiver r;
    r.fillAll();
    QVERIFY(!box(r, 200)->isEnabled());
    QCOMPARE(r.getAdrMask0(), quint8(0xff));
    QCOMPARE(r.getAdrMask1(), quint8(0xff));
    QCOMPARE(r.getAdrMaskExt(), QByteArray::fromHex(
        "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"));

    r.clearAll();
    QCOMPARE(r.getAdrMask0(), quint8(0x01));
    QCOMPARE(r.getAdrMask1(), quint8(0x00));
    QCOMPARE(r.getAdrMaskExt(), QByteArray::fromHex(
        "000000000000000000000000000000000000000000000000000000000000"));

    r.setCheckAll(false);
    QVERIFY(r.findChild<QCheckBox *>("checkBox00")->isChecked());
}

void tst_resiver::buttons()
{
    resiver r;
    QSignalSpy info(&r, &resiver::doInfo);
    QTest::mousePress(r.findChild<QPushButton *>("pbFill"), Qt::LeftButton);
    QCOMPARE(r.getAdrMask1(), quint8(0xff));
    QTest::mousePress(r.findChild<QPushButton *>("pbClear"), Qt::LeftButton);
    QCOMPARE(r.getAdrMask1(), quint8(0x00));
    QCOMPARE(info.count(), 0);
    r.findChild<QPushButton *>("curValue")->click();
    QCOMPARE(info.count(), 1);
}

void tst_resiver::setMaxAdr_data()
{
    QTest::addColumn<int>("n");
    QTest::newRow("old receiver") << 15;
    QTest::newRow("wide receiver") << 255;
    QTest::newRow("single address") << 0;
}

void tst_resiver::setMaxAdr()
{
    QFETCH(int, n);
    resiver r;
    r.setAn2(9);
    r.setMaxAdr(quint8(n));
    for (const char *name : {"comboBoxFq1", "comboBoxFq2", "comboBoxAn1", "comboBoxAn2"}) {
        auto *c = r.findChild<QComboBox *>(name);
        QCOMPARE(c->count(), n + 1);
        QCOMPARE(c->itemText(0), QStringLiteral("0"));
        QCOMPARE(c->itemText(n), QString::number(n));
        QCOMPARE(c->currentIndex(), 0);
    }
    if (n == 255) {
        r.setFq2(200);
        QCOMPARE(r.getFq2(), 200);
    }
}

void tst_resiver::extMaskIdempotent()
{
    resiver r;
    r.setAdrMaskExt(QByteArray::fromHex(
        "5a00ff0102040810204080000000000000000000000000000000000000a5"));
    const QByteArray first = r.getAdrMaskExt();
    const QList<int> boxes = checkedAddresses(r);
    r.setAdrMaskExt(first);
    QCOMPARE(r.getAdrMaskExt(), first);
    QCOMPARE(checkedAddresses(r), boxes);
}

// A short map reaches only its own bytes and clears the rest; a long one is cut at 30.
void tst_resiver::extMaskLength_data()
{
    QTest::addColumn<QByteArray>("ext");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty") << QByteArray()
        << QByteArray::fromHex("000000000000000000000000000000000000000000000000000000000000");
    QTest::newRow("two bytes") << QByteArray::fromHex("ff01")
        << QByteArray::fromHex("ff0100000000000000000000000000000000000000000000000000000000");
    QTest::newRow("32 bytes") << QByteArray::fromHex(
        "0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1effff")
        << QByteArray::fromHex("0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e");
}

void tst_resiver::extMaskLength()
{
    QFETCH(QByteArray, ext);
    QFETCH(QByteArray, expected);
    resiver r;
    r.fillAll();
    r.setAdrMaskExt(ext);
    QCOMPARE(r.getAdrMaskExt(), expected);
}

void tst_resiver::combos_data()
{
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("old protocol") << "cbOldProtokol" << 1 << "4096";
    QTest::newRow("new protocol") << "cbOldProtokol" << 0 << "65536";
    QTest::newRow("output 1 discrete") << "checkBoxFq1" << 1 << "Дискрет";
    QTest::newRow("output 1 frequency") << "checkBoxFq1" << 0 << "Частота";
    QTest::newRow("output 2 discrete") << "checkBoxFq2" << 1 << "Дискрет";
}

void tst_resiver::combos()
{
    QFETCH(QString, combo);
    QFETCH(int, value);
    QFETCH(QString, text);
    resiver r;
    int got = -1;
    if (combo == "cbOldProtokol") {
        r.setOldProtokol(!value);
        r.setOldProtokol(value);
        got = r.getOldProtokol();
    } else if (combo == "checkBoxFq1") {
        r.setFq1Mode(quint8(!value));
        r.setFq1Mode(quint8(value));
        got = r.getFq1Mode();
    } else {
        r.setFq2Mode(quint8(!value));
        r.setFq2Mode(quint8(value));
        got = r.getFq2Mode();
    }
    QCOMPARE(got, value);
    QCOMPARE(r.findChild<QComboBox *>(combo)->currentText(), text);
}

void tst_resiver::oldProtokolVisible()
{
    resiver r;
    r.setOldProtokolVisible(false);
    QVERIFY(r.findChild<QComboBox *>("cbOldProtokol")->isHidden());
    const auto labels = r.findChildren<QLabel *>();
    auto label = std::find_if(labels.begin(), labels.end(), [](QLabel *l) {
        return l->text() == QStringLiteral("Диапазон значений ДУТ");
    });
    QVERIFY(label != labels.end());
    QVERIFY(!(*label)->isHidden());
    r.setOldProtokolVisible(true);
    QVERIFY(!r.findChild<QComboBox *>("cbOldProtokol")->isHidden());
}

void tst_resiver::setDefault()
{
    resiver r;
    r.setMaxAdr(255);
    r.setAdrExtEnabled(true);
    r.fillAll();
    r.setPeriod(4);
    r.setFq1(3);
    r.setFq2(200);
    r.setAn1(7);
    r.setAn2(255);
    r.setFq1Mode(1);
    r.setFq2Mode(1);
    r.setOldProtokol(false);

    r.setDefault();
    QCOMPARE(checkedAddresses(r), QList<int>{0});
    QCOMPARE(r.getPeriod(), 1);
    QCOMPARE(r.getFq1(), 0);
    QCOMPARE(r.getFq2(), 0);
    QCOMPARE(r.getAn1(), 0);
    QCOMPARE(r.getAn2(), 0);
    QCOMPARE(r.getFq1Mode(), 0);
    QCOMPARE(r.getFq2Mode(), 0);
    QVERIFY(!r.getOldProtokol());   // the range is set elsewhere
    QVERIFY(box(r, 100)->isEnabled());
}

QTEST_MAIN(tst_resiver)
#include "tst_resiver.moc"
