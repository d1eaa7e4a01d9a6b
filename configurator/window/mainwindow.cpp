#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "changemarks.h"
#include "commissioncontroller.h"
#include "editguard.h"
#include "exchangelog.h"
#include "fields.h"
#include "exchangemodel.h"
#include "exchangemonitor.h"
#include "massiveadr.h"
#include "notelabel.h"
#include "paceoption.h"
#include "panelscroll.h"
#include "portbox.h"
#include "porterror.h"
#include "portloss.h"
#include "power.h"
#include "profilecontroller.h"
#include "protocol.h"
#include "resiver.h"
#include "resiverinfo.h"
#include "titlestyle.h"
#include "trace.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSettings>
#include <QSpacerItem>
#include <QSpinBox>
#include <QTimer>

namespace {

constexpr int kStatusMs = 8000;

// A period is kept as its low 16 bits; 0 (also what a non-number reads as) would make the
// timer fire without pause and turn every request into a time-out, so it means the default.
quint16 readPeriod(const QSettings &settings, const char *key, quint16 fallback)
{
    const quint16 period = quint16(settings.value(QLatin1String(key), fallback).toInt());
    return period == 0 ? fallback : period;
}

// A spin box for the field a profile keeps under `key`, with the field's range.
QSpinBox *spinBox(const char *key, int value)
{
    const proto::Field &f = proto::field(key);
    auto *box = new QSpinBox;
    box->setRange(f.min, f.max);
    box->setValue(value);
    return box;
}

// Rows of a grid: the field's name in `column`, its box beside it.
struct Row
{
    int row;
    const char *key;
    QWidget *box;
};
void addRows(QGridLayout *grid, int column, std::initializer_list<Row> rows)
{
    for (const Row &r : rows) {
        grid->addWidget(new QLabel(proto::field(r.key).label()), r.row, column);
        grid->addWidget(r.box, r.row, column + 1);
    }
}

QComboBox *comboBox(const QStringList &items)
{
    auto *box = new QComboBox;
    box->addItems(items);
    return box;
}

} // namespace

