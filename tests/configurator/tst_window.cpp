// The main window without the simulator: its form where it once went wrong (cut texts, the
// fit on a laptop, read-only measured fields), the panel rules by device and firmware, the
// radio speed's channel plan, "settings.conf" and its surroundings gone wrong, the port, the
// request periods, replies the sequencer must not take, the exchange monitor's model and dock,
// and the fast exchange option.

#include "fixture.h"

#include "exchangemodel.h"
#include "exchangemonitor.h"
#include "paceoption.h"

#include <QAction>
#include <QGroupBox>
#include <QMenuBar>
#include <QSettings>
#include <QStyleOptionGroupBox>

namespace {

// Texts the shown window cuts: a label narrower than its text, a group box title wider than
// the place its style gives it.
QString cutTexts(MainWindow &w)
{
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return QStringLiteral("window not shown");
    QStringList cut;
    for (QLabel *label : w.findChildren<QLabel *>()) {
        if (label->isVisible() && !qobject_cast<NoteLabel *>(label) && label->width() < label->minimumSizeHint().width())
            cut << label->text();
    }
    for (QGroupBox *box : w.findChildren<QGroupBox *>()) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.textAlignment = box->alignment();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        if (title.width() < box->fontMetrics().horizontalAdvance(box->title()) || title.right() > box->rect().right())
            cut << box->title();
    }
    return cut.join(QStringLiteral(" | "));
}

