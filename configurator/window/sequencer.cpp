// The main window's sequencer and the operations that start it: one request per step on the
// timer's tick, the answer looked at on the next tick, retries from a shared budget, and the
// notices and questions of a failed step. Where each step leads is the table in steps.cpp.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "changemarks.h"
#include "editguard.h"
#include "massiveadr.h"
#include "notelabel.h"
#include "paceoption.h"
#include "plainbox.h"
#include "power.h"
#include "resiver.h"
#include "resiverinfo.h"
#include "trace.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace {

const char *const kGrey = "background-color: rgb(170, 170, 170);";
const char *const kGreen = "background-color: rgb(0, 255, 0);";
const char *const kRed = "background-color: rgb(255, 0, 0);";

} // namespace

void MainWindow::setIndicator(const char *styleSheet)
{
    // Re-styling repaints the button; most ticks leave the colour as it is.
    if (ui->pbLevel->styleSheet() != QLatin1String(styleSheet))
        ui->pbLevel->setStyleSheet(QLatin1String(styleSheet));
}

void MainWindow::slotTimer()
{
    // The signal level is taken on the first tick after its request, with what has come.
    if (rssiTick && expectedReply == SendType::getLevel) {
        if (const auto level = proto::scanRssi(reply, true))
            showLevel(*level);
    }
    rssiTick = false;
    if (requestPending) {
        setIndicator(currentAction == ActionType::none ? kGrey : kGreen);
        if (currentAction != ActionType::none)
            requestStep();
        return;
    }
    if (currentAction == ActionType::none)
        setIndicator(kGrey);
    else if (answerReceived)
        setIndicator(kGreen);
    else if (currentAction == ActionType::transmiterInfo)
        setIndicator(kGrey);
    else
        setIndicator(kRed);
    checkStep();
}

void MainWindow::requestStep()
{
    const ActionType step = currentAction;
    // A poll whose next number is past the last one (or that had nothing selected at all)
    // ends here without a request.
    if (step == ActionType::resiverInfo && resiverInfoIndex > proto::maxTransmitterAddress(numVersion)) {
        endOperation(Outcome::Done);
        return;
    }
    if (step != lastStep) {   // a new step, not a repeat: its troubles start afresh
        lastStep = step;
        stepTrouble = steps::Trouble();
    }
    answerReceived = false;
    requestPending = false;

    switch (step) {
    case ActionType::none: break;
    case ActionType::readVersion: send(proto::versionRequest(), SendType::readVersion); break;
    case ActionType::readSetting: qCDebug(lcTrace) << "slotRead();"; slotRead(); break;
    case ActionType::setComandRegim: setComandRegim(); break;
    case ActionType::readCHA: readCHA(); break;
    case ActionType::readPower: readPower(); break;
    case ActionType::setDataRegim: setDataRegim(); break;
    case ActionType::saveSimParam: qCDebug(lcTrace) << "ActionType::saveSimParam"; saveSimParam(); break;
    case ActionType::saveSimParam0: qCDebug(lcTrace) << "ActionType::saveSimParam"; saveSimParam0(); break;
    case ActionType::saveSimParam1: qCDebug(lcTrace) << "ActionType::saveSimParam1"; saveSimParam1(); break;
    case ActionType::saveSimParam2: qCDebug(lcTrace) << "ActionType::saveSimParam2"; saveSimParam2(); break;
    case ActionType::saveSimParam3: saveSimParam3(); break;
    case ActionType::saveSimParam31: saveSimParam31(); break;
    case ActionType::saveSimParam4: qCDebug(lcTrace) << "ActionType::saveSimParam3"; saveSimParam4(); break;
    case ActionType::saveMassive: saveMassiveParam(); break;
    case ActionType::saveSetting: slotSave(); break;
    case ActionType::resiverInfo:
        send(proto::transmitterDataRequest(numVersion, quint8(resiverInfoIndex)), SendType::resiverInfo);
        break;
    case ActionType::transmiterInfo:
        send(proto::levelRequest(numVersion, cbDataDut->currentIndex()), SendType::readLevel);
        break;
    case ActionType::readMassive: qCDebug(lcTrace) << "slotReadMassive();"; slotReadMassive(); break;
    // The write's read-back: the same requests as the read, compared, never applied.
    case ActionType::checkSetting: send(proto::readSettingsRequest(), SendType::readSetting); break;
    case ActionType::checkMassive: send(proto::readTableRequest(deviceType), SendType::readMassive); break;
    }

    report.sent(step);
    // The bar repaints at once: move it only after the request has left, so that neither the
    // request nor the timer's restart in send() waits for the paint.
    const steps::Step &row = steps::step(step);
    const int maximum = row.barMaximum < 0 ? steps::writeBarMaximum(numVersion) : row.barMaximum;
    if (maximum > 0)
        ui->progressBar->setMaximum(maximum);
    if (step == ActionType::resiverInfo)
        ui->progressBar->setValue(resiverInfoIndex);
    else if (row.barValue >= 0)
        ui->progressBar->setValue(row.barValue);
}