MainWindow::MainWindow(QWidget *parent, const QString &logName)
    : QMainWindow(parent)
{
    ui = new Ui::MainWindowUi;
    ui->setupUi(this);

    settingsPath = QFileInfo(QStringLiteral("settings.conf")).absoluteFilePath();
    {
        const QSettings settings(QStringLiteral("settings.conf"), QSettings::IniFormat);
        timerInterval = readPeriod(settings, "settings/ZaprosTimeMs", 1000);
        timerSimInterval = readPeriod(settings, "settings/ZaprosSimTimeMs", 1000);
        timerResiverInterval = readPeriod(settings, "settings/ZaprosResiverTimeMs", 200);
    }
    qCDebug(lcTrace) << "timerResiverInterval" << timerResiverInterval;
    pace = new PaceOption(settingsPath, this);
    gapTimer = new QTimer(this);
    gapTimer->setSingleShot(true);
    connect(gapTimer, &QTimer::timeout, this, &MainWindow::paceStep);

    exchangeLog = new ExchangeLog(logName, this);
    logFile = exchangeLog->file();
    exchangeLog->setLimitMb(QSettings(settingsPath, QSettings::IniFormat).value(QStringLiteral("settings/MaxLogMb")).toInt());
    connect(exchangeLog, &ExchangeLog::limitReached, this, [this](int mb) {
        ui->statusBar->showMessage(QStringLiteral("log.txt достиг %1 МБ: дальнейший обмен в него не записывается").arg(mb));
    });

    pbMeasure = new QPushButton(QStringLiteral("Включить измерение"));
    pbMeasure->setCheckable(true);
    gbRadio = new QGroupBox(QStringLiteral("Настройки радиосвязи"));
    glRadio = new QGridLayout(gbRadio);
    gbTransmitter = new QGroupBox(QStringLiteral("Настройки передатчика"));
    glTransmitter = new QGridLayout(gbTransmitter);
    gbData = new QGroupBox(QStringLiteral("Данные"));
    glData = new QGridLayout(gbData);

    port = new QSerialPort(this);
    timer = new QTimer(this);
    // Every step waits whole periods: a coarse timer may fire a millisecond or two off.
    timer->setTimerType(Qt::PreciseTimer);
    timer->start(timerInterval);

    pbConnect = new QPushButton(QStringLiteral("Подключить"));
    pbRead = new QPushButton(QStringLiteral("Считать"));
    pbWrite = new QPushButton(QStringLiteral("Записать"));
    pbDefault = new QPushButton(QStringLiteral("По умолчанию"));
    cbSpeed = comboBox(proto::radioSpeedChoices());
    cbPort = new PortBox;   // lists the ports once the window is up, then follows them
    portNote = new NoteLabel;
    ui->statusBar->addWidget(portNote, 1);

    knobPower = new power;
    knobPower->setMaxValue(7);

    resiverPanel = new resiver;
    resiverPanel->setAdrMaskExt(QByteArray(proto::kReceiverMapSize, '\0'));

    massiveAdr = new MassiveAdr;
    lbVersion = new QLabel(QStringLiteral("Version:"));
    lbVersion->setTextFormat(Qt::PlainText);   // the device's own words, never markup
    lbLevel = new QLabel(QStringLiteral("Level"));
    ui->loyoutTopInfo->addWidget(lbVersion);
    ui->loyoutTopInfo->addWidget(lbLevel);
    ui->topLayout->addWidget(cbPort);
    ui->topLayout->addWidget(pbConnect);
    ui->topLayout->addWidget(pbRead);
    ui->topLayout->addWidget(pbWrite);
    ui->topLayout->addWidget(pbDefault);

    // Radio link: the knob on the left, four labelled rows beside it; names and ranges are the
    // fields' own.
    sbSubnet = spinBox("subnet", 0);
    sbSubnet->setEnabled(false);   // only the module's reply and the factory values change it
    sbChannel = spinBox("channel", 0);
    sbDeviceAdr = spinBox("address", 0);
    glRadio->addWidget(knobPower, 0, 0, 4, 1);
    addRows(glRadio, 1, {{0, "subnet", sbSubnet}, {1, "channel", sbChannel}, {2, "speed", cbSpeed},
                         {3, "address", sbDeviceAdr}});

    // Transmitter: the address table, the sensor address, the four measuring times, the range.
    sbDutAdr = spinBox("dutAddress", 0);
    sbTimeFd1 = spinBox("timeFd1", 10);
    sbTimeFd2 = spinBox("timeFd2", 10);
    sbTimeAd1 = spinBox("timeAd1", 10);
    sbTimeAd2 = spinBox("timeAd2", 10);
    cbDutRange = comboBox(proto::field("dutRange").choices());
    glTransmitter->addWidget(massiveAdr, 0, 0, 1, 2);
    addRows(glTransmitter, 0, {{1, "dutAddress", sbDutAdr}, {3, "timeFd1", sbTimeFd1}, {4, "timeFd2", sbTimeFd2},
                               {5, "timeAd1", sbTimeAd1}, {6, "timeAd2", sbTimeAd2}, {7, "dutRange", cbDutRange}});
    lbDutRange = qobject_cast<QLabel *>(glTransmitter->itemAtPosition(7, 0)->widget());
    lbDutRange->setVisible(false);
    cbDutRange->setVisible(false);
    transmitterSpacer = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding);
    glTransmitter->addItem(transmitterSpacer, 8, 0);

    // Measured values of a transmitter, the second input of each kind beside the first.
    cbDataDut = new QComboBox;
    leTemp = new QLineEdit;
    leLevel = new QLineEdit;
    leAn1 = new QLineEdit;
    leAn2 = new QLineEdit;
    leFreq1 = new QLineEdit;
    leFreq2 = new QLineEdit;
    glData->addWidget(new QLabel(QStringLiteral("Адрес ДУТ")), 0, 0);
    glData->addWidget(cbDataDut, 0, 1);
    const std::pair<const char *, QLineEdit *> dataCells[] = {
        {"Температура ДУТ", leTemp},
        {"Уровень ДУТ", leLevel},
        {"Уровень, мВ, Вх.1 А/Д", leAn1},
        {"Уровень, мВ, Вх.2 А/Д", leAn2},
        {"Частота, Гц, Вх.1 Ч/Д", leFreq1},
        {"Частота, Гц, Вх.2 Ч/Д", leFreq2},
    };
    int cell = 0;
    for (const auto &[text, field] : dataCells) {
        field->setReadOnly(true);   // measured, not set: copied out, never typed in
        glData->addWidget(new QLabel(QString::fromUtf8(text)), 1 + cell / 2, cell % 2 * 2);
        glData->addWidget(field, 1 + cell / 2, cell % 2 * 2 + 1);
        ++cell;
    }
    glData->addWidget(pbMeasure, 4, 0, 1, 4);

    gbRegim = new QGroupBox(QStringLiteral("Режим работы"));
    glRegim = new QGridLayout(gbRegim);
    cbRegim = comboBox(proto::regimChoices());
    glRegim->addWidget(cbRegim, 0, 0);

    gbRs485 = new QGroupBox(QStringLiteral("Интерфейс RS-485"));
    glRs485 = new QGridLayout(gbRs485);
    lbRs485Speed = new QLabel(QStringLiteral("Скорость: "));
    cbRs485Speed = comboBox(proto::rs485SpeedChoices());
    glRs485->addWidget(lbRs485Speed, 0, 0);
    glRs485->addWidget(cbRs485Speed, 0, 1);

    // Three columns low enough for a laptop screen: the mode and the RS-485 speed side by side
    // in the middle; any height to spare goes to the address boxes and under the middle.
    ui->gridLayout->addWidget(gbTransmitter, 0, 0, 4, 1);
    ui->gridLayout->addWidget(gbRegim, 0, 1);
    ui->gridLayout->addWidget(gbRs485, 0, 2);
    ui->gridLayout->addWidget(gbRadio, 1, 1, 1, 2);
    ui->gridLayout->addWidget(gbData, 2, 1, 1, 2);
    ui->gridLayout->addWidget(resiverPanel, 0, 3, 4, 1);
    ui->gridLayout->setRowStretch(3, 1);

    // Any operation can be ended at once, by the button or by Esc.
    pbStop = new QPushButton(QStringLiteral("Стоп"));
    pbStop->setObjectName(QStringLiteral("pbStop"));
    pbStop->setEnabled(false);
    pbStop->setToolTip(QStringLiteral("Остановить обмен (Esc)"));
    ui->layoutProgressBar->insertWidget(1, pbStop);
    connect(pbStop, &QPushButton::clicked, this, &MainWindow::slotStop);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &MainWindow::slotStop);

    setupMonitor();   // "Вид"
    menuBar()->addMenu(QStringLiteral("Настройки"))->addAction(pace->action());

    setConnectedState(false);
    deviceType = proto::NoDevice;
    currentAction = ActionType::none;
    updatePanels();
    slSpeedChange(0);

    connect(sbChannel, QOverload<int>::of(&QSpinBox::valueChanged), this, &MainWindow::slFreqChange);
    connect(cbSpeed, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::slSpeedChange);
    connect(cbRegim, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::slRefresh);
    connect(pbConnect, &QPushButton::clicked, this, [this] { if (guard->mayDrop()) openPort(); });
    connect(timer, &QTimer::timeout, this, &MainWindow::slotTimer);
    connect(pbRead, &QPushButton::clicked, this, [this] { if (guard->mayDrop()) doReadLevel(); });
    connect(pbWrite, &QPushButton::clicked, this, &MainWindow::doSaveAll);
    connect(port, &QSerialPort::readyRead, this, &MainWindow::slotReadyRead);
    connect(port, &QSerialPort::errorOccurred, this, &MainWindow::slotPortError);
    connect(pbDefault, &QPushButton::clicked, this, &MainWindow::doDefault);
    connect(ui->pbLevel, &QPushButton::clicked, this, &MainWindow::getLevel);
    connect(resiverPanel, &resiver::doInfo, this, &MainWindow::doResiverInfo);
    connect(pbMeasure, &QPushButton::clicked, this, &MainWindow::doTransmiterInfo);
    connect(sbDeviceAdr, QOverload<int>::of(&QSpinBox::valueChanged), massiveAdr,
            &MassiveAdr::slotSetAdr);
    connect(sbDutAdr, QOverload<int>::of(&QSpinBox::valueChanged), massiveAdr,
            &MassiveAdr::slotSetDut);
    connect(massiveAdr, &MassiveAdr::updateAdr, this, &MainWindow::updateAdr);
    connect(massiveAdr, &MassiveAdr::updateDut, this, &MainWindow::updateDut);

    setupEditGuard();
    // The "Файл" menu: profiles and the journal, and commissioning from a profile.
    new CommissionController(this, new ProfileController(this));
    // At least 980 wide, and never narrower than the panels need: a minimum set on the window
    // itself would stop its layout from raising it when a panel grows, and cut the texts.
    const QMargins margins = ui->gridLayout_2->contentsMargins();
    ui->gridLayout_2->setColumnMinimumWidth(0, 980 - margins.left() - margins.right());
    // Open wide enough that no caption is cut with the platform's fonts.
    // The radio group's title changes with the channel; keep room for the longest one.
    gbRadio->setMinimumWidth(
        gbRadio->fontMetrics().horizontalAdvance(QStringLiteral("Настройки радиосвязи 868.575 (МГц)")) + 24);
    PanelScroll::wrap(ui->gridLayout_2, ui->gridLayout);   // room for a docked monitor on a laptop
    TitleStyle::fitTitles(this);
    ensurePolished();
    layout()->activate();
    // As large as the panels like within the screen, less the frame the window manager adds.
    QSize size(qMax(980, sizeHint().width()), sizeHint().height());
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        constexpr int kFrame = 40;
        size = size.boundedTo(screen->availableGeometry().size() - QSize(kFrame, kFrame));
    }
    resize(size);
    placeWindow();
}

