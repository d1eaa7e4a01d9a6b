#pragma once

// Shared by the fuzz targets: how the bytes of one input reach the code under test.

#include <QByteArray>
#include <QVector>

#include <cstdio>
#include <cstdlib>

// A broken invariant stops the run like a crash, with the reason, so libFuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// Cuts `data` into the batches a serial port might deliver, chosen by `mode`:
//   top two bits 0: all in one batch;
//   1: byte by byte;
//   2: chunks of (low six bits + 1) bytes;
//   3: chunks of 0 to 15 bytes from a small generator seeded by the low six bits (an empty
//      batch is a readyRead whose readAll found nothing).
inline QVector<QByteArray> cutIntoBatches(const QByteArray &data, quint8 mode)
{
    QVector<QByteArray> batches;
    const int low = mode & 0x3F;
    switch (mode >> 6) {
    case 0:
        batches.append(data);
        break;
    case 1:
        for (char c : data)
            batches.append(QByteArray(1, c));
        break;
    case 2:
        for (int i = 0; i < data.size(); i += low + 1)
            batches.append(data.mid(i, low + 1));
        break;
    default: {
        quint32 state = 0x9E3779B9u ^ quint32(low * 2654435761u);
        int i = 0;
        while (i < data.size()) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int n = int(state % 16);
            batches.append(data.mid(i, n));
            i += n;
        }
        break;
    }
    }
    return batches;
}

// The selector bytes at the start of an input, then the payload.
struct FuzzInput
{
    FuzzInput(const uint8_t *data, size_t size) : bytes(reinterpret_cast<const char *>(data), int(size)) {}
    bool has(int headerSize) const { return bytes.size() >= headerSize; }
    quint8 at(int i) const { return quint8(bytes.at(i)); }
    QByteArray payload(int headerSize) const { return bytes.mid(headerSize); }

    QByteArray bytes;
};
