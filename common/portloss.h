#pragma once

#include <QSerialPort>

// Whether an error an open port reported means the device is gone.
//
// Qt reports a full output buffer (the peer reads late) and a device that is gone with the same
// ResourceError, and stops reading after it; after a pulled adapter a read may even come back
// empty, without an error of its own. So the handle itself is asked: a hang-up or an error
// condition on it means the port is lost and is to be closed. Anything else passes: the error
// is cleared and reading goes on, and Qt writes what it holds once the line drains.
bool portLost(QSerialPort *port, QSerialPort::SerialPortError error);
