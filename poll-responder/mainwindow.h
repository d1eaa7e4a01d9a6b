#pragma once

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QSerialPort>

class NoteLabel;
class PortBox;
class QLabel;
class QPushButton;

namespace Ui {
class MainWindow;
}

// The bench responder's window: a port list, a connect toggle, and the serial line on which
// every 4-byte poll with a good CRC-8 is answered at once with the 9-byte reply. The status
// bar counts the polls answered and refused, and the replies dropped for a peer that reads late.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Replies waiting for a peer that reads late, at most.
    static constexpr qint64 kMaxUnsentBytes = 1024 * 1024;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Makes `name` the current port (the --port option); a name not in the list is shown as typed.
    void selectPort(const QString &name);

private slots:
    void openPort();
    void slotReadyRead();
    void slotPortError(QSerialPort::SerialPortError error);

private:
    void closeAfterError(const QString &reason);
    void showCounts();

    Ui::MainWindow *ui;
    QSerialPort *port;
    PortBox *cbPort;
    QPushButton *pbConnect;
    QByteArray frameBuffer;     // the request being assembled, at most 4 bytes
    quint8 bytesToCome = 0;     // request bytes still expected after the start byte
    NoteLabel *portNote;        // a port error, kept until the next click
    QLabel *lbCounts;
    QLabel *lbUnsent;           // shown once a reply had to be dropped
    int answered = 0;           // polls answered since the port was opened
    int crcErrors = 0;          // polls refused for their CRC
    int unsent = 0;             // replies dropped because the peer left too many unread
    bool closePending = false;  // a close after a port error is queued
};
