#pragma once

#include "protocol.h"

#include <QWidget>

class QCheckBox;
class QSpinBox;
namespace Ui { class MassiveAdr; }

// A transmitter's address table: row 0 is the device itself (always on, mirrored with the
// main window's address and ДУТ spin boxes), rows 1..7 can be switched on, one row at most
// is marked In1A. Travels as the 24-byte record. Setting values from code (a read, a profile,
// defaults) is quiet; the technician's own edits clear the In1A mark.
class MassiveAdr : public QWidget
{
    Q_OBJECT
public:
    explicit MassiveAdr(QWidget *parent = nullptr);
    ~MassiveAdr() override;

    proto::AddressTable getMassive() const;
    void setMassive(const proto::AddressTable &t);
    // Row 0, the device's own address and ДУТ number.
    void setOwn(quint8 address, quint8 dut);
    bool isDuplicate() const;

signals:
    void updateAdr(quint8 v);
    void updateDut(quint8 v);

public slots:
    void slotSetAdr(int v);
    void slotSetDut(int v);

private slots:
    void slotChange();

private:
    Ui::MassiveAdr *ui = nullptr;
    QCheckBox *cbOn[8] = {};
    QCheckBox *cbIn1A[8] = {};
    QSpinBox *sbAdr[8] = {};
    QSpinBox *sbDut[8] = {};
};