MainWindow::~MainWindow()
{
    if (operation == steps::Operation::Write)   // closing the window stops the write
        endOperation(Outcome::Stopped);
    port->close();
    logFile->close();
    delete ui;
}

void MainWindow::selectPort(const QString &name)
{
    if (!name.isEmpty())
        cbPort->select(name);
}

void MainWindow::setConnectedState(bool on)
{
    pbRead->setEnabled(on);
    pbWrite->setEnabled(on);
    pbDefault->setEnabled(on);
    cbPort->setEnabled(!on);
}

void MainWindow::placeWindow()
{
    move(5, 5);
}

// ---- Serial link ----------------------------------------------------------------------

void MainWindow::openPort()
{
    attemptsLeft = steps::kRetries;

    const QString listed = cbPort->currentText().trimmed();
    const QString name = cbPort->location();
    qCDebug(lcTrace) << "port:" << name;

    if (!port->isOpen())
        port->setPortName(name);
    port->setBaudRate(QSerialPort::Baud19200, QSerialPort::AllDirections);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);

    portNote->clearNote();
    if (port->isOpen()) {
        if (operation == steps::Operation::Write || (commandModeOpen && operation != steps::Operation::None))
            endOperation(Outcome::Stopped);   // a write stopped, the module back in data mode, before the line goes
        port->close();
        pbConnect->setText(QStringLiteral("Подключить"));
        stopMeasurement();
        forgetExchange();
        marks->forget();   // let go on purpose: no device to mark against (a lost port keeps them)
        ui->statusBar->clearMessage();
    } else if (!listed.isEmpty() && port->open(QIODevice::ReadWrite)) {
        pbConnect->setText(QStringLiteral("Отключить"));
        monitor->model()->restartClock();
        startRead();
        ui->statusBar->showMessage(QStringLiteral("Порт %1 открыт").arg(name), kStatusMs);
    } else if (listed.isEmpty()) {
        ui->statusBar->showMessage(QStringLiteral("Не выбран порт"), kStatusMs);
    } else {
        portNote->setNote(portOpenFailedText(name, port->error(), port->errorString()));
    }
    setConnectedState(port->isOpen());
}