void MainWindow::next(ActionType step)
{
    currentAction = step;
    requestPending = true;
    if (pacedNow())   // the step's request leaves at once, not on the next tick
        QMetaObject::invokeMethod(this, &MainWindow::paceSend, Qt::QueuedConnection);
}

// ---- The fast pace ------------------------------------------------------------------------
//
// The normal pace sends a request on one tick and looks at its answer on the next, however
// early the answer came. The fast pace decides a step as soon as its reply is complete and the
// line has then been quiet for a gap, and sends the next request right away; a silence still
// waits for the tick, and so do retries. The measurement keeps the normal pace.

bool MainWindow::pacedNow() const
{
    return pace->fast() && operation != steps::Operation::None && operation != steps::Operation::Measure;
}

// Every batch received: a complete reply starts (or restarts) the gap, more bytes that spoil
// it stop the gap and leave the decision to the check tick.
void MainWindow::paceReply()
{
    if (!pacedNow() || !awaitingCheck())
        return;
    // A text reply is taken as it arrives (answerReceived); a record waits for the decision.
    // The gap is short against the step's period: a transmitter's record in a receiver poll
    // (200 ms) waits 25 ms, so that 256 of them take seconds, not a quarter of a minute.
    if (answerReceived || proto::replyComplete(expectedReply, reply, deviceType, numVersion))
        gapTimer->start(qMin(pace->gapMs(), qMax(1, timer->interval() / 8)));
    else
        gapTimer->stop();
}

// The gap has passed (or a frame that gets no answer has had its time): the step is decided
// now, as on its check tick, and the next request goes out.
void MainWindow::paceStep()
{
    if (!pacedNow())
        return;
    if (awaitingCheck())
        slotTimer();
    paceSend();
}

void MainWindow::paceSend()
{
    if (!pacedNow() || !requestPending || currentAction == ActionType::none)
        return;
    slotTimer();
    timer->start();   // the answer to this request gets a whole period from now
    const steps::Step &row = steps::step(lastStep);
    if (row.failure == steps::OnFailure::Ignore && awaitingCheck())
        gapTimer->start(PaceOption::kWriteSettleMs);   // a write the controller does not answer
}

// " за 0,4 с": the time since the operation's button, and ", повторов: 3" when requests had
// to be sent again.
QString MainWindow::elapsedText() const
{
    const QString repeats = operationRepeats > 0 ? QStringLiteral(", повторов: %1").arg(operationRepeats) : QString();
    return QStringLiteral(" за %1 с%2").arg(QString::number(operationClock.elapsed() / 1000.0, 'f', 1)
                                                .replace(QLatin1Char('.'), QLatin1Char(',')), repeats);
}

void MainWindow::goIdle()
{
    currentAction = ActionType::none;
    requestPending = false;
}

