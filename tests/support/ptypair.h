#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair standing in for a serial cable. The program under test opens
// slavePath() with QSerialPort; the test reads and writes the master side.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Writes all bytes to the master side.
    bool write(const QByteArray &bytes);
    // Reads whatever the master side has now, without blocking.
    QByteArray readAvailable();
    // Closes the master side (the "cable" is pulled).
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;   // kept open so the line does not hang up between opens
    QString m_slavePath;
};
