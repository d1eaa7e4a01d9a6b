#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QFile;

// The exchange log: every request and every received batch appended as a block to a plain file
// that is emptied when the log is created. Blocks are flushed as they are written, so the file
// holds every byte even if the program dies. Each block is also announced, so that whatever
// shows the exchange live shows exactly what the file holds.
class ExchangeLog : public QObject
{
    Q_OBJECT
public:
    explicit ExchangeLog(const QString &path = QStringLiteral("log.txt"), QObject *parent = nullptr);

    // The log's file; it stays open until close(). A file that could not be opened only loses
    // the log: the blocks are still announced.
    QFile *file() const { return logFile; }
    // "Журнал обмена не записывается: <path> (<reason>)" when the file could not be opened;
    // empty while it is written.
    QString failure() const;

    // "<digit>------->\r\n" + request + "\r\n", the digit being '0' + attempts used (5 left: '0').
    void writeRequest(const QByteArray &data, quint8 attemptsLeft);
    // "<-------\r\n" + batch + "\r\n", one block for every batch read from the port.
    void writeReply(const QByteArray &batch);

    // A device that talks without end must not fill the disk: once a block would take the
    // file past `megabytes`, one line says the rest is not logged and the file stops growing.
    static constexpr int kDefaultLimitMb = 100;
    void setLimitMb(int megabytes);

signals:
    // One per block: the attempt digit of a request, or 0 for a received batch, and the bytes
    // as they went over the line.
    void blockWritten(char attempt, const QByteArray &bytes);
    // The file has reached its limit; sent once.
    void limitReached(int megabytes);

private:
    void write(const QByteArray &block);

    QFile *logFile = nullptr;
    int limitMb = kDefaultLimitMb;
    qint64 written = 0;
    bool full = false;
};
