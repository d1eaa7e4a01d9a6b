#pragma once

#include "protocol.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QSpinBox;
namespace Ui { class MassiveAdr; }

// A transmitter's address table: row 0 is the device itself (always on, mirrored with the
// main window's address and ДУТ spin boxes), rows 1..7 can be switched on, one row at most
// is marked In1A. Travels as the 24-byte record. Setting values from code (a read, a profile,
// defaults) is quiet; the technician's own edits clear the In1A mark, and a note under the
// table says so until a row is marked again or the table is set.
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
    // The boxes of row 1..7 (switch, address, ДУТ), and the In1A box of row 0..7.
    QList<QWidget *> rowBoxes(int row) const;
    QWidget *in1aBox(int row) const;

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
    QLabel *in1aNote = nullptr;   // the technician's edit cleared the mark: until a row is marked or the table set
};
