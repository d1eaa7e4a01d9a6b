#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Both programs started with --user-folder, as their menu entries start them, work in their
// own folder under XDG_DATA_HOME and leave the working directory empty.
class tst_UserFolder : public QObject
{
    Q_OBJECT

private slots:
    void folder_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("log");   // the file it writes there, if any
        QTest::newRow("configurator") << CONFIGURATOR_PATH << "talver/configurator" << "log.txt";
        QTest::newRow("poll-responder") << POLL_RESPONDER_PATH << "talver/poll-responder" << "";
    }
    void folder()
    {
        QFETCH(QString, program);
        QFETCH(QString, folder);
        QFETCH(QString, log);
        QTemporaryDir dataHome;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dataHome.path());   // where the files would go without the option
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, {QStringLiteral("--user-folder")});
        QVERIFY(process.waitForStarted());
        const QString cwd = QStringLiteral("/proc/%1/cwd").arg(process.processId());
        const QString expected = QDir(dataHome.path()).canonicalPath() + QLatin1Char('/') + folder;
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(cwd).canonicalFilePath(), expected, 20000);
        if (!log.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(expected + QLatin1Char('/') + log), 20000);
        QCOMPARE(QDir(dataHome.path()).entryList(QDir::Files), QStringList());
        process.kill();
        process.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(tst_UserFolder)
#include "tst_userfolder.moc"
