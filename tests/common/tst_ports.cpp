#include "appstart.h"
#include "notelabel.h"
#include "portbox.h"
#include "porterror.h"
#include "portlist.h"
#include "portwatcher.h"
#include "ptypair.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Ports written as "name=location[by-id link]", and read from "name=location" or "name" (in /dev).
static QString text(const QVector<PortEntry> &ports)
{
    QStringList out;
    for (const PortEntry &p : ports)
        out << p.name + '=' + p.location + (p.byId.isEmpty() ? QString() : '[' + p.byId + ']');
    return out.join(' ');
}
static QVector<PortEntry> ports(const QStringList &entries)
{
    QVector<PortEntry> list;
    for (const QString &e : entries)
        list.append({e.section('=', 0, 0), e.contains('=') ? e.section('=', 1) : "/dev/" + e, "адаптер " + e, {}, {}, {}});
    return list;
}

class TstPorts : public QObject
{
    Q_OBJECT

private slots:
    void merge_data()
    {
        QTest::addColumn<QStringList>("reported");   // "name=location"
        QTest::addColumn<QStringList>("links");      // "link>device"
        QTest::addColumn<QString>("expected");
        QTest::newRow("no links") << QStringList{"ttyS0=/dev/ttyS0"} << QStringList() << "ttyS0=/dev/ttyS0";
        QTest::newRow("links name their adapters") << QStringList{"ttyUSB0=/dev/ttyUSB0", "ttyUSB1=/dev/ttyUSB1"}
            << QStringList{"/id/B>/dev/ttyUSB1", "/id/A>/dev/ttyUSB0"} << "ttyUSB0=/dev/ttyUSB0[/id/A] ttyUSB1=/dev/ttyUSB1[/id/B]";
        QTest::newRow("two links: the first by name") << QStringList{"ttyUSB0=/dev/ttyUSB0"}
            << QStringList{"/id/z>/dev/ttyUSB0", "/id/m>/dev/ttyUSB0"} << "ttyUSB0=/dev/ttyUSB0[/id/m]";
    }
    void merge()
    {
        QFETCH(QStringList, reported);
        QFETCH(QStringList, links);
        QHash<QString, QString> linkMap;
        for (const QString &l : links)
            linkMap.insert(l.section('>', 0, 0), l.section('>', 1));
        QTEST(text(mergePorts(ports(reported), linkMap)), "expected");
    }

