#pragma once

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// Poll request on the bench line: 0x31, address, command (not examined), CRC-8 of the first three.
constexpr quint8 PollStartByte = 0x31;
constexpr int PollRequestSize = 4;
constexpr int PollReplySize = 9;

// Dallas/Maxim 1-Wire CRC-8: width 8, polynomial 0x31 (0x8C reflected), initial value 0,
// input and output reflected, no final XOR; check value 0xA1 for "123456789".
// The CRC of an empty array is 0.
quint8 crc8(const QByteArray &data);

// The 9-byte answer to a poll of `address`: every data value equals the address.
QByteArray pollReply(quint8 address);

// What one complete request came to: a reply to send, or a CRC error (empty reply).
struct PollOutcome
{
    quint8 address = 0;
    bool crcOk = false;
    QByteArray reply;
};

// Feeds every byte of `bytes`, in order, through the request assembly whose state is
// `frameBuffer` (the request so far) and `bytesToCome` (request bytes still expected after the
// start byte; 0 while waiting for a start byte). A 0x31 while waiting starts a request, any byte
// while assembling belongs to it. After a CRC error, assembly resumes at the next 0x31 among the
// rejected request's last three bytes, as if they had just arrived. Returns one outcome per
// request completed, in order; a request left incomplete stays in the state for the next batch.
QVector<PollOutcome> assemblePollRequests(const QByteArray &bytes, QByteArray &frameBuffer,
                                          quint8 &bytesToCome);
