#include "pollprotocol.h"

#include <QtTest>

// Independent reference: the plain bit-by-bit reflected CRC-8 with polynomial 0x8C.
static quint8 referenceCrc8(const QByteArray &data)
{
    quint8 crc = 0;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? quint8((crc >> 1) ^ 0x8C) : quint8(crc >> 1);
    }
    return crc;
}

class TstPollProtocol : public QObject
{
    Q_OBJECT

private slots:
    void crc8_data();
    void crc8();
};

void TstPollProtocol::crc8_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("expected");

    QTest::newRow("empty") << QByteArray() << 0x00;
    QTest::newRow("check value 123456789") << QByteArray("123456789") << 0xA1;
    QTest::newRow("single bit 0") << QByteArray::fromHex("01") << 0x5E;
    QTest::newRow("single bit 7") << QByteArray::fromHex("80") << 0x8C;
    QTest::newRow("all ones") << QByteArray::fromHex("ff") << 0x35;
    QTest::newRow("zeros") << QByteArray::fromHex("00000000") << 0x00;
    QTest::newRow("poll address 1") << QByteArray::fromHex("310106") << 0x6C;
    QTest::newRow("poll address 0") << QByteArray::fromHex("310006") << 0xA8;
    QTest::newRow("poll command 07") << QByteArray::fromHex("310507") << 0x09;
    QTest::newRow("poll all 31") << QByteArray::fromHex("313131") << 0x7C;
    QTest::newRow("reply address 1") << QByteArray::fromHex("3e01060101000100") << 0x4C;
    QTest::newRow("reply address 0") << QByteArray::fromHex("3e00060000000000") << 0xF7;
    QTest::newRow("ten mixed bytes") << QByteArray::fromHex("deadbeefcafebabe0102") << 0xD8;
}

void TstPollProtocol::crc8()
{
    QFETCH(QByteArray, data);
    QFETCH(int, expected);
    QCOMPARE(int(referenceCrc8(data)), expected);
    QCOMPARE(int(::crc8(data)), expected);
}

QTEST_GUILESS_MAIN(TstPollProtocol)
#include "tst_pollprotocol.moc"