    void toolTip()
    {
        const PortEntry p{"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "", "A1", "/dev/serial/by-id/usb-FTDI_A1"};
        QCOMPARE(portToolTip(p), QStringLiteral("Описание: FT232R USB UART\nСерийный номер: A1\n"
                                                "Постоянное имя: /dev/serial/by-id/usb-FTDI_A1\nУстройство: /dev/ttyUSB0"));
    }

    void errorText_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("expected");
        using P = QSerialPort;
        QTest::newRow("not found") << int(P::DeviceNotFoundError) << "No such file or directory"
                                   << "порт не найден (No such file or directory)";
        QTest::newRow("locked") << int(P::PermissionError) << "Permission error while locking the device"
                                << "порт занят другой программой (Permission error while locking the device)";
        QTest::newRow("no rights") << int(P::PermissionError) << "Permission denied"
                                   << "нет прав на порт: добавьте пользователя в группу dialout "
                                      "(sudo usermod -aG dialout $USER) и войдите в систему заново (Permission denied)";
        QTest::newRow("not a tty") << int(P::UnsupportedOperationError) << "Inappropriate ioctl for device"
            << "это устройство не последовательный порт или не принимает его настройки (Inappropriate ioctl for device)";
        QTest::newRow("pulled") << int(P::ResourceError) << "Input/output error"
                                << "устройство отключено или больше не отвечает (Input/output error)";
        QTest::newRow("read, Qt's placeholder") << int(P::ReadError) << "Unknown error"
                                                << "ошибка чтения из порта, устройство отключено?";
        QTest::newRow("write") << int(P::WriteError) << "" << "ошибка записи в порт";
        QTest::newRow("unknown") << int(P::UnknownError) << "Is a directory" << "неизвестная ошибка (Is a directory)";
    }
    void errorText()
    {
        QFETCH(int, error);
        QFETCH(QString, system);
        QTEST(portErrorReason(QSerialPort::SerialPortError(error), system), "expected");
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");   // -1: the program goes on
        QTest::addColumn<QString>("result");   // the port chosen, or the start of the message
        QTest::newRow("port") << QStringList{"--port", "/dev/pts/3"} << -1 << "/dev/pts/3";
        QTest::newRow("Qt's options") << QStringList{"-platform", "offscreen", "-style=fusion", "-reverse", "--port=ttyS0"}
                                      << -1 << "ttyS0";
        QTest::newRow("help") << QStringList{"-h"} << 0 << "Использование: prog [параметры]";
        QTest::newRow("unknown") << QStringList{"--bogus"} << 1 << "prog: неизвестный параметр «--bogus».\nСправка: prog --help\n";
        QTest::newRow("no value") << QStringList{"--port"} << 1 << "prog: не указано значение параметра «--port».";
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, result);
        CommandLine cl(QStringLiteral("prog"), QStringLiteral("1.0"), QStringLiteral("Проверка."));
        const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Порт."), QStringLiteral("ИМЯ"));
        cl.addOption(port);
        const bool goOn = cl.read(QStringList{QStringLiteral("prog")} + args);
        QCOMPARE(goOn ? -1 : cl.exitCode(), exitCode);
        QVERIFY2((goOn ? cl.value(port) : cl.message()).startsWith(result), qPrintable(cl.message()));
    }

    // What the box shows across a new listing: a choice and a typed path stay.
    void relist_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("shown");    // chosen or typed before the listing
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("location");
        QTest::newRow("first adapter comes") << QStringList() << "" << QStringList{"ttyUSB0"} << "ttyUSB0" << "/dev/ttyUSB0";
        QTest::newRow("choice kept") << QStringList{"ttyS0", "ttyUSB0"} << "ttyUSB0"
                                     << QStringList{"ttyACM0", "ttyS0", "ttyUSB0"} << "ttyUSB0" << "/dev/ttyUSB0";
        QTest::newRow("typed path kept") << QStringList{"ttyS0"} << "/dev/pts/7" << QStringList{"ttyS0", "ttyUSB0"}
                                         << "/dev/pts/7" << "/dev/pts/7";
        QTest::newRow("open port gone") << QStringList{"ttyUSB0"} << "ttyUSB0" << QStringList() << "ttyUSB0" << "ttyUSB0";
    }
    void relist()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, shown);
        QFETCH(QStringList, after);
        QFETCH(QString, expected);
        QFETCH(QString, location);
        PortBox box;
        box.setPorts(ports(before));
        box.select(shown);
        box.setPorts(ports(after));
        QCOMPARE(box.count(), after.size());
        QCOMPARE(box.currentText(), expected);
        QCOMPARE(box.location(), location);
        QCOMPARE(box.toolTip().contains(QStringLiteral("адаптер")), box.findText(expected) >= 0);
    }

    void noteNeverWidens()
    {
        NoteLabel note;
        const QString text = QStringLiteral("Не удалось открыть порт /dev/ttyUSB0: нет прав на порт").repeated(3);
        note.setNote(text);
        note.resize(120, 20);
        note.show();
        QCOMPARE(note.minimumSizeHint().width(), 0);
        QCOMPARE(note.toolTip(), text);
        QVERIFY(note.text().endsWith(QChar(0x2026)));
        QVERIFY(note.fontMetrics().horizontalAdvance(note.text()) <= 120);
        note.clearNote();
        QVERIFY(note.text().isEmpty() && note.toolTip().isEmpty());
    }

    // Qt's own texts ("Да" and "Нет" on the message boxes' buttons) come from qtbase_ru.
    void qtTranslation()
    {
        QVERIFY(installQtTranslation(QCoreApplication::instance()));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Да"));
    }

    // A link to a pseudo-terminal made in a watched folder, then removed.
    void watcherFollowsLinks()
    {
        PtyPair pty;
        QTemporaryDir byId;
        QVERIFY(pty.isValid() && byId.isValid());
        PortWatcher watcher(nullptr, byId.path(), byId.path());
        watcher.start();
        const QString link = byId.filePath(QStringLiteral("usb-Test_Adapter_1-if00"));
        QVERIFY(QFile::link(pty.slavePath(), link));
        QTRY_VERIFY_WITH_TIMEOUT(text(watcher.ports()).contains(pty.slavePath() + '[' + link + ']'), 5000);
        QVERIFY(QFile::remove(link));
        QTRY_VERIFY_WITH_TIMEOUT(!text(watcher.ports()).contains(pty.slavePath()), 5000);
    }
};

QTEST_MAIN(TstPorts)
#include "tst_ports.moc"