// pbConnect's text; whether pbRead, pbWrite, pbDefault and cbPort are enabled; the sequencer step.
QString linkState(MainWindow &w)
{
    return QStringLiteral("%1 %2%3%4%5 %6").arg(P::pbConnect(w)->text()).arg(P::pbRead(w)->isEnabled())
        .arg(P::pbWrite(w)->isEnabled()).arg(P::pbDefault(w)->isEnabled()).arg(P::cbPort(w)->isEnabled())
        .arg(int(P::currentAction(w)));
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    // The user's configuration (the fast exchange, the monitor's dock) starts empty.
    void initTestCase() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path()); }

    // Before anything is connected: shown whole, fields the controller fills read-only. A second
    // start in the same folder leaves only its own exchange in the log; the table's defaults
    // zero row 0, and the address boxes follow it.
    void startState()
    {
        WindowFixture f;
        MainWindow &w = f.w();
        QCOMPARE(w.pos(), QPoint(5, 5));
        QCOMPARE(linkState(w), QStringLiteral("Подключить 0001 0"));
        QVERIFY(!P::sbSubnet(w)->isEnabled());   // only the module or the defaults set it
        QVERIFY(f.log().isEmpty());
        for (QLineEdit *e : {P::leTemp(w), P::leLevel(w), P::leFreq1(w), P::leFreq2(w), P::leAn1(w), P::leAn2(w)})
            QVERIFY(e->isReadOnly());
        QCOMPARE(cutTexts(w), QString());
        QFile log(f.dir.filePath(QStringLiteral("log.txt")));
        QVERIFY(log.open(QIODevice::WriteOnly) && log.write("an earlier run\r\n"));
        log.close();
        MainWindow second;
        QVERIFY(f.log().isEmpty());
        P::sbDeviceAdr(second)->setValue(7);
        P::sbDutAdr(second)->setValue(9);
        P::massiveAdr(second)->setDefault();
        QCOMPARE(P::sbDeviceAdr(second)->value() + P::sbDutAdr(second)->value(), 0);
    }

    // With its menus and the transmitter's range row, the window fits a 1366 x 768 screen less
    // the desktop's panel and the title bar, in a desktop's font.
    void fitsLaptopScreen()
    {
        const QFont font = QApplication::font();
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        WindowFixture f;
        P::deviceType(f.w()) = proto::Transmitter;
        P::numVersion(f.w()) = 296;
        P::updatePanels(f.w());
        const QSize least = f.w().minimumSizeHint();
        QApplication::setFont(font);
        QVERIFY2(least.width() <= 1366 && least.height() <= 700, qPrintable(QString("%1 x %2").arg(least.width()).arg(least.height())));
    }

    void panelRules_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("regim");
        // transmitter group, data group, receiver panel, address table, address box, ДУТ box,
        // transmitter range shown, receiver range shown
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << 0 << 0 << 0 << "tx0 data0 rx0 table0 adr1 dut1 range0 rxrange0";
        QTest::newRow("receiver 200") << 1 << 200 << 0 << "tx0 data0 rx1 table0 adr0 dut0 range0 rxrange0";
        QTest::newRow("receiver 296") << 1 << 296 << 0 << "tx0 data0 rx1 table0 adr0 dut0 range0 rxrange1";
        QTest::newRow("receiver 296 transparent") << 1 << 296 << 1 << "tx0 data0 rx0 table0 adr0 dut0 range0 rxrange0";
        QTest::newRow("transmitter 220") << 2 << 220 << 0 << "tx1 data1 rx0 table0 adr1 dut1 range0 rxrange0";
        QTest::newRow("transmitter 221") << 2 << 221 << 0 << "tx1 data1 rx0 table1 adr0 dut0 range0 rxrange0";
        QTest::newRow("transmitter 296") << 2 << 296 << 0 << "tx1 data1 rx0 table1 adr0 dut0 range1 rxrange0";
        QTest::newRow("transmitter 296 transparent") << 2 << 296 << 1 << "tx0 data0 rx0 table0 adr1 dut1 range0 rxrange0";
    }
    // Enabled and shown states after an identification, and no text cut in any of them.
    void panelRules()
    {
        QFETCH(int, type);
        QFETCH(int, version);
        QFETCH(int, regim);
        WindowFixture f;
        MainWindow &w = f.w();
        P::deviceType(w) = quint8(type);
        P::numVersion(w) = quint16(version);
        P::cbRegim(w)->setCurrentIndex(regim);
        P::updatePanels(w);
        // The spin boxes' own state: the ДУТ box sits in the transmitter group, which may be off.
        const auto own = [](QWidget *widget) { return !widget->testAttribute(Qt::WA_ForceDisabled); };
        QTEST(QStringLiteral("tx%1 data%2 rx%3 table%4 adr%5 dut%6 range%7 rxrange%8")
                  .arg(P::gbTransmitter(w)->isEnabled()).arg(P::gbData(w)->isEnabled())
                  .arg(P::resiverPanel(w)->isEnabled()).arg(P::massiveAdr(w)->isEnabled())
                  .arg(own(P::sbDeviceAdr(w))).arg(own(P::sbDutAdr(w)))
                  .arg(!P::cbDutRange(w)->isHidden() && !P::lbDutRange(w)->isHidden())
                  .arg(!P::resiverPanel(w)->findChild<QComboBox *>(QStringLiteral("cbOldProtokol"))->isHidden()),
              "expected");
        QCOMPARE(cutTexts(w), QString());
    }

    void speedChange_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("expected");   // channel, its maximum, the frequency in the group's title
        QTest::newRow("9600 ch11") << 11 << "9600" << "11 11 868.575";
        QTest::newRow("ch9 to 19200 cut to 5") << 9 << "19200" << "5 5 868.55";
        QTest::newRow("ch9 to 115200 cut to 0") << 9 << "115200" << "0 0 868.3";
    }
    // The radio speed limits the channel, cuts a channel above the new limit and sets the
    // frequency in the group's title.
    void speedChange()
    {
        QFETCH(int, channel);
        QFETCH(QString, speed);
        WindowFixture f;
        MainWindow &w = f.w();
        P::sbChannel(w)->setValue(channel);
        P::cbSpeed(w)->setCurrentText(speed);
        QTEST(QStringLiteral("%1 %2 %3").arg(P::sbChannel(w)->value()).arg(P::sbChannel(w)->maximum())
                  .arg(P::gbRadio(w)->title().section(' ', 2, 2)), "expected");
    }

    void settingsFile_data()
    {
        QTest::addColumn<QByteArray>("content");   // null: no file; "dir": settings.conf is a folder
        QTest::addColumn<QString>("periods");      // ZaprosTimeMs, ZaprosSimTimeMs, ZaprosResiverTimeMs
        QTest::newRow("no file") << QByteArray() << "1000 1000 200";
        QTest::newRow("all keys") << periods(20, 30, 40) << "20 30 40";
        QTest::newRow("low 16 bits, zero") << QByteArray("[settings]\nZaprosTimeMs=66536\nZaprosSimTimeMs=0\n") << "1000 1000 200";
        QTest::newRow("values that are no numbers")
            << QByteArray("[settings]\nZaprosTimeMs=fast\nZaprosSimTimeMs=\nZaprosResiverTimeMs=1e3\n") << "1000 1000 200";
        QTest::newRow("broken lines around good keys")
            << QByteArray("[[]]\n=\n==x\n\x01\x02\x03\n[settings]\nZaprosTimeMs=300\n;;\n\xff\xfe\nZaprosResiverTimeMs=40\n")
            << "300 1000 40";
        QTest::newRow("two megabytes of one line") << QByteArray(2 << 20, 'x') << "1000 1000 200";
        QTest::newRow("settings.conf is a folder") << QByteArray("dir") << "1000 1000 200";
    }
    // Whatever the file holds, each period is a usable number (a period of 0 would make the
    // timer spin), and the window says nothing about it.
    void settingsFile()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        if (content == "dir")
            QDir(dir.path()).mkdir(QStringLiteral("settings.conf"));
        WindowFixture f(content == "dir" ? QByteArray() : content, content == "dir" ? dir.path() : QString());
        MainWindow &w = f.w();
        QTEST(QStringLiteral("%1 %2 %3").arg(P::timerInterval(w)).arg(P::timerSimInterval(w))
                  .arg(P::timerResiverInterval(w)), "periods");
        QCOMPARE(P::timer(w)->interval(), int(P::timerInterval(w)));
        QVERIFY(P::timer(w)->isActive());
        QVERIFY(!QApplication::activeModalWidget());
    }

    void unwritableLog_data()
    {
        QTest::addColumn<bool>("logIsFolder");   // else the working folder is /proc
        QTest::newRow("log.txt is a folder") << true;
        QTest::newRow("working folder is /proc") << false;
    }
    // Root may write anywhere chmod forbids, so the log is made impossible in ways that stop
    // root too. The window starts, says nothing, and its read goes on.
    void unwritableLog()
    {
        QFETCH(bool, logIsFolder);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("log.txt"));
        QFile conf(dir.filePath(QStringLiteral("settings.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly) && conf.write(periods(50, 50, 50)));
        conf.close();
        WindowFixture f(QByteArray(), logIsFolder ? dir.path() : QStringLiteral("/proc"));
        QVERIFY(!P::logFile(f.w())->isOpen());
        QVERIFY(f.connect());
        QCOMPARE(f.pty.readFor(3, 5000), hex("210101"));
        f.pty.write("<Transmitter v.296>");
        QCOMPARE(f.pty.readFor(6, 5000), hex("21042b2b2b04"));
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!QFile::exists(QStringLiteral("/proc/log.txt")));
    }

    void failedOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");   // in the status bar: the kept note, else the message
        QTest::newRow("missing device") << "/dev/does-not-exist-0"
            << "Не удалось открыть порт /dev/does-not-exist-0: порт не найден (No such file or directory)";
        QTest::newRow("a folder") << "/tmp" << "Не удалось открыть порт /tmp: неизвестная ошибка (Is a directory)";
        QTest::newRow("empty name") << "" << "Не выбран порт";
    }
    // A port that does not open leaves the window closed, says why, sends nothing on the next
    // ticks, and a port that works then opens as usual.
    void failedOpen()
    {
        QFETCH(QString, name);
        WindowFixture f(periods(20, 20, 20));
        MainWindow &w = f.w();
        P::cbPort(w)->setEditText(name);
        P::pbConnect(w)->click();
        QCOMPARE(linkState(w), QStringLiteral("Подключить 0001 0"));
        QTEST(P::portNote(w)->note() + P::ui(w)->statusBar->currentMessage(), "shown");
        QSignalSpy ticks(P::timer(w), &QTimer::timeout);
        QTRY_VERIFY(ticks.count() >= 3);
        QCOMPARE(P::currentAction(w), ActionType::none);
        QCOMPARE(f.log(), QByteArray());
        QVERIFY(f.connect());
        QCOMPARE(f.pty.readFor(3), hex("210101"));
    }

    // 19200 8N1; a running measurement stops when the port closes, and cannot start closed;
    // reconnecting starts the attempt count afresh and forgets half a reply.
    void openAndClose()
    {
        WindowFixture f(periods(60000));
        MainWindow &w = f.w();
        QVERIFY(f.connect());
        QCOMPARE(linkState(w), QStringLiteral("Отключить 1110 1"));   // the next tick asks for the version
        const QSerialPort *port = P::port(w);
        QCOMPARE(QString("%1 %2 %3 %4 %5").arg(port->baudRate()).arg(port->dataBits()).arg(port->parity())
                     .arg(port->stopBits()).arg(port->flowControl()), QString("19200 8 0 1 0"));

        P::pbMeasure(w)->setChecked(true);
        P::doTransmiterInfo(w);
        QCOMPARE(P::currentAction(w), ActionType::transmiterInfo);
        P::leTemp(w)->setText(QStringLiteral("25"));
        P::pbConnect(w)->click();
        QCOMPARE(linkState(w), QStringLiteral("Подключить 0001 0"));
        QVERIFY(!P::pbMeasure(w)->isChecked() && P::leTemp(w)->text().isEmpty());
        P::pbMeasure(w)->setChecked(true);
        P::doTransmiterInfo(w);
        QVERIFY(!P::pbMeasure(w)->isChecked());
        QCOMPARE(P::ui(w)->statusBar->currentMessage(), QStringLiteral("Измерение не включено: порт не открыт"));

        QVERIFY(f.connect());
        P::slotRead(w);
        f.pty.write(hex("0305110202"));
        QTRY_VERIFY(!P::reply(w).isEmpty());
        P::attemptsLeft(w) = 2;
        P::pbConnect(w)->click();
        QVERIFY(f.connect());
        QCOMPARE(P::attemptsLeft(w), quint8(5));
        QVERIFY(P::reply(w).isEmpty());
        QCOMPARE(P::expectedReply(w), SendType::none);
    }

    void send_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("attempts");
        QTest::addColumn<int>("interval");
        QTest::newRow("version") << int(SendType::readVersion) << 5 << 41000;
        QTest::newRow("+++") << int(SendType::comandRegim) << 5 << 42000;
        QTest::newRow("data record") << int(SendType::resiverInfo) << 5 << 43000;
        QTest::newRow("record after +++") << int(SendType::readSetting) << 5 << 41000;
        QTest::newRow("last repeat") << int(SendType::readVersion) << 0 << 41000;
    }
    // A request leaves as it is, is logged as one block with its attempt digit and sets the
    // period by its kind: the controller's, the radio module's or a data record's.
    void send()
    {
        QFETCH(int, type);
        QFETCH(int, attempts);
        WindowFixture f(periods(41000, 42000, 43000));
        MainWindow &w = f.w();
        QVERIFY(f.connect());
        if (type == SendType::readSetting)
            P::send(w, hex("21042b2b2b04"), SendType::comandRegim);
        P::attemptsLeft(w) = quint8(attempts);
        QFETCH(int, interval);
        const bool samePeriod = P::timer(w)->interval() == interval;
        QTRY_VERIFY(P::timer(w)->remainingTime() < P::timer(w)->interval() - 50);
        const QByteArray frame = hex("2105415453300d04") + char(type);
        const QByteArray before = f.log();
        P::send(w, frame, SendType::SendType(type));
        QByteArray sent;
        QTRY_VERIFY((sent += f.pty.readAvailable()).endsWith(frame));
        QCOMPARE(f.log().mid(before.size()), char('5' - attempts) + QByteArray("------->\r\n") + frame + "\r\n");
        QCOMPARE(P::timer(w)->interval(), interval);
        // Only a new period restarts the timer: else every request would push the ticks back.
        QVERIFY(!samePeriod || P::timer(w)->remainingTime() < interval - 50);
    }

    // Replies the sequencer must not take: one to a request a click replaced, a record after
    // the poll is over, and a chatty line, which must not grow the buffer without end.
    void strayReplies()
    {
        {
            WindowFixture f(periods(60000));
            MainWindow &w = f.w();
            QVERIFY(f.connect());
            f.pty.write(QByteArray(3000, 'x'));   // to an idle window
            QTRY_COMPARE(f.log().count('x'), 3000);
            QVERIFY(P::reply(w).isEmpty());
            P::send(w, proto::transmitterDataRequest(221, 0), SendType::resiverInfo);
            f.pty.write(QByteArray(9000, 'y'));
            QTRY_COMPARE(f.log().count('y'), 9000);
            QCOMPARE(P::reply(w).size(), 4096);
            QVERIFY(P::resiverInfoData(w)[0].size() <= 4096);
        }
        WindowFixture f(periods(60000));
        MainWindow &w = f.w();
        QVERIFY(f.connect());
        P::slotRead(w);
        P::getLevel(w);   // a click on the status button replaces the awaited reply
        f.pty.write(hex("030511020207000a0b0c0d0e"));
        QTRY_VERIFY(f.log().contains("\x0e\r\n"));
        P::settleReply(w);
        QCOMPARE(P::settingsRecord(w), QByteArray(14, '\0'));
        QVERIFY(!P::answerReceived(w));

        P::send(w, proto::transmitterDataRequest(221, 255), SendType::resiverInfo);
        P::resiverInfoIndex(w) = 65535;   // the poll is over: the bytes have nowhere to go
        const int before = f.log().count('\x11');
        f.pty.write(QByteArray(18, '\x11'));
        QTRY_COMPARE(f.log().count('\x11'), before + 18);
        P::settleReply(w);
        QVERIFY(!P::answerReceived(w));
        for (const QByteArray &data : P::resiverInfoData(w))
            QVERIFY(data.isEmpty());
    }

    void monitorModel()
    {
        ExchangeModel m;
        m.addDecision("Повтор 1");
        m.addBlock('1', hex("210101"));
        m.addBlock(0, "<Receiver; \"v.221\">\r\n");
        const QStringList lines = m.csvText().split("\r\n");
        QCOMPARE(lines.size(), 5);   // header, three rows, the empty tail
        QCOMPARE(lines.at(0), QString("Время, мс;Направление;Попытка;Байты;Текст;Значение"));
        QCOMPARE(lines.mid(1, 3).replaceInStrings(QRegularExpression("^\\d+;"), ""),
                 QStringList() << "Решение;;;;Повтор 1" << "Запрос;1;21 01 01;!..;Запрос версии"
                               << "Ответ;;3C 52 65 63 65 69 76 65 72 3B 20 22 76 2E 32 32 31 22 3E 0D 0A;"
                                  "\"<Receiver; \"\"v.221\"\">..\";Ответ на «Запрос версии»");

        // A pause holds new rows back and shows them at once when it ends; never more than the
        // limit is kept, the oldest going first.
        m.clear();
        m.addDecision("0");
        m.setPaused(true);
        for (int n = 1; n <= ExchangeModel::kMaxRows; ++n)
            m.addDecision(QString::number(n));
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.heldRows(), ExchangeModel::kMaxRows);
        m.setPaused(false);
        m.addDecision("last");
        QCOMPARE(m.rowCount(), ExchangeModel::kMaxRows);
        QCOMPARE(m.index(0, ExchangeModel::Meaning).data().toString(), QString("2"));
        QCOMPARE(m.index(m.rowCount() - 1, ExchangeModel::Meaning).data().toString(), QString("last"));
    }

    // The monitor is closed at first and floats when F12 opens it; docked and made deeper, it
    // comes back so.
    void monitorDockRemembered()
    {
        int depth = 0;
        for (bool second : {false, true}) {
            WindowFixture f(periods(60000));
            f.w().show();
            auto *dock = f.w().findChild<ExchangeMonitor *>();
            QCOMPARE(dock->isHidden(), !second);
            if (second) {
                QTRY_COMPARE(dock->height(), depth);
                break;
            }
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
            f.w().close();
        }
    }

    void paceOption_data()
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
    // "Быстрый обмен": remembered in the user's configuration; "settings.conf" can fix it (the
    // item then disabled, naming the file) and set the gap.
    void paceOption()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, remembered);
        QFETCH(bool, fixed);
        QTemporaryDir dir;
        const QString conf = dir.filePath(QStringLiteral("settings.conf"));
        QFile out(conf);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write("[settings]\n" + file));
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

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
