#include "massiveadr.h"
#include "ui_massiveadr.h"

#include "trace.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>


namespace {
constexpr int kRows = 8;
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
    in1aNote = new QLabel(QStringLiteral("Отметка In1A снята: таблица изменена. Отметьте строку снова."), this);
    in1aNote->setTextFormat(Qt::PlainText);
    in1aNote->setWordWrap(true);
    in1aNote->setObjectName(QStringLiteral("in1aNote"));
    in1aNote->hide();
    ui->gridLayout->addWidget(in1aNote, kRows + 1, 0, 1, 4);
}

MassiveAdr::~MassiveAdr()
{
    delete ui;
}

// Rows 1..7, then the first In1A row.
proto::AddressTable MassiveAdr::getMassive() const
{
    proto::AddressTable t;
    for (int r = 1; r < kRows; ++r)
        t.rows[r - 1] = {quint8(cbOn[r]->isChecked()), quint8(sbAdr[r]->value()), quint8(sbDut[r]->value())};
    int marked = -1;
    for (int r = 0; r < kRows && marked < 0; ++r)
        if (cbIn1A[r]->isChecked())
            marked = r;
    t.in1a = marked >= 0;
    t.in1aRow = quint8(marked >= 0 ? marked : 0);
    return t;
}

// The flags count as set when positive as signed bytes.
void MassiveAdr::setMassive(const proto::AddressTable &t)
{
    for (int k = 0; k < proto::AddressTable::kRows; ++k) {
        const QSignalBlocker quiet[] = {QSignalBlocker(sbAdr[k + 1]), QSignalBlocker(sbDut[k + 1])};
        cbOn[k + 1]->setChecked(qint8(t.rows[k].on) > 0);
        sbAdr[k + 1]->setValue(t.rows[k].address);
        sbDut[k + 1]->setValue(t.rows[k].dut);
    }
    for (int r = 0; r < kRows; ++r)
        cbIn1A[r]->setChecked(qint8(t.in1a) > 0 && r == t.in1aRow % kRows);
    in1aNote->hide();
}

void MassiveAdr::setOwn(quint8 address, quint8 dut)
{
    const QSignalBlocker quiet[] = {QSignalBlocker(sbAdr[0]), QSignalBlocker(sbDut[0])};
    sbAdr[0]->setValue(address);
    sbDut[0]->setValue(dut);
}

QList<QWidget *> MassiveAdr::rowBoxes(int row) const
{
    if (row < 1 || row >= kRows)
        return {};
    return {cbOn[row], sbAdr[row], sbDut[row]};
}

QWidget *MassiveAdr::in1aBox(int row) const
{
    return row >= 0 && row < kRows ? cbIn1A[row] : nullptr;
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
        bool cleared = false, markClicked = false;
        for (QCheckBox *box : cbIn1A) {
            if (box != s) {
                cleared = cleared || box->isChecked();
                box->setChecked(false);
            } else {
                markClicked = true;
                if (box->isChecked())
                    in1aNote->hide();   // a row is marked again
            }
        }
        if (cleared && !markClicked)
            in1aNote->show();
    }
    if (s == sbAdr[0])
        emit updateAdr(quint8(sbAdr[0]->value()));
    if (s == sbDut[0])
        emit updateDut(quint8(sbDut[0]->value()));
}