void MainWindow::slotPortError(QSerialPort::SerialPortError error)
{
    // A device that is gone closes the port, but not from inside the port's own signal; a
    // line that only drains slowly does not.
    if (!portLost(port, error))
        return;
    const QString reason = portLostText(port->portName(), error, port->errorString());
    QMetaObject::invokeMethod(this, [this, reason] { closeLostPort(reason); }, Qt::QueuedConnection);
}

void MainWindow::closeLostPort(const QString &reason)
{
    if (!port->isOpen())
        return;
    port->close();
    pbConnect->setText(QStringLiteral("Подключить"));
    stopMeasurement();
    forgetExchange();
    setConnectedState(false);
    portNote->setNote(reason);
}

// An answered "ATO" (the read's own step or the write's last register step) is the module back
// in data mode.
void MainWindow::leftCommandMode()
{
    if (lastRequest == proto::dataModeFrame())
        commandModeOpen = false;
}

void MainWindow::decision(const QString &text)
{
    qCDebug(lcTrace) << "decision" << text;
    monitor->model()->addDecision(text);
}

// The exchange monitor: a dock under "Вид", fed by the log's blocks and the decisions above.
void MainWindow::setupMonitor()
{
    monitor = new ExchangeMonitor(this);
    menuBar()->addMenu(QStringLiteral("Вид"))->addAction(monitor->toggleViewAction());
    connect(exchangeLog, &ExchangeLog::blockWritten, monitor->model(), &ExchangeModel::addBlock);
}

