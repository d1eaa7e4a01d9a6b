#pragma once

#include <QByteArray>
#include <QWidget>

class QCheckBox;
namespace Ui { class resiver; }

// Receiver-only settings: the polled transmitter addresses, the output routing, the poll
// period and the ДУТ range, plus the button that starts fetching the transmitters' data.
class resiver : public QWidget
{
    Q_OBJECT
public:
    explicit resiver(QWidget *parent = nullptr);
    ~resiver() override;

    quint8 getAdrMask0() const;
    quint8 getAdrMask1() const;
    void setAdrMask0(quint8 m);
    void setAdrMask1(quint8 m);
    QByteArray getAdrMaskExt() const;            // always 30 bytes
    void setAdrMaskExt(const QByteArray &b);     // uses the first 30 bytes
    void setAdrExtEnabled(bool on);
    void setMaxAdr(quint8 n);

    int getAn1() const;
    int getAn2() const;
    int getFq1() const;
    int getFq2() const;
    void setAn1(quint8 v);
    void setAn2(quint8 v);
    void setFq1(quint8 v);
    void setFq2(quint8 v);
    int getFq1Mode() const;
    int getFq2Mode() const;
    void setFq1Mode(quint8 v);
    void setFq2Mode(quint8 v);
    int getPeriod() const;
    void setPeriod(quint8 v);
    bool getOldProtokol() const;
    void setOldProtokol(bool old);
    void setOldProtokolVisible(bool visible);
    void setDefault();
    // The box of the field a profile keeps under `key` ("pollPeriod"); for the polled
    // transmitters ("polled", "polledTable") transmitter n's box. nullptr for another key.
    QWidget *fieldBox(const char *key, int n = -1) const;

signals:
    void doInfo();

public slots:
    void slotDoInfo();
    void clearAll();
    void fillAll();
    void setCheckAll(bool v);

private:
    QCheckBox *addressBox(int a) const;   // checkBox00..15 or adrBox[16..255]

    Ui::resiver *ui = nullptr;
    QCheckBox *adrBox[256] = {};   // by address; 0..15 are the form's checkBox00..15
};
