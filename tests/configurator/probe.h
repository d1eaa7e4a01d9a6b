#pragma once

// The tests' access to the main window's members and private slots (MainWindow befriends
// this class). Nothing here changes what the window does.

#include "mainwindow.h"
#include "notelabel.h"
#include "portbox.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

class MainWindowProbe
{
public:
#define PROBE_MEMBER(name) \
    static decltype(auto) name(MainWindow &w) { return (w.name); }
    PROBE_MEMBER(massiveAdr) PROBE_MEMBER(numVersion) PROBE_MEMBER(ui) PROBE_MEMBER(port) PROBE_MEMBER(timer)
    PROBE_MEMBER(knobPower) PROBE_MEMBER(resiverPanel) PROBE_MEMBER(sbChannel) PROBE_MEMBER(sbDeviceAdr)
    PROBE_MEMBER(sbSubnet) PROBE_MEMBER(sbDutAdr) PROBE_MEMBER(sbTimeFd1) PROBE_MEMBER(sbTimeFd2)
    PROBE_MEMBER(sbTimeAd1) PROBE_MEMBER(sbTimeAd2) PROBE_MEMBER(cbDutRange) PROBE_MEMBER(lbDutRange)
    PROBE_MEMBER(pbMeasure) PROBE_MEMBER(cbDataDut) PROBE_MEMBER(leTemp) PROBE_MEMBER(leLevel)
    PROBE_MEMBER(leFreq1) PROBE_MEMBER(leFreq2) PROBE_MEMBER(leAn1) PROBE_MEMBER(leAn2) PROBE_MEMBER(cbPort)
    PROBE_MEMBER(portNote) PROBE_MEMBER(cbSpeed) PROBE_MEMBER(pbConnect) PROBE_MEMBER(pbRead)
    PROBE_MEMBER(pbWrite) PROBE_MEMBER(pbDefault) PROBE_MEMBER(lbVersion) PROBE_MEMBER(attemptsLeft)
    PROBE_MEMBER(deviceType) PROBE_MEMBER(currentAction) PROBE_MEMBER(answerReceived) PROBE_MEMBER(gbRadio)
    PROBE_MEMBER(gbTransmitter) PROBE_MEMBER(gbData) PROBE_MEMBER(cbRegim) PROBE_MEMBER(cbRs485Speed)
    PROBE_MEMBER(settingsRecord)
    // The fuzz targets and the bench read these too.
    PROBE_MEMBER(baMassive) PROBE_MEMBER(expectedReply) PROBE_MEMBER(resiverInfoData)
    PROBE_MEMBER(resiverInfoIndex) PROBE_MEMBER(timerInterval) PROBE_MEMBER(timerSimInterval)
    PROBE_MEMBER(timerResiverInterval)
#undef PROBE_MEMBER

#define PROBE_CALL(name) \
    static void name(MainWindow &w) { w.name(); }
    PROBE_CALL(slotRead)
    PROBE_CALL(doTransmiterInfo)
    PROBE_CALL(getLevel)
    PROBE_CALL(updatePanels)
    PROBE_CALL(settleReply)   // what the sequencer's check tick decides
#undef PROBE_CALL

    static void send(MainWindow &w, const QByteArray &data, SendType::SendType type) { w.send(data, type); }
    static quint8 interpret(MainWindow &w, const QByteArray &batch) { return w.interpret(batch); }
};
