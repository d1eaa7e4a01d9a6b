#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "pollprotocol.h"

#include <QComboBox>
#include <QDebug>
#include <QPushButton>
#include <QStatusBar>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , port(new QSerialPort(this))
{
    ui->setupUi(this);

    cbPort = new QComboBox(ui->centralWidget);
    cbPort->setObjectName(QStringLiteral("cbPort"));
    // Editable so that a device path not in the list (an adapter plugged in later, a
    // pseudo-terminal) can be typed in.
    cbPort->setEditable(true);
    cbPort->setInsertPolicy(QComboBox::NoInsert);
    ui->gridLayout->addWidget(cbPort, 0, 0);

    pbConnect = new QPushButton(QStringLiteral("Подключить"), ui->centralWidget);
    pbConnect->setObjectName(QStringLiteral("pbConnect"));
    ui->gridLayout->addWidget(pbConnect, 1, 0);

    listedPorts = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : qAsConst(listedPorts))
        cbPort->addItem(info.portName());

    connect(pbConnect, &QPushButton::clicked, this, &MainWindow::openPort);
    connect(port, &QSerialPort::readyRead, this, &MainWindow::slotReadyRead);
    connect(port, &QSerialPort::errorOccurred, this, &MainWindow::slotPortError);
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::selectPort(const QString &name)
{
    int index = cbPort->findText(name);
    if (index < 0) {
        cbPort->addItem(name);
        index = cbPort->count() - 1;
    }
    cbPort->setCurrentIndex(index);
}

QString MainWindow::portNameToOpen() const
{
    const QString text = cbPort->currentText().trimmed();
#ifdef Q_OS_WIN
    // The device-namespace form also reaches COM10 and above.
    return QStringLiteral("\\\\.\\") + text;
#else
    for (const QSerialPortInfo &info : listedPorts) {
        if (info.portName() == text)
            return info.systemLocation();
    }
    return text;  // a typed path such as /dev/pts/5
#endif
}

void MainWindow::openPort()
{
    closePending = false;
    if (port->isOpen()) {
        port->close();
        pbConnect->setText(QStringLiteral("OPEN"));
    } else {
        port->setPortName(portNameToOpen());
        port->setBaudRate(QSerialPort::Baud19200, QSerialPort::AllDirections);
        port->setDataBits(QSerialPort::Data8);
        port->setParity(QSerialPort::NoParity);
        port->setStopBits(QSerialPort::OneStop);
        port->setFlowControl(QSerialPort::NoFlowControl);
        if (port->open(QIODevice::ReadWrite))
            pbConnect->setText(QStringLiteral("CLOSE"));
    }
    // Opening or closing always starts over: a half-assembled request is dropped.
    bytesToCome = 0;
    frameBuffer.clear();
}

void MainWindow::slotReadyRead()
{
    // A batch may hold part of a request, a whole one or several: every byte goes through
    // the assembly in order.
    const QByteArray bytes = port->readAll();
    const QVector<PollOutcome> outcomes = assemblePollRequests(bytes, frameBuffer, bytesToCome);
    for (const PollOutcome &outcome : outcomes) {
        if (outcome.crcOk) {
            port->write(outcome.reply);
            port->flush();   // the reply leaves now, not on the event loop's next pass
            qDebug() << int(outcome.address);
        } else {
            qDebug() << "crcError";
        }
    }
}

void MainWindow::slotPortError(QSerialPort::SerialPortError error)
{
    // The device is gone (adapter pulled, other end of the line closed): a read error on an
    // open port keeps coming back on every notification, so it is treated the same way.
    const bool deviceGone = error == QSerialPort::ResourceError
        || (error == QSerialPort::ReadError && port->isOpen());
    if (!deviceGone || closePending)
        return;
    closePending = true;
    const QString reason = port->errorString();
    // Closing the port from inside its own error signal is unsafe: close once back in the
    // event loop.
    QMetaObject::invokeMethod(this, [this, reason]() { closeAfterError(reason); },
                              Qt::QueuedConnection);
}

void MainWindow::closeAfterError(const QString &reason)
{
    if (!closePending)  // the user clicked the button meanwhile
        return;
    closePending = false;
    if (port->isOpen())
        port->close();
    pbConnect->setText(QStringLiteral("OPEN"));
    bytesToCome = 0;
    frameBuffer.clear();
    statusBar()->showMessage(QStringLiteral("Порт закрыт: %1").arg(reason));
}
