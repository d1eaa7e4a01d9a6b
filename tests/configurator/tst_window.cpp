// The main window without the simulator: its form where it once went wrong (cut texts, the
// fit on a laptop, read-only measured fields), the panel rules by device and firmware, the
// radio speed's channel plan, the port, the request periods and a reply the sequencer must
// not take.

#include "fixture.h"

#include "commissionbar.h"
#include "panelscroll.h"

#include <QCheckBox>
#include <QScreen>
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
    // The user's configuration starts empty, and the real one stays untouched.
    // Texts are measured in a desktop's font.
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    }

    // Before anything is connected: shown whole, fields the controller fills read-only.
    void startState()
    {
        WindowFixture f;
        MainWindow &w = f.w();
        QCOMPARE(linkState(w), QStringLiteral("Подключить 0001 0"));
        QVERIFY(!P::sbSubnet(w)->isEnabled());   // only the module or the defaults set it
        for (QLineEdit *e : {P::leTemp(w), P::leLevel(w), P::leFreq1(w), P::leFreq2(w), P::leAn1(w), P::leAn2(w)})
            QVERIFY(e->isReadOnly());
        QCOMPARE(cutTexts(w), QString());
        QVERIFY(P::ui(w)->mainToolBar->isHidden());   // empty: no strip under the menu bar
        auto *monitor = w.findChild<ExchangeMonitor *>();   // floating the first time: on the screen, above the bars
        monitor->show();
        QVERIFY(w.screen()->availableGeometry().contains(monitor->frameGeometry()));
        QVERIFY(monitor->geometry().bottom() < P::ui(w)->progressBar->mapToGlobal(QPoint()).y());
    }

    void panelRules_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("regim");
        // transmitter group, data group, receiver panel, address table, address box (enabled
        // = value), ДУТ box, transmitter range and its label shown, receiver range and its label
        // shown, the receiver's boxes 16 and 255 enabled and the items of its address lists
        QTest::addColumn<QString>("expected");
        QTest::newRow("receiver 220") << 1 << 220 << 0 << "tx0 data0 rx1 table0 adr0=254 dut0 range00 rxrange00 ext00/16";
        QTest::newRow("receiver 221") << 1 << 221 << 0 << "tx0 data0 rx1 table0 adr0=254 dut0 range00 rxrange00 ext11/256";
        QTest::newRow("receiver 296") << 1 << 296 << 0 << "tx0 data0 rx1 table0 adr0=254 dut0 range00 rxrange11 ext11/256";
        QTest::newRow("transmitter 220") << 2 << 220 << 0 << "tx1 data1 rx0 table0 adr1=0 dut1 range00 rxrange00 ext00/16";
        QTest::newRow("transmitter 221") << 2 << 221 << 0 << "tx1 data1 rx0 table1 adr0=0 dut0 range00 rxrange00 ext00/16";
        QTest::newRow("transmitter 296") << 2 << 296 << 0 << "tx1 data1 rx0 table1 adr0=0 dut0 range11 rxrange00 ext00/16";
    }
    // Enabled and shown states after the device's identity came in, no text cut in any of them,
    // and the window with its menus, the commissioning bar and the docked monitor fits a 1366 x
    // 768 screen less the desktop's panel and title bar.
    void panelRules()
    {
        QFETCH(int, type);
        QFETCH(int, version);
        QFETCH(int, regim);
        WindowFixture f;
        MainWindow &w = f.w();
        P::expectedReply(w) = SendType::readVersion;
        P::interpret(w, QStringLiteral("<%1 v.%2>").arg(type == 1 ? "Receiver" : "Transmitter").arg(version).toLatin1());
        P::cbRegim(w)->setCurrentIndex(regim);
        P::updatePanels(w);
        QCOMPARE(P::numVersion(w), quint16(version));
        // The spin boxes' own state: the ДУТ box sits in the transmitter group, which may be off.
        const auto own = [](QWidget *widget) { return !widget->testAttribute(Qt::WA_ForceDisabled); };
        const auto shown = [&w](const char *field, const char *label) {
            return QStringLiteral("%1%2").arg(!w.findChild<QWidget *>(field)->isHidden()).arg(!w.findChild<QWidget *>(label)->isHidden());
        };
        const auto wide = [&w](const char *text) {
            for (QCheckBox *box : P::resiverPanel(w)->findChildren<QCheckBox *>())
                if (box->text() == text)
                    return int(box->isEnabledTo(P::resiverPanel(w)));
            return -1;
        };
        QTEST(QStringLiteral("tx%1 data%2 rx%3 table%4 adr%5=%6 dut%7 range%8 rxrange%9")
                  .arg(P::gbTransmitter(w)->isEnabled()).arg(P::gbData(w)->isEnabled())
                  .arg(P::resiverPanel(w)->isEnabled()).arg(P::massiveAdr(w)->isEnabled())
                  .arg(own(P::sbDeviceAdr(w))).arg(P::sbDeviceAdr(w)->value()).arg(own(P::sbDutAdr(w)))
                  .arg(QStringLiteral("%1%2").arg(!P::cbDutRange(w)->isHidden()).arg(!P::lbDutRange(w)->isHidden()))
                  .arg(shown("cbOldProtokol", "lbOldProtokol"))
                  + QStringLiteral(" ext%1%2/%3").arg(wide("16")).arg(wide("255"))
                        .arg(P::resiverPanel(w)->findChild<QComboBox *>("comboBoxFq1")->count()),
              "expected");
        QCOMPARE(cutTexts(w), QString());
        auto *monitor = w.findChild<ExchangeMonitor *>();   // docked under the panels, which then scroll
        monitor->setFloating(false);
        monitor->show();
        auto *bar = w.findChild<CommissionBar *>();   // at its widest: the start address and a note
        bar->setRule(CommissionBar::Rule::NextFree, 40);
        bar->setNote(QStringLiteral("адрес 17 уже записан 07.12 10:21 (журнал)"));
        bar->show();
        const QSize least = w.minimumSizeHint();
        QVERIFY2(least.width() <= 1366 && least.height() <= 700, qPrintable(QString("%1 x %2").arg(least.width()).arg(least.height())));
        w.resize(1366, 700);
        QTRY_VERIFY(monitor->height() >= 10 * monitor->fontMetrics().height());
        monitor->hide();   // gives the panels their height back
        const auto *panels = w.findChild<PanelScroll *>();
        QTRY_VERIFY(panels->height() >= panels->widget()->minimumSizeHint().height());
    }

    // The radio speed limits the channel, cuts a channel above the new limit and sets the
    // frequency in the group's title.
    void speedChange()
    {
        WindowFixture f;
        MainWindow &w = f.w();
        P::sbChannel(w)->setValue(9);
        P::cbSpeed(w)->setCurrentText(QStringLiteral("19200"));
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(P::sbChannel(w)->value()).arg(P::sbChannel(w)->maximum())
                     .arg(P::gbRadio(w)->title().section(' ', 2, 2)), QStringLiteral("5 5 868.55"));
    }

    // A config goes into the panels and comes back whole, under a speed whose channel range was
    // narrower before and with the In1A mark; the technician's new address then clears the mark.
    void fillPanels()
    {
        WindowFixture f;
        MainWindow &w = f.w();
        P::cbSpeed(w)->setCurrentIndex(4);
        proto::DeviceConfig c = w.panelsConfig();
        P::deviceType(w) = c.deviceType = proto::Transmitter;
        P::numVersion(w) = c.version = 296;
        c.transmitter.radioSpeed = 1;
        c.transmitter.channel = 9;
        c.transmitter.deviceAdr = 42;
        c.addressTable = proto::AddressTable::parse(e2e::kEditedTable);
        w.applyConfig(c);
        QCOMPARE(w.panelsConfig().settingsFrame().toHex() + w.panelsConfig().tableFrame().toHex(),
                 c.settingsFrame().toHex() + c.tableFrame().toHex());
        P::sbDeviceAdr(w)->setValue(43);
        QCOMPARE(w.panelsConfig().addressTable.markedRow(), -1);
    }

    // A port that does not open leaves the window closed and says why; one that opens is 19200
    // 8N1, and a running measurement stops and empties its fields when the port closes.
    void port()
    {
        WindowFixture f(periods(60000));
        MainWindow &w = f.w();
        P::cbPort(w)->setEditText(QStringLiteral("/dev/does-not-exist-0"));
        P::pbConnect(w)->click();
        QCOMPARE(linkState(w), QStringLiteral("Подключить 0001 0"));
        QCOMPARE(P::portNote(w)->note() + P::ui(w)->statusBar->currentMessage(),
                 QStringLiteral("Не удалось открыть порт /dev/does-not-exist-0: порт не найден (No such file or directory)"));
        QVERIFY(f.connect());
        QCOMPARE(linkState(w), QStringLiteral("Отключить 1110 1"));   // the next tick asks for the version
        const QSerialPort *port = P::port(w);
        QCOMPARE(QString("%1 %2 %3 %4 %5").arg(port->baudRate()).arg(port->dataBits()).arg(port->parity())
                     .arg(port->stopBits()).arg(port->flowControl()), QString("19200 8 0 1 0"));
        P::pbMeasure(w)->setChecked(true);
        P::doTransmiterInfo(w);
        P::leTemp(w)->setText(QStringLiteral("25"));
        P::pbConnect(w)->click();
        QVERIFY(!P::pbMeasure(w)->isChecked() && P::leTemp(w)->text().isEmpty());
    }

    void send_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("interval");
        QTest::newRow("version") << int(SendType::readVersion) << 41000;
        QTest::newRow("+++") << int(SendType::comandRegim) << 42000;
        QTest::newRow("data record") << int(SendType::resiverInfo) << 43000;
    }
    // A request leaves as it is, is logged as one block with its attempt digit and sets the
    // period by its kind: the controller's, the radio module's or a data record's.
    void send()
    {
        QFETCH(int, type);
        WindowFixture f(periods(41000, 42000, 43000));
        MainWindow &w = f.w();
        QVERIFY(f.connect());
        P::attemptsLeft(w) = 3;   // the third attempt
        QFETCH(int, interval);
        const bool samePeriod = P::timer(w)->interval() == interval;
        QTRY_VERIFY(P::timer(w)->remainingTime() < P::timer(w)->interval() - 50);
        const QByteArray frame = hex("2105415453300d04") + char(type);
        const QByteArray before = f.log();
        P::send(w, frame, SendType::SendType(type));
        QByteArray sent;
        QTRY_VERIFY((sent += f.pty.readAvailable()).endsWith(frame));
        QCOMPARE(f.log().mid(before.size()), '2' + QByteArray("------->\r\n") + frame + "\r\n");
        QCOMPARE(P::timer(w)->interval(), interval);
        // Only a new period restarts the timer: else every request would push the ticks back.
        QVERIFY(!samePeriod || P::timer(w)->remainingTime() < interval - 50);
    }

    // A reply to a request a click replaced is not taken.
    void supersededReply()
    {
        WindowFixture f(periods(60000));
        MainWindow &w = f.w();
        QVERIFY(f.connect());
        P::slotRead(w);
        P::getLevel(w);   // a click on the status button replaces the awaited reply
        f.pty.write(hex("030511020207000a0b0c0d0e"));
        QTRY_VERIFY(f.log().contains("\x0e\r\n"));
        P::settleReply(w);
        QVERIFY(P::settingsRecord(w) == proto::DeviceConfig());
        QVERIFY(!P::answerReceived(w));
    }

    // A hostile device: its identity in markup is plain text cut to 64 characters and leaves the
    // window on a laptop's screen (as markup it grew to 20059 x 20736); bytes without end stop
    // log.txt at MaxLogMb after a line saying so, told in the status bar, and each monitor
    // row keeps the first 64 bytes of its batch and its length.
    void hostileDevice()
    {
        WindowFixture f(periods(60000) + "MaxLogMb=1\n");
        MainWindow &w = f.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w) && f.connect());
        P::send(w, hex("210101"), SendType::readVersion);
        f.pty.write("Z<img width=20000 height=20000 src=x" + QByteArray(40, ' ') + ">Transmitter v.296");
        QTRY_COMPARE(P::lbVersion(w)->text(), "<img width=20000 height=20000 src=x" + QString(28, ' ') + "…");
        QTest::qWait(50);
        QVERIFY(w.width() <= 1366 && w.height() <= 768);
        int sent = 0;   // 1.4 MB, as fast as the window reads it
        QVERIFY(e2e::waitUntil([&] { return (sent += f.pty.write(QByteArray(2000, 'x'))) >= 700; }, 20000));
        QTRY_VERIFY(f.log().endsWith("дальнейший обмен не записан]\r\n"));
        QVERIFY(f.log().size() < (1 << 20) + 200);
        QVERIFY(P::ui(w)->statusBar->currentMessage().startsWith("log.txt достиг 1 МБ"));
        const ExchangeModel *m = w.findChild<ExchangeMonitor *>()->model();
        for (int r = 0; r < m->heldRows(); ++r)
            QVERIFY(m->entry(r).bytes.size() <= 64 && m->text(r, ExchangeModel::Text).endsWith(m->entry(r).size > 64 ? " байт)" : ""));
    }

private:
    QTemporaryDir config;
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