void MainWindow::checkStep()
{
    const ActionType step = currentAction;
    if (step == ActionType::none)
        return;
    settleReply();
    const steps::Step &row = steps::step(step);
    if (step == ActionType::setComandRegim)
        qCDebug(lcTrace) << "9999readSetCom" << (answerReceived ? "true" : "false");

    switch (row.failure) {
    case steps::OnFailure::Ignore:   // nothing awaited, or the measurement that repeats
        if (step == ActionType::transmiterInfo)
            requestPending = true;
        else
            stepDone(step);
        return;
    case steps::OnFailure::Repeat:   // a transmitter record: the next number, or the same again
        if (answerReceived) {
            pollTally.answered();
        } else {
            sayUnanswered();
            if (!pollTally.missed(resiverInfoIndex, row.tries, stepTrouble.late)) {
                requestPending = true;
                return;
            }
            decision(QStringLiteral("Передатчик %1 пропущен").arg(resiverInfoIndex));
        }
        resiverInfoIndex = quint16(getNextResivInfo(false));
        qCDebug(lcTrace) << "numResiverInfo" << resiverInfoIndex;
        requestPending = true;
        return;
    default:
        break;
    }

    if (answerReceived) {
        stepDone(step);
        return;
    }
    sayUnanswered();
    // A record cut short is the device's own answer, told by its length; anything else that came
    // in time and made no reply is noise, or another device on the line.
    if (!reply.isEmpty() && (stepTrouble.refused < 0 || reply.size() > stepTrouble.expected))
        stepTrouble.noise = true;
    if (attemptsLeft > 0) {
        --attemptsLeft;
        ++operationRepeats;
        requestPending = true;
        decision(QStringLiteral("Повтор %1").arg(steps::kRetries - attemptsLeft));
        return;
    }
    goIdle();   // idle before asking, so the ticks under the box do nothing
    // Qt does not deliver the next tick of this timer while its slot is still running, and the
    // box's event loop runs inside it: show the idle sequencer now, not red for as long as the
    // box stays open.
    setIndicator(kGrey);
    stepFailed(step);
}

// An attempt without an accepted answer is one row in the monitor: "Нет ответа" only when
// nothing came; a refused record has had its "Не принято" from settleReply, other bytes get it here.
void MainWindow::sayUnanswered()
{
    const bool record = expectedReply == SendType::readSetting || expectedReply == SendType::readMassive
                        || expectedReply == SendType::resiverInfo;
    if (reply.isEmpty())
        decision(QStringLiteral("Нет ответа"));
    else if (!record)
        decision(QStringLiteral("Не принято: %1 байт").arg(reply.size()));
}

void MainWindow::stepDone(ActionType step)
{
    const steps::Step &row = steps::step(step);
    if (step == ActionType::readSetting)
        qCDebug(lcTrace) << "case ActionType::readSetting:";
    if (row.answerBar >= 0)
        ui->progressBar->setValue(row.answerBar);
    report.accepted(step);
    const ActionType after = steps::next(step, numVersion);
    if (after != ActionType::none) {
        next(after);
        return;
    }
    goIdle();
    ui->progressBar->setValue(ui->progressBar->maximum());   // an operation ends with the bar full
    if (operation != steps::Operation::Write) {
        endOperation(Outcome::Done);
        return;
    }
    const QList<proto::DeviceConfig::Difference> diffs = pendingWrite.compare(readBack);
    if (diffs.isEmpty()) {
        endOperation(Outcome::Done);
        return;
    }
    QStringList lines;
    for (const proto::DeviceConfig::Difference &d : diffs)
        lines << QStringLiteral("%1: записано %2, считано %3").arg(d.field, d.sent, d.read);
    report.failed(lines.join(QStringLiteral("; ")));
    askWriteAgain(lines.join(QLatin1Char('\n')), Outcome::Differs);
}

void MainWindow::stepFailed(ActionType step)
{
    const steps::Step &row = steps::step(step);
    const QString text = QString::fromUtf8(row.text ? row.text : "");
    report.failed(steps::requestText(lastRequest) + QStringLiteral(": ") + stepTrouble.brief());
    switch (row.failure) {
    case steps::OnFailure::Notice:
        notify(text, failureDetail());
        endOperation(Outcome::Failed);
        return;
    case steps::OnFailure::GoOn:   // the module may be in command mode already: on with what budget is left
        next(steps::afterYes(step, numVersion));
        return;
    case steps::OnFailure::ReadBack:
        askWriteAgain(failureDetail(), Outcome::NotChecked);
        return;
    default:
        break;
    }
    const bool yes = ask(text, failureDetail());
    if (step == ActionType::readCHA)
        attemptsLeft = steps::kRetries;
    if (!yes) {
        endOperation(Outcome::Declined);
        return;
    }
    if (row.yesBar >= 0)
        ui->progressBar->setValue(row.yesBar);
    if (operation == steps::Operation::Read)
        readClean = false;
    report.passedOver(step);
    next(steps::afterYes(step, numVersion));
}

