#include "massiveadr.h"
#include "ui_massiveadr.h"

#include "trace.h"

#include <QCheckBox>
#include <QSpinBox>

namespace {
constexpr int kRows = 8;
constexpr int kRecordRows = 7;    // rows 1..7 travel in the record, row 0 is the device
constexpr int kIn1AFlag = 21;
constexpr int kIn1ARow = 22;
constexpr int kRecordSize = 24;

// A byte of the record, 0 where a short record ends.
quint8 recordByte(const QByteArray &b, int i)
{
    return i < b.size() ? quint8(b.at(i)) : 0;
}
}

MassiveAdr::MassiveAdr(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::MassiveAdr)
{
    ui->setupUi(this);

    for (int r = 0; r < kRows; ++r) {
        cbOn[r] = new QCheckBox(this);
        sbAdr[r] = new QSpinBox(this);
        sbDut[r] = new QSpinBox(this);
        cbIn1A[r] = new QCheckBox(this);
    }

    // Row 0 is the device itself: always on.
    cbOn[0]->setChecked(true);
    cbOn[0]->setEnabled(false);

    for (int r = 0; r < kRows; ++r) {
        ui->gridLayout->addWidget(cbOn[r], r + 1, 0);
        ui->gridLayout->addWidget(sbAdr[r], r + 1, 1);
        ui->gridLayout->addWidget(sbDut[r], r + 1, 2);
        ui->gridLayout->addWidget(cbIn1A[r], r + 1, 3);
        sbAdr[r]->setRange(0, 255);
        sbDut[r]->setRange(0, 255);
        connect(cbOn[r], &QCheckBox::clicked, this, &MassiveAdr::slotChange);
        connect(sbAdr[r], QOverload<int>::of(&QSpinBox::valueChanged), this,
                &MassiveAdr::slotChange);
        connect(sbDut[r], QOverload<int>::of(&QSpinBox::valueChanged), this,
                &MassiveAdr::slotChange);
        connect(cbIn1A[r], &QCheckBox::clicked, this, &MassiveAdr::slotChange);
    }
}

MassiveAdr::~MassiveAdr()
{
    delete ui;
}

// Rows 1..7 as (on, address, ДУТ) triples, then the first In1A row (flag and row), then 0.
QByteArray MassiveAdr::getMassive() const
{
    QByteArray b;
    b.reserve(kRecordSize);
    for (int r = 1; r < kRows; ++r) {
        b.append(char(cbOn[r]->isChecked() ? 1 : 0));
        b.append(char(quint8(sbAdr[r]->value())));
        b.append(char(quint8(sbDut[r]->value())));
    }
    int marked = -1;
    for (int r = 0; r < kRows && marked < 0; ++r)
        if (cbIn1A[r]->isChecked())
            marked = r;
    b.append(char(marked >= 0 ? 1 : 0));
    b.append(char(marked >= 0 ? marked : 0));
    b.append('\0');
    return b;
}

// The flags count as set when positive as signed bytes. A record shorter than 24 bytes
// reads as zeros where it ends.
void MassiveAdr::setMassive(const QByteArray &b)
{
    for (int k = 0; k < kRecordRows; ++k) {
        cbOn[k + 1]->setChecked(qint8(recordByte(b, 3 * k)) > 0);
        sbAdr[k + 1]->setValue(recordByte(b, 3 * k + 1));
        sbDut[k + 1]->setValue(recordByte(b, 3 * k + 2));
    }
    for (QCheckBox *box : cbIn1A)
        box->setChecked(false);
    if (qint8(recordByte(b, kIn1AFlag)) > 0)
        cbIn1A[recordByte(b, kIn1ARow) % kRows]->setChecked(true);
}

bool MassiveAdr::isDuplicate() const
{
    for (int i = 0; i < kRows; ++i) {
        if (!cbOn[i]->isChecked())
            continue;
        for (int j = i + 1; j < kRows; ++j) {
            if (!cbOn[j]->isChecked())
                continue;
            if (sbAdr[i]->value() == sbAdr[j]->value() || sbDut[i]->value() == sbDut[j]->value())
                return true;
        }
    }
    return false;
}

// Zeroing row 0 goes through slotChange, so the main window's spin boxes follow.
void MassiveAdr::setDefault()
{
    for (int r = 0; r < kRows; ++r) {
        cbIn1A[r]->setChecked(false);
        if (r >= 1)
            cbOn[r]->setChecked(false);
        sbAdr[r]->setValue(0);
        sbDut[r]->setValue(0);
    }
}

void MassiveAdr::slotSetAdr(int v)
{
    qCDebug(lcTrace) << "sbAdr[0]" << v;
    sbAdr[0]->setValue(v);
}

void MassiveAdr::slotSetDut(int v)
{
    qCDebug(lcTrace) << "sbDut[0]" << v;
    sbDut[0]->setValue(v);
}

// A click on an In1A box keeps that box as clicked and clears the others; any other edit of
// the table clears every In1A mark. Row 0 is mirrored to the main window.
void MassiveAdr::slotChange()
{
    QObject *s = sender();
    if (s) {
        for (QCheckBox *box : cbIn1A)
            if (box != s)
                box->setChecked(false);
    }
    if (s == sbAdr[0])
        emit updateAdr(quint8(sbAdr[0]->value()));
    if (s == sbDut[0])
        emit updateDut(quint8(sbDut[0]->value()));
}
