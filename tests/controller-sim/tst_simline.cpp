// The simulator on a real serial line: PtyServer in-process and the controller-sim program,
// both driven through QSerialPort over a pseudo-terminal.

#include "ptyserver.h"
#include "ptypair.h"
#include "simdevice.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using sim::Device;
using sim::PtyServer;

namespace {

const QByteArray Identity = QByteArray::fromHex("210101");

// Opens a port the way the configurator does: 19200 8N1, no flow control.
bool openLine(QSerialPort &port, const QString &path)
{
    port.setPortName(path);
    port.setBaudRate(QSerialPort::Baud19200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return port.open(QIODevice::ReadWrite);
}

// Keeps every readyRead batch apart, so a test can see how a reply was split.
class BatchRecorder : public QObject
{
public:
    explicit BatchRecorder(QSerialPort *port) : QObject(port), m_port(port)
    {
        connect(port, &QSerialPort::readyRead, this, [this] {
            batches.append(m_port->readAll());
            elapsed.append(clock.elapsed());
        });
        clock.start();
    }
    QByteArray all() const { return batches.join(); }

    QList<QByteArray> batches;
    QList<qint64> elapsed;
    QElapsedTimer clock;

private:
    QSerialPort *m_port;
};

} // namespace

class TestSimLine : public QObject
{
    Q_OBJECT

private slots:
    void serverAnswers_data();
    void serverAnswers();
    void splitAndDelay();
    void faultsChangeAtRunTime();
    void halfFrameIsForgotten();
    void closeMasterPullsTheCable();
    void servesAnExistingPort();
    void program_data();
    void program();
};

void TestSimLine::serverAnswers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("identity") << Identity << QByteArray("<Transmitter v.296>");
    QTest::newRow("settings") << QByteArray::fromHex("210103")
                              << QByteArray::fromHex("03051102020700010a0a0a0a01");
    QTest::newRow("command mode") << QByteArray::fromHex("21042b2b2b04") << QByteArray("OK\r\n");
}

void TestSimLine::serverAnswers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    Device device;
    PtyServer server(&device);
    QVERIFY(server.isValid());
    QSignalSpy requests(&server, &PtyServer::requestReceived);
    QSignalSpy replies(&server, &PtyServer::replySent);

    QSerialPort port;
    QVERIFY(openLine(port, server.slavePath()));
    BatchRecorder recorder(&port);
    port.write(request);
    QTRY_COMPARE(recorder.all(), reply);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().first().toByteArray(), request);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.first().first().toByteArray(), reply);
}

void TestSimLine::splitAndDelay()
{
    sim::Faults faults;
    faults.splitChunk = 4;
    faults.splitPauseMs = 40;
    faults.delayMs = 150;
    Device device;
    PtyServer server(&device, faults);
    QSignalSpy replies(&server, &PtyServer::replySent);
    QSerialPort port;
    QVERIFY(openLine(port, server.slavePath()));
    BatchRecorder recorder(&port);

    port.write(Identity);
    port.write(Identity);
    const QByteArray one("<Transmitter v.296>");
    QTRY_COMPARE_WITH_TIMEOUT(recorder.all(), one + one, 5000);
    QVERIFY2(recorder.elapsed.first() >= 140, QByteArray::number(recorder.elapsed.first()));
    // 2 × 19 bytes in 4-byte pieces 40 ms apart: 10 pieces, which the reader sees separately.
    QVERIFY2(recorder.batches.size() >= 8, QByteArray::number(recorder.batches.size()));
    for (const QByteArray &batch : qAsConst(recorder.batches))
        QVERIFY(batch.size() <= 4);
    QCOMPARE(replies.size(), 2);
    QCOMPARE(replies.at(1).first().toByteArray(), one);
}