// A write whose read-back differs or went unanswered: write the same values again, or end.
void MainWindow::askWriteAgain(const QString &detail, Outcome otherwise)
{
    if (ask(QString::fromUtf8(steps::step(ActionType::checkSetting).text), detail)) {
        report.again(otherwise == Outcome::Differs ? WriteReport::End::Differs : WriteReport::End::Unchecked);
        writePass(pendingWrite);   // the same write again: it has no outcome yet
    } else
        endOperation(otherwise);
}

// Every way an operation ends goes through here: the module is taken back to data mode when
// the operation stopped between "+++" and "ATO" (unless the port is gone), the status bar
// says how it ended, and those who wait for the outcome hear of it.
void MainWindow::endOperation(Outcome how)
{
    const steps::Operation op = operation;
    operation = steps::Operation::None;
    gapTimer->stop();
    goIdle();
    if (how != Outcome::Done && commandModeOpen && port->isOpen())
        send(proto::dataModeFrame(), SendType::dataRegim);
    if (how == Outcome::Stopped || how == Outcome::Replaced)
        decision(QStringLiteral("Стоп"));
    if (how == Outcome::Stopped)
        ui->statusBar->showMessage(QString::fromUtf8(steps::stoppedText(op)));

    switch (op) {
    case steps::Operation::Read:
        finishRead(how == Outcome::Done && readClean);
        break;
    case steps::Operation::Write:
        finishWrite(how);
        break;
    case steps::Operation::Poll:
        if (how == Outcome::Done || how == Outcome::Stopped)
            finishResiverInfo();
        break;
    case steps::Operation::Measure:
        stopMeasurement();
        break;
    case steps::Operation::None:
        break;
    }
    updateStopButton();
}

// A read has ended: complete when every step was answered and every value can be shown.
void MainWindow::finishRead(bool complete)
{
    const QList<proto::DeviceConfig::Value> bad = complete ? settingsRecord.valuesOutOfRange()
                                                           : QList<proto::DeviceConfig::Value>();
    setOrigin(complete && bad.isEmpty() ? PanelsOrigin::Read : PanelsOrigin::Nothing);
    if (complete) {
        marks->read(settingsRecord);
        portNote->clearNote();
        ui->statusBar->showMessage(QStringLiteral("Считано: %1%2").arg(lbVersion->text(), elapsedText()));
    } else {   // what the panels show now is not this device's: no reference, no full bar
        marks->forget();
        portNote->setNote(QStringLiteral("Значения в окне не считаны с этого устройства")
                          + (commandModeOpen && lastRequest != proto::dataModeFrame()   // "ATO" failed, not just sent again
                                 ? QStringLiteral("; радиомодуль может остаться в режиме команд") : QString()));
        ui->progressBar->setValue(0);
    }
    if (!bad.isEmpty()) {
        QStringList lines;
        for (const proto::DeviceConfig::Value &v : bad)
            lines << v.text();
        notify(QStringLiteral("Устройство хранит значения, которые окно не может показать. Поля показывают "
                              "другие значения, и запись отправит их вместо значений устройства."),
               lines.join(QLatin1Char('\n')));
    }
    emit readFinished(origin == PanelsOrigin::Read);
}

void MainWindow::finishWrite(Outcome how)
{
    using End = WriteReport::End;
    const WriteResult result = report.finish(
        how == Outcome::Done ? End::Agrees : how == Outcome::Differs ? End::Differs : how == Outcome::Declined ? End::Declined
        : how == Outcome::Lost ? End::Lost : how == Outcome::NotChecked ? End::Unchecked : End::Stopped);
    if (how == Outcome::Done)
        marks->written(readBack, report.skipped());
    const QString status = report.status(lbVersion->text(), elapsedText());
    if (!status.isEmpty())
        ui->statusBar->showMessage(status);
    if (result == WriteResult::Lost) {   // told once the port is closed, not from inside its signal
        const QString text = QStringLiteral("Связь с портом %1 потеряна во время записи. Отправлено до обрыва: %2. "
                                            "Подключите устройство и нажмите «Подключить»: значения будут считаны заново.")
                                 .arg(port->portName(), report.sentText());
        QMetaObject::invokeMethod(this, [this, text] { notify(text); }, Qt::QueuedConnection);
    }
    emit writeFinished(result);
}

