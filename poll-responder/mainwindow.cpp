#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "notelabel.h"
#include "pollprotocol.h"
#include "portbox.h"
#include "porterror.h"
#include "portloss.h"

#include <QDebug>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , port(new QSerialPort(this))
{
    ui->setupUi(this);

    // The system's ports from the first paint on, and a typed path (a pseudo-terminal).
    cbPort = new PortBox(ui->centralWidget);
    cbPort->setObjectName(QStringLiteral("cbPort"));
    ui->gridLayout->addWidget(cbPort, 0, 0);

    pbConnect = new QPushButton(QStringLiteral("Подключить"), ui->centralWidget);
    pbConnect->setObjectName(QStringLiteral("pbConnect"));
    ui->gridLayout->addWidget(pbConnect, 1, 0);

    portNote = new NoteLabel(ui->statusBar);
    ui->statusBar->addWidget(portNote, 1);
    lbCounts = new QLabel(ui->statusBar);
    lbCounts->setObjectName(QStringLiteral("lbCounts"));
    ui->statusBar->addPermanentWidget(lbCounts);
    lbUnsent = new QLabel(ui->statusBar);
    lbUnsent->setObjectName(QStringLiteral("lbUnsent"));
    ui->statusBar->addPermanentWidget(lbUnsent);
    lbUnsent->hide();
    showCounts();

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
    cbPort->select(name);
}

void MainWindow::openPort()
{
    closePending = false;
    portNote->clearNote();
    if (port->isOpen()) {
        port->close();
        pbConnect->setText(QStringLiteral("OPEN"));
    } else {
        port->setPortName(cbPort->location());
        port->setBaudRate(QSerialPort::Baud19200, QSerialPort::AllDirections);
        port->setDataBits(QSerialPort::Data8);
        port->setParity(QSerialPort::NoParity);
        port->setStopBits(QSerialPort::OneStop);
        port->setFlowControl(QSerialPort::NoFlowControl);
        if (cbPort->location().isEmpty()) {
            portNote->setNote(QStringLiteral("Не выбран порт"));
        } else if (port->open(QIODevice::ReadWrite)) {
            pbConnect->setText(QStringLiteral("CLOSE"));
            answered = crcErrors = unsent = 0;
            lbUnsent->hide();
            showCounts();
        } else {
            portNote->setNote(portOpenFailedText(cbPort->location(), port->error(), port->errorString()));
        }
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
            // A peer that reads late fills the line: its replies wait in the port's buffer, in
            // order, up to kMaxUnsentBytes; beyond that they are dropped and counted.
            if (port->bytesToWrite() + outcome.reply.size() <= kMaxUnsentBytes) {
                port->write(outcome.reply);
                port->flush();   // the reply leaves now, not on the event loop's next pass
                ++answered;
            } else {
                lbUnsent->setText(QStringLiteral("Не отправлено ответов: %1").arg(++unsent));
                lbUnsent->show();
            }
            qDebug() << int(outcome.address);
        } else {
            qDebug() << "crcError";
            ++crcErrors;
        }
    }
    if (!outcomes.isEmpty())
        showCounts();
}

void MainWindow::slotPortError(QSerialPort::SerialPortError error)
{
    // Only a device that is gone closes the port; a line the peer reads late is no reason to.
    if (closePending || !portLost(port, error))
        return;
    closePending = true;
    const QString reason = portLostText(port->portName(), error, port->errorString());
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
    portNote->setNote(reason);
}

void MainWindow::showCounts()
{
    lbCounts->setText(QStringLiteral("Ответов: %1, ошибок CRC: %2").arg(answered).arg(crcErrors));
}
