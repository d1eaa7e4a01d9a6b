#include "notelabel.h"
#include "portbox.h"

#include <QtTest>

namespace {

QVector<PortEntry> ports(const QStringList &names)
{
    QVector<PortEntry> list;
    for (const QString &name : names) {
        PortEntry p;
        p.name = name;
        p.location = QStringLiteral("/dev/") + name;
        p.description = QStringLiteral("адаптер ") + name;
        list << p;
    }
    return list;
}

} // namespace

class TstPortBox : public QObject
{
    Q_OBJECT

private slots:
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
        QTest::newRow("chosen by location") << QStringList{"ttyUSB0"} << "/dev/ttyUSB0" << QStringList{"ttyUSB0"}
                                            << "ttyUSB0" << "/dev/ttyUSB0";
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
};

QTEST_MAIN(TstPortBox)
#include "tst_portbox.moc"
