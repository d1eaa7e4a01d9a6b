#include "fixture.h"
#include "massiveadr.h"
#include "resiver.h"

#include <QGroupBox>
#include <QMenuBar>
#include <QStyleOptionGroupBox>
#include <QtTest>

// The font of a desktop at its default size; the offscreen platform's own is larger.
static const QFont kDesktopFont(QStringLiteral("DejaVu Sans"), 9);

// Texts the shown window cuts: a label narrower than its text, a group box title wider than
// the place its style gives it.
static QString cutTexts(MainWindow &w)
{
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return QStringLiteral("window not shown");
    QStringList cut;
    for (QLabel *label : w.findChildren<QLabel *>()) {
        if (label->isVisible() && !qobject_cast<NoteLabel *>(label)
            && label->width() < label->minimumSizeHint().width())
            cut << QStringLiteral("%1 (%2 < %3)").arg(label->text()).arg(label->width()).arg(label->minimumSizeHint().width());
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

class TestPanels : public QObject
{
    Q_OBJECT

private slots:
    // Before anything is connected. The buttons' states after a failed open are tst_link's, the
    // panels' states with no device are the "none" row of panelRules.
    void startState()
    {
        WindowFixture f;
        MainWindow &w = f.w();
        QCOMPARE(w.windowTitle(), QStringLiteral("ТАЛВЕР Конфигуратор v0.342"));
        QCOMPARE(w.pos(), QPoint(5, 5));
        QCOMPARE(P::pbConnect(w)->text(), QStringLiteral("Подключить"));
        QVERIFY(!P::pbRead(w)->isEnabled());
        QVERIFY(P::cbPort(w)->isEnabled());
        QCOMPARE(P::sbChannel(w)->maximum(), 11);
        QCOMPARE(P::gbRadio(w)->title(), QStringLiteral("Настройки радиосвязи 868.025 (МГц)"));
        QVERIFY(!P::sbSubnet(w)->isEnabled());   // only the module or the defaults set it
        QCOMPARE(P::baMassive(w), QByteArray(24, '\0'));
        QVERIFY(P::timer(w)->isActive());
        QVERIFY(f.log().isEmpty());
        QVERIFY(P::leTemp(w)->isReadOnly() && P::leAn2(w)->isReadOnly() && P::leFreq2(w)->isReadOnly());
        const QString cut = cutTexts(w);
        QVERIFY2(cut.isEmpty(), qPrintable(cut));
    }

    // The window with its menus fits a 1366 x 768 screen less the desktop's panel and the
    // window's title bar, also with the transmitter's range row shown.
    void fitsLaptopScreen()
    {
        const QFont font = QApplication::font();
        QApplication::setFont(kDesktopFont);
        WindowFixture f;
        MainWindow &w = f.w();
        P::deviceType(w) = proto::Transmitter;
        P::numVersion(w) = 296;
        P::updatePanels(w);
        if (w.menuBar()->actions().isEmpty())
            w.menuBar()->addMenu(QStringLiteral("Файл"));
        const QSize least = w.minimumSizeHint();
        QApplication::setFont(font);
        QVERIFY2(least.width() <= 1366 && least.height() <= 700,
                 qPrintable(QStringLiteral("%1 x %2").arg(least.width()).arg(least.height())));
    }

    // Enabled and shown states after an identification, by device type, firmware and mode.
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
        QTest::newRow("receiver 295") << 1 << 295 << 0 << "tx0 data0 rx1 table0 adr0 dut0 range0 rxrange0";
        QTest::newRow("receiver 296") << 1 << 296 << 0 << "tx0 data0 rx1 table0 adr0 dut0 range0 rxrange1";
        QTest::newRow("receiver 296 transparent") << 1 << 296 << 1 << "tx0 data0 rx0 table0 adr0 dut0 range0 rxrange0";
        QTest::newRow("transmitter 200") << 2 << 200 << 0 << "tx1 data1 rx0 table0 adr1 dut1 range0 rxrange0";
        QTest::newRow("transmitter 220") << 2 << 220 << 0 << "tx1 data1 rx0 table0 adr1 dut1 range0 rxrange0";
        QTest::newRow("transmitter 221") << 2 << 221 << 0 << "tx1 data1 rx0 table1 adr0 dut0 range0 rxrange0";
        QTest::newRow("transmitter 295") << 2 << 295 << 0 << "tx1 data1 rx0 table1 adr0 dut0 range0 rxrange0";
        QTest::newRow("transmitter 296") << 2 << 296 << 0 << "tx1 data1 rx0 table1 adr0 dut0 range1 rxrange0";
        QTest::newRow("transmitter 200 transparent") << 2 << 200 << 1 << "tx0 data0 rx0 table0 adr1 dut1 range0 rxrange0";
        QTest::newRow("transmitter 296 transparent") << 2 << 296 << 1 << "tx0 data0 rx0 table0 adr1 dut1 range0 rxrange0";
    }
    void panelRules()
    {
        QFETCH(int, type);
        QFETCH(int, version);
        QFETCH(int, regim);
        WindowFixture f;
        MainWindow &w = f.w();
        P::deviceType(w) = quint8(type);
        P::numVersion(w) = quint16(version);
        P::cbRegim(w)->setCurrentIndex(regim);   // runs the rules through slRefresh
        P::updatePanels(w);

        auto *oldProtokol = P::resiverPanel(w)->findChild<QComboBox *>(QStringLiteral("cbOldProtokol"));
        QVERIFY(oldProtokol);
        // The spin boxes' own state: the ДУТ box sits in the transmitter group, which may be off.
        const auto own = [](QWidget *widget) { return !widget->testAttribute(Qt::WA_ForceDisabled); };
        QTEST(QStringLiteral("tx%1 data%2 rx%3 table%4 adr%5 dut%6 range%7 rxrange%8")
                  .arg(P::gbTransmitter(w)->isEnabled()).arg(P::gbData(w)->isEnabled())
                  .arg(P::resiverPanel(w)->isEnabled()).arg(P::massiveAdr(w)->isEnabled())
                  .arg(own(P::sbDeviceAdr(w))).arg(own(P::sbDutAdr(w)))
                  .arg(!P::cbDutRange(w)->isHidden() && !P::lbDutRange(w)->isHidden())
                  .arg(!oldProtokol->isHidden()), "expected");
        if (type == 1)
            QCOMPARE(P::sbDeviceAdr(w)->value(), 254);
        const QString cut = cutTexts(w);
        QVERIFY2(cut.isEmpty(), qPrintable(cut));
    }

    // The radio speed limits the channel, cuts a channel above the new limit and sets the
    // frequency in the group's title.
    void speedChange_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("expected");   // channel, its maximum, the group's title
        const auto row = [](int channel, int maximum, const char *mhz) {
            return QStringLiteral("%1 %2 Настройки радиосвязи %3 (МГц)").arg(channel).arg(maximum).arg(QLatin1String(mhz));
        };
        QTest::newRow("4800 ch0") << 0 << "4800" << row(0, 11, "868.025");
        QTest::newRow("9600 ch11") << 11 << "9600" << row(11, 11, "868.575");
        QTest::newRow("19200 ch0") << 0 << "19200" << row(0, 5, "868.05");
        QTest::newRow("ch9 to 19200 cut to 5") << 9 << "19200" << row(5, 5, "868.55");
        QTest::newRow("38400 ch1") << 1 << "38400" << row(1, 2, "868.3");
        QTest::newRow("ch9 to 115200 cut to 0") << 9 << "115200" << row(0, 0, "868.3");
    }
    void speedChange()
    {
        QFETCH(int, channel);
        QFETCH(QString, speed);
        WindowFixture f;
        MainWindow &w = f.w();
        P::sbChannel(w)->setValue(channel);
        P::cbSpeed(w)->setCurrentText(speed);
        QTEST(QStringLiteral("%1 %2 %3").arg(P::sbChannel(w)->value()).arg(P::sbChannel(w)->maximum())
                  .arg(P::gbRadio(w)->title()), "expected");
    }

    void settingsFile_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("periods");   // ZaprosTimeMs, ZaprosSimTimeMs, ZaprosResiverTimeMs
        QTest::newRow("no file") << false << QByteArray() << "1000 1000 200";
        QTest::newRow("all keys") << true
            << QByteArray("[settings]\nZaprosTimeMs=20\nZaprosSimTimeMs=30\nZaprosResiverTimeMs=40\n") << "20 30 40";
        QTest::newRow("missing keys") << true << QByteArray("[settings]\nZaprosSimTimeMs=300\n") << "1000 300 200";
        QTest::newRow("low 16 bits") << true << QByteArray("[settings]\nZaprosTimeMs=66536\n") << "1000 1000 200";
        QTest::newRow("minus one") << true << QByteArray("[settings]\nZaprosResiverTimeMs=-1\n") << "1000 1000 65535";
        QTest::newRow("zero means default")
            << true << QByteArray("[settings]\nZaprosTimeMs=0\nZaprosResiverTimeMs=65536\n") << "1000 1000 200";
        QTest::newRow("text means default") << true << QByteArray("[settings]\nZaprosSimTimeMs=fast\n") << "1000 1000 200";
        QTest::newRow("junk file") << true << QByteArray("\x01\xff[[[=\n\n==\x00zz", 14) << "1000 1000 200";
    }
    void settingsFile()
    {
        QFETCH(bool, present);
        QFETCH(QByteArray, content);
        WindowFixture f(content, present);
        MainWindow &w = f.w();
        QTEST(QStringLiteral("%1 %2 %3").arg(P::timerInterval(w)).arg(P::timerSimInterval(w))
                  .arg(P::timerResiverInterval(w)), "periods");
        QCOMPARE(P::timer(w)->interval(), int(P::timerInterval(w)));
    }

    // A second start in the same folder (the fixture's) leaves only its own exchange in the log.
    void logEmptiedAtStart()
    {
        WindowFixture f;
        QFile log(f.dir.filePath(QStringLiteral("log.txt")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("an earlier run\r\n");
        log.close();
        MainWindow second;
        QVERIFY(f.log().isEmpty());
    }

    void rowZeroFollowsAddressSpinBoxes()
    {
        WindowFixture f;
        MainWindow &w = f.w();
        P::sbDeviceAdr(w)->setValue(7);
        P::sbDutAdr(w)->setValue(9);
        // The table's defaults zero row 0, and the spin boxes follow only if row 0 held 7 and 9.
        P::massiveAdr(w)->setDefault();
        QCOMPARE(P::sbDeviceAdr(w)->value(), 0);
        QCOMPARE(P::sbDutAdr(w)->value(), 0);
    }
};

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
