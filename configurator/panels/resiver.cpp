#include "resiver.h"
#include "ui_resiver.h"

#include <QCheckBox>
#include <QComboBox>

namespace {
constexpr int kFirstExtAddress = 16;
constexpr int kAddressCount = 256;
constexpr int kExtMaskSize = 30;   // addresses 16..255, eight to a byte
constexpr int kBoxesPerRow = 8;
}

resiver::resiver(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::resiver)
{
    ui->setupUi(this);

    setMaxAdr(15);

    // Entries 0..15 point at the form's boxes, so every address is reached the same way.
    QCheckBox *const formBoxes[kFirstExtAddress] = {
        ui->checkBox00, ui->checkBox01, ui->checkBox02, ui->checkBox03,
        ui->checkBox04, ui->checkBox05, ui->checkBox06, ui->checkBox07,
        ui->checkBox08, ui->checkBox09, ui->checkBox10, ui->checkBox11,
        ui->checkBox12, ui->checkBox13, ui->checkBox14, ui->checkBox15};
    for (int a = 0; a < kFirstExtAddress; ++a)
        adrBox[a] = formBoxes[a];

    // Addresses 0..15 are the form's own boxes; 16..255 are ours, disabled until a
    // receiver with the wide address range is identified.
    for (int a = kFirstExtAddress; a < kAddressCount; ++a) {
        adrBox[a] = new QCheckBox(QString::number(a), ui->scrollAreaWidgetContents);
        adrBox[a]->setEnabled(false);
        ui->gridLayoutBoxes->addWidget(adrBox[a], a / kBoxesPerRow, a % kBoxesPerRow);
    }
    ui->scrollAreaWidgetContents->adjustSize();

    connect(ui->curValue, &QPushButton::clicked, this, &resiver::slotDoInfo);
    connect(ui->pbClear, &QPushButton::pressed, this, &resiver::clearAll);
    connect(ui->pbFill, &QPushButton::pressed, this, &resiver::fillAll);
}

resiver::~resiver()
{
    delete ui;
}

QCheckBox *resiver::addressBox(int a) const
{
    return adrBox[a];
}

// ---- Address masks, least significant bit first ---------------------------------------

quint8 resiver::getAdrMask0() const
{
    quint8 m = 0;
    for (int i = 0; i < 8; ++i)
        if (addressBox(i)->isChecked())
            m |= quint8(1u << i);
    return m;
}

quint8 resiver::getAdrMask1() const
{
    quint8 m = 0;
    for (int i = 0; i < 8; ++i)
        if (addressBox(8 + i)->isChecked())
            m |= quint8(1u << i);
    return m;
}

void resiver::setAdrMask0(quint8 m)
{
    for (int i = 0; i < 8; ++i)
        addressBox(i)->setChecked(m & (1u << i));
}

void resiver::setAdrMask1(quint8 m)
{
    for (int i = 0; i < 8; ++i)
        addressBox(8 + i)->setChecked(m & (1u << i));
}

QByteArray resiver::getAdrMaskExt() const
{
    QByteArray b(kExtMaskSize, '\0');
    for (int k = 0; k < kAddressCount - kFirstExtAddress; ++k)
        if (adrBox[kFirstExtAddress + k]->isChecked())
            b[k / 8] = char(quint8(b.at(k / 8)) | (1u << (k % 8)));
    return b;
}

// A map shorter than 30 bytes clears the addresses it does not reach.
void resiver::setAdrMaskExt(const QByteArray &b)
{
    for (int k = 0; k < kAddressCount - kFirstExtAddress; ++k) {
        const quint8 byte = k / 8 < b.size() ? quint8(b.at(k / 8)) : 0;
        adrBox[kFirstExtAddress + k]->setChecked(byte & (1u << (k % 8)));
    }
}

void resiver::setAdrExtEnabled(bool on)
{
    for (int a = kFirstExtAddress; a < kAddressCount; ++a)
        adrBox[a]->setEnabled(on);
}

void resiver::setMaxAdr(quint8 n)
{
    QComboBox *const combos[] = {ui->comboBoxAn1, ui->comboBoxAn2, ui->comboBoxFq1,
                                 ui->comboBoxFq2};
    for (QComboBox *c : combos)
        c->clear();
    for (int i = 0; i <= n; ++i)
        for (QComboBox *c : combos)
            c->addItem(QString::number(i));
}

