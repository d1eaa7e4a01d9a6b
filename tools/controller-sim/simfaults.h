#pragma once

#include <QByteArray>
#include <QList>

#include <climits>

namespace sim {

// One exact request frame whose arrivals from..to-1 (0: the first since the faults were set)
// are lost on the line (`applied` false: the device never sees them) or have their replies
// lost (`applied` true: the device acts on them, its answer never comes back).
struct FrameLoss
{
    QByteArray frame;
    bool applied = true;
    int from = 0;
    int to = INT_MAX;
};

// Misbehaviour of the simulated line and controller.
//
// The device itself applies the content faults (silent, dropEvery, errorAtWrites, garbage,
// garbageFirst, noTerminator, ignoreAt, dropWrites, frameLosses, swapSilenceMs); the pseudo-terminal server
// applies the timing faults (splitChunk, splitPauseMs, delayMs, pauseInsideMs). The counts of
// garbageFirst, dropWrites and frameLosses start afresh whenever the faults are set.
struct Faults
{
    bool silent = false;        // the controller answers nothing and takes no writes
    int dropEvery = 0;          // every Nth request frame is lost (not applied, not answered); 0 = none
    bool errorAtWrites = false; // the radio module answers every register write with "ERROR"
    int splitChunk = 0;         // 0 = whole replies, else replies leave in chunks of this many bytes
    int splitPauseMs = 5;       // pause between two chunks
    int delayMs = 0;            // pause between a request and the first byte of its reply
    bool garbage = false;       // a few bytes of line noise go out before every reply
    int garbageFirst = 0;       // the same noise before only the first N replies, then clean ones
    bool noTerminator = false;  // text replies lose their last line end, the identity its ">"
    int pauseInsideMs = 0;      // 0 = none, else each reply leaves in two halves this far apart
    bool ignoreAt = false;      // the radio module ignores every pass-through frame (command 0x04)
    int dropWrites = 0;         // the first N settings or table write frames are not stored
    int swapSilenceMs = 0;      // 0 = none, else after a settings write the next identification
                                // request starts a silence this long (the device is unplugged),
                                // after which a fresh device in the start-up state answers
    QList<FrameLoss> frameLosses;
};

} // namespace sim
