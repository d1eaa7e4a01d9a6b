#include "pollprotocol.h"

quint8 crc8(const QByteArray &data)
{
    // Table-free form: after x = crc ^ byte, each set bit of x contributes a fixed constant
    // (the CRC of that single bit pushed through eight shifts).
    static const quint8 bitTerms[8] = {0x5E, 0xBC, 0x61, 0xC2, 0x9D, 0x23, 0x46, 0x8C};
    quint8 crc = 0;
    for (const char byte : data) {
        const quint8 x = crc ^ quint8(byte);
        crc = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (x & (1u << bit))
                crc ^= bitTerms[bit];
        }
    }
    return crc;
}

QByteArray pollReply(quint8 address)
{
    const char a = char(address);
    QByteArray reply;
    reply.reserve(PollReplySize);
    reply.append('\x3E').append(a).append('\x06').append(a).append(a)
         .append('\x00').append(a).append('\x00');
    reply.append(char(crc8(reply)));
    return reply;
}

QVector<PollOutcome> assemblePollRequests(const QByteArray &bytes, QByteArray &frameBuffer,
                                          quint8 &bytesToCome)
{
    QVector<PollOutcome> outcomes;
    QByteArray input = bytes;
    for (int i = 0; i < input.size(); ++i) {
        const char byte = input.at(i);
        if (bytesToCome == 0) {
            if (quint8(byte) == PollStartByte) {
                frameBuffer = QByteArray(1, byte);
                bytesToCome = PollRequestSize - 1;
            }
            continue;
        }
        frameBuffer.append(byte);
        if (--bytesToCome > 0)
            continue;

        PollOutcome outcome;
        outcome.address = quint8(frameBuffer.at(1));
        outcome.crcOk = crc8(frameBuffer.left(3)) == quint8(frameBuffer.at(3));
        if (outcome.crcOk) {
            outcome.reply = pollReply(outcome.address);
        } else {
            // A line that echoes our replies holds start bytes that are not requests: a real
            // request may begin inside the rejected one, so its bytes after the next start
            // byte go through the assembly again.
            const int next = frameBuffer.indexOf(char(PollStartByte), 1);
            if (next > 0) {
                input = frameBuffer.mid(next) + input.mid(i + 1);
                i = -1;
            }
        }
        outcomes.append(outcome);
    }
    return outcomes;
}
