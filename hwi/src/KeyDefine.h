// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Key definitions: one key's assignment on one level, and its key record, the bytes the keyboard
// stores for that slot. Encoding and decoding work on plain bytes and touch no device.
//
// Record payloads (64 bytes each) all begin 00 F0 level key type; 16-bit values are big-endian.

#include <cstdint>
#include <memory>
#include <vector>

class CKeyDefine {
public:
    CKeyDefine(int key, int level, int type) : key(key), level(level), type(type) {}
    virtual ~CKeyDefine() = default;

    // With a null buffer: a size query; sets `size` to the bytes the record takes (a multiple of
    // `payloadSize`) and answers false. With a buffer of `size` bytes: writes the record, payload
    // after payload, and answers true; false when `size` is too small for it.
    virtual bool encodeRecord(std::uint8_t* buffer, int payloadSize, int& size) const = 0;

    // Fills the definition from `totalLength` record bytes (whole payloads). key, level and type
    // are not read here; whoever creates the definition takes them from bytes 2-4. Never reads
    // past `totalLength`. Answers false only when the bytes cannot be a record of this kind.
    virtual bool decodeRecord(const std::uint8_t* record, int payloadSize, int totalLength) = 0;

    int key;    // 1..108
    int level;  // 1 or 2
    int type;   // record type 0..4

protected:
    // Writes the five bytes every payload starts with.
    void writeHeader(std::uint8_t* payload) const;
    // The start of a record that fits one payload of at least `minimum` bytes: with no buffer
    // it gives the size needed; otherwise it clears the payload and writes the header. False
    // when nothing is to be written.
    bool beginSinglePayload(std::uint8_t* buffer, int payloadSize, int& size, int minimum) const;
};

// Type 0: a fixed set of codes (single keys, combinations, device functions, empty slots).
class CNormalKeyDefine : public CKeyDefine {
public:
    CNormalKeyDefine(int key, int level) : CKeyDefine(key, level, 0) {}
    bool encodeRecord(std::uint8_t* buffer, int payloadSize, int& size) const override;
    bool decodeRecord(const std::uint8_t* record, int payloadSize, int totalLength) override;

    std::vector<int> codes;  // only the low byte of each is sent
    int codeCount = 0;       // at most 58 are sent; more are cut
};

// Type 1: codes typed one after another with a fixed delay (emulated keystroke lists).
class CContinousKeyDefine : public CKeyDefine {
public:
    CContinousKeyDefine(int key, int level) : CKeyDefine(key, level, 1) {}
    bool encodeRecord(std::uint8_t* buffer, int payloadSize, int& size) const override;
    bool decodeRecord(const std::uint8_t* record, int payloadSize, int totalLength) override;

    int delay = 0;           // ms between codes, 16 bits sent
    std::vector<int> codes;  // only the low byte of each is sent
    int codeCount = 0;       // at most 56 are sent; more are cut
};

// Types 2-4 (play mode 0-2): a macro whose step bytes may span several payloads of 53 step
// bytes each, every payload carrying the same 11-byte header.
class CMacroKeyDefine : public CKeyDefine {
public:
    CMacroKeyDefine(int key, int level, int type) : CKeyDefine(key, level, type) {}
    bool encodeRecord(std::uint8_t* buffer, int payloadSize, int& size) const override;
    bool decodeRecord(const std::uint8_t* record, int payloadSize, int totalLength) override;

    // Length L of the step bytes as they would be sent (0 for no steps).
    int stepPayloadLength() const;

    int hasStepDelays = 0;    // 1: each step but the last carries its own pause
    int cycles = 0;           // one byte sent
    std::vector<int> delays;  // pause after step i in ms, 16 bits sent
    std::vector<int> codes;   // code of step i, one byte sent
    int stepCount = 0;
    int delay = 0;  // the fixed interval when hasStepDelays is 0, 16 bits sent

private:
    int sentSteps() const;
};

// A definition of the class a record type names, or null for a type above 4.
std::unique_ptr<CKeyDefine> createKeyDefine(int key, int level, int type);

// Number of payloads a macro record with L step bytes spans (at least one: a record is never
// shorter than its header).
int macroRecordPayloads(int stepPayloadLength);
