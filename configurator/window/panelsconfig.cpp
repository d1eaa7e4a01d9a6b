// The panels and a DeviceConfig, both ways: what the panels would write, and filling them from
// a read, a profile or the factory values. Filling is quiet: the boxes' change signals carry
// the technician's edits (a new address clears the In1A mark, a new speed narrows the channel),
// so the values set here go in without them and the rules that follow from them run once after.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "changemarks.h"
#include "editguard.h"
#include "massiveadr.h"
#include "power.h"
#include "resiver.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {

// A device may answer with an index the list does not have; keep the current choice then
// rather than blanking the box and writing 0xFF back on the next write.
void setIndex(QComboBox *box, int index)
{
    if (index >= 0 && index < box->count())
        box->setCurrentIndex(index);
}

} // namespace

proto::DeviceConfig MainWindow::panelsConfig() const
{
    proto::DeviceConfig c;
    c.deviceType = deviceType;
    c.version = numVersion;
    for (proto::RadioSettings *s : {static_cast<proto::RadioSettings *>(&c.transmitter),
                                    static_cast<proto::RadioSettings *>(&c.receiver)}) {
        s->channel = quint8(sbChannel->value());
        s->subnet = quint8(sbSubnet->value());
        s->regim = quint8(cbRegim->currentIndex());
        s->rs485Speed = quint8(cbRs485Speed->currentIndex());
        s->radioSpeed = quint8(cbSpeed->currentIndex());
        s->power = quint8(knobPower->value());
    }
    proto::TransmitterSettings &t = c.transmitter;
    t.deviceAdr = quint8(sbDeviceAdr->value());
    t.dutAdr = quint8(sbDutAdr->value());
    t.timeFd1 = quint8(sbTimeFd1->value());
    t.timeFd2 = quint8(sbTimeFd2->value());
    t.timeAd1 = quint8(sbTimeAd1->value());
    t.timeAd2 = quint8(sbTimeAd2->value());
    t.range4096 = cbDutRange->currentIndex() == 0;
    proto::ReceiverSettings &r = c.receiver;
    r.period = quint8(resiverPanel->getPeriod());
    r.fq1Mode = quint8(resiverPanel->getFq1Mode());
    r.fq2Mode = quint8(resiverPanel->getFq2Mode());
    r.mask0 = resiverPanel->getAdrMask0();
    r.mask1 = resiverPanel->getAdrMask1();
    r.fq1 = quint8(resiverPanel->getFq1());
    r.fq2 = quint8(resiverPanel->getFq2());
    r.an1 = quint8(resiverPanel->getAn1());
    r.an2 = quint8(resiverPanel->getAn2());
    r.range4096 = resiverPanel->getOldProtokol();
    // Up to 220 the table is not edited in the window: the write sends the last one read.
    c.addressTable = proto::hasWideAddresses(numVersion) ? massiveAdr->getMassive() : baMassive;
    c.receiverMap = resiverPanel->getAdrMaskExt();
    return c;
}

void MainWindow::fillPanels(const proto::DeviceConfig &c, int parts)
{
    // OtherLayout: only the boxes of the type `c` is not (the greyed panel), the radio link left alone.
    const bool other = parts & Fill::OtherLayout;
    const bool transmitter = other ? c.isReceiver() : !c.isReceiver() || (parts & Fill::BothLayouts);
    const bool receiver = other ? !c.isReceiver() : c.isReceiver() || (parts & Fill::BothLayouts);
    const proto::RadioSettings &radio = c.radio();
    const proto::TransmitterSettings &t = c.transmitter;
    const proto::ReceiverSettings &r = c.receiver;
    {
        const QSignalBlocker quiet[] = {QSignalBlocker(sbChannel), QSignalBlocker(cbSpeed), QSignalBlocker(cbRegim),
                                        QSignalBlocker(sbDeviceAdr), QSignalBlocker(sbDutAdr)};
        if ((parts & Fill::Record) && !other) {
            setIndex(cbSpeed, radio.radioSpeed);
            // The channel's range belongs to the speed: set it before the channel.
            sbChannel->setMaximum(proto::channelPlan(cbSpeed->currentIndex()).maxChannel);
            sbChannel->setValue(radio.channel);
            sbSubnet->setValue(radio.subnet);
            setIndex(cbRegim, radio.regim);
            setIndex(cbRs485Speed, radio.rs485Speed);
        }
        if ((parts & Fill::Record) && transmitter) {
            sbDeviceAdr->setValue(t.deviceAdr);
            sbDutAdr->setValue(t.dutAdr);
            massiveAdr->setOwn(t.deviceAdr, t.dutAdr);
            sbTimeFd1->setValue(t.timeFd1);
            sbTimeFd2->setValue(t.timeFd2);
            sbTimeAd1->setValue(t.timeAd1);
            sbTimeAd2->setValue(t.timeAd2);
        }
        if ((parts & Fill::Record) && receiver) {
            resiverPanel->setPeriod(r.period);
            resiverPanel->setAdrMask0(r.mask0);
            resiverPanel->setAdrMask1(r.mask1);
            resiverPanel->setAn1(r.an1);
            resiverPanel->setAn2(r.an2);
            resiverPanel->setFq1(r.fq1);
            resiverPanel->setFq2(r.fq2);
            resiverPanel->setFq1Mode(r.fq1Mode);
            resiverPanel->setFq2Mode(r.fq2Mode);
        }
        if ((parts & Fill::Range) && transmitter)
            cbDutRange->setCurrentIndex(t.range4096 ? 0 : 1);
        if ((parts & Fill::Range) && receiver)
            resiverPanel->setOldProtokol(r.range4096);
        if (parts & Fill::Power)
            knobPower->setValue(radio.power);
        if ((parts & Fill::Table) && transmitter) {
            baMassive = c.addressTable;
            massiveAdr->setMassive(baMassive);
        }
        if ((parts & Fill::Table) && receiver)
            resiverPanel->setAdrMaskExt(c.receiverMap);
    }
    slSpeedChange(cbSpeed->currentIndex());
    updatePanels();
}

