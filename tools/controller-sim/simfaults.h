#pragma once

namespace sim {

// Misbehaviour of the simulated line and controller.
//
// The device itself applies the content faults (silent, dropEvery, errorAtWrites, garbage);
// the pseudo-terminal server applies the timing faults (splitChunk, splitPauseMs, delayMs).
struct Faults
{
    bool silent = false;        // the controller answers nothing and takes no writes
    int dropEvery = 0;          // every Nth request frame is lost (not applied, not answered); 0 = none
    bool errorAtWrites = false; // the radio module answers every register write with "ERROR"
    int splitChunk = 0;         // 0 = whole replies, else replies leave in chunks of this many bytes
    int splitPauseMs = 5;       // pause between two chunks
    int delayMs = 0;            // pause between a request and the first byte of its reply
    bool garbage = false;       // a few bytes of line noise go out before every reply
};

} // namespace sim
