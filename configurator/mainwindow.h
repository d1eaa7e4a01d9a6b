#pragma once

#include "deviceconfig.h"
#include "protocol.h"

#include <QByteArray>
#include <QMainWindow>
#include <QSerialPort>

class QComboBox;
class QFile;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;
class QSpinBox;
class QTimer;
class MassiveAdr;
class power;
class resiver;
namespace Ui { class MainWindowUi; }

// The sequencer's steps.
enum class ActionType : quint8 {
    none = 0,
    readVersion = 1,
    readSetting = 2,
    setComandRegim = 3,
    readCHA = 4,
    readPower = 5,
    setDataRegim = 6,
    saveSimParam = 7,
    saveSimParam0 = 8,
    saveSimParam1 = 9,
    saveSimParam2 = 10,
    saveSimParam3 = 11,
    saveSimParam31 = 12,
    saveSimParam4 = 13,
    saveMassive = 14,
    saveSetting = 15,
    resiverInfo = 18,
    transmiterInfo = 19,
    readMassive = 20,
};

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Selects a port at start (a device path the system does not list is added to the list).
    void selectPort(const QString &name);

private slots:
    void openPort();
    void slotTimer();
    void slotRead();
    void slotReadMassive();
    void slotSave();
    void slotReadyRead();
    void setComandRegim();
    void readCHA();
    void readPower();
    void setDataRegim();
    void saveSimParam();
    void saveSimParam0();
    void saveSimParam1();
    void saveSimParam2();
    void saveSimParam3();
    void saveSimParam31();
    void saveSimParam4();
    void saveMassiveParam();
    void doSaveAll();
    void doReadLevel();
    void doDefault();
    void doResiverInfo();
    void doTransmiterInfo();
    void getLevel();
    void updateAdr(quint8 v);
    void updateDut(quint8 v);
    void slRefresh();
    void slSpeedChange(int);
    void slFreqChange();
    void slotPortError(QSerialPort::SerialPortError error);

private:
    friend class MainWindowProbe;   // the tests' window into the state below

    void setConnectedState(bool on);
    void placeWindow();
    void updatePanels();
    void stopMeasurement();
    void closeLostPort(const QString &reason);
    void forgetExchange();
    void decision(const QString &text);

    void send(const QByteArray &data, SendType::SendType type);
    void sendAt(const QByteArray &text, SendType::SendType type);
    void logBlock(const QByteArray &block, bool flush);
    quint8 ReadEn();
    quint8 interpret(const QByteArray &batch);
    void applySettingsRecord();
    void acceptIdentity(const proto::Identity &id);
    void acceptRegister(int value);
    void showLevel(int level);
    bool awaitingCheck() const;
    void settleReply();
    void startRead();
    void finishRead(bool complete);
    void readRadioControls(proto::RadioSettings &s) const;
    void applyTransmitterTable(const QByteArray &table);

    qint16 getNextResivInfo(bool first);
    void requestStep();
    void checkStep();
    void stepAnswered(ActionType step);
    void stepFailed(ActionType step);
    void next(ActionType step);
    void goIdle();
    void finishResiverInfo();
    bool ask(const QString &question);
    void notify(const QString &notice);
    void setIndicator(const char *styleSheet);
    void rebuildDataDutList(const QByteArray &table);

    MassiveAdr *massiveAdr = nullptr;
    quint16 numVersion = 0;
    quint16 timerInterval = 1000;
    quint16 timerSimInterval = 1000;
    quint16 timerResiverInterval = 200;
    Ui::MainWindowUi *ui = nullptr;
    QSerialPort *port = nullptr;
    QTimer *timer = nullptr;
    power *knobPower = nullptr;
    resiver *resiverPanel = nullptr;
    QSpinBox *sbChannel = nullptr;
    QSpinBox *sbDeviceAdr = nullptr;
    QSpinBox *sbSubnet = nullptr;
    QSpinBox *sbDutAdr = nullptr;
    QSpinBox *sbTimeFd1 = nullptr;
    QSpinBox *sbTimeFd2 = nullptr;
    QSpinBox *sbTimeAd1 = nullptr;
    QSpinBox *sbTimeAd2 = nullptr;
    QComboBox *cbDutRange = nullptr;
    QLabel *lbDutRange = nullptr;
    QFile *logFile = nullptr;
    QPushButton *pbMeasure = nullptr;
    QComboBox *cbDataDut = nullptr;
    QLineEdit *leTemp = nullptr;
    QLineEdit *leLevel = nullptr;
    QLineEdit *leFreq1 = nullptr;
    QLineEdit *leFreq2 = nullptr;
    QLineEdit *leAn1 = nullptr;
    QLineEdit *leAn2 = nullptr;
    QComboBox *cbPort = nullptr;
    QComboBox *cbSpeed = nullptr;
    QPushButton *pbConnect = nullptr;
    QPushButton *pbRead = nullptr;
    QPushButton *pbWrite = nullptr;
    QPushButton *pbDefault = nullptr;
    QLabel *lbVersion = nullptr;
    QLabel *lbLevel = nullptr;
    quint16 resiverInfoIndex = 0;
    QByteArray resiverInfoData[256];
    quint8 attemptsLeft = 0;
    quint8 deviceType = 0;
    SendType::SendType expectedReply = SendType::none;
    ActionType currentAction = ActionType::none;
    bool answerReceived = false;
    bool requestPending = false;
    QGroupBox *gbRegim = nullptr;
    QGroupBox *gbRs485 = nullptr;
    QGroupBox *gbRadio = nullptr;
    QGridLayout *glRadio = nullptr;
    QGroupBox *gbTransmitter = nullptr;
    QGridLayout *glTransmitter = nullptr;
    QGridLayout *glRegim = nullptr;
    QGridLayout *glRs485 = nullptr;
    QGroupBox *gbData = nullptr;
    QComboBox *cbRegim = nullptr;
    QGridLayout *glData = nullptr;
    QComboBox *cbRs485Speed = nullptr;
    QLabel *lbRs485Speed = nullptr;
    QByteArray baMassive;
    QSpacerItem *transmitterSpacer = nullptr;

    QByteArray settingsRecord;   // the last settings reply, one byte per field
    QByteArray reply;            // every byte received since the last request
    proto::DeviceConfig deviceRead;   // what the device reported in the last read
    bool readClean = true;       // no step of the running read was passed over
    bool readComplete = false;   // the panels hold a complete read of the connected device
    bool rssiTick = false;       // a level request waits for its first tick
};
