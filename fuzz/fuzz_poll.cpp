// The poll responder's request assembly and CRC-8: whatever comes down the line, every good
// request gets the 9-byte reply with a valid CRC, and how the bytes are cut into batches does
// not change what is answered.
//
// Input: byte 0 how the rest is cut into batches (see cutIntoBatches); the rest is the line.

#include "batches.h"
#include "pollprotocol.h"

namespace {

constexpr int kHeader = 1;

// The textbook bitwise form of the same CRC (reflected polynomial 0x8C, initial 0, no final
// XOR), to hold the table-free form against.
quint8 referenceCrc8(const QByteArray &data)
{
    quint8 crc = 0;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint8((crc >> 1) ^ 0x8C) : quint8(crc >> 1);
    }
    return crc;
}

struct Assembly
{
    QByteArray frameBuffer;
    quint8 bytesToCome = 0;
    QVector<PollOutcome> outcomes;

    void feed(const QByteArray &bytes)
    {
        outcomes += assemblePollRequests(bytes, frameBuffer, bytesToCome);
        FUZZ_CHECK(bytesToCome < PollRequestSize);
        if (bytesToCome > 0)
            FUZZ_CHECK(frameBuffer.size() == PollRequestSize - bytesToCome
                       && quint8(frameBuffer.at(0)) == PollStartByte);
    }
};

// The assembly as a plain scan of the whole line: a request is the four bytes from a start
// byte; after a good one the scan goes on behind it, after a bad one right behind its start
// byte. Returns the outcomes and leaves the unfinished request in `rest`.
QVector<PollOutcome> scanLine(const QByteArray &line, QByteArray &rest)
{
    QVector<PollOutcome> outcomes;
    int at = line.indexOf(char(PollStartByte));
    while (at >= 0 && at + PollRequestSize <= line.size()) {
        const QByteArray request = line.mid(at, PollRequestSize);
        PollOutcome o;
        o.address = quint8(request.at(1));
        o.crcOk = referenceCrc8(request.left(3)) == quint8(request.at(3));
        if (o.crcOk)
            o.reply = pollReply(o.address);
        outcomes.append(o);
        at = line.indexOf(char(PollStartByte), at + (o.crcOk ? PollRequestSize : 1));
    }
    rest = at >= 0 ? line.mid(at) : QByteArray();
    return outcomes;
}

bool sameOutcomes(const QVector<PollOutcome> &a, const QVector<PollOutcome> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].address != b[i].address || a[i].crcOk != b[i].crcOk || a[i].reply != b[i].reply)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput in(data, size);
    if (!in.has(kHeader))
        return 0;
    const QByteArray line = in.payload(kHeader);

    FUZZ_CHECK(crc8(line) == referenceCrc8(line));

    Assembly whole;
    whole.feed(line);
    for (const PollOutcome &o : whole.outcomes) {
        if (!o.crcOk) {
            FUZZ_CHECK(o.reply.isEmpty());
            continue;
        }
        FUZZ_CHECK(o.reply.size() == PollReplySize);
        FUZZ_CHECK(o.reply == pollReply(o.address));
        const char a = char(o.address);
        FUZZ_CHECK(o.reply.left(8) == QByteArray("\x3e", 1) + a + '\x06' + a + a + '\0' + a + '\0');
        FUZZ_CHECK(quint8(o.reply.at(8)) == referenceCrc8(o.reply.left(8)));
        FUZZ_CHECK(crc8(o.reply) == 0);   // a message followed by its own CRC checks to 0
    }
    // Every completed request began with the start byte: no more requests than start bytes.
    FUZZ_CHECK(whole.outcomes.size() <= line.count(char(PollStartByte)));
    // A rejected request never hides a start byte: the assembly is the plain scan.
    QByteArray rest;
    FUZZ_CHECK(sameOutcomes(scanLine(line, rest), whole.outcomes));
    FUZZ_CHECK(rest == (whole.bytesToCome > 0 ? whole.frameBuffer : QByteArray()));

    Assembly bytewise;
    for (const char c : line)
        bytewise.feed(QByteArray(1, c));
    FUZZ_CHECK(sameOutcomes(bytewise.outcomes, whole.outcomes));
    FUZZ_CHECK(bytewise.frameBuffer == whole.frameBuffer && bytewise.bytesToCome == whole.bytesToCome);

    Assembly batched;
    for (const QByteArray &batch : cutIntoBatches(line, in.at(0)))
        batched.feed(batch);
    FUZZ_CHECK(sameOutcomes(batched.outcomes, whole.outcomes));
    FUZZ_CHECK(batched.frameBuffer == whole.frameBuffer && batched.bytesToCome == whole.bytesToCome);
    return 0;
}