void MainWindow::finishResiverInfo()
{
    ui->progressBar->setMaximum(255);
    ui->progressBar->setValue(255);
    goIdle();
    setIndicator(kGrey);   // idle while the dialog is open (no tick comes under it, see checkStep)
    const QString missed = pollTally.summary(timerResiverInterval, settingsPath);
    if (!missed.isEmpty())
        ui->statusBar->showMessage(missed);
    {
        ResiverInfo dialog(resiverInfoData, this, numVersion, quint8(resiverPanel->getAn1()),
                           quint8(resiverPanel->getAn2()), quint8(resiverPanel->getFq1()),
                           quint8(resiverPanel->getFq2()));
        dialog.markUnanswered(pollTally.passedOver());
        dialog.exec();
    }
    requestPending = true;
}

// Why the step failed, for the detail line of its box: the request, and whether the device
// answered ERROR, bytes came that made no reply, the answer came too late, it had the wrong
// length, or nothing came at all.
QString MainWindow::failureDetail() const
{
    const bool radio = lastRequest.size() > 2 && quint8(lastRequest.back()) == 0x04;   // waits ZaprosSimTimeMs
    QString why;
    if (stepTrouble.error) {
        why = QStringLiteral("Устройство ответило ERROR.");
    } else if (stepTrouble.noise) {
        why = QStringLiteral("Пришли лишние байты: помехи на линии или на ней другое устройство?");
    } else if (stepTrouble.late) {
        why = QStringLiteral("Ответ пришёл после истечения времени ожидания: контроллер отвечает медленнее, "
                             "чем %1 = %2 мс. Увеличьте это значение в %3.")
                  .arg(radio ? QStringLiteral("ZaprosSimTimeMs") : QStringLiteral("ZaprosTimeMs"))
                  .arg(radio ? timerSimInterval : timerInterval)
                  .arg(settingsPath);
    } else if (stepTrouble.refused >= 0) {
        why = QStringLiteral("Ответ не принят: %1 байт вместо %2.").arg(stepTrouble.refused).arg(stepTrouble.expected);
    } else {
        why = QStringLiteral("Устройство не ответило.");
    }
    return QStringLiteral("Запрос: %1. %2").arg(steps::requestText(lastRequest), why);
}

bool MainWindow::ask(const QString &question, const QString &detail)
{
    if (boxHandler) {
        boxHandler(question, detail);
        return false;
    }
    return EditGuard::ask(this, question, detail) && port->isOpen();   // once the port is gone, an answer starts nothing
}

void MainWindow::notify(const QString &notice, const QString &detail)
{
    if (boxHandler)
        return boxHandler(notice, detail);
    QMessageBox box(QMessageBox::Warning, windowTitle(), notice, QMessageBox::Ok);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    makePlain(box);
    box.exec();
}

void MainWindow::updateStopButton()
{
    pbStop->setEnabled(operation != steps::Operation::None);
}

void MainWindow::slotStop()
{
    if (operation != steps::Operation::None)
        endOperation(Outcome::Stopped);
}

// Whatever was awaited or received belongs to the closed line: a stray byte arriving after the
// next connect must not complete a reply of the last session.
void MainWindow::forgetExchange()
{
    endOperation(Outcome::Lost);
    expectedReply = SendType::none;
    reply.clear();
    rssiTick = false;
    commandModeOpen = false;
    setOrigin(PanelsOrigin::Nothing);
    setIndicator(kGrey);
    ui->progressBar->setValue(0);
}

// ---- Operations -----------------------------------------------------------------------

// Ends what runs before a new operation takes the sequencer over.
void MainWindow::beginOperation(steps::Operation op)
{
    if (operation != steps::Operation::None)
        endOperation(Outcome::Replaced);
    operation = op;
    operationClock.start();
    operationRepeats = 0;
    ui->statusBar->clearMessage();
    updateStopButton();
}