void MainWindow::send(const QByteArray &data, SendType::SendType type)
{
    gapTimer->stop();   // a quiet gap belongs to the reply of the last request
    exchangeLog->writeRequest(data, attemptsLeft);
    if (port->isOpen()) {
        port->write(data);
        port->flush();   // out now, on the tick, not when the event loop next looks at the port
    }
    qCDebug(lcTrace) << "<<" << data << logFile->fileName();
    expectedReply = type;
    reply.clear();
    lastRequest = data;
    if (data == proto::commandModeFrame())
        commandModeOpen = true;   // until an "ATO" is answered: an unanswered one may not have arrived

    int period = timerInterval;
    switch (type) {
    case SendType::comandRegim:
    case SendType::readCHA:
    case SendType::dataRegim:
    case SendType::readPower:
    case SendType::saveSimParam:
        period = timerSimInterval;
        break;
    case SendType::resiverInfo:
        period = timerResiverInterval;
        break;
    default:
        break;
    }
    // setInterval() restarts the timer: only a new period may do that, or every request would
    // push all later ticks back by the time spent on this one.
    if (timer->interval() != period)
        timer->setInterval(period);
    qCDebug(lcTrace) << "interval" << timer->interval();
    qCDebug(lcTrace) << "val" << int(type);
}

void MainWindow::sendAt(const QByteArray &text, SendType::SendType type)
{
    send(proto::atFrame(text), type);
}

void MainWindow::slotReadyRead()
{
    if (ReadEn())   // a controller identified itself
        updatePanels();
}

// ---- Replies --------------------------------------------------------------------------

bool MainWindow::ReadEn()
{
    const QByteArray batch = port->readAll();
    exchangeLog->writeReply(batch);
    qCDebug(lcTrace) << "baTmp<<" << batch;
    const bool identified = interpret(batch);
    paceReply();
    return identified;
}

