#include "loglock.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

class tst_LogLock : public QObject
{
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
};

void tst_LogLock::choice_data()
{
    QTest::addColumn<int>("running");    // configurators already logging in the folder
    QTest::addColumn<bool>("crashed");   // "log.txt.lock" left by a configurator that ended
    QTest::addColumn<QString>("expected");

    QTest::newRow("alone") << 0 << false << "log.txt";
    QTest::newRow("second") << 1 << false << "log-2.txt";
    QTest::newRow("third") << 2 << false << "log-3.txt";
    QTest::newRow("first crashed") << 0 << true << "log.txt";
}

void tst_LogLock::choice()
{
    QFETCH(int, running);
    QFETCH(bool, crashed);
    QFETCH(QString, expected);
    QTemporaryDir dir;

    std::vector<std::unique_ptr<LogLock>> others;
    for (int i = 0; i < running; ++i)
        others.push_back(std::make_unique<LogLock>(dir.path()));
    if (crashed) {   // by a process that cannot exist: beyond the largest process id
        QFile lockFile(dir.filePath(QStringLiteral("log.txt.lock")));
        QVERIFY(lockFile.open(QIODevice::WriteOnly));
        lockFile.write("2147483647\nconfigurator\n" + QSysInfo::machineHostName().toLocal8Bit() + '\n');
    }

    const LogLock lock(dir.path());
    QCOMPARE(lock.fileName(), expected);
    QCOMPARE(lock.notice().contains(expected), expected != QLatin1String("log.txt"));
}

QTEST_GUILESS_MAIN(tst_LogLock)
#include "tst_loglock.moc"
