#pragma once

#include <QDialog>

class adjview;
namespace Ui { class ResiverInfo; }

// The data a receiver holds from its transmitters, one row per transmitter address.
class ResiverInfo : public QDialog
{
    Q_OBJECT
public:
    // records: one entry per address, at least as many as rows (16 below version 221, else 256).
    ResiverInfo(const QByteArray *records, QWidget *parent, quint16 numVersion, quint8 an1Adr,
                quint8 an2Adr, quint8 fq1Adr, quint8 fq2Adr);
    ~ResiverInfo() override;

    adjview *table() const { return view; }
    // The transmitters the receiver had no record of after every try: "нет ответа" in their rows.
    void markUnanswered(const QList<int> &numbers);

private:
    Ui::ResiverInfo *ui = nullptr;
    adjview *view = nullptr;
};
