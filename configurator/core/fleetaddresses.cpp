#include "fleetaddresses.h"

#include "csv.h"
#include "journal.h"
#include "safefile.h"
#include "writereport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QSysInfo>

#include <algorithm>
#include <functional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

namespace {

// The journal's columns this reads: Время, Адрес, Профиль, Результат.
enum { kTime = 0, kAddress = 4, kProfile = 5, kResult = 6 };

struct Reservation
{
    int address = 0;
    qint64 process = 0;
    QString host;
    QDateTime time;
};

// Every journal line of `profile` (edited after loading or not) whose write reached the device.
void forEachWrite(const QString &journalPath, const QString &profile,
                  const std::function<void(int address, const QDateTime &time)> &each)
{
    const QString edited = QStringLiteral(" (изменён)");
    for (const journal::Line &line : journal::read(journalPath)) {
        const QStringList &c = line.cells;
        if (c.size() <= kResult || c.at(kResult) == resultWord(steps::WriteResult::Cancelled))
            continue;
        QString file = c.at(kProfile);
        if (file.endsWith(edited))
            file.chop(edited.size());
        bool ok = false;
        const int address = c.at(kAddress).toInt(&ok);
        if (ok && QDir::fromNativeSeparators(file) == profile)
            each(address, QDateTime::fromString(c.at(kTime), QLatin1String(journal::kTimeFormat)));
    }
}

bool running(qint64 process)
{
#ifdef Q_OS_UNIX
    return ::kill(pid_t(process), 0) == 0 || errno == EPERM;
#else
    Q_UNUSED(process);
    return true;
#endif
}

// A reservation is void when its process is gone on this host; one from another host that is a
// day old belongs to a pass that can no longer be running.
bool valid(const Reservation &r)
{
    if (r.host == QSysInfo::machineHostName())
        return running(r.process);
    return r.time.isValid() && r.time.secsTo(QDateTime::currentDateTime()) < 24 * 3600;
}

QList<Reservation> readReservations(const QString &path)
{
    QList<Reservation> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (const QString &text : lines) {
        const QStringList c = text.split(QLatin1Char(';'));
        Reservation r;
        bool addressOk = false, processOk = false;
        r.address = c.value(0).toInt(&addressOk);
        r.process = c.value(1).toLongLong(&processOk);
        if (!addressOk || !processOk || c.size() < 4)
            continue;   // the titles, or a line this version cannot read
        r.host = c.at(2);
        r.time = QDateTime::fromString(c.at(3), Qt::ISODate);
        out << r;
    }
    return out;
}

QString writeReservations(const QString &path, const QList<Reservation> &list)
{
    QString text = csv::line({QStringLiteral("Адрес"), QStringLiteral("Процесс"), QStringLiteral("Компьютер"),
                              QStringLiteral("Время")});
    for (const Reservation &r : list)
        text += csv::line({QString::number(r.address), QString::number(r.process), r.host, r.time.toString(Qt::ISODate)});
    return safefile::save(path, text.toUtf8());
}

bool mine(const Reservation &r, int address)
{
    return r.address == address && r.process == QCoreApplication::applicationPid()
           && r.host == QSysInfo::machineHostName();
}

} // namespace

FleetAddresses::FleetAddresses(const QString &journalPath)
    : m_journal(journalPath)
{
}

FleetAddresses::~FleetAddresses()
{
    release();
}

QString FleetAddresses::reservationsPath() const
{
    return QFileInfo(m_journal).absolutePath() + QStringLiteral("/addresses.csv");
}

FleetAddresses::Choice FleetAddresses::reserve(const QString &profile, int from, const QSet<int> &tableRows)
{
    release();
    Choice out;
    out.error = QStringLiteral("журнал записи занят другой программой");
    QDir().mkpath(QFileInfo(m_journal).absolutePath());
    journal::underLock(m_journal, [&] {
        QSet<int> taken = tableRows;
        forEachWrite(m_journal, profile, [&](int address, const QDateTime &) { taken << address; });
        QList<Reservation> kept;
        for (const Reservation &r : readReservations(reservationsPath())) {
            if (valid(r)) {
                kept << r;
                taken << r.address;
            }
        }
        out.error.clear();
        for (int a = qMax(from, 1); a <= kLast; ++a) {
            if (!taken.contains(a)) {
                out.address = a;
                break;
            }
        }
        if (out.address == 0)
            return;
        kept << Reservation{out.address, QCoreApplication::applicationPid(), QSysInfo::machineHostName(),
                            QDateTime::currentDateTime()};
        out.error = writeReservations(reservationsPath(), kept);
        if (out.error.isEmpty())
            m_reserved = out.address;
        else
            out.address = 0;
    });
    return out;
}

void FleetAddresses::release()
{
    if (m_reserved == 0)
        return;
    const int address = m_reserved;
    m_reserved = 0;
    // Should the lock not be had, the reservation is void once this process has ended.
    journal::underLock(m_journal, [&] {
        QList<Reservation> list = readReservations(reservationsPath());
        const int before = list.size();
        list.erase(std::remove_if(list.begin(), list.end(), [&](const Reservation &r) { return mine(r, address); }),
                   list.end());
        if (list.size() != before)
            writeReservations(reservationsPath(), list);
    });
}

QDateTime FleetAddresses::lastWritten(const QString &journalPath, const QString &profile, int address)
{
    QDateTime last;
    forEachWrite(journalPath, profile, [&](int a, const QDateTime &time) {
        if (a == address && (!last.isValid() || time > last))
            last = time;
    });
    return last;
}
