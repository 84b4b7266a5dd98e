// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Every report tag of the keyboard's configuration interface, in one place.
// Byte numbers are payload bytes: the 64 bytes after the report id 0x00.

#include <OskelHWI.h>

#include <cstddef>
#include <cstdint>

namespace oskel::hid {

constexpr std::size_t kPayloadSize = 64;  // bytes after the report id
constexpr std::size_t kReportSize = 65;   // report id 0x00 + payload, as written and read
constexpr std::uint8_t kReportId = 0x00;  // the interface uses no numbered reports
static_assert(kReportSize == kPayloadSize + 1, "a report is the report id plus the payload");

// Host commands carry 0x00 in payload byte 0 and the tag in byte 1.
constexpr std::uint8_t kKeyRecord = 0xF0;         // both ways: one key record (byte 1)
constexpr std::uint8_t kKeyWriteBegin = 0xF1;     // host -> keyboard: begin key write transfer
constexpr std::uint8_t kKeyReadRequest = 0xF2;    // host -> keyboard: send me all key records
constexpr std::uint8_t kKeyEnd = 0xF6;            // host: bytes 1-63 end a key write;
                                                  // keyboard: byte 0 ends the key records
constexpr std::uint8_t kVersionRequest = 0xF9;    // host -> keyboard: send the firmware version
constexpr std::uint8_t kLightChunk = 0xE0;        // both ways: 00 E0 n data (n <= 61)
constexpr std::uint8_t kLightWriteBegin = 0xE1;   // host -> keyboard: begin light write
constexpr std::uint8_t kLightReadRequest = 0xE2;  // host -> keyboard: send me the light table
constexpr std::uint8_t kLightEnd = 0xE6;          // host: all 64 bytes end a light write;
                                                  // keyboard: byte 1 ends the light data
constexpr std::uint8_t kFirmwareLine = 0x3A;      // host -> keyboard: one decoded firmware line
                                                  // (the colon of the text line)

// Key records: one for each of the kSlotCount slots (kKeyCount keys on kLevelCount levels).
constexpr std::size_t kRecordHeaderSize = 5;  // 00 F0 level key type
constexpr std::size_t kMacroHeaderSize = 11;  // + cycles, hasStepDelays, delay(2), L(2)
constexpr std::size_t kMacroPieceSize = kPayloadSize - kMacroHeaderSize;  // 53 step bytes
constexpr int kMaxNormalCodes = 58;                                       // bytes 6..63
constexpr int kMaxContinuousCodes = 56;                                   // bytes 8..63
constexpr int kMaxStepPayload = 0xFFFF;                                   // L is 16 bits
constexpr std::uint8_t kStepDelayMarker = 0xC8;  // second byte of every 4-byte step group
static_assert(kMacroPieceSize == 53, "a macro payload carries 53 step bytes");

// Where the fields of a key record stand in its first payload. Every record starts
// 00 F0 level key type; the rest depends on the type.
constexpr std::size_t kTagAt = 1;  // of every payload: 00 tag ...
constexpr std::size_t kRecordLevelAt = 2;
constexpr std::size_t kRecordKeyAt = 3;
constexpr std::size_t kRecordTypeAt = 4;
constexpr std::size_t kNormalCountAt = 5;         // type 0: n, then n codes
constexpr std::size_t kContinuousDelayAt = 5;     // type 1: delay (2 bytes, big-endian),
constexpr std::size_t kContinuousCountAt = 7;     //         n, then n codes
constexpr std::size_t kMacroCyclesAt = 5;         // types 2-4
constexpr std::size_t kMacroHasStepDelaysAt = 6;  //
constexpr std::size_t kMacroDelayAt = 7;          // 2 bytes, big-endian
constexpr std::size_t kMacroLengthAt = 9;         // L, 2 bytes, big-endian; steps follow
static_assert(kRecordHeaderSize == kRecordTypeAt + 1, "the type ends the common header");
static_assert(kMacroHeaderSize == kMacroLengthAt + 2, "the steps follow L");
static_assert(kNormalCountAt + 1 + kMaxNormalCodes == kPayloadSize,
              "type 0 codes fill the payload");
static_assert(kContinuousCountAt + 1 + kMaxContinuousCodes == kPayloadSize,
              "type 1 codes fill the payload");

// Backlight.
constexpr std::size_t kLightTableSize = 324;  // keys 1..108, red, green, blue
constexpr std::size_t kLightChunkMax = 61;    // payload bytes 3..63
constexpr std::size_t kChunkLengthAt = 2;     // 00 E0 n data
constexpr std::size_t kChunkDataAt = 3;
static_assert(kChunkDataAt + kLightChunkMax == kPayloadSize, "a light chunk fills the payload");
static_assert(kLightTableSize == 3 * kKeyCount, "three colour bytes per key");

// Version answer: bytes 2..63 hold the text.
constexpr std::size_t kVersionTextOffset = 2;
constexpr std::size_t kVersionTextMax = kPayloadSize - kVersionTextOffset;  // 62
static_assert(kVersionTextMax == 62, "the version text takes 62 bytes");

// Firmware: bytes 2..63 hold the decoded line, its length byte first.
constexpr std::size_t kFirmwareDataOffset = 2;
constexpr std::size_t kFirmwareLineMax = kPayloadSize - kFirmwareDataOffset;  // 62
static_assert(kFirmwareLineMax == 62, "a firmware report carries 62 decoded bytes");

// Reads never wait longer than this, nor does a write for room in the keyboard's queue.
constexpr int kReadTimeoutMs = 1000;
constexpr int kWriteTimeoutMs = 1000;

// The keyboard's configuration interface.
constexpr char kVendorId[] = "0483";
constexpr char kProductId[] = "5022";
constexpr char kInterface[] = "mi_01";

// Slot numbering: level 1 keys 1..108 are slots 0..107, level 2 slots 108..215.
constexpr int slotIndex(int level, int key) {
    return (level - 1) * kKeyCount + (key - 1);
}
constexpr bool validLevel(int level) {
    return level >= 1 && level <= kLevelCount;
}
constexpr bool validKey(int key) {
    return key >= 1 && key <= kKeyCount;
}

}  // namespace oskel::hid
