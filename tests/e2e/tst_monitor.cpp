// The exchange monitor against the real window and the simulated controller: its log rows are
// "log.txt" block for block, its decision rows say what the sequencer made of the replies.
// Then the model alone: CSV text and the row limit under a pause.

#include "e2e.h"

#include "exchangemodel.h"
#include "exchangemonitor.h"

#include <QSettings>
#include <QStandardPaths>

using namespace e2e;
using Kind = ExchangeModel::Kind;

Q_DECLARE_METATYPE(sim::Faults)

class TestMonitor : public QObject
{
    Q_OBJECT

    static void forgetDock()
    {
        QSettings(QStringLiteral("talver"), QStringLiteral("configurator")).remove(QStringLiteral("exchangeMonitor"));
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        isolateUserFolders();
        forgetDock();
    }
    void cleanupTestCase() { forgetDock(); }

    void logRows_data()
    {
        QTest::addColumn<sim::Faults>("faults");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QStringList>("decisions");
        const QStringList read = {"Ответ: <Transmitter v.296>", "Ответ: S250=5", "Ответ: S202=7",
                                  "Ответ: 13 байт", "Ответ: 24 байт"};
        sim::Faults split, silent;
        split.splitChunk = 4;
        split.splitPauseMs = 1;
        silent.silent = true;
        QStringList silence = {"Нет ответа"};
        for (int n = 1; n <= 5; ++n)
            silence << "Повтор " + QString::number(n) << "Нет ответа";
        QTest::newRow("full read") << sim::Faults() << false << read;
        QTest::newRow("split replies") << split << false << read;
        QTest::newRow("silence") << silent << false << silence;
        QTest::newRow("write") << sim::Faults() << true << read + QStringList{"Ответ: 13 байт", "Ответ: 24 байт"};
    }

    // Log rows rebuilt into blocks give "log.txt" byte for byte; a reply that came in several
    // reads is several rows, as in the log.
    void logRows()
    {
        QFETCH(sim::Faults, faults);
        QFETCH(bool, write);
        QFETCH(QStringList, decisions);
        Bench b{Type::Transmitter, 296, faults, Bench::Simulator, 100};   // room for a reply in pieces
        QVERIFY(b.connect());
        WAIT_VERIFY(b.settled(), 5000);
        if (write)
            QVERIFY(b.ticksUntilIdle(P::pbWrite(b.w())) > 0);

        const ExchangeModel *m = b.w().findChild<ExchangeMonitor *>()->model();
        QByteArray log;
        QStringList got;
        int requests = 0, replies = 0;
        for (int r = 0; r < m->heldRows(); ++r) {
            const ExchangeModel::Entry &e = m->entry(r);
            if (e.kind == Kind::Decision)
                got << e.meaning;
            else
                log += (e.kind == Kind::Request ? e.attempt + QByteArray("------->") : "<-------") + "\r\n" + e.bytes + "\r\n";
            requests += e.kind == Kind::Request;
            replies += e.kind == Kind::Reply;
        }
        QCOMPARE(log, b.f.log());
        QCOMPARE(got, decisions);
        if (faults.splitChunk)
            QVERIFY(replies > requests);
    }

    void csv()
    {
        ExchangeModel m;
        m.addDecision("Повтор 1");
        m.addBlock('1', QByteArray::fromHex("210101"));
        m.addBlock(0, "<Receiver; \"v.221\">\r\n");
        const QStringList lines = m.csvText().split("\r\n");
        QCOMPARE(lines.size(), 5);   // header, three rows, the empty tail
        QCOMPARE(lines.at(0), QString("Время, мс;Направление;Попытка;Байты;Текст;Значение"));
        QCOMPARE(lines.at(1).section(';', 1), QString("Решение;;;;Повтор 1"));
        QCOMPARE(lines.at(2).section(';', 1), QString("Запрос;1;21 01 01;!..;Запрос версии"));
        QCOMPARE(lines.at(3).section(';', 1),
                 QString("Ответ;;3C 52 65 63 65 69 76 65 72 3B 20 22 76 2E 32 32 31 22 3E 0D 0A;"
                         "\"<Receiver; \"\"v.221\"\">..\";Ответ на «Запрос версии»"));
    }

    // A pause holds new rows back and shows them at once when it ends; never more than the
    // limit is kept, the oldest going first.
    void rowLimit()
    {
        ExchangeModel m;
        m.addDecision("0");
        m.setPaused(true);
        for (int n = 1; n <= ExchangeModel::kMaxRows; ++n)
            m.addDecision(QString::number(n));
        QCOMPARE(m.rowCount(), 0);   // the one shown row went with the limit
        QCOMPARE(m.heldRows(), ExchangeModel::kMaxRows);
        m.setPaused(false);
        m.addDecision("last");
        QCOMPARE(m.rowCount(), ExchangeModel::kMaxRows);
        QCOMPARE(m.index(0, ExchangeModel::Meaning).data().toString(), QString("2"));
        QCOMPARE(m.index(m.rowCount() - 1, ExchangeModel::Meaning).data().toString(), QString("last"));
    }

    // Closed at first and floating when opened with F12; docked and made deeper, it comes back
    // so in the next window.
    void dockRemembered()
    {
        int depth = 0;
        for (bool second : {false, true}) {
            WindowFixture f(quietSettings());
            f.w().show();
            auto *dock = f.w().findChild<ExchangeMonitor *>();
            QCOMPARE(dock->isHidden(), !second);
            if (!second) {
                QApplication::setActiveWindow(&f.w());
                QVERIFY(QTest::qWaitForWindowActive(&f.w()));
                QTest::keyClick(&f.w(), Qt::Key_F12);
                QVERIFY(!dock->isHidden());
                QVERIFY(dock->isFloating());   // the first time, over the window
                dock->setFloating(false);
                const int least = dock->height();
                f.w().resize(f.w().width(), f.w().height() + 300);
                f.w().resizeDocks({dock}, {least + 200}, Qt::Vertical);
                QTRY_VERIFY((depth = dock->height()) > least + 100);
            } else {
                QTRY_COMPARE(dock->height(), depth);
            }
            f.w().close();
        }
    }
};

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