void TestSimLine::faultsChangeAtRunTime()
{
    Device device;
    sim::Faults silent;
    silent.silent = true;
    PtyServer server(&device, silent);
    QSignalSpy requests(&server, &PtyServer::requestReceived);
    QSerialPort port;
    QVERIFY(openLine(port, server.slavePath()));
    BatchRecorder recorder(&port);

    port.write(Identity);
    QTRY_COMPARE(requests.size(), 1);
    QTest::qWait(200);
    QVERIFY(recorder.all().isEmpty());

    server.setFaults({});
    QVERIFY(!device.faults().silent);
    port.write(Identity);
    QTRY_COMPARE(recorder.all(), QByteArray("<Transmitter v.296>"));
}

void TestSimLine::halfFrameIsForgotten()
{
    Device device;
    PtyServer server(&device);
    QSerialPort port;
    QVERIFY(openLine(port, server.slavePath()));
    BatchRecorder recorder(&port);

    // A stray "!" with a large length byte must not swallow the next request.
    port.write(QByteArray::fromHex("21ff41"));
    QTRY_VERIFY(device.hasPartialFrame());
    QTRY_VERIFY_WITH_TIMEOUT(!device.hasPartialFrame(), 2000);
    port.write(Identity);
    QTRY_COMPARE(recorder.all(), QByteArray("<Transmitter v.296>"));
}

void TestSimLine::closeMasterPullsTheCable()
{
    Device device;
    PtyServer server(&device);
    QSerialPort port;
    QVERIFY(openLine(port, server.slavePath()));
    // As the configurator does: a device that is gone closes the port.
    QList<QSerialPort::SerialPortError> errors;
    connect(&port, &QSerialPort::errorOccurred, this, [&](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::NoError)
            return;
        errors.append(error);
        if (error == QSerialPort::ResourceError)
            port.close();
    });
    server.closeMaster();
    QVERIFY(!server.isValid());
    // A hung-up pseudo-terminal reads as end of file (Qt reports ReadError); the next
    // request fails to go out, which Qt reports as ResourceError.
    port.write(Identity);
    QTRY_VERIFY(!port.isOpen());
    QCOMPARE(errors.last(), QSerialPort::ResourceError);
}

void TestSimLine::servesAnExistingPort()
{
    PtyPair pair;
    QVERIFY(pair.isValid());
    Device device(Device::Receiver, 221);
    PtyServer *server = PtyServer::forPort(&device, pair.slavePath(), {}, this);
    QVERIFY(server->isValid());
    QCOMPARE(server->slavePath(), pair.slavePath());
    QVERIFY(pair.write(QByteArray::fromHex("2102051e")));
    QCOMPARE(pair.readFor(Device::RecordSize), device.record(5));

    PtyServer *missing = PtyServer::forPort(&device, QStringLiteral("/nonexistent/ttyX"), {}, this);
    QVERIFY(!missing->isValid());
    QVERIFY(!missing->errorString().isEmpty());
    delete server;
    delete missing;
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
    QTest::newRow("split replies") << QStringList{"--split", "--delay", "20"}
                                   << Identity << QByteArray("<Transmitter v.296>");
}

void TestSimLine::program()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttySIM"));
    QProcess process;
    process.start(QStringLiteral(CONTROLLER_SIM_PROGRAM),
                  arguments + QStringList{QStringLiteral("--link"), link});
    QVERIFY(process.waitForStarted());

    QByteArray out;
    const QRegularExpression portLine(QStringLiteral("^Port: (\\S+)$"),
                                      QRegularExpression::MultilineOption);
    QTRY_VERIFY((out += process.readAllStandardOutput(),
                 portLine.match(QString::fromLocal8Bit(out)).hasMatch()));
    const QString path = portLine.match(QString::fromLocal8Bit(out)).captured(1);
    QVERIFY(path.startsWith(QLatin1String("/dev/")));
    QTRY_VERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);

    QSerialPort port;
    QVERIFY(openLine(port, link));
    BatchRecorder recorder(&port);
    port.write(request);
    QTRY_COMPARE(recorder.all(), reply);

    // The analyser lines: direction, hex and text.
    QTRY_VERIFY((out += process.readAllStandardOutput(),
                 out.contains("<- " + reply.toHex(' '))));
    QVERIFY(out.contains("-> " + request.toHex(' ')));
    port.close();

    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_simline.moc"
