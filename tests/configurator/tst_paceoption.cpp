#include "paceoption.h"

#include <QAction>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// "Быстрый обмен": the technician's choice is remembered in the user's configuration, and
// "settings.conf" can fix it (the item then disabled, naming the file) and set the gap.
class TestPaceOption : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path()); }

    void choice_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("remembered");   // the user's last choice
        QTest::addColumn<bool>("fast");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<int>("gap");
        QTest::newRow("file says 1") << QByteArray("FastExchange=1\n") << false << true << true << 50;
        QTest::newRow("file says 0") << QByteArray("FastExchange=0\nZaprosGapMs=20\n") << true << false << true << 20;
        QTest::newRow("file silent") << QByteArray("ZaprosGapMs=-5\n") << true << true << false << 50;
        QTest::newRow("file unreadable value") << QByteArray("FastExchange=yes\n") << false << false << false << 50;
    }
    void choice()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, remembered);
        QFETCH(bool, fixed);
        QTemporaryDir dir;
        const QString conf = dir.filePath(QStringLiteral("settings.conf"));
        QFile out(conf);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("[settings]\n" + file);
        out.close();
        QSettings().setValue(QStringLiteral("exchange/fast"), remembered);

        PaceOption option(conf);
        QTEST(option.fast(), "fast");
        QCOMPARE(option.fixedByFile(), fixed);
        QCOMPARE(option.action()->isEnabled(), !fixed);
        QCOMPARE(option.action()->toolTip().contains(conf), fixed);
        QTEST(option.gapMs(), "gap");

        // A choice from the menu is remembered for the next start; one fixed by the file is not.
        option.action()->setChecked(!remembered);
        QCOMPARE(PaceOption(dir.filePath(QStringLiteral("none.conf"))).fast(), fixed ? remembered : !remembered);
    }

private:
    QTemporaryDir config;
};

QTEST_MAIN(TestPaceOption)
#include "tst_paceoption.moc"
