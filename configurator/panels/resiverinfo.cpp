#include "resiverinfo.h"
#include "ui_resiverinfo.h"

#include "adjview.h"
#include "csv.h"
#include "protocol.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QStandardItemModel>

namespace {
constexpr int kColumns = 8;
constexpr int kTableHeight = 430;
constexpr int kDialogHeight = 480;

// Columns of the table.
enum { ColAddress = 0, ColTemp, ColLevel, ColFrequency, ColFq1, ColFq2, ColAn1, ColAn2 };
}

ResiverInfo::ResiverInfo(const QByteArray *records, QWidget *parent, quint16 numVersion,
                         quint8 an1Adr, quint8 an2Adr, quint8 fq1Adr, quint8 fq2Adr)
    : QDialog(parent)
    , ui(new Ui::ResiverInfo)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Данные с передатчиков"));
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    QPushButton *save = ui->buttonBox->addButton(QStringLiteral("Сохранить CSV…"), QDialogButtonBox::ActionRole);
    connect(save, &QPushButton::clicked, this, [this] {
        csv::saveAs(this, QStringLiteral("передатчики.csv"), csv::fromModel(*view->model()));
    });

    const QStringList labels = {
        QStringLiteral("Адрес"),
        QStringLiteral("Tемп-ра"),   // begins with a Latin capital T
        QStringLiteral("Уровень ДУТ"),
        QStringLiteral("Частота"),
        QStringLiteral("Вход 1 Ч/Д, Гц"),
        QStringLiteral("Вход 2 Ч/Д, Гц"),
        QStringLiteral("Вход 1 А/Д, мВ"),
        QStringLiteral("Вход 2 А/Д, мВ")};
    const QList<int> percents = {12, 12, 12, 16, 12, 12, 12, 12};

    // Firmware up to 220 polls transmitters 0..15 only.
    const int lastAddress = proto::hasWideAddresses(numVersion) ? 255 : 15;

    view = new adjview(lastAddress + 1, labels, percents, this);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setFixedHeight(kTableHeight);
    setFixedHeight(kDialogHeight);
    ui->gridLayoutTable->addWidget(view, 0, 0);

    auto *model = qobject_cast<QStandardItemModel *>(view->model());
    for (int a = 0; a <= lastAddress; ++a) {
        const QByteArray record = records ? records[a] : QByteArray();
        const auto r = proto::TransmitterRecord::parse(record);

        QString text[kColumns];
        QColor colour;
        text[ColAddress] = QString::number(a);
        if (!r) {
            // No answer for this address: the cells stay empty.
            colour = Qt::lightGray;
        } else if (r->levelIsMarker()) {
            colour = Qt::red;
            for (int c = ColTemp; c < kColumns; ++c)
                text[c] = QStringLiteral("-");
            text[ColLevel] = QString::number(r->level);
        } else {
            colour = Qt::white;
            text[ColTemp] = QString::number(r->temperature);
            text[ColLevel] = QString::number(r->level);
            text[ColFrequency] = QString::number(r->frequency);
            // Only the transmitters routed to an output have their inputs shown.
            const QString none = QStringLiteral("---");
            text[ColFq1] = a == fq1Adr ? proto::formatFrequency(r->fq1) : none;
            text[ColFq2] = a == fq2Adr ? proto::formatFrequency(r->fq2) : none;
            text[ColAn1] = a == an1Adr ? proto::formatMillivolts(r->an1) : none;
            text[ColAn2] = a == an2Adr ? proto::formatMillivolts(r->an2) : none;
        }

        for (int c = 0; c < kColumns; ++c) {
            auto *item = new QStandardItem(text[c]);
            item->setBackground(QBrush(colour, Qt::SolidPattern));
            model->setItem(a, c, item);
        }
    }
}

void ResiverInfo::markUnanswered(const QList<int> &numbers)
{
    auto *model = qobject_cast<QStandardItemModel *>(view->model());
    for (const int n : numbers) {
        if (QStandardItem *item = model->item(n, ColTemp))
            item->setText(QStringLiteral("нет ответа"));
    }
}

ResiverInfo::~ResiverInfo()
{
    delete ui;
}
