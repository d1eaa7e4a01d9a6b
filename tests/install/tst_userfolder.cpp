#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    void init();
    void cleanup();
    void folder_data();
    void folder();
    void twoConfigurators();

private:
    QProcess *start(const QString &program);
    static QByteArray read(const QString &path);

    std::unique_ptr<QTemporaryDir> dataHome;
    std::vector<std::unique_ptr<QProcess>> running;
};

void tst_UserFolder::init()
{
    dataHome = std::make_unique<QTemporaryDir>();
    QVERIFY(dataHome->isValid());
}

void tst_UserFolder::cleanup()
{
    for (auto &process : running) {
        process->kill();
        process->waitForFinished();
    }
    running.clear();
}

QProcess *tst_UserFolder::start(const QString &program)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome->path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(dataHome->path());   // where the files would go without the option
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(program, {QStringLiteral("--user-folder")});
    process->waitForStarted();
    running.push_back(std::move(process));
    return running.back().get();
}

QByteArray tst_UserFolder::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
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

    const QProcess *process = start(program);
    const QString expected = QDir(dataHome->path()).canonicalPath() + QLatin1Char('/') + folder;
    const QString cwd = QStringLiteral("/proc/%1/cwd").arg(process->processId());
    QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(cwd).canonicalFilePath(), expected, 20000);
    if (!log.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(expected + QLatin1Char('/') + log), 20000);
    QCOMPARE(QDir(dataHome->path()).entryList(QDir::Files), QStringList());
}

void tst_UserFolder::twoConfigurators()
{
    const QString folder = dataHome->path() + QStringLiteral("/talver/configurator/");
    const QString firstLog = folder + QStringLiteral("log.txt");
    const QString secondLog = folder + QStringLiteral("log-2.txt");
    start(QStringLiteral(CONFIGURATOR_PATH));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(firstLog), 20000);
    {
        QFile log(firstLog);
        QVERIFY(log.open(QIODevice::Append));
        log.write("first instance\n");
    }

    start(QStringLiteral(CONFIGURATOR_PATH));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(secondLog), 20000);
    QCOMPARE(read(firstLog), QByteArray("first instance\n"));
}

QTEST_GUILESS_MAIN(tst_UserFolder)
#include "tst_userfolder.moc"
