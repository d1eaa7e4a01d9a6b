// Profiles through the value type and the file, and the journal's line: round trips per device
// type and firmware range, what a profile leaves to the device, and every refusal.

#include "fleetaddresses.h"
#include "history.h"
#include "journal.h"
#include "profile.h"
#include "safefile.h"
#include "writereport.h"

#include <QtTest>

#include <functional>
#include <memory>
#include <thread>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace proto;
using Change = std::function<void(DeviceConfig &)>;
Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(DeviceConfig)
using Steps = std::function<void(WriteReport &)>;
Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(WriteReport::End)

namespace {

// A device as read, or with every field away from its default within what the firmware has.
DeviceConfig device(quint8 type, quint16 version, bool edited = false)
{
    DeviceConfig c;
    c.deviceType = type;
    c.version = version;
    RadioSettings &r = c.radio();
    TransmitterSettings &t = c.transmitter;
    ReceiverSettings &s = c.receiver;
    r.channel = 3; r.subnet = 5; r.rs485Speed = 2; r.radioSpeed = 1; r.power = 7; t.deviceAdr = 99; t.dutAdr = 7;
    if (!edited)
        return c;
    r.channel = 4; r.subnet = 11; r.regim = 1; r.rs485Speed = 3; r.radioSpeed = 2; r.power = 5;
    t.deviceAdr = 42; t.dutAdr = 11; t.timeFd1 = 30; t.timeFd2 = 31; t.timeAd1 = 1; t.timeAd2 = 60;
    s.period = 4; s.fq1Mode = 1; s.mask0 = 0x81; s.mask1 = 0x42; s.fq1 = 6; s.fq2 = 15; s.an1 = 8; s.an2 = 9;
    if (hasRangeByte(version))
        t.range4096 = s.range4096 = false;
    if (hasWideAddresses(version)) {
        s.fq2 = 200;
        c.addressTable = proto::AddressTable::parse(QByteArray::fromHex("015014015115000000000000000000000000015216010200"));
        c.receiverMap = QByteArray::fromHex("0300000000000000000000000000000000000000000000000000000080c0");
    }
    return c;
}

// A profile file around the given members.
QByteArray doc(const char *device, const char *members)
{
    return QByteArray(R"({"format": "talver-profile", "version": 1, "device": ")") + device + "\", " + members + "}";
}

} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("version");
        for (const int type : {int(Transmitter), int(Receiver)})
            for (const int version : {200, 221, 296})
                QTest::addRow("%s %d", type == Transmitter ? "transmitter" : "receiver", version) << type << version;
    }

    // What the panels hold goes through the file and comes back whole over a device of the same
    // firmware, and a profile read back writes the same text.
    void roundTrip()
    {
        QFETCH(int, type);
        QFETCH(int, version);
        const DeviceConfig c = device(quint8(type), quint16(version), true);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("p.json"));
        QCOMPARE(profile::writeFile(file, profile::Profile::fromConfig(c, QStringLiteral("объект «Север»; ряд 2"))), QString());

        profile::Profile p;
        QCOMPARE(profile::readFile(file, p), QString());
        QCOMPARE(p.comment, QStringLiteral("объект «Север»; ряд 2"));
        const profile::Applied a = profile::apply(p, device(quint8(type), quint16(version)), false);
        QCOMPARE(a.refusal + a.leftOut.join(','), QString());
        QCOMPARE(a.config.settingsFrame().toHex(), c.settingsFrame().toHex());
        QCOMPARE(a.config.tableFrame().toHex(), c.tableFrame().toHex());
        QCOMPARE(a.config.radio().power, c.radio().power);
    }

    // A profile over a device that keeps its address: what it changes, what it leaves out for
    // the firmware, or a part of the refusal that says where or why.
    void load_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<DeviceConfig>("base");
        QTest::addColumn<QString>("said");     // the refusal's part, or the fields left out
        QTest::addColumn<Change>("change");    // what the profile changes in the base
        const DeviceConfig tx = device(Transmitter, 296);
        const Change none = [](DeviceConfig &) {};
        QTest::newRow("lacking fields keep the device's") << doc("transmitter", R"("radio": {"channel": 8}, "extra": 1)") << tx
            << "" << Change([](DeviceConfig &c) { c.transmitter.channel = 8; });
        QTest::newRow("device keeps its address")
            << doc("transmitter", R"("settings": {"address": 42, "dutAddress": 11, "timeFd1": 30})") << tx << ""
            << Change([](DeviceConfig &c) { c.transmitter.timeFd1 = 30; });
        QTest::newRow("range left out at 295") << doc("transmitter", R"("settings": {"dutRange": "65536"})")
                                               << device(Transmitter, 295) << "Диапазон значений ДУТ" << none;
        QTest::newRow("not JSON") << QByteArray("{\n \"format\": \"talver-profile\",\n \"version\": 1,,\n}") << tx
                                  << "строка 3, столбец 16" << none;
        QTest::newRow("not JSON after Cyrillic") << QByteArray("{\"comment\": \"ряд\",,}") << tx << "строка 1, столбец 20" << none;
        QTest::newRow("newer version") << QByteArray(R"({"format": "talver-profile", "version": 2, "device": "transmitter"})")
                                       << tx << "версия формата 2 новее" << none;
        QTest::newRow("channel beyond the speed's plan") << doc("transmitter", R"("radio": {"speed": "38400"})") << tx
                                                         << "Канал связи: 3 — не больше 2 при скорости 38400" << none;
        QTest::newRow("output the firmware cannot address") << doc("receiver", R"("settings": {"outputAd2Address": 16})")
                                                            << device(Receiver, 220) << "Выход 2 А/Д, адрес: 16 — не больше 15 у версии 220" << none;
    }
    void load()
    {
        QFETCH(QByteArray, json);
        QFETCH(DeviceConfig, base);
        QFETCH(QString, said);
        QFETCH(Change, change);
        profile::Profile p;
        QString error;
        profile::Applied a;
        if (profile::read(json, p, error))
            a = profile::apply(p, base, true);
        const QString shown = error + a.refusal + a.leftOut.join(',');
        QVERIFY2(shown.contains(said) && shown.isEmpty() == said.isEmpty(), qPrintable(shown));
        if (!error.isEmpty() || !a.refusal.isEmpty())
            return;
        change(base);
        QCOMPARE(a.config.settingsFrame().toHex(), base.settingsFrame().toHex());
        QCOMPARE(a.config.tableFrame().toHex(), base.tableFrame().toHex());
    }

    void storage_data()
    {
        QTest::addColumn<int>("limit");   // bytes a file may grow to
        QTest::addColumn<char>("what");   // a profile is saved, a table, or a journal line appended
        QTest::newRow("profile, disk full") << 0 << 'p';
        QTest::newRow("profile, room for 100 bytes") << 100 << 'p';
        QTest::newRow("table, room for a page") << 4096 << 't';
        QTest::newRow("journal, room for a few bytes: no half line") << 820 << 'j';
    }
    // A save that cannot finish (a full disk: a child whose files may grow to `limit` bytes,
    // SIGXFSZ ignored) says so and leaves the old file exactly as it was.
    void storage()
    {
        QFETCH(int, limit);
        QFETCH(char, what);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("p"));
        QVERIFY(safefile::save(file, QByteArray(808, 'o')).isEmpty());
        const pid_t pid = fork();
        if (pid == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit r{rlim_t(limit), rlim_t(limit)};
            setrlimit(RLIMIT_FSIZE, &r);
            _exit((what == 'j' ? journal::append(file, journal::Entry())
                   : what == 't' ? safefile::save(file, QByteArray(10000, 't'))
                                 : profile::writeFile(file, profile::Profile::fromConfig(device(Receiver, 296), {}))).isEmpty());
        }
        int status = 0;
        QFile f(file);
        QVERIFY(waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray(808, 'o'));
    }

    // How a write ended, as the status line and the journal give it, where the sequencer's own
    // end alone would say otherwise.
    void writeResult_data()
    {
        using A = ActionType;
        using E = WriteReport::End;
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<WriteReport::End>("end");
        QTest::addColumn<QString>("said");   // the word; the details
        const auto frames = [](WriteReport &r) {
            for (const A a : {A::saveSimParam, A::saveSimParam0, A::saveMassive, A::saveSetting})
                r.sent(a);
        };
        QTest::newRow("No in the second pass: the first pass's differences stand")
            << Steps([frames](WriteReport &r) { frames(r); r.again(E::Differs); r.failed("ATS220=0: ERROR"); }) << E::Declined
            << "расхождения; ATS220=0: ERROR";
        QTest::newRow("No before the table: the register taken is named")
            << Steps([](WriteReport &r) { r.sent(A::saveSimParam0); r.accepted(A::saveSimParam0); r.failed("ATS250=5: нет ответа"); })
            << E::Declined << "отменено; ATS250=5: нет ответа; в радиомодуль записаны: S220";
        QTest::newRow("passed over, then written in the second pass")
            << Steps([](WriteReport &r) { r.passedOver(A::saveSimParam2); r.again(E::Differs); }) << E::Agrees << "проверено; ";
        QTest::newRow("passed over: the read-back agrees")
            << Steps([](WriteReport &r) { r.passedOver(A::saveSimParam2); }) << E::Agrees << "пропуски; ";
        QTest::newRow("lost after the table") << Steps([frames](WriteReport &r) { frames(r); }) << E::Lost
            << "связь потеряна; отправлено до обрыва: +++, S220, таблица адресов, настройки контроллера";
    }
    void writeResult()
    {
        QFETCH(Steps, steps);
        QFETCH(WriteReport::End, end);
        QFETCH(QString, said);
        WriteReport r;
        r.start(Transmitter);
        steps(r);
        const QString word = resultWord(r.finish(end));
        QCOMPARE(word + "; " + r.details(), said);
    }

    // The pair of files before a write: named after the port's base name made safe, never over
    // another pair.
    void historyPair()
    {
        QTemporaryDir dir;
        const QString base = history::baseName(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 1)), QStringLiteral("/dev/tty USB:0"),
                                                device(Receiver, 221, true));
        QCOMPARE(base, QStringLiteral("2026-12-07_090501_tty_USB_0_receiver-221_42"));
        QString error;
        QCOMPARE(history::save(dir.path(), base, device(Receiver, 221), device(Receiver, 221, true), error),
                 dir.filePath(base + "_before.json"));
        QCOMPARE(history::save(dir.path(), base, device(Receiver, 221, true), device(Receiver, 221), error),
                 dir.filePath(base + "-2_before.json"));
        profile::Profile first;
        QCOMPARE(profile::readFile(dir.filePath(base + "_written.json"), first), QString());
        QCOMPARE(first.values.settingsFrame().toHex(), device(Receiver, 221, true).settingsFrame().toHex());
        QCOMPARE(first.comment + error, QStringLiteral("записано"));
    }

    void journalLine()
    {
        const journal::Entry e{QDateTime(QDate(2026, 12, 7), QTime(10, 15, 3)), QStringLiteral("/dev/ttyUSB0"), Transmitter,
                               296, 42, QStringLiteral("/home/т/site;1 \"new\".json"), steps::WriteResult::Differs, {}, {}, {}, {}};
        QCOMPARE(QString::fromUtf8(journal::line(e)),
                 QStringLiteral("2026-12-07 10:15:03;/dev/ttyUSB0;Передатчик;296;42;\"/home/т/site;1 \"\"new\"\".json\";расхождения;—;—;—;—\r\n"));
    }

    // The journal read back: the writer's own lines, the first journals' seven columns, and
    // broken lines kept as they are without taking the next ones along. Each line comes back as
    // its cells joined by "|", or "!" and the raw text when it does not parse.
    void journalRead_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("lines");
        journal::Entry e{QDateTime(QDate(2026, 12, 7), QTime(10, 15, 3)), QStringLiteral("/dev/ttyUSB0"), Receiver, 221, 42,
                         QStringLiteral("a;\"b\".json"), steps::WriteResult::Lost, {}, {}, QStringLiteral("S220\r\nнет"), {}};
        QTest::newRow("own lines") << "\xEF\xBB\xBF" + journal::header() + journal::line(e) + journal::line({})
            << QStringList{"2026-12-07 10:15:03|/dev/ttyUSB0|Приемник|221|42|a;\"b\".json|связь потеряна|—|—|S220\r\nнет|—",
                           "||—|0|0|—|проверено|—|—|—|—"};
        QTest::newRow("seven columns, a broken line, a half line")
            << QByteArray("Время;Порт;Устройство;Версия;Адрес;Профиль;Результат\r\n1;2;3;4;5;6;7\r\n"
                          "1;\"2;3\r\n1;2;\"x\"y;4;5;6;7\r\n\r\n1;2;3;4;5;6;\"7\"\"\"\r\n1;2;3")
            << QStringList{"1|2|3|4|5|6|7", "!1;\"2;3", "!1;2;\"x\"y;4;5;6;7", "1|2|3|4|5|6|7\"", "!1;2;3"};
    }
    void journalRead()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, lines);
        QStringList got;
        for (const journal::Line &l : journal::parse(file))
            got << (l.parsed ? l.cells.join('|') : '!' + l.raw);
        QCOMPARE(got, lines);
        QCOMPARE(journal::columns().size(), 11);
    }

    // The next free address: the journal's lines of the same profile whose write reached a
    // device, live reservations (this host's by their process, others' for a day) and the
    // table's rows are taken; clients choosing at once in threads never share one, and all is
    // free again once they are gone. "$pid", "$host", "$now" stand for this process, host, time.
    void nextFree_data()
    {
        QTest::addColumn<QStringList>("journalLines");   // address;profile;result
        QTest::addColumn<QStringList>("reservations");
        QTest::addColumn<int>("from");
        QTest::addColumn<QList<int>>("table");
        QTest::addColumn<QList<int>>("chosen");   // by the clients, in order; 0 for none left
        QTest::newRow("fresh") << QStringList() << QStringList() << 40 << QList<int>() << QList<int>{40, 41, 42};
        QTest::newRow("journal") << QStringList{"40;/s/a.json;проверено", "41;/s/a.json (изменён);расхождения",
                                                "42;/s/b.json;проверено", "43;/s/a.json;отменено", "44;/s/a.json;связь потеряна"}
                                 << QStringList() << 40 << QList<int>() << QList<int>{42, 43, 45};
        QTest::newRow("reservations") << QStringList() << QStringList{"46;$pid;$host;$now", "47;99999999;$host;$now",
                                                                      "48;1;other;$now", "49;1;other;2020-01-01T00:00:00", "x"}
                                      << 46 << QList<int>() << QList<int>{47, 49, 50};
        QTest::newRow("table, none left") << QStringList() << QStringList() << 251 << QList<int>{252} << QList<int>{0, 251, 253};
    }
    void nextFree()
    {
        QFETCH(QStringList, journalLines);
        QFETCH(QStringList, reservations);
        QFETCH(int, from);
        QFETCH(QList<int>, table);
        QFETCH(QList<int>, chosen);
        const QSet<int> rows(table.begin(), table.end());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("journal.csv"));
        QByteArray text = journal::header();
        for (const QString &l : journalLines)   // the journal's first seven columns, as older files have them
            text += QStringLiteral("2026-12-07 10:21:00;p;Передатчик;296;%1\r\n").arg(l).toUtf8();
        QFile journalFile(path);
        QVERIFY(journalFile.open(QIODevice::WriteOnly) && journalFile.write(text) == text.size());
        journalFile.close();
        const QString reserved = reservations.join(QStringLiteral("\r\n"))
                                     .replace(QStringLiteral("$pid"), QString::number(QCoreApplication::applicationPid()))
                                     .replace(QStringLiteral("$host"), QSysInfo::machineHostName())
                                     .replace(QStringLiteral("$now"), QDateTime::currentDateTime().toString(Qt::ISODate));
        QCOMPARE(safefile::save(dir.filePath(QStringLiteral("addresses.csv")), reserved.toUtf8()), QString());
        {
            std::vector<std::unique_ptr<FleetAddresses>> clients;
            std::vector<std::thread> threads;
            QList<int> got;
            QMutex gotLock;
            for (int i = 0; i < chosen.size(); ++i) {
                clients.emplace_back(new FleetAddresses(path));
                threads.emplace_back([&, c = clients.back().get()] {
                    const FleetAddresses::Choice choice = c->reserve(QStringLiteral("/s/a.json"), from, rows);
                    const QMutexLocker locker(&gotLock);
                    got << (choice.error.isEmpty() ? choice.address : -1);
                });
            }
            for (std::thread &t : threads)
                t.join();
            std::sort(got.begin(), got.end());
            QCOMPARE(got, chosen);
        }
        QCOMPARE(FleetAddresses(path).reserve(QStringLiteral("/s/a.json"), from, rows).address, chosen.at(chosen.first() == 0));
        QCOMPARE(FleetAddresses::lastWritten(path, QStringLiteral("/s/a.json"), 44).toString("dd.MM HH:mm"),
                 journalLines.isEmpty() ? QString() : QStringLiteral("07.12 10:21"));
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