// Replies carry no framing and may arrive in any number of batches: each batch is added to
// the bytes received since the last request, and a reply is taken once it is complete. True
// when the batch was a controller's identity.
bool MainWindow::interpret(const QByteArray &batch)
{
    // Nothing awaited and no step waiting for its check tick: the bytes are logged only, so a
    // device that keeps talking to an idle window does not grow the buffer.
    if (expectedReply == SendType::none && !awaitingCheck()) {
        reply.clear();
        return false;
    }
    // Bytes that come while the step waits to be repeated answer the attempt that timed out.
    if (requestPending && currentAction != ActionType::none && !batch.isEmpty())
        stepTrouble.late = true;
    reply += batch;
    // No awaited reply is longer than a few dozen bytes; keep a chatty line's tail bounded.
    constexpr int kMaxReply = 4096;
    if (reply.size() > kMaxReply)
        reply.remove(0, reply.size() - kMaxReply);
    if (reply.size() < 2)
        return false;

    switch (expectedReply) {
    case SendType::readSetting:
    case SendType::readMassive:
    case SendType::resiverInfo:
        // A record has no framing: it is decided at the check tick, from everything received
        // since the request (settleReply), never while its bytes are still coming.
        return false;

    case SendType::readVersion:
        if (const auto id = proto::scanIdentity(reply))
            acceptIdentity(*id);
        qCDebug(lcTrace) << "numVersion" << numVersion;
        return true;

    case SendType::comandRegim:
    case SendType::dataRegim:
        if (proto::replyHasOk(reply)) {
            answerReceived = true;
            leftCommandMode();
        }
        return false;

    case SendType::saveSimParam:
        // A register write counts only when the module said OK and never ERROR.
        answerReceived = proto::replyAcceptsWrite(reply);
        if (answerReceived)
            leftCommandMode();
        if (reply.contains("ERROR"))
            stepTrouble.error = true;
        return false;

    case SendType::readCHA:
    case SendType::readPower:
        if (const auto value = proto::scanRegister(reply, proto::registerTag(expectedReply)))
            acceptRegister(*value);
        return false;

    case SendType::getLevel:
        if (const auto level = proto::scanRssi(reply))
            showLevel(*level);
        return false;

    case SendType::readLevel: {
        const auto m = proto::scanMeasurement(reply);
        if (!m)
            return false;
        leTemp->setText(m->temp);
        leLevel->setText(m->level);
        leFreq1->setText(m->freq1);
        leFreq2->setText(m->freq2);
        leAn1->setText(m->an1);
        leAn2->setText(m->an2);
        return false;
    }

    default:
        return false;
    }
}

void MainWindow::acceptIdentity(const proto::Identity &id)
{
    deviceType = id.deviceType;
    expectedReply = SendType::none;
    lbVersion->setText(id.label);
    answerReceived = true;
    numVersion = id.version;
    if (deviceType == proto::Receiver) {
        resiverPanel->setMaxAdr(quint8(proto::maxTransmitterAddress(numVersion)));
        resiverPanel->setAdrExtEnabled(proto::hasWideAddresses(numVersion));
    }
    settingsRecord = startValues;   // the greyed panel of the other type: its start-up values, no other device's
    settingsRecord.deviceType = deviceType;
    settingsRecord.version = numVersion;
    fillPanels(settingsRecord, Fill::Record | Fill::Range | Fill::Table | Fill::OtherLayout);
    decision(QStringLiteral("Ответ: %1").arg(id.label));
    emit identified(deviceType, numVersion);
}

QString MainWindow::deviceLabel() const
{
    return lbVersion->text();
}

void MainWindow::acceptRegister(int value)
{
    const SendType::SendType kind = expectedReply;
    expectedReply = SendType::none;
    const quint8 byte = quint8(qMin(value, 255));
    if (kind == SendType::readCHA) {
        sbSubnet->setValue(value);
        settingsRecord.radio().subnet = byte;
    } else {
        knobPower->setValue(byte);
        settingsRecord.radio().power = byte;
    }
    answerReceived = true;
    decision(QStringLiteral("Ответ: %1%2").arg(QString::fromLatin1(proto::registerTag(kind))).arg(value));
}

void MainWindow::showLevel(int level)
{
    qCDebug(lcTrace) << "rssi" << reply << level;
    rssiTick = false;
    ui->progressBar_2->setValue(qBound(0, level, ui->progressBar_2->maximum()));
    ui->statusBar->showMessage(QStringLiteral("Уровень сигнала: %1").arg(level), kStatusMs);
}

bool MainWindow::awaitingCheck() const
{
    return currentAction != ActionType::none && !requestPending;
}

