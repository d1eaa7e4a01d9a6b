#include "mainwindow.h"
#include "notelabel.h"
#include "ptypair.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QtTest>

// Drives the window over a pseudo-terminal pair: the test is the polling side of the line.
class TstPollResponder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void answers_data();
    void answers();
    void clickDropsHalfRequest();
    void pulledCableCloses();
    void portOptionSelects();

private:
    void deliver(const QByteArray &batch);
    QByteArray readReply(int expectedSize);

    PtyPair *pty = nullptr;
    MainWindow *window = nullptr;
    QSerialPort *port = nullptr;
    QPushButton *pbConnect = nullptr;
};

static QByteArrayList bytewise(const QByteArray &hex)
{
    QByteArrayList batches;
    for (const char byte : QByteArray::fromHex(hex))
        batches << QByteArray(1, byte);
    return batches;
}

void TstPollResponder::init()
{
    pty = new PtyPair;
    QVERIFY(pty->isValid());
    window = new MainWindow;
    port = window->findChild<QSerialPort *>();
    pbConnect = window->findChild<QPushButton *>(QStringLiteral("pbConnect"));
    auto *cbPort = window->findChild<QComboBox *>(QStringLiteral("cbPort"));
    QVERIFY(port && pbConnect && cbPort);
    QCOMPARE(pbConnect->text(), QStringLiteral("Подключить"));
    cbPort->setEditText(pty->slavePath());
    pbConnect->click();
    QCOMPARE(pbConnect->text(), QStringLiteral("CLOSE"));
    QCOMPARE(port->baudRate(), 19200);
}

void TstPollResponder::cleanup()
{
    delete window;
    delete pty;
}

// Writes one batch and returns once the window has had its read of it.
void TstPollResponder::deliver(const QByteArray &batch)
{
    QSignalSpy spy(port, &QSerialPort::readyRead);
    QVERIFY(pty->write(batch));
    QVERIFY(spy.wait(2000));
}

// The expected bytes, and anything that follows them shortly.
QByteArray TstPollResponder::readReply(int expectedSize)
{
    QByteArray got = pty->readFor(expectedSize);
    return got + pty->readFor(1, 150);
}

void TstPollResponder::answers_data()
{
    QTest::addColumn<QByteArrayList>("batches");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("debugLines");

    const QByteArray reply1 = QByteArray::fromHex("3e010601010001004c");
    const QByteArray reply0 = QByteArray::fromHex("3e00060000000000f7");

    QTest::newRow("address 1 byte by byte") << bytewise("3101066c") << reply1 << QStringList{"1"};
    QTest::newRow("address 0 byte by byte") << bytewise("310006a8") << reply0 << QStringList{"0"};
    QTest::newRow("wrong crc") << bytewise("31010600") << QByteArray() << QStringList{"crcError"};
    QTest::newRow("command not examined") << bytewise("31050709")
        << QByteArray::fromHex("3e0506050500050092") << QStringList{"5"};
    QTest::newRow("0x31 inside a request") << bytewise("3131317c")
        << QByteArray::fromHex("3e31063131003100b9") << QStringList{"49"};
    // A line that echoes: the reply to 0x31 holds start bytes, yet the poll behind it is answered.
    QTest::newRow("poll after an echoed reply") << bytewise("3e31063131003100b9" "3101066c") << reply1
        << QStringList{"crcError", "crcError", "crcError", "crcError", "1"};
    QTest::newRow("address ff") << bytewise("31ff0629")
        << QByteArray::fromHex("3eff06ffff00ff0052") << QStringList{"255"};
    QTest::newRow("noise before the start byte")
        << QByteArrayList{QByteArray::fromHex("00ff3e3101066c")} << reply1 << QStringList{"1"};
    QTest::newRow("four bytes at once")
        << QByteArrayList{QByteArray::fromHex("3101066c")} << reply1 << QStringList{"1"};
    QTest::newRow("two requests in one batch")
        << QByteArrayList{QByteArray::fromHex("3101066c310006a8")} << reply1 + reply0
        << QStringList{"1", "0"};
    QTest::newRow("bad then good in one batch")
        << QByteArrayList{QByteArray::fromHex("31010600310006a8")} << reply0
        << QStringList{"crcError", "0"};
    QTest::newRow("split 3 + 1")
        << QByteArrayList{QByteArray::fromHex("310106"), QByteArray::fromHex("6c")} << reply1
        << QStringList{"1"};
    QTest::newRow("split 1 + 5 + 2")
        << QByteArrayList{QByteArray::fromHex("31"), QByteArray::fromHex("01066c3100"),
                          QByteArray::fromHex("06a8")}
        << reply1 + reply0 << QStringList{"1", "0"};
}

void TstPollResponder::answers()
{
    QFETCH(QByteArrayList, batches);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, debugLines);
    for (const QString &line : debugLines)
        QTest::ignoreMessage(QtDebugMsg, qPrintable(line));
    for (const QByteArray &batch : batches)
        deliver(batch);
    QCOMPARE(readReply(reply.size()).toHex(), reply.toHex());
    const int refused = debugLines.count(QStringLiteral("crcError"));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("lbCounts"))->text(),
             QStringLiteral("Ответов: %1, ошибок CRC: %2").arg(debugLines.size() - refused).arg(refused));
}

void TstPollResponder::clickDropsHalfRequest()
{
    deliver(QByteArray::fromHex("3101"));
    pbConnect->click();
    QCOMPARE(pbConnect->text(), QStringLiteral("OPEN"));
    pbConnect->click();
    QCOMPARE(pbConnect->text(), QStringLiteral("CLOSE"));
    // Had "31 01" been kept, "06 6C" would complete a poll of address 1.
    QTest::ignoreMessage(QtDebugMsg, "0");
    deliver(QByteArray::fromHex("066c310006a8"));
    QCOMPARE(readReply(9).toHex(), QByteArray("3e00060000000000f7"));
}

void TstPollResponder::pulledCableCloses()
{
    deliver(QByteArray::fromHex("3101"));
    pty->closeMaster();
    QTRY_COMPARE(pbConnect->text(), QStringLiteral("OPEN"));
    QVERIFY(!port->isOpen());
    QVERIFY(window->findChild<NoteLabel *>()->note().startsWith(QStringLiteral("Связь с портом")));
}

void TstPollResponder::portOptionSelects()
{
    auto *cbPort = window->findChild<QComboBox *>(QStringLiteral("cbPort"));
    const int listed = cbPort->count();
    window->selectPort(QStringLiteral("/dev/nonexistent-port"));
    QCOMPARE(cbPort->count(), listed);   // shown as typed: the next listing keeps it
    QCOMPARE(cbPort->currentText(), QStringLiteral("/dev/nonexistent-port"));
}

QTEST_MAIN(TstPollResponder)
#include "tst_pollresponder.moc"
