#pragma once

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QSerialPort>
#include <QSerialPortInfo>

class QComboBox;
class QPushButton;

namespace Ui {
class MainWindow;
}

// The bench responder's window: a port list, a connect toggle, and the serial line on which
// every 4-byte poll with a good CRC-8 is answered at once with the 9-byte reply.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Makes `name` the current port (the --port option); a name not in the list is added to it.
    void selectPort(const QString &name);

private slots:
    void openPort();
    void slotReadyRead();
    void slotPortError(QSerialPort::SerialPortError error);

private:
    QString portNameToOpen() const;
    void closeAfterError(const QString &reason);

    Ui::MainWindow *ui;
    QSerialPort *port;
    QComboBox *cbPort;
    QPushButton *pbConnect;
    QByteArray frameBuffer;     // the request being assembled, at most 4 bytes
    quint8 bytesToCome = 0;     // request bytes still expected after the start byte
    QList<QSerialPortInfo> listedPorts;
    bool closePending = false;  // a close after a port error is queued
};
