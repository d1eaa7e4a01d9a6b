#pragma once

#include "changes.h"
#include "deviceconfig.h"
#include "polltally.h"
#include "protocol.h"
#include "steps.h"
#include "writereport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QSerialPort>

#include <functional>

class ChangeMarks;
class EditGuard;
class ExchangeLog;
class ExchangeMonitor;
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
class PaceOption;
class MassiveAdr;
class NoteLabel;
class PortBox;
class power;
class resiver;
namespace Ui { class MainWindowUi; }

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // logName: the exchange log in the working folder (another configurator may hold "log.txt").
    explicit MainWindow(QWidget *parent = nullptr, const QString &logName = QStringLiteral("log.txt"));
    ~MainWindow() override;

    // Selects a port at start (a device path the system does not list is added to the list).
    void selectPort(const QString &name);

    // The panels as one value: what "Записать" would send, and filling them with a loaded
    // profile (panelsconfig.cpp).
    proto::DeviceConfig panelsConfig() const;
    void applyConfig(const proto::DeviceConfig &c);
    // The panels hold a complete read of the connected device, factory defaults or a profile.
    bool panelsTrusted() const { return origin != PanelsOrigin::Nothing; }
    // Starts a full read as "Считать" does, ending what runs.
    void startRead();
    QString portName() const { return port->portName(); }
    bool portOpen() const { return port->isOpen(); }
    // Opens the selected port as "Подключить" does (which starts a full read).
    void connectPort() { if (!port->isOpen()) openPort(); }
    bool panelsFromProfile() const { return origin == PanelsOrigin::Profile; }
    steps::Operation runningOperation() const { return operation; }
    // The last write: how it went, and the values it sent.
    const WriteReport &writeReport() const { return report; }
    const proto::DeviceConfig &writtenValues() const { return pendingWrite; }
    // What the device is known to hold (the last complete read, then what writes confirmed);
    // nullptr when there is none.
    const proto::DeviceConfig *referenceValues() const;
    // Before the panels are replaced (a disconnect, a read, a profile): true when they hold no
    // unwritten edits or the technician chose to go on without writing them.
    bool mayDropEdits() const;

    using WriteResult = steps::WriteResult;

    // What the connected device called itself ("<Transmitter v.296>").
    QString deviceLabel() const;
    // "Записать" and "Стоп", for a controller beside the window.
    void write() { doSaveAll(); }
    void stop() { slotStop(); }
    // While set, no question or notice is shown: the handler gets its text and detail, and a
    // question counts as answered No (nothing more is sent; the module goes back to data mode).
    using BoxHandler = std::function<void(const QString &text, const QString &detail)>;
    void setBoxHandler(BoxHandler handler) { boxHandler = std::move(handler); }

signals:
    // A full read ended: complete when every step answered and every value can be shown.
    void readFinished(bool complete);
    // A write is about to send its first frame (writtenValues() holds what it will send).
    void writeStarting();
    void writeFinished(steps::WriteResult result);
    void panelsTrustChanged(bool trusted);
    void identified(quint8 deviceType, quint16 version);

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
    void slotStop();

private:
    friend class MainWindowProbe;   // the tests' window into the state below

    void setConnectedState(bool on);
    void placeWindow();
    void updatePanels();
    void stopMeasurement();
    void closeLostPort(const QString &reason);
    void forgetExchange();
    void decision(const QString &text);
    void leftCommandMode();
    void writeRegister(int index);
    void setupMonitor();

    void send(const QByteArray &data, SendType::SendType type);
    void sendAt(const QByteArray &text, SendType::SendType type);
    bool ReadEn();
    bool interpret(const QByteArray &batch);
    void acceptIdentity(const proto::Identity &id);
    void acceptRegister(int value);
    void showLevel(int level);
    bool awaitingCheck() const;
    void settleReply();
    void sayUnanswered();
    void finishRead(bool complete);
    // What a fill sets: the record's fields (without the range byte), the range, the power,
    // the address table or map; with BothLayouts the other device type's boxes too, with
    // OtherLayout only those.
    enum Fill { Record = 1, Range = 2, Power = 4, Table = 8, All = 15, BothLayouts = 16, OtherLayout = 32 };
    void fillPanels(const proto::DeviceConfig &c, int parts);
    // The change marks and the questions that guard the edits (panelsconfig.cpp).
    void setupEditGuard();
    QList<QWidget *> changeBoxes(const proto::Change &c) const;

    enum class Outcome { Done, Failed, Declined, Differs, NotChecked, Stopped, Replaced, Lost };
    enum class PanelsOrigin { Nothing, Read, Defaults, Profile };

    qint16 getNextResivInfo(bool first);
    void requestStep();
    void checkStep();
    // The fast pace: a step decided once its reply is complete and the line quiet.
    void paceReply();
    void paceStep();
    void paceSend();
    bool pacedNow() const;
    QString elapsedText() const;
    void stepDone(ActionType step);
    void stepFailed(ActionType step);
    void askWriteAgain(const QString &detail, Outcome otherwise);
    void next(ActionType step);
    void goIdle();
    void beginOperation(steps::Operation op);
    void endOperation(Outcome how);
    void finishWrite(Outcome how);
    void startWrite(const proto::DeviceConfig &values);
    void writePass(const proto::DeviceConfig &values);
    void finishResiverInfo();
    QString failureDetail() const;
    bool ask(const QString &question, const QString &detail = QString());
    void notify(const QString &notice, const QString &detail = QString());
    void updateStopButton();
    void setOrigin(PanelsOrigin o);
    void setIndicator(const char *styleSheet);
    void rebuildDataDutList(const proto::AddressTable &table);

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
    PortBox *cbPort = nullptr;
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
    proto::AddressTable baMassive;   // the table a write sends up to 220: the last one read
    QSpacerItem *transmitterSpacer = nullptr;

    QByteArray reply;            // every byte received since the last request
    proto::DeviceConfig settingsRecord; // what the device reported in the last read
    proto::DeviceConfig pendingWrite;   // what the running write sends
    proto::DeviceConfig readBack;       // what the device reported back after it
    WriteReport report;                 // how the running or last write went
    steps::Operation operation = steps::Operation::None;
    PanelsOrigin origin = PanelsOrigin::Nothing;
    bool readClean = true;        // no step of the running read was passed over
    bool rssiTick = false;        // a level request waits for its first tick
    bool commandModeOpen = false; // "+++" went out and "ATO" not yet
    QByteArray lastRequest;
    ActionType lastStep = ActionType::none;
    steps::Trouble stepTrouble;   // what went wrong with the step's attempts
    QString settingsPath;         // the full path of "settings.conf"
    QPushButton *pbStop = nullptr;
    ExchangeLog *exchangeLog = nullptr;   // owns the file logFile points to
    ExchangeMonitor *monitor = nullptr;
    PaceOption *pace = nullptr;
    QTimer *gapTimer = nullptr;   // the fast pace's quiet gap after a complete reply
    QElapsedTimer operationClock; // from the operation's button to its end
    int operationRepeats = 0;     // requests the running operation had to send again
    NoteLabel *portNote = nullptr;   // a port error, kept until the next action
    PollTally pollTally;             // the transmitters a receiver poll passed over
    BoxHandler boxHandler;           // set: boxes are not shown (commissioning)
    ChangeMarks *marks = nullptr;    // the edits against what the device holds
    EditGuard *guard = nullptr;
    proto::DeviceConfig startValues; // the panels at start-up: what a panel shows that no read has filled
};
