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
#include <QToolBar>
#include <QtTest>

#include <memory>

class TstPollResponder : public QObject
{
    Q_OBJECT

private slots:
    // Every table entry against the plain bit-by-bit reflected CRC-8 (polynomial 0x8C).
    void crc8()
    {
        for (int b = 0; b < 256; ++b) {
            quint8 crc = quint8(b);
            for (int i = 0; i < 8; ++i) crc = (crc & 1) ? quint8((crc >> 1) ^ 0x8C) : quint8(crc >> 1);
            QCOMPARE(int(::crc8(QByteArray(1, char(b)))), int(crc));
        }
    }

    void init()
    {
        window.reset();
        pty = std::make_unique<sim::PtyPair>();
        window = std::make_unique<MainWindow>();
        pbConnect = window->findChild<QPushButton *>(QStringLiteral("pbConnect"));
        window->findChild<QComboBox *>(QStringLiteral("cbPort"))->setEditText(pty->slavePath());
        pbConnect->click();
        QCOMPARE(window->findChild<QSerialPort *>()->baudRate(), 19200);
        QVERIFY(window->findChild<QToolBar *>()->isHidden());   // empty: no strip under the menu bar
    }

    // Requests in hex with "|" between the batches written, the replies, the debug lines (whose
    // "crcError"s and answers the counts show).
    void answers_data()
    {
        QTest::addColumn<QString>("requests");
        QTest::addColumn<QString>("replies");
        QTest::addColumn<QString>("debugLines");
        // A line that echoes: the reply to 0x31 holds start bytes, yet the poll behind it is answered.
        QTest::newRow("poll after an echoed reply") << "3e|31|06|31|31|00|31|00|b9|31|01|06|6c" << "3e010601010001004c"
                                                    << "crcError crcError crcError crcError 1";
        QTest::newRow("noise, a command not examined") << "00ff3e31|05|07|09" << "3e0506050500050092" << "5";
        QTest::newRow("bad then good in one batch") << "31010600310006a8" << "3e00060000000000f7" << "crcError 0";
        QTest::newRow("split 1 + 5 + 2") << "31|01066c3100|06a8" << "3e010601010001004c3e00060000000000f7" << "1 0";
    }
    void answers()
    {
        QFETCH(QString, requests);
        QFETCH(QString, replies);
        QFETCH(QString, debugLines);
        const QStringList lines = debugLines.split(QLatin1Char(' '));
        for (const QString &batch : requests.split(QLatin1Char('|')))
            deliver(QByteArray::fromHex(batch.toLatin1()));
        QByteArray got;
        QTRY_VERIFY((got += pty->readAvailable()).size() >= replies.size() / 2);
        QTest::qWait(150);   // and nothing after it
        QCOMPARE((got + pty->readAvailable()).toHex(), replies.toLatin1());
        const int refused = lines.count(QStringLiteral("crcError"));
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("lbCounts"))->text(),
                 QStringLiteral("Ответов: %1, ошибок CRC: %2").arg(lines.size() - refused).arg(refused));
    }

    // Closing drops half a request: had "31 01" been kept, "06 6C" would complete a poll of 1.
    // A pulled cable closes the port with a note.
    void closing()
    {
        deliver(QByteArray::fromHex("3101"));
        pbConnect->click();
        pbConnect->click();
        deliver(QByteArray::fromHex("066c310006a8"));
        QByteArray got;
        QTRY_COMPARE((got += pty->readAvailable()).toHex(), QByteArray("3e00060000000000f7"));
        pty->closeMaster();
        QTRY_COMPARE(pbConnect->text(), QStringLiteral("OPEN"));
        QVERIFY(window->findChild<NoteLabel *>()->note().startsWith(QStringLiteral("Связь с портом")));
    }

    // A peer that reads its replies only after its 10,000 polls: the line fills up, the replies
    // wait, and all of them come in order once it reads; the port stays open.
    void readLate()
    {
        QByteArray polls, replies;
        for (int i = 0; i < 10000; ++i) {
            const QByteArray head = QByteArray::fromHex("31") + char(i) + '\x06';
            polls += head + char(::crc8(head));
            replies += pollReply(quint8(i));
        }
        const auto *counts = window->findChild<QLabel *>(QStringLiteral("lbCounts"));
        for (int sent = 500; sent <= 10000; sent += 500) {
            QVERIFY(pty->write(polls.mid(sent * 4 - 2000, 2000)));
            QTRY_COMPARE(counts->text(), QStringLiteral("Ответов: %1, ошибок CRC: 0").arg(sent));
        }
        QVERIFY(window->findChild<QSerialPort *>()->bytesToWrite() > 0);   // the line is full
        QByteArray got;
        QTRY_COMPARE_WITH_TIMEOUT((got += pty->readAvailable()).size(), replies.size(), 10000);
        QVERIFY(got == replies);
        QCOMPARE(pbConnect->text(), QStringLiteral("CLOSE"));
    }

private:
    // Writes one batch and returns once the window has had its read of it.
    void deliver(const QByteArray &batch)
    {
        QSignalSpy spy(window->findChild<QSerialPort *>(), &QSerialPort::readyRead);
        QVERIFY(pty->write(batch));
        QVERIFY(spy.wait(2000));
    }

    std::unique_ptr<sim::PtyPair> pty;
    std::unique_ptr<MainWindow> window;
    QPushButton *pbConnect = nullptr;
};

QTEST_MAIN(TstPollResponder)
#include "tst_pollresponder.moc"