// ---- Output routing -------------------------------------------------------------------

int resiver::getAn1() const { return ui->comboBoxAn1->currentIndex(); }
int resiver::getAn2() const { return ui->comboBoxAn2->currentIndex(); }
int resiver::getFq1() const { return ui->comboBoxFq1->currentIndex(); }
int resiver::getFq2() const { return ui->comboBoxFq2->currentIndex(); }
// A controller may report an index the list does not offer (an address above 15 for an old
// receiver): keep the current choice instead of leaving the box empty, which would be
// written back as 0xFF.
static void selectIndex(QComboBox *box, int index)
{
    if (index < box->count())
        box->setCurrentIndex(index);
}

void resiver::setAn1(quint8 v) { selectIndex(ui->comboBoxAn1, v); }
void resiver::setAn2(quint8 v) { selectIndex(ui->comboBoxAn2, v); }
void resiver::setFq1(quint8 v) { selectIndex(ui->comboBoxFq1, v); }
void resiver::setFq2(quint8 v) { selectIndex(ui->comboBoxFq2, v); }

int resiver::getFq1Mode() const { return ui->checkBoxFq1->currentIndex(); }
int resiver::getFq2Mode() const { return ui->checkBoxFq2->currentIndex(); }
void resiver::setFq1Mode(quint8 v) { selectIndex(ui->checkBoxFq1, v); }
void resiver::setFq2Mode(quint8 v) { selectIndex(ui->checkBoxFq2, v); }

int resiver::getPeriod() const { return ui->d_periodWheel->value(); }
void resiver::setPeriod(quint8 v) { ui->d_periodWheel->setValue(v); }

// Index 0 "4096" is the old protocol, index 1 "65536" the new one.
bool resiver::getOldProtokol() const { return ui->cbOldProtokol->currentIndex() == 0; }
void resiver::setOldProtokol(bool old) { ui->cbOldProtokol->setCurrentIndex(old ? 0 : 1); }

// The range and its label go together: a label without its field would ask for a value
// nothing can take.
void resiver::setOldProtokolVisible(bool visible)
{
    ui->lbOldProtokol->setVisible(visible);
    ui->cbOldProtokol->setVisible(visible);
}

void resiver::setDefault()
{
    ui->d_periodWheel->setValue(1);
    ui->checkBox00->setChecked(true);
    for (int a = 1; a < kAddressCount; ++a)
        addressBox(a)->setChecked(false);
    ui->comboBoxFq1->setCurrentIndex(0);
    ui->comboBoxFq2->setCurrentIndex(0);
    ui->checkBoxFq1->setCurrentIndex(0);
    ui->checkBoxFq2->setCurrentIndex(0);
    ui->comboBoxAn1->setCurrentIndex(0);
    ui->comboBoxAn2->setCurrentIndex(0);
}

// ---- Slots ----------------------------------------------------------------------------

void resiver::slotDoInfo()
{
    emit doInfo();
}

void resiver::clearAll()
{
    setCheckAll(false);
}

void resiver::fillAll()
{
    setCheckAll(true);
}

// Address 0 is always polled, so it stays checked whatever v is. The wide addresses are
// set too, even while disabled.
void resiver::setCheckAll(bool v)
{
    ui->checkBox00->setChecked(true);
    for (int a = 1; a < kAddressCount; ++a)
        addressBox(a)->setChecked(v);
}

QWidget *resiver::fieldBox(const char *key, int n) const
{
    const QByteArray k(key);
    if (k == "polled" || k == "polledTable")
        return n >= 0 && n < 256 ? addressBox(n) : nullptr;
    const std::pair<const char *, QWidget *> boxes[] = {
        {"pollPeriod", ui->d_periodWheel}, {"outputFd1Address", ui->comboBoxFq1}, {"outputFd1Mode", ui->checkBoxFq1},
        {"outputFd2Address", ui->comboBoxFq2}, {"outputFd2Mode", ui->checkBoxFq2},
        {"outputAd1Address", ui->comboBoxAn1}, {"outputAd2Address", ui->comboBoxAn2}, {"dutRange", ui->cbOldProtokol},
    };
    for (const auto &[name, box] : boxes) {
        if (k == name)
            return box;
    }
    return nullptr;
}
