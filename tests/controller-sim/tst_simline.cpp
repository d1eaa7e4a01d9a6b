// The simulator on a real serial line: PtyServer in-process and the controller-sim program,
// both driven through QSerialPort over a pseudo-terminal.

#include "ptyserver.h"
#include "simdevice.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using sim::Device;
using sim::PtyServer;

namespace {

const QByteArray Identity = QByteArray::fromHex("210101");
const QByteArray TransmitterIdentity("<Transmitter v.296>");

// A port at 19200 baud (8N1 without flow control are Qt's defaults, as in the configurator)
// that keeps every readyRead batch apart, so a test can see how a reply was split and when.
class Line : public QSerialPort
{
public:
    explicit Line(const QString &path)
    {
        setPortName(path);
        setBaudRate(Baud19200);
        connect(this, &QSerialPort::readyRead, this, [this] {
            batches.append(readAll());
            elapsed.append(clock.elapsed());
        });
        clock.start();
    }
    QByteArray all() const { return batches.join(); }

    QList<QByteArray> batches;
    QList<qint64> elapsed;
    QElapsedTimer clock;
};

} // namespace

class TestSimLine : public QObject
{
    Q_OBJECT

private slots:
    void splitAndDelay();
    void halfFrameIsForgotten();
    void program_data();
    void program();
};

void TestSimLine::splitAndDelay()
{
    sim::Faults faults;
    faults.splitChunk = 4;
    faults.splitPauseMs = 40;
    faults.delayMs = 150;
    Device device;
    PtyServer server(&device, faults);
    QSignalSpy requests(&server, &PtyServer::requestReceived);
    QSignalSpy replies(&server, &PtyServer::replySent);
    Line port(server.slavePath());
    QVERIFY(port.open(QIODevice::ReadWrite));

    port.write(Identity);
    port.write(Identity);
    QTRY_COMPARE_WITH_TIMEOUT(port.all(), TransmitterIdentity + TransmitterIdentity, 5000);
    QVERIFY2(port.elapsed.first() >= 140, QByteArray::number(port.elapsed.first()));
    // 2 × 19 bytes in 4-byte pieces 40 ms apart: 10 pieces, which the reader sees separately.
    QVERIFY2(port.batches.size() >= 8, QByteArray::number(port.batches.size()));
    for (const QByteArray &batch : qAsConst(port.batches))
        QVERIFY(batch.size() <= 4);
    QCOMPARE(requests.size(), 2);
    QCOMPARE(replies.size(), 2);
    QCOMPARE(replies.at(1).first().toByteArray(), TransmitterIdentity);
}

void TestSimLine::halfFrameIsForgotten()
{
    Device device;
    PtyServer server(&device);
    Line port(server.slavePath());
    QVERIFY(port.open(QIODevice::ReadWrite));

    // A stray "!" with a large length byte must not swallow the next request.
    port.write(QByteArray::fromHex("21ff41"));
    QTRY_VERIFY(device.hasPartialFrame());
    QTRY_VERIFY_WITH_TIMEOUT(!device.hasPartialFrame(), 2000);
    port.write(Identity);
    QTRY_COMPARE(port.all(), TransmitterIdentity);
}

void TestSimLine::program_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("receiver identity") << QStringList{"--type", "receiver", "--version", "221"}
                                       << Identity << QByteArray("<Receiver v.221>");
    QTest::newRow("transmitter settings at 295") << QStringList{"--version", "295"}
        << QByteArray::fromHex("210103") << QByteArray::fromHex("03051102020700010a0a0a0a");
    QTest::newRow("split replies") << QStringList{"--split", "--delay", "20"} << Identity << TransmitterIdentity;
}

void TestSimLine::program()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttySIM"));
    QProcess process;
    process.start(QStringLiteral(CONTROLLER_SIM_PROGRAM),
                  arguments + QStringList{QStringLiteral("--link"), link});
    QVERIFY(process.waitForStarted());

    QTRY_VERIFY(QFileInfo(link).isSymLink());
    Line port(link);
    QVERIFY(port.open(QIODevice::ReadWrite));
    port.write(request);
    QTRY_COMPARE(port.all(), reply);

    // The port's name, then the analyser lines: direction, hex and text.
    QByteArray out;
    QTRY_VERIFY((out += process.readAllStandardOutput(), out.contains("<- " + reply.toHex(' '))));
    QVERIFY(out.contains("Port: " + QFileInfo(link).symLinkTarget().toLocal8Bit() + '\n'));
    QVERIFY(out.contains("-> " + request.toHex(' ')));
    port.close();

    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QVERIFY(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_simline.moc"