// The check tick decides the step's reply from every byte received since its request: a
// record only at exactly its length, a text value with what has come by now.
void MainWindow::settleReply()
{
    if (currentAction == ActionType::readVersion && answerReceived) {
        if (const auto id = proto::scanIdentity(reply))
            lbVersion->setText(id->label);   // the ">" that came after the digits
        return;
    }
    switch (expectedReply) {
    case SendType::readVersion:
        if (const auto id = proto::scanIdentity(reply)) {
            acceptIdentity(*id);
            updatePanels();
        }
        return;
    case SendType::readCHA:
    case SendType::readPower:
        if (const auto value = proto::scanRegister(reply, proto::registerTag(expectedReply), true))
            acceptRegister(*value);
        return;
    case SendType::readSetting:
    case SendType::readMassive:
    case SendType::resiverInfo:
        break;
    default:
        return;
    }

    const int size = proto::recordReplySize(expectedReply, deviceType, numVersion);
    if (reply.size() != size) {
        if (!reply.isEmpty()) {
            decision(QStringLiteral("Не принято: %1 байт вместо %2").arg(reply.size()).arg(size));
            stepTrouble.refused = reply.size();
            stepTrouble.expected = size;
        }
        return;
    }
    decision(QStringLiteral("Ответ: %1 байт").arg(size));
    answerReceived = true;
    if (expectedReply == SendType::resiverInfo) {
        // Bytes after a poll has ended have no transmitter to belong to.
        if (resiverInfoIndex <= 255)
            resiverInfoData[resiverInfoIndex] = reply;
        else
            answerReceived = false;
        qCDebug(lcTrace) << "baTmp.length();" << reply.size();
        return;
    }
    attemptsLeft = steps::kRetries;
    if (currentAction == ActionType::checkSetting || currentAction == ActionType::checkMassive) {
        // The write's read-back only compares: the panels keep what was written.
        if (expectedReply == SendType::readSetting)
            readBack.takeSettingsReply(reply);
        else
            readBack.takeTableReply(reply);
        expectedReply = SendType::none;
        return;
    }
    settingsRecord.deviceType = deviceType;
    settingsRecord.version = numVersion;
    if (expectedReply == SendType::readSetting) {
        settingsRecord.takeSettingsReply(reply);
        fillPanels(settingsRecord, Fill::Record | (proto::hasRangeByte(numVersion) ? Fill::Range : 0));
    } else {
        settingsRecord.takeTableReply(reply);
        fillPanels(settingsRecord, Fill::Table);
        if (deviceType != proto::Receiver)
            rebuildDataDutList(baMassive);
    }
    expectedReply = SendType::none;
}

// ---- Controller requests --------------------------------------------------------------

void MainWindow::slotRead()
{
    send(proto::readSettingsRequest(), SendType::readSetting);
}

void MainWindow::slotReadMassive()
{
    send(proto::readTableRequest(deviceType), SendType::readMassive);
}

// The write sends what was taken from the panels when it started (`pendingWrite`), so a
// repeated write sends the same values again.
void MainWindow::slotSave()
{
    qCDebug(lcTrace) << "slotSave()";
    const proto::RadioSettings &r = pendingWrite.radio();
    qCDebug(lcTrace) << "!!!!!!!!!!!!!!!cbRegim!!!!!!!!!!" << char(proto::modeByte(r.regim, r.rs485Speed));
    if (pendingWrite.isReceiver() && proto::hasWideAddresses(numVersion))
        qCDebug(lcTrace) << "diskret" << char(pendingWrite.receiver.fq2Mode * 2 | pendingWrite.receiver.fq1Mode);
    send(pendingWrite.settingsFrame(), SendType::saveSetting);
    answerReceived = true;
}

void MainWindow::saveMassiveParam()
{
    qCDebug(lcTrace) << "saveMassiveParam()";
    const bool receiver = pendingWrite.isReceiver();
    send(pendingWrite.tableFrame(), receiver ? SendType::saveMassiveResiver : SendType::saveMassive);
    answerReceived = true;
    qCDebug(lcTrace) << "vvv" << (receiver ? proto::kReceiverMapSize : proto::kAddressTableSize) + 1;
}

