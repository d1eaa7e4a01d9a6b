#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: real controller replies and poll requests, each
behind the selector bytes its target reads first. Run again after changing a selector table."""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# Positions in the targets' kind tables (fuzz_replies.cpp, fuzz_window.cpp).
KIND = {name: i for i, name in enumerate([
    "none", "readVersion", "saveSetting", "readSetting", "comandRegim", "readCHA", "dataRegim",
    "readPower", "saveSimParam", "readPower2", "saveSimParam2", "getLevel", "resiverInfo",
    "readLevel", "saveMassive", "readMassive", "saveMassiveResiver"])}
# Positions in the firmware version table.
VERSION = {0: 0, 200: 3, 220: 5, 221: 6, 295: 9, 296: 10, 342: 12}
NONE, RECEIVER, TRANSMITTER = 0, 1, 2
WHOLE, BYTEWISE, CHUNKS4, RANDOM = 0x00, 0x40, 0x83, 0xC5


def crc8(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8C if crc & 1 else crc >> 1
    return crc


# (name, kind, device, version, reply, index of the polled transmitter)
REPLIES = [
    ("identity-receiver-221", "readVersion", NONE, 0, b"<Receiver v.221>", 0),
    ("identity-transmitter-296", "readVersion", NONE, 0, b"\r\n<Transmitter v.296>\r\n", 0),
    ("identity-receiver-200-zero", "readVersion", NONE, 0, b"<Receiver v.20\x00>", 0),
    ("identity-at-start", "readVersion", NONE, 0, b"Receiver v.221>", 0),
    ("settings-transmitter-12", "readSetting", TRANSMITTER, 295,
     bytes.fromhex("0705aa8201040003 0a0b0c0d".replace(" ", "")), 0),
    ("settings-transmitter-13", "readSetting", TRANSMITTER, 296,
     bytes.fromhex("0705aa82010400030a0b0c0d01"), 0),
    ("settings-receiver-13", "readSetting", RECEIVER, 221,
     bytes.fromhex("0304050203050103f0111213ff"), 0),
    ("settings-receiver-14", "readSetting", RECEIVER, 296,
     bytes.fromhex("0304050203050103f011121314 00".replace(" ", "")), 0),
    ("settings-receiver-200-mode-bits", "readSetting", RECEIVER, 200,
     bytes.fromhex("01020a0002040000ff8503000001"), 0),
    ("settings-unidentified", "readSetting", NONE, 0, bytes(range(1, 13)), 0),
    ("table-receiver-32", "readMassive", RECEIVER, 221,
     bytes.fromhex("0000") + bytes([0x01, 0x80] + [0] * 26 + [0xAA, 0x55]), 0),
    ("table-transmitter-24", "readMassive", TRANSMITTER, 296,
     bytes.fromhex("010a05000b06010c07000000000000000000000000010300"), 0),
    ("register-subnet", "readCHA", NONE, 0, b"S250=5\r\n", 0),
    ("register-subnet-echo", "readCHA", NONE, 0, b"ATS250?\r\r\nS250=7\r\nOK\r\n", 0),
    ("register-power", "readPower", NONE, 0, b"S202=3\r\n", 0),
    ("register-power2", "readPower2", NONE, 0, b"S201=12345\r\n", 0),
    ("command-mode-ok", "comandRegim", NONE, 0, b"OK\r\n", 0),
    ("data-mode-ok", "dataRegim", NONE, 0, b"ATO\r\r\nOK\r\n", 0),
    ("write-ok", "saveSimParam", NONE, 0, b"OK\r\n", 0),
    ("write-error", "saveSimParam", NONE, 0, b"OK\r\nERROR\r\n", 0),
    ("write2-ok", "saveSimParam2", NONE, 0, b"\r\nOK\r\n", 0),
    ("rssi-87", "getLevel", NONE, 0, b"+SRDRSSI: 87\r\n", 0),
    ("rssi-7", "getLevel", NONE, 0, b"+SRDRSSI: 7\r\n", 0),
    ("rssi-1x2", "getLevel", NONE, 0, b"+SRDRSSI: 1x2", 0),
    ("measurement", "readLevel", TRANSMITTER, 221, b"$1,25,1200,0,99999,0,100,200#", 0),
    ("measurement-short", "readLevel", TRANSMITTER, 200, b"$1,25#\r\n", 0),
    ("transmitter-record", "resiverInfo", RECEIVER, 221,
     bytes.fromhex("1900b00400000f270000000000006400c800"), 3),
    ("transmitter-record-marker", "resiverInfo", RECEIVER, 200,
     bytes.fromhex("0000ffff0000000000000000000000000000"), 15),
    ("transmitter-record-after-poll", "resiverInfo", RECEIVER, 221,
     bytes.fromhex("1900b00400000f270000000000006400c800"), 0x100 + 1),
    ("none", "none", NONE, 0, b"<Receiver v.221>OK\r\nS250=5\r\n", 0),
    ("save-setting", "saveSetting", TRANSMITTER, 296, bytes(14), 0),
    ("save-massive", "saveMassive", TRANSMITTER, 296, b"\x01", 0),
    ("save-massive-receiver", "saveMassiveResiver", RECEIVER, 296, b"\x01\x02", 0),
]

POLLS = [
    ("poll-1", bytes.fromhex("3101066c")),
    ("poll-0", bytes.fromhex("310006a8")),
    ("poll-bad-crc", bytes.fromhex("31010600")),
    ("poll-command-7", bytes.fromhex("310507") + bytes([crc8(bytes.fromhex("310507"))])),
    ("poll-start-inside", bytes.fromhex("3131") + bytes([0x06, crc8(bytes.fromhex("313106"))])),
    ("poll-after-noise", bytes.fromhex("00ff3e3101066c310006a8")),
    ("poll-split", bytes.fromhex("310106")),
]


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    for name, kind, device, version, reply, index in REPLIES:
        for batching, suffix in ((WHOLE, ""), (BYTEWISE, "-bytewise"), (RANDOM, "-random")):
            header = bytes([KIND[kind], device, VERSION[version], batching])
            write("fuzz_replies", name + suffix, header + reply)
            window_device = device | (0x80 if index > 255 else 0)
            write("fuzz_window", name + suffix,
                  bytes([KIND[kind], window_device, VERSION[version], batching, index & 0xFF]) + reply)
    for name, line in POLLS:
        for batching, suffix in ((WHOLE, ""), (BYTEWISE, "-bytewise"), (CHUNKS4, "-chunks")):
            write("fuzz_poll", name + suffix, bytes([batching]) + line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
