// The poll responder: its CRC-8 against an independent reference, then the window answering
// polls over a pseudo-terminal pair, the test being the polling side of the line.

#include "mainwindow.h"
#include "notelabel.h"
#include "pollprotocol.h"
#include "ptypair.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QtTest>

#include <memory>

class TstPollResponder : public QObject
{
    Q_OBJECT

private slots:
    void crc8_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("expected");
        QTest::newRow("empty") << QByteArray() << 0x00;
        QTest::newRow("check value 123456789") << QByteArray("123456789") << 0xA1;
        QTest::newRow("single bit 0") << QByteArray::fromHex("01") << 0x5E;
        QTest::newRow("single bit 7") << QByteArray::fromHex("80") << 0x8C;
        QTest::newRow("every bit") << QByteArray::fromHex("ff") << 0x35;
        QTest::newRow("ten mixed bytes") << QByteArray::fromHex("deadbeefcafebabe0102") << 0xD8;
    }
    // The plain bit-by-bit reflected CRC-8 with polynomial 0x8C agrees with the table's.
    void crc8()
    {
        QFETCH(QByteArray, data);
        quint8 crc = 0;
        for (const char byte : data) {
            crc ^= quint8(byte);
            for (int i = 0; i < 8; ++i)
                crc = (crc & 1) ? quint8((crc >> 1) ^ 0x8C) : quint8(crc >> 1);
        }
        QTEST(int(crc), "expected");
        QTEST(int(::crc8(data)), "expected");
    }

    void init()
    {
        pty = std::make_unique<PtyPair>();
        window = std::make_unique<MainWindow>();
        pbConnect = window->findChild<QPushButton *>(QStringLiteral("pbConnect"));
        window->findChild<QComboBox *>(QStringLiteral("cbPort"))->setEditText(pty->slavePath());
        pbConnect->click();
        QCOMPARE(pbConnect->text(), QStringLiteral("CLOSE"));
        QCOMPARE(window->findChild<QSerialPort *>()->baudRate(), 19200);
    }
    void cleanup()
    {
        window.reset();
        pty.reset();
    }

    void answers_data()
    {
        QTest::addColumn<QByteArrayList>("batches");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("debugLines");
        const QByteArray reply1 = QByteArray::fromHex("3e010601010001004c"), reply0 = QByteArray::fromHex("3e00060000000000f7");
        QTest::newRow("address 1 byte by byte") << bytewise("3101066c") << reply1 << QStringList{"1"};
        QTest::newRow("wrong crc") << bytewise("31010600") << QByteArray() << QStringList{"crcError"};
        QTest::newRow("command not examined") << bytewise("31050709") << QByteArray::fromHex("3e0506050500050092")
                                              << QStringList{"5"};
        // A line that echoes: the reply to 0x31 holds start bytes, yet the poll behind it is answered.
        QTest::newRow("poll after an echoed reply") << bytewise("3e31063131003100b9" "3101066c") << reply1
            << QStringList{"crcError", "crcError", "crcError", "crcError", "1"};
        QTest::newRow("address ff") << bytewise("31ff0629") << QByteArray::fromHex("3eff06ffff00ff0052") << QStringList{"255"};
        QTest::newRow("noise before the start byte") << QByteArrayList{QByteArray::fromHex("00ff3e3101066c")} << reply1
                                                     << QStringList{"1"};
        QTest::newRow("bad then good in one batch") << QByteArrayList{QByteArray::fromHex("31010600310006a8")} << reply0
                                                    << QStringList{"crcError", "0"};
        QTest::newRow("split 1 + 5 + 2") << QByteArrayList{QByteArray::fromHex("31"), QByteArray::fromHex("01066c3100"),
                                                           QByteArray::fromHex("06a8")}
                                         << reply1 + reply0 << QStringList{"1", "0"};
    }
    void answers()
    {
        QFETCH(QByteArrayList, batches);
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, debugLines);
        for (const QString &line : debugLines)
            QTest::ignoreMessage(QtDebugMsg, qPrintable(line));
        for (const QByteArray &batch : batches)
            deliver(batch);
        QByteArray got = pty->readFor(reply.size());
        QCOMPARE((got + pty->readFor(1, 150)).toHex(), reply.toHex());   // and nothing after it
        const int refused = debugLines.count(QStringLiteral("crcError"));
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("lbCounts"))->text(),
                 QStringLiteral("Ответов: %1, ошибок CRC: %2").arg(debugLines.size() - refused).arg(refused));
    }

    // Closing drops half a request: had "31 01" been kept, "06 6C" would complete a poll of 1.
    // A pulled cable closes the port with a note.
    void closing()
    {
        deliver(QByteArray::fromHex("3101"));
        pbConnect->click();
        QCOMPARE(pbConnect->text(), QStringLiteral("OPEN"));
        pbConnect->click();
        QTest::ignoreMessage(QtDebugMsg, "0");
        deliver(QByteArray::fromHex("066c310006a8"));
        QCOMPARE(pty->readFor(9).toHex(), QByteArray("3e00060000000000f7"));
        pty->closeMaster();
        QTRY_COMPARE(pbConnect->text(), QStringLiteral("OPEN"));
        QVERIFY(window->findChild<NoteLabel *>()->note().startsWith(QStringLiteral("Связь с портом")));
    }

private:
    static QByteArrayList bytewise(const char *hex)
    {
        QByteArrayList batches;
        for (const char byte : QByteArray::fromHex(hex))
            batches << QByteArray(1, byte);
        return batches;
    }
    // Writes one batch and returns once the window has had its read of it.
    void deliver(const QByteArray &batch)
    {
        QSignalSpy spy(window->findChild<QSerialPort *>(), &QSerialPort::readyRead);
        QVERIFY(pty->write(batch));
        QVERIFY(spy.wait(2000));
    }

    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<MainWindow> window;
    QPushButton *pbConnect = nullptr;
};

QTEST_MAIN(TstPollResponder)
#include "tst_pollresponder.moc"