void MainWindow::stopMeasurement()
{
    pbMeasure->setText(QStringLiteral("Включить измерение"));
    pbMeasure->setChecked(false);
    if (operation == steps::Operation::Measure)
        operation = steps::Operation::None;
    currentAction = ActionType::none;
    timer->setInterval(timerInterval);
    for (QLineEdit *field : {leTemp, leLevel, leFreq1, leFreq2, leAn1, leAn2})
        field->clear();
    if (expectedReply == SendType::readLevel)   // a late measurement answer refills nothing
        expectedReply = SendType::none;
    updateStopButton();
}

void MainWindow::doReadLevel()
{
    stopMeasurement();
    timer->setInterval(timerInterval);
    startRead();
}

void MainWindow::startRead()
{
    beginOperation(steps::Operation::Read);
    attemptsLeft = steps::kRetries;
    next(ActionType::readVersion);
    readClean = true;
    setOrigin(PanelsOrigin::Nothing);
}

void MainWindow::startWrite(const proto::DeviceConfig &values)
{
    beginOperation(steps::Operation::Write);
    report.start(values.deviceType);
    writePass(values);
    emit writeStarting();   // the first frame leaves on the next tick, or queued in the fast pace
}

// One pass of the write: the registers, the table, the record, the read-back.
void MainWindow::writePass(const proto::DeviceConfig &values)
{
    pendingWrite = values;
    readBack = values;
    attemptsLeft = steps::kRetries;
    next(ActionType::saveSimParam);
}

void MainWindow::doSaveAll()
{
    // Panels that do not hold a complete read of this device would write the window's
    // start-up or half-read values over it: stop what runs and ask first.
    if (!panelsTrusted()) {
        if (operation != steps::Operation::None)
            endOperation(Outcome::Stopped);
        if (!ask(QStringLiteral("Устройство не было считано полностью. Записать в него значения, которые "
                                "показывает окно?")))
            return;
    }
    cbDataDut->clear();
    cbDataDut->addItem(QString::number(sbDutAdr->value()));
    if (proto::hasWideAddresses(numVersion)) {
        baMassive = massiveAdr->getMassive();
        rebuildDataDutList(baMassive);
        if (deviceType == proto::Transmitter && massiveAdr->isDuplicate()
            && !ask(QStringLiteral("В таблице адресов есть продублированные строки. Продолжить?")))
            return;
        if (deviceType == proto::Receiver && resiverPanel->getAdrMask0() == 0
            && resiverPanel->getAdrMask1() == 0
            && resiverPanel->getAdrMaskExt().count('\0') == proto::kReceiverMapSize
            && !ask(QStringLiteral("Не установлен для опроса ни один передатчик. Продолжить?")))
            return;
    }
    if (!port->isOpen())
        return;
    stopMeasurement();
    timer->setInterval(timerInterval);
    startWrite(panelsConfig());
}

void MainWindow::doResiverInfo()
{
    beginOperation(steps::Operation::Poll);
    for (QByteArray &record : resiverInfoData)
        record.clear();
    pollTally = PollTally();
    attemptsLeft = steps::kRetries;
    resiverInfoIndex = quint16(getNextResivInfo(true));
    next(ActionType::resiverInfo);
}

void MainWindow::doTransmiterInfo()
{
    if (pbMeasure->isChecked() && !port->isOpen()) {
        pbMeasure->setChecked(false);
        ui->statusBar->showMessage(QStringLiteral("Измерение не включено: порт не открыт"));
        return;
    }
    timer->setInterval(timerInterval);
    attemptsLeft = steps::kRetries;
    if (pbMeasure->isChecked()) {
        beginOperation(steps::Operation::Measure);
        pbMeasure->setText(QStringLiteral("Выключить измерение"));
        next(ActionType::transmiterInfo);
        timer->setInterval(timerInterval);
    } else {
        pbMeasure->setText(QStringLiteral("Включить измерение"));
        operation = steps::Operation::None;
        currentAction = ActionType::none;
        timer->setInterval(timerInterval);
        for (QLineEdit *field : {leTemp, leLevel, leFreq1, leFreq2, leAn1, leAn2})
            field->clear();
        // The answer to the last request may still be on its way: it must not fill the
        // fields again once the measurement is off.
        if (expectedReply == SendType::readLevel)
            expectedReply = SendType::none;
    }
    updateStopButton();
}
