#pragma once

// A receiver poll's account of the transmitters whose records did not come. A receiver that
// answers late would otherwise be asked for the same record for ever: each number gets a fixed
// number of requests, is then passed over, and is named when the poll ends. No widgets.

#include <QList>
#include <QString>

class PollTally
{
public:
    // The record of `number` did not come on this request (`late`: its bytes came after the
    // period). True once its `tries` requests are used up: the poll goes on with the next number.
    bool missed(int number, int tries, bool late);
    // The record came: the next number starts with all its tries.
    void answered() { m_tries = 0; }

    QList<int> passedOver() const { return m_passedOver; }
    // "Нет данных от приемника по передатчикам: 0, 3", and, when records came late, the period
    // to raise; empty when every record came in time.
    QString summary(int periodMs, const QString &settingsPath) const;

private:
    int m_tries = 0;
    bool m_late = false;
    QList<int> m_passedOver;
};
