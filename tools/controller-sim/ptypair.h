#pragma once

#include <QByteArray>
#include <QString>

namespace sim {

// A pseudo-terminal pair standing in for a serial cable: the program under test opens
// slavePath() like a serial port, the other side reads and writes the master, which does not
// block. The slave is kept open so the line does not hang up between two opens of it.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString errorString() const { return m_error; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Writes the bytes in one go (a pseudo-terminal takes kilobytes at once); false if it did not.
    bool write(const QByteArray &bytes);
    // Whatever the master side has now, without blocking.
    QByteArray readAvailable();
    // Closes the master side: the cable is pulled.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_error;
};

// Puts a terminal into raw mode (no echo, no line editing, bytes pass as they are), at 19200
// baud if asked. Not a terminal: left as it is.
void makeRaw(int fd, bool setSpeed);

} // namespace sim
