// The main window's own reply handling: every batch goes through MainWindow::interpret, the
// routine behind readyRead, with the window in the state the first input bytes choose, then
// the sequencer's check tick decides (settleReply). No byte sequence that is not exactly a
// record is ever applied.
//
// Input: byte 0 the awaited reply (a SendType value, modulo the table below), byte 1 the
// device type (bits 0-1, modulo 3) and bit 7 set for a transmitter number past the end of a
// poll, byte 2 the firmware version (from a table around 220 and 295), byte 3 how the rest is
// cut into batches (see cutIntoBatches), byte 4 the transmitter number being polled; the rest
// is what the controller sends.
//
// One window serves every input, as one window serves every reply of a session; only the state
// the selector bytes set is reset between inputs.

#include "batches.h"
#include "probe.h"
#include "protocol.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

using P = MainWindowProbe;

namespace {

const SendType::SendType kKinds[] = {
    SendType::none,        SendType::readVersion,   SendType::saveSetting, SendType::readSetting,
    SendType::comandRegim, SendType::readCHA,       SendType::dataRegim,   SendType::readPower,
    SendType::saveSimParam, SendType::getLevel,
    SendType::resiverInfo, SendType::readLevel,     SendType::saveMassive, SendType::readMassive,
    SendType::saveMassiveResiver};
const quint16 kVersions[] = {0, 1, 100, 200, 219, 220, 221, 222,
                             294, 295, 296, 297, 342, 999, 1000, 65535};
constexpr int kHeader = 5;

MainWindow *window = nullptr;

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A working folder of its own, where "log.txt" is a folder: the window then logs nothing,
    // so millions of runs do not fill the disk with the exchange log.
    static QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("log.txt"));
    QDir::setCurrent(dir.path());

    static int argc = 1;
    static char name[] = "fuzz_window";
    static char *argv[] = {name, nullptr};
    // Never destroyed: the window lives as long as the process, as in the program.
    new QApplication(argc, argv);
    qInstallMessageHandler(quiet);   // the window's diagnostic lines would slow every run

    window = new MainWindow;
    // The sequencer stays idle: no tick may send a request behind the fuzzer's back.
    P::timer(*window)->stop();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput in(data, size);
    if (!in.has(kHeader))
        return 0;
    MainWindow &w = *window;
    const SendType::SendType kind = kKinds[in.at(0) % (sizeof kKinds / sizeof kKinds[0])];
    const quint8 deviceType = (in.at(1) & 3) % 3;
    const quint16 version = kVersions[in.at(2) % 16];
    const quint16 index = quint16(in.at(4) | ((in.at(1) & 0x80) ? 0x100 : 0));
    const QVector<QByteArray> batches = cutIntoBatches(in.payload(kHeader), in.at(3));

    // A new request: forgets the bytes received for the last one and awaits this kind.
    P::send(w, QByteArray(), kind);
    P::deviceType(w) = deviceType;
    P::numVersion(w) = version;
    P::resiverInfoIndex(w) = index;
    P::answerReceived(w) = false;
    FUZZ_CHECK(P::expectedReply(w) == kind);

    QByteArray reply;
    const proto::DeviceConfig recordBefore = P::settingsRecord(w);
    const proto::AddressTable tableBefore = P::baMassive(w);
    const QByteArray dataBefore = index <= 255 ? P::resiverInfoData(w)[index] : QByteArray();
    // An identity renews the record and the table (a device of another type shows its start-up
    // values), so later batches find them renewed.
    bool identified = false;
    for (const QByteArray &batch : batches) {
        reply += batch;
        const bool identifiedNow = P::interpret(w, batch);   // records wait for the check tick
        identified = identified || identifiedNow;
        FUZZ_CHECK(P::deviceType(w) <= 2);
        // A register answer sets that one radio value of the read; nothing else of it moves.
        proto::DeviceConfig unmoved = P::settingsRecord(w);
        if (kind == SendType::readCHA)
            unmoved.radio().subnet = recordBefore.radio().subnet;
        if (kind == SendType::readPower)
            unmoved.radio().power = recordBefore.radio().power;
        FUZZ_CHECK(identified || unmoved == recordBefore);
        FUZZ_CHECK(identified || P::baMassive(w) == tableBefore);
        if (identifiedNow) {
            FUZZ_CHECK(kind == SendType::readVersion);
            P::updatePanels(w);
        }
    }

    // The check tick: a record is taken only when every byte since the request is exactly it.
    const int exact = proto::recordReplySize(kind, deviceType, version);
    P::settleReply(w);
    const bool taken = exact > 0 && reply.size() == exact && !(kind == SendType::resiverInfo && index > 255);
    FUZZ_CHECK(P::answerReceived(w) == taken || exact < 0);
    if (kind == SendType::readSetting) {
        proto::DeviceConfig expected = recordBefore;
        expected.deviceType = deviceType;
        expected.version = version;
        expected.takeSettingsReply(reply);
        FUZZ_CHECK(P::settingsRecord(w) == (taken ? expected : recordBefore));
    }
    if (kind == SendType::readMassive && deviceType != 1)
        FUZZ_CHECK(taken ? P::baMassive(w).pack() == reply : P::baMassive(w) == tableBefore);
    if (kind == SendType::resiverInfo && index <= 255)
        FUZZ_CHECK(P::resiverInfoData(w)[index] == (taken ? reply : dataBefore));

    // Let the posted layout and status-bar events through now and then, as the event loop would.
    static unsigned runs = 0;
    if (++runs % 256 == 0)
        QCoreApplication::processEvents();
    return 0;
}
