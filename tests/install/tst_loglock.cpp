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
    QTest::addColumn<int>("running");       // configurators already logging in the folder
    QTest::addColumn<QByteArray>("lock");   // a "log.txt.lock" left there, "-" for none; HOST: this one
    QTest::addColumn<int>("ageS");          // and its age
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("notice");    // part of the notice; empty: no notice

    QTest::newRow("alone") << 0 << QByteArray("-") << 0 << "log.txt" << "";
    QTest::newRow("second") << 1 << QByteArray("-") << 0 << "log-2.txt" << "log-2.txt";
    QTest::newRow("third") << 2 << QByteArray("-") << 0 << "log-3.txt" << "log-3.txt";
    QTest::newRow("first crashed") << 0 << QByteArray("2147483647\nx\nHOST\n") << 0 << "log.txt" << "2147483647 уже не работает";
    QTest::newRow("empty, stale") << 0 << QByteArray() << 11 << "log.txt" << "log.txt.lock (файл был пуст";
    QTest::newRow("empty, being written") << 0 << QByteArray() << 0 << "log-2.txt" << "log-2.txt";
    QTest::newRow("another machine") << 0 << QByteArray("1\nx\npc-7\n") << 3600 << "log-2.txt" << "pc-7 (процесс 1, x); если он";
}

void tst_LogLock::choice()
{
    QFETCH(int, running);
    QFETCH(QByteArray, lock);
    QFETCH(int, ageS);
    QFETCH(QString, expected);
    QFETCH(QString, notice);
    QTemporaryDir dir;

    std::vector<std::unique_ptr<LogLock>> others;
    for (int i = 0; i < running; ++i)
        others.push_back(std::make_unique<LogLock>(dir.path()));
    if (lock != "-") {
        QFile lockFile(dir.filePath(QStringLiteral("log.txt.lock")));
        QVERIFY(lockFile.open(QIODevice::WriteOnly));
        lockFile.write(lock.replace("HOST", QSysInfo::machineHostName().toLocal8Bit()));
        QVERIFY(lockFile.setFileTime(QDateTime::currentDateTime().addSecs(-ageS), QFileDevice::FileModificationTime));
    }

    const LogLock logLock(dir.path());
    QCOMPARE(logLock.fileName(), expected);
    QVERIFY2(notice.isEmpty() ? logLock.notice().isEmpty() : logLock.notice().contains(notice), qPrintable(logLock.notice()));
}

QTEST_GUILESS_MAIN(tst_LogLock)
#include "tst_loglock.moc"
