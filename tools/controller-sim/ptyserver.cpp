#include "ptyserver.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace sim {

namespace {

// A frame whose rest does not come within this time is dropped, so a stray "!" on the line
// cannot swallow the requests that follow it.
constexpr int FrameTimeoutMs = 250;

void setNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

PtyServer::PtyServer(Device *device, const Faults &faults, QObject *parent)
    : PtyServer(device, faults, parent, -1, QString(), QString())
{
    m_pty = std::make_unique<PtyPair>();
    m_error = m_pty->errorString();
    if (!m_pty->isValid())
        return;
    m_fd = m_pty->masterFd();
    m_path = m_pty->slavePath();
    start();
}

PtyServer::PtyServer(Device *device, const Faults &faults, QObject *parent, int fd,
                     const QString &path, const QString &error)
    : QObject(parent),
      m_device(device),
      m_fd(fd),
      m_path(path),
      m_error(error),
      m_sendTimer(new QTimer(this)),
      m_frameTimer(new QTimer(this))
{
    setFaults(faults);
    m_sendTimer->setSingleShot(true);
    m_frameTimer->setSingleShot(true);
    m_frameTimer->setInterval(FrameTimeoutMs);
    connect(m_sendTimer, &QTimer::timeout, this, &PtyServer::sendDue);
    connect(m_frameTimer, &QTimer::timeout, this, [this] { m_device->resetFrame(); });
    m_clock.start();
}

PtyServer *PtyServer::forPort(Device *device, const QString &path, const Faults &faults,
                              QObject *parent)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    QString error;
    if (fd < 0)
        error = QString::fromLocal8Bit(std::strerror(errno));
    else
        makeRaw(fd, true);
    auto *server = new PtyServer(device, faults, parent, fd, path, error);
    if (fd >= 0)
        server->start();
    return server;
}

PtyServer::~PtyServer()
{
    closeMaster();
}

void PtyServer::start()
{
    setNonBlocking(m_fd);
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyServer::onReadable);
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyServer::onWritable);
}

void PtyServer::setFaults(const Faults &faults)
{
    m_faults = faults;
    m_device->setFaults(faults);
}

void PtyServer::closeMaster()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    m_sendTimer->stop();
    m_frameTimer->stop();
    m_pending.clear();
    m_out.clear();
    if (m_pty)
        m_pty->closeMaster();
    else if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void PtyServer::fail()
{
    closeMaster();
    emit lineClosed();
}

void PtyServer::onReadable()
{
    QByteArray data;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n > 0) {
            data.append(buf, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // End of file or EIO: the other side is gone for good.
        if (data.isEmpty()) {
            fail();
            return;
        }
        break;
    }
    if (data.isEmpty())
        return;

    const int before = m_device->requests().size();
    const QList<QByteArray> replies = m_device->feed(data);
    const QList<QByteArray> requests = m_device->requests();
    for (int i = before; i < requests.size(); ++i)
        emit requestReceived(requests.at(i));
    for (const QByteArray &reply : replies)
        enqueue(reply);

    if (m_device->hasPartialFrame())
        m_frameTimer->start();
    else
        m_frameTimer->stop();
}

void PtyServer::enqueue(const QByteArray &reply)
{
    if (m_fd < 0)
        return;
    const qint64 now = m_clock.elapsed();
    qint64 due = qMax(now + qMax(0, m_faults.delayMs), m_nextFree);
    const int chunk = m_faults.splitChunk > 0 ? m_faults.splitChunk : reply.size();
    const int pause = qMax(0, m_faults.splitPauseMs);
    // With a pause inside, the reply is also cut in its middle and the second half waits.
    const int middle = m_faults.pauseInsideMs > 0 && reply.size() > 1 ? reply.size() / 2 : -1;
    int at = 0;
    while (at < reply.size()) {
        int end = qMin(at + chunk, int(reply.size()));
        if (at < middle && middle < end)
            end = middle;
        Piece piece;
        piece.due = due;
        piece.bytes = reply.mid(at, end - at);
        if (end == reply.size())
            piece.whole = reply;
        m_pending.enqueue(piece);
        m_nextFree = due;
        if (end == middle)
            due += qMax(m_faults.pauseInsideMs, m_faults.splitChunk > 0 ? pause : 0);
        else
            due += pause;
        at = end;
    }
    // Consecutive split replies keep the pause between them too.
    if (m_faults.splitChunk > 0)
        m_nextFree += pause;
    sendDue();
}

void PtyServer::sendDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_pending.isEmpty() && m_pending.head().due <= now) {
        const Piece piece = m_pending.dequeue();
        writeOut(piece.bytes);
        if (m_fd < 0)
            return;
        if (!piece.whole.isEmpty())
            emit replySent(piece.whole);
    }
    if (!m_pending.isEmpty())
        m_sendTimer->start(int(m_pending.head().due - now));
}

void PtyServer::writeOut(const QByteArray &bytes)
{
    m_out.append(bytes);
    onWritable();
}

void PtyServer::onWritable()
{
    while (!m_out.isEmpty() && m_fd >= 0) {
        const ssize_t n = ::write(m_fd, m_out.constData(), size_t(m_out.size()));
        if (n > 0) {
            m_out.remove(0, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        fail();
        return;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_out.isEmpty());
}

} // namespace sim
