#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

// Both programs started with --user-folder, as their menu entries start them.
class tst_UserFolder : public QObject
{
    Q_OBJECT

private slots:
    void init() { dataHome = std::make_unique<QTemporaryDir>(); }
    void cleanup();
    void folder_data();
    void folder();
    void twoConfigurators();

private:
    qint64 start(const QString &program);

    std::unique_ptr<QTemporaryDir> dataHome;
    std::vector<std::unique_ptr<QProcess>> running;
};

void tst_UserFolder::cleanup()
{
    for (auto &process : running) {
        process->kill();
        process->waitForFinished();
    }
    running.clear();
}

qint64 tst_UserFolder::start(const QString &program)
{
    running.push_back(std::make_unique<QProcess>());
    QProcess &process = *running.back();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome->path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dataHome->path());   // where the files would go without the option
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, {QStringLiteral("--user-folder")});
    process.waitForStarted();
    return process.processId();
}

void tst_UserFolder::folder_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("log");   // the file it writes there, if any

    QTest::newRow("configurator") << CONFIGURATOR_PATH << "talver/configurator" << "log.txt";
    QTest::newRow("poll-responder") << POLL_RESPONDER_PATH << "talver/poll-responder" << "";
}

void tst_UserFolder::folder()
{
    QFETCH(QString, program);
    QFETCH(QString, folder);
    QFETCH(QString, log);

    const QString cwd = QStringLiteral("/proc/%1/cwd").arg(start(program));
    const QString expected = QDir(dataHome->path()).canonicalPath() + QLatin1Char('/') + folder;
    QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(cwd).canonicalFilePath(), expected, 20000);
    if (!log.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(expected + QLatin1Char('/') + log), 20000);
    QCOMPARE(QDir(dataHome->path()).entryList(QDir::Files), QStringList());
}

void tst_UserFolder::twoConfigurators()
{
    QFile first(dataHome->path() + QStringLiteral("/talver/configurator/log.txt"));
    start(QStringLiteral(CONFIGURATOR_PATH));
    QTRY_VERIFY_WITH_TIMEOUT(first.exists(), 20000);
    QVERIFY(first.open(QIODevice::Append));
    first.write("first instance\n");
    first.close();

    start(QStringLiteral(CONFIGURATOR_PATH));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QFileInfo(first).dir().filePath(QStringLiteral("log-2.txt"))), 20000);
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll(), QByteArray("first instance\n"));
}

QTEST_GUILESS_MAIN(tst_UserFolder)
#include "tst_userfolder.moc"
