// The profile reader: whatever a file holds, it is refused with a message or read into a profile
// that writes a file reading back to the same text; laid over a device, a profile is refused or
// leaves values the device can take, and a transmitter that keeps its address keeps it.
//
// Input: byte 0 the device the profile is laid over (bit 0 receiver, bits 1-4 the firmware from
// the table below); the rest is the file.

#include "batches.h"
#include "profile.h"

namespace {

const quint16 kVersions[] = {0, 100, 200, 220, 221, 222, 295, 296, 297, 342, 999, 65535, 0, 220, 295, 296};
constexpr int kHeader = 1;

} // namespace

// Qt is built without frame pointers, so the quick unwinder stops at its first frame: unwind
// fully at every allocation, or the suppression of the JSON parser's own leak (scripts/lsan.supp)
// cannot see the parser's name in the stack.
extern "C" const char *__asan_default_options() { return "fast_unwind_on_malloc=0"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput in(data, size);
    if (!in.has(kHeader))
        return 0;
    profile::Profile p;
    QString error;
    if (!profile::read(in.payload(kHeader), p, error)) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    const QByteArray written = p.toJson();
    profile::Profile again;
    FUZZ_CHECK(profile::read(written, again, error));
    FUZZ_CHECK(again.toJson() == written);
    FUZZ_CHECK(again.fields == p.fields);

    proto::DeviceConfig device;
    device.deviceType = (in.at(0) & 1) ? proto::Receiver : proto::Transmitter;
    device.version = kVersions[(in.at(0) >> 1) & 15];
    device.transmitter.deviceAdr = 99;
    device.transmitter.dutAdr = 7;
    for (const bool keep : {false, true}) {
        const profile::Applied a = profile::apply(p, device, keep);
        FUZZ_CHECK((p.deviceType != device.deviceType) <= !a.refusal.isEmpty());
        if (!a.refusal.isEmpty())
            continue;
        FUZZ_CHECK(a.config.deviceType == device.deviceType && a.config.version == device.version);
        FUZZ_CHECK(a.config.valuesOutOfRange().isEmpty());
        FUZZ_CHECK(a.config.receiverMap.size() == proto::kReceiverMapSize);
        if (keep && !device.isReceiver())
            FUZZ_CHECK(a.config.transmitter.deviceAdr == 99 && a.config.transmitter.dutAdr == 7);
        if (proto::hasRangeByte(device.version))
            FUZZ_CHECK(a.leftOut.isEmpty());
    }
    return 0;
}