qint16 MainWindow::getNextResivInfo(bool first)
{
    const int start = first ? 0 : resiverInfoIndex + 1;
    const QByteArray map = resiverPanel->getAdrMaskExt();
    const int found = proto::nextPolledTransmitter(resiverPanel->getAdrMask0(),
                                                   resiverPanel->getAdrMask1(), map, start);
    if ((found < 0 || found > 15) && start <= 255) {
        qCDebug(lcTrace) << "67676767676767676767" << qMax(start, 16);
        qCDebug(lcTrace) << "baTmp.toHex();" << map.toHex();
    }
    return qint16(found);
}

// ---- Radio module commands ------------------------------------------------------------

void MainWindow::setComandRegim()
{
    sendAt("+++", SendType::comandRegim);
}

void MainWindow::readCHA()
{
    sendAt("ATS250?\r", SendType::readCHA);
}

void MainWindow::setDataRegim()
{
    sendAt("ATO\r", SendType::dataRegim);
}

void MainWindow::readPower()
{
    sendAt("ATS202?\r", SendType::readPower);
}

void MainWindow::saveSimParam()
{
    sendAt("+++", SendType::saveSimParam);
}

void MainWindow::saveSimParam0()
{
    writeRegister(0);
}

void MainWindow::saveSimParam1()
{
    writeRegister(1);
}

void MainWindow::saveSimParam2()
{
    writeRegister(2);
}

void MainWindow::saveSimParam3()
{
    writeRegister(3);
}

void MainWindow::saveSimParam31()
{
    writeRegister(4);
}

// The write's register steps, in the order of DeviceConfig::registers(): 220, 250, 200, 202, 201.
void MainWindow::writeRegister(int index)
{
    const QPair<int, int> r = pendingWrite.registers().at(index);
    send(proto::registerWriteFrame(r.first, r.second), SendType::saveSimParam);
}

void MainWindow::saveSimParam4()
{
    sendAt("ATO\r", SendType::saveSimParam);
}

void MainWindow::getLevel()
{
    timer->setInterval(timerInterval);
    const QByteArray frame = proto::atFrame("AT+SRDRSSI?\r\n");
    qCDebug(lcTrace) << frame;
    send(frame, SendType::getLevel);
    rssiTick = true;
}

// ---- Panels ---------------------------------------------------------------------------

void MainWindow::updateAdr(quint8 v)
{
    sbDeviceAdr->setValue(v);
}

void MainWindow::updateDut(quint8 v)
{
    sbDutAdr->setValue(v);
}

void MainWindow::slRefresh()
{
    updatePanels();
}

void MainWindow::updatePanels()
{
    const quint8 t = deviceType;
    const quint16 v = numVersion;
    const bool standard = cbRegim->currentIndex() == 0;
    const bool transmitter = t == proto::Transmitter && standard;
    const bool rangeShown = proto::hasRangeByte(v) && standard;

    sbDeviceAdr->setEnabled(transmitter);
    sbDutAdr->setEnabled(transmitter);
    gbTransmitter->setEnabled(transmitter);
    cbDutRange->setVisible(transmitter && rangeShown);
    lbDutRange->setVisible(transmitter && rangeShown);
    resiverPanel->setOldProtokolVisible(t == proto::Receiver && rangeShown);
    gbData->setEnabled(transmitter);
    resiverPanel->setEnabled(t == proto::Receiver && standard);
    if (t == proto::Receiver) {
        sbDeviceAdr->setValue(254);
        sbDeviceAdr->setEnabled(false);
        return;
    }
    // From 221 on the address and ДУТ number are edited in row 0 of the address table.
    const bool wideTable = proto::hasWideAddresses(v) && standard;
    massiveAdr->setEnabled(wideTable);
    sbDeviceAdr->setEnabled(!wideTable);
    sbDutAdr->setEnabled(!wideTable);
}

void MainWindow::slSpeedChange(int)
{
    sbChannel->setMaximum(proto::channelPlan(cbSpeed->currentIndex()).maxChannel);
    slFreqChange();
}

void MainWindow::slFreqChange()
{
    const proto::ChannelPlan plan = proto::channelPlan(cbSpeed->currentIndex());
    const qint64 hz = plan.baseHz + sbChannel->value() * plan.stepHz;
    gbRadio->setTitle(QStringLiteral("Настройки радиосвязи %1 (МГц)").arg(double(hz) / 1000000.0));
}
