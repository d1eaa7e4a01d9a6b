#pragma once

#include <QSerialPort>
#include <QString>

// Why a port could not be opened or was lost, in Russian, with the system's own text in
// brackets after it: "порт не найден (No such file or directory)".
QString portErrorReason(QSerialPort::SerialPortError error, const QString &systemText);

// The status bar's line for a port that could not be opened, and for one that was lost.
QString portOpenFailedText(const QString &port, QSerialPort::SerialPortError error, const QString &systemText);
QString portLostText(const QString &port, QSerialPort::SerialPortError error, const QString &systemText);
