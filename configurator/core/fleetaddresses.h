#pragma once

// Addresses for a fleet of transmitters set up from one profile: each device gets the lowest
// address from a starting one up that no journal line of that profile holds for a write that
// reached a device, that no other running configurator has reserved, and that is not a row of
// the address table being written. Reservations (address, process, host, time) are kept in
// "addresses.csv" beside the journal and edited only under the journal's short lock, so that two
// configurators sharing the folder never choose the same address. A reservation whose process is
// gone on this host is void. No widgets.

#include <QDateTime>
#include <QSet>
#include <QString>

class FleetAddresses
{
public:
    static constexpr int kLast = 253;   // 254 is a receiver's

    explicit FleetAddresses(const QString &journalPath);
    ~FleetAddresses();   // frees what is still reserved
    FleetAddresses(const FleetAddresses &) = delete;
    FleetAddresses &operator=(const FleetAddresses &) = delete;

    QString reservationsPath() const;

    struct Choice
    {
        int address = 0;   // 0: none is left below 254, or `error` says why none was chosen
        QString error;
    };
    // Chooses and reserves the next free address for a device written with `profile` (its
    // absolute path), freeing this client's previous reservation first.
    Choice reserve(const QString &profile, int from, const QSet<int> &tableRows);
    // Frees this client's reservation, once its device's journal line is written or its pass
    // has ended otherwise.
    void release();
    int reserved() const { return m_reserved; }

    // When the journal last shows `address` written with `profile` (a write that reached the
    // device); invalid when it does not.
    static QDateTime lastWritten(const QString &journalPath, const QString &profile, int address);

private:
    QString m_journal;
    int m_reserved = 0;
};
