#pragma once

#include "ptypair.h"
#include "simdevice.h"
#include "simfaults.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QQueue>
#include <QString>

#include <memory>

class QSocketNotifier;
class QTimer;

namespace sim {

// Serves a Device on a serial line inside the Qt event loop.
//
// By default it makes a pseudo-terminal pair: the program under test opens slavePath() like
// a serial port, the server reads and writes the master side. forPort() serves an existing
// device node instead. Replies leave after Faults::delayMs and, with Faults::splitChunk, in
// pieces Faults::splitPauseMs apart, and with Faults::pauseInsideMs in two halves that far
// apart; the content faults are handed to the device.
class PtyServer : public QObject
{
    Q_OBJECT

public:
    explicit PtyServer(Device *device, const Faults &faults = {}, QObject *parent = nullptr);
    // Serves the device on the port at `path` (opened raw, 19200 8N1), for instance a real
    // serial port or one end of a pseudo-terminal pair made elsewhere.
    static PtyServer *forPort(Device *device, const QString &path, const Faults &faults = {},
                              QObject *parent = nullptr);
    ~PtyServer() override;

    // The path the other side opens (the pseudo-terminal's slave), or the served port.
    QString slavePath() const { return m_path; }
    bool isValid() const { return m_fd >= 0; }
    QString errorString() const { return m_error; }

    Faults faults() const { return m_faults; }
    void setFaults(const Faults &faults);

    // Pulls the cable: closes the served side; replies not yet sent are dropped.
    void closeMaster();

signals:
    void requestReceived(const QByteArray &frame);
    void replySent(const QByteArray &bytes);
    // The served port went away (read error or end of file).
    void lineClosed();

private:
    struct Piece
    {
        qint64 due = 0;          // ms on m_clock
        QByteArray bytes;
        QByteArray whole;        // the whole reply, on its last piece only
    };

    PtyServer(Device *device, const Faults &faults, QObject *parent, int fd, const QString &path,
              const QString &error);
    void start();
    void onReadable();
    void onWritable();
    void enqueue(const QByteArray &reply);
    void sendDue();
    void writeOut(const QByteArray &bytes);
    void fail();

    Device *m_device;
    Faults m_faults;
    int m_fd = -1;        // the side we serve
    std::unique_ptr<PtyPair> m_pty;   // the pair served, unless an existing port is
    QString m_path;
    QString m_error;

    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer *m_sendTimer;
    QTimer *m_frameTimer;   // forgets a half-received frame when the line goes quiet
    QElapsedTimer m_clock;
    QQueue<Piece> m_pending;
    qint64 m_nextFree = 0;  // earliest time the next reply may start
    QByteArray m_out;       // bytes the port did not take yet
};

} // namespace sim