// A loaded profile, on purpose: the panels then hold it and not the device's read. Up to 220
// the table is the device's (the profile cannot hold one), so it stays as read.
void MainWindow::applyConfig(const proto::DeviceConfig &c)
{
    const bool wide = proto::hasWideAddresses(c.version);
    fillPanels(c, Fill::Record | Fill::Range | Fill::Power | (wide ? Fill::Table : 0));
    if (wide && !c.isReceiver())
        rebuildDataDutList(baMassive);
    setOrigin(PanelsOrigin::Profile);
}

void MainWindow::rebuildDataDutList(const proto::AddressTable &table)
{
    cbDataDut->clear();
    cbDataDut->addItems(proto::dutSelectorItems(quint8(sbDutAdr->value()), table));
}

void MainWindow::setOrigin(PanelsOrigin o)
{
    const bool was = panelsTrusted();
    origin = o;
    if (panelsTrusted() != was)
        emit panelsTrustChanged(panelsTrusted());
}

// ---- Unwritten edits ----------------------------------------------------------------------

void MainWindow::setupEditGuard()
{
    startValues = panelsConfig();
    marks = new ChangeMarks(this, [this] { return panelsConfig(); },
                            [this](const proto::Change &c) { return changeBoxes(c); });
    marks->watch(centralWidget());
    ui->layoutProgressBar->insertWidget(1, marks->countLabel());
    guard = new EditGuard(this, marks, [this] { return operation != steps::Operation::None; },
                          [this] { slotStop(); });
}

const proto::DeviceConfig *MainWindow::referenceValues() const
{
    return marks->values();
}

bool MainWindow::mayDropEdits() const
{
    return guard->mayDrop();
}

// The controls that show a change: the box of its field, an address-table row's three boxes,
// the In1A boxes of the row the device has marked and of the row the window has.
QList<QWidget *> MainWindow::changeBoxes(const proto::Change &c) const
{
    const QByteArray key(c.key);
    if (key == "in1a")
        return {massiveAdr->in1aBox(marks->values()->addressTable.markedRow()),
                massiveAdr->in1aBox(massiveAdr->getMassive().markedRow())};
    if (key == "addressTable")
        return massiveAdr->rowBoxes(c.index);
    if (deviceType == proto::Receiver) {
        if (QWidget *box = resiverPanel->fieldBox(c.key, c.index))
            return {box};
    }
    const std::pair<const char *, QWidget *> boxes[] = {
        {"mode", cbRegim}, {"subnet", sbSubnet}, {"channel", sbChannel}, {"power", knobPower}, {"speed", cbSpeed},
        {"rs485Speed", cbRs485Speed}, {"address", sbDeviceAdr}, {"dutAddress", sbDutAdr}, {"timeFd1", sbTimeFd1},
        {"timeFd2", sbTimeFd2}, {"timeAd1", sbTimeAd1}, {"timeAd2", sbTimeAd2}, {"dutRange", cbDutRange},
    };
    for (const auto &[name, box] : boxes) {
        if (key == name)
            return {box};
    }
    return {};
}

// The factory values, asked first (the unwritten edits they replace in the detail), then
// whether to write them. What runs ends first, as "Стоп" ends it.
void MainWindow::doDefault()
{
    if (operation != steps::Operation::None)
        slotStop();
    stopMeasurement();
    attemptsLeft = steps::kRetries;
    timer->setInterval(timerInterval);
    if (!ask(QStringLiteral("Вы уверены что хотите применить заводские настройки?\r\nВНИМАНИЕ!!!\r\n"
                            "Текущие параметры будут обновлены!"),
             guard->changedList()))
        return;

    proto::DeviceConfig defaults = panelsConfig();
    defaults.resetToFactory();
    fillPanels(defaults, Fill::All | Fill::BothLayouts);
    setOrigin(PanelsOrigin::Defaults);

    if (ask(QStringLiteral("Записать заводские настройки в устройство?\r\nВНИМАНИЕ!!!\r\n"
                           "При записи заводских настроек все текущие параметры устройства будут перезаписаны!")))
        doSaveAll();
}
