// The configurator started where things go wrong around it: no exchange log can be written, the
// settings file is junk, there is no port to open. It must start, say nothing about it, and
// still talk to a controller.

#include "fixture.h"
#include "ptypair.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>


namespace {

// Closes any modal box that opens while it lives and remembers its title: the window must
// report none of the faults tested here, and a box left open would stall the test.
class ModalWatch : public QObject
{
public:
    ModalWatch() : QObject(qApp)
    {
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                seen << modal->metaObject()->className();
                modal->close();
            }
        });
        poll->start(10);
    }
    QStringList seen;
};

const QByteArray kVersionRequest = QByteArray::fromHex("210101");
const QByteArray kShortPeriods = "[settings]\nZaprosTimeMs=50\nZaprosSimTimeMs=50\nZaprosResiverTimeMs=50\n";

// The controller identifies itself and the window takes it in: the exchange works.
void identifyTransmitter(WindowFixture &place)
{
    QCOMPARE(place.pty.readFor(kVersionRequest.size(), 3000), kVersionRequest);
    place.pty.write("<Transmitter v.296>");
    QTRY_COMPARE_WITH_TIMEOUT(int(P::deviceType(place.w())), 2, 3000);
    QCOMPARE(int(P::numVersion(place.w())), 296);
    QCOMPARE(P::lbVersion(place.w())->text(), QStringLiteral("<Transmitter v.296>"));
}

} // namespace

class TestReliability : public QObject
{
    Q_OBJECT

private slots:
    void unwritableLog_data();
    void unwritableLog();
    void junkSettings_data();
    void junkSettings();
    void noPort_data();
    void noPort();
};

// Root may write anywhere chmod forbids, so the log is made impossible in ways that stop root too.
void TestReliability::unwritableLog_data()
{
    QTest::addColumn<bool>("logIsFolder");   // else the working folder is /proc
    QTest::newRow("log.txt is a folder") << true;
    QTest::newRow("working folder is /proc") << false;
}

void TestReliability::unwritableLog()
{
    QFETCH(bool, logIsFolder);
    QTemporaryDir dir;
    QString folder = QStringLiteral("/proc");
    if (logIsFolder) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("log.txt")));
        QFile conf(dir.filePath(QStringLiteral("settings.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(kShortPeriods);
        conf.close();
        folder = dir.path();
    }
    ModalWatch boxes;
    WindowFixture place(WindowFixture::Folder{folder});
    MainWindow &w = place.w();
    QVERIFY(!P::logFile(w)->isOpen());

    // The request still reaches the port, the reply is still understood.
    QVERIFY(place.connectPty());
    identifyTransmitter(place);
    if (QTest::currentTestFailed())
        return;
    // The read goes on: the radio module is asked into command mode.
    const QByteArray commandMode = QByteArray::fromHex("21042b2b2b04");
    QByteArray sent;
    QTRY_VERIFY_WITH_TIMEOUT((sent += place.pty.readAvailable()).contains(commandMode), 5000);

    QVERIFY2(boxes.seen.isEmpty(), qPrintable(boxes.seen.join(", ")));
    if (logIsFolder)
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("log.txt"))).isDir());
    else
        QVERIFY(!QFile::exists(QStringLiteral("/proc/log.txt")));
}

