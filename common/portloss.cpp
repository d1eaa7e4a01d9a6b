#include "portloss.h"

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace {

bool handleHungUp(QSerialPort *port)
{
#ifdef Q_OS_UNIX
    pollfd state{int(port->handle()), 0, 0};   // no events asked: hang-ups and errors come anyway
    ::poll(&state, 1, 0);   // a failed poll leaves revents empty: the error will come again
    return (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(port);
    return true;   // no way to tell: a resource error stays a lost device
#endif
}

} // namespace

bool portLost(QSerialPort *port, QSerialPort::SerialPortError error)
{
    const bool ioError = error == QSerialPort::ResourceError || error == QSerialPort::ReadError
                         || error == QSerialPort::WriteError;
    if (!ioError || !port->isOpen())
        return false;
    if (handleHungUp(port))
        return true;
    port->clearError();
    // Qt stops reading after a resource error; resizing the read buffer is what starts it again.
    port->setReadBufferSize(port->readBufferSize());
    return false;
}
