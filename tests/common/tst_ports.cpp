#include "appstart.h"
#include "notelabel.h"
#include "portbox.h"
#include "porterror.h"
#include "portlist.h"
#include "portwatcher.h"
#include "ptypair.h"

#include <QtTest>

// Ports written as "name=location[by-id link]", made from their names (in /dev).
static QString text(const QVector<PortEntry> &ports)
{
    QStringList out;
    for (const PortEntry &p : ports)
        out << p.name + '=' + p.location + (p.byId.isEmpty() ? QString() : '[' + p.byId + ']');
    return out.join(' ');
}
static QVector<PortEntry> ports(const QStringList &names)
{
    QVector<PortEntry> list;
    for (const QString &e : names)
        list.append({e, "/dev/" + e, "адаптер " + e, {}, {}, {}});
    return list;
}

class TstPorts : public QObject
{
    Q_OBJECT

private slots:
    // Links name their adapters; of two links to one device, the first by name.
    void merge()
    {
        const QHash<QString, QString> links{{"/id/B", "/dev/ttyUSB1"}, {"/id/A", "/dev/ttyUSB0"},
                                            {"/id/z", "/dev/ttyUSB2"}, {"/id/m", "/dev/ttyUSB2"}};
        QCOMPARE(text(mergePorts(ports({"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyS0"}), links)),
                 "ttyUSB0=/dev/ttyUSB0[/id/A] ttyUSB1=/dev/ttyUSB1[/id/B] ttyUSB2=/dev/ttyUSB2[/id/m] ttyS0=/dev/ttyS0");
    }

    void errorText_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("expected");
        using P = QSerialPort;
        QTest::newRow("no rights") << int(P::PermissionError) << "Permission denied"
                                   << "нет прав на порт: добавьте пользователя в группу dialout "
                                      "(sudo usermod -aG dialout $USER) и войдите в систему заново (Permission denied)";
        QTest::newRow("read, Qt's placeholder") << int(P::ReadError) << "Unknown error"
                                                << "ошибка чтения из порта, устройство отключено?";
    }
    void errorText()
    {
        QFETCH(int, error);
        QFETCH(QString, system);
        QTEST(portErrorReason(QSerialPort::SerialPortError(error), system), "expected");
    }

    // A typed path stays across a new listing.
    void relist()
    {
        PortBox box;
        box.setPorts(ports({"ttyS0"}));
        box.select(QStringLiteral("/dev/pts/7"));
        box.setPorts(ports({"ttyS0", "ttyUSB0"}));
        QCOMPARE(box.currentText() + ' ' + box.location(), QStringLiteral("/dev/pts/7 /dev/pts/7"));
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
        QVERIFY(note.fontMetrics().horizontalAdvance(note.text()) <= 120);
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
        sim::PtyPair pty;
        QTemporaryDir byId;
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