// Whatever the file holds, each period is a usable number: the default where the file says
// nothing readable (a period of 0 would make the timer spin).
void TestReliability::junkSettings_data()
{
    QTest::addColumn<QByteArray>("conf");   // empty: settings.conf is a folder
    QTest::addColumn<int>("zapros");
    QTest::addColumn<int>("sim");
    QTest::addColumn<int>("resiver");

    QByteArray noise;
    quint32 x = 12345;
    for (int i = 0; i < 4096; ++i) {
        x = x * 1103515245u + 12345u;
        noise.append(char(x >> 24));
    }
    QTest::newRow("binary noise") << noise << 1000 << 1000 << 200;
    QTest::newRow("settings.conf is a folder") << QByteArray() << 1000 << 1000 << 200;
    QTest::newRow("keys outside the group") << QByteArray("ZaprosTimeMs=50\nZaprosSimTimeMs=60\n")
                                            << 1000 << 1000 << 200;
    QTest::newRow("values that are no numbers")
        << QByteArray("[settings]\nZaprosTimeMs=fast\nZaprosSimTimeMs=\nZaprosResiverTimeMs=1e3\n")
        << 1000 << 1000 << 200;
    QTest::newRow("broken lines around good keys")
        << QByteArray("[[]]\n=\n==x\n\x01\x02\x03\n[settings]\nZaprosTimeMs=300\n;;\n\xff\xfe\n"
                      "ZaprosResiverTimeMs=40\n")
        << 300 << 1000 << 40;
    QTest::newRow("two megabytes of one line") << QByteArray(2 << 20, 'x') << 1000 << 1000 << 200;
}

void TestReliability::junkSettings()
{
    QFETCH(QByteArray, conf);
    QFETCH(int, zapros);
    QFETCH(int, sim);
    QFETCH(int, resiver);
    QTemporaryDir dir;
    if (conf.isEmpty()) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("settings.conf")));
    } else {
        QFile file(dir.filePath(QStringLiteral("settings.conf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(conf);
    }
    ModalWatch boxes;
    WindowFixture place(WindowFixture::Folder{dir.path()});
    MainWindow &w = place.w();
    QCOMPARE(int(P::timerInterval(w)), zapros);
    QCOMPARE(int(P::timerSimInterval(w)), sim);
    QCOMPARE(int(P::timerResiverInterval(w)), resiver);
    QVERIFY(P::timer(w)->isActive());
    QCOMPARE(P::timer(w)->interval(), zapros);

    QVERIFY(place.connectPty());
    identifyTransmitter(place);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(boxes.seen.isEmpty(), qPrintable(boxes.seen.join(", ")));
}

// With no port to open the window stays disconnected and silent, and a port that turns up is
// then opened as usual.
void TestReliability::noPort_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("emptyList");
    QTest::newRow("empty port list") << QString() << true;
    QTest::newRow("blank name") << QStringLiteral("   ") << false;
    QTest::newRow("vanished device") << QStringLiteral("/dev/ttyTALVER-gone") << false;
    QTest::newRow("a folder") << QStringLiteral("/tmp") << false;
}

void TestReliability::noPort()
{
    QFETCH(QString, name);
    QFETCH(bool, emptyList);
    QTemporaryDir dir;
    QFile conf(dir.filePath(QStringLiteral("settings.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(kShortPeriods);
    conf.close();

    ModalWatch boxes;
    WindowFixture place(WindowFixture::Folder{dir.path()});
    MainWindow &w = place.w();
    if (emptyList)
        P::cbPort(w)->clear();
    P::cbPort(w)->setEditText(name);
    P::pbConnect(w)->click();

    QVERIFY(!P::port(w)->isOpen());
    QCOMPARE(P::pbConnect(w)->text(), QStringLiteral("Подключить"));
    QVERIFY(!P::pbRead(w)->isEnabled());
    QVERIFY(!P::pbWrite(w)->isEnabled());
    QVERIFY(!P::pbDefault(w)->isEnabled());
    QVERIFY(P::cbPort(w)->isEnabled());

    // The sequencer ticks on without sending or asking anything.
    QSignalSpy ticks(P::timer(w), &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 3, 2000);
    QCOMPARE(P::currentAction(w), ActionType::none);
    QFile log(dir.filePath(QStringLiteral("log.txt")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray());

    QVERIFY(place.connectPty());
    identifyTransmitter(place);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(boxes.seen.isEmpty(), qPrintable(boxes.seen.join(", ")));
}

QTEST_MAIN(TestReliability)
#include "tst_reliability.moc"
