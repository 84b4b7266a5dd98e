// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeyDefine.h"

#include <algorithm>
#include <cstring>

#include "ReportTags.h"

using namespace oskel::hid;

namespace {

// Where the codes of type 0 and type 1 records start.
constexpr int kNormalCodesAt = static_cast<int>(kNormalCountAt) + 1;
constexpr int kContinuousCodesAt = static_cast<int>(kContinuousCountAt) + 1;

int readBigEndian16(const std::uint8_t* bytes) {
    return (bytes[0] << 8) | bytes[1];
}

void writeBigEndian16(std::uint8_t* bytes, int value) {
    bytes[0] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(value & 0xFF);
}

// How many of `codes` go into a record that holds at most `limit`: the count field may disagree
// with the vector, and a longer list would run past the payload.
int codesToSend(int codeCount, const std::vector<int>& codes, int limit) {
    return std::clamp(std::min<int>(codeCount, static_cast<int>(codes.size())), 0, limit);
}

// Codes received: the count byte is clamped to what the payload can hold.
void readCodes(const std::uint8_t* record, int countByte, int limit, std::vector<int>& codes,
               int& codeCount) {
    codeCount = std::min<int>(record[countByte], limit);
    codes.assign(record + countByte + 1, record + countByte + 1 + codeCount);
}

}  // namespace

void CKeyDefine::writeHeader(std::uint8_t* payload) const {
    payload[0] = 0x00;
    payload[kTagAt] = kKeyRecord;
    payload[kRecordLevelAt] = static_cast<std::uint8_t>(level);
    payload[kRecordKeyAt] = static_cast<std::uint8_t>(key);
    payload[kRecordTypeAt] = static_cast<std::uint8_t>(type);
}

bool CKeyDefine::beginSinglePayload(std::uint8_t* buffer, int payloadSize, int& size,
                                    int minimum) const {
    if (buffer == nullptr) {
        size = payloadSize;
        return false;
    }
    if (payloadSize < minimum || size < payloadSize) {
        return false;
    }
    std::memset(buffer, 0, payloadSize);
    writeHeader(buffer);
    return true;
}

bool CNormalKeyDefine::encodeRecord(std::uint8_t* buffer, int payloadSize, int& size) const {
    if (!beginSinglePayload(buffer, payloadSize, size, kNormalCodesAt)) {
        return false;
    }
    int n = codesToSend(codeCount, codes, std::min(kMaxNormalCodes, payloadSize - kNormalCodesAt));
    buffer[kNormalCountAt] = static_cast<std::uint8_t>(n);
    for (int i = 0; i < n; ++i) {
        buffer[kNormalCodesAt + i] = static_cast<std::uint8_t>(codes[i] & 0xFF);
    }
    return true;
}

bool CNormalKeyDefine::decodeRecord(const std::uint8_t* record, int payloadSize, int totalLength) {
    if (record == nullptr || payloadSize < kNormalCodesAt || totalLength < payloadSize) {
        return false;
    }
    readCodes(record, kNormalCountAt, std::min(kMaxNormalCodes, payloadSize - kNormalCodesAt),
              codes, codeCount);
    return true;
}

bool CContinousKeyDefine::encodeRecord(std::uint8_t* buffer, int payloadSize, int& size) const {
    if (!beginSinglePayload(buffer, payloadSize, size, kContinuousCodesAt)) {
        return false;
    }
    int n = codesToSend(codeCount, codes,
                        std::min(kMaxContinuousCodes, payloadSize - kContinuousCodesAt));
    // Without codes the keyboard gets the bare header: the delay is not sent either.
    if (n == 0) {
        return true;
    }
    writeBigEndian16(buffer + kContinuousDelayAt, delay);
    buffer[kContinuousCountAt] = static_cast<std::uint8_t>(n);
    for (int i = 0; i < n; ++i) {
        buffer[kContinuousCodesAt + i] = static_cast<std::uint8_t>(codes[i] & 0xFF);
    }
    return true;
}

bool CContinousKeyDefine::decodeRecord(const std::uint8_t* record, int payloadSize,
                                       int totalLength) {
    if (record == nullptr || payloadSize < kContinuousCodesAt || totalLength < payloadSize) {
        return false;
    }
    delay = readBigEndian16(record + kContinuousDelayAt);
    readCodes(record, kContinuousCountAt,
              std::min(kMaxContinuousCodes, payloadSize - kContinuousCodesAt), codes, codeCount);
    return true;
}

int CMacroKeyDefine::sentSteps() const {
    int steps =
        std::clamp(std::min<int>(stepCount, static_cast<int>(codes.size())), 0, kMaxStepPayload);
    // L is a 16-bit field: steps beyond it would wrap the length the keyboard reads.
    if (hasStepDelays != 0) {
        steps = std::min(steps, (kMaxStepPayload + 3) / 4);
    }
    return steps;
}

int CMacroKeyDefine::stepPayloadLength() const {
    int steps = sentSteps();
    if (steps == 0) {
        return 0;
    }
    return hasStepDelays != 0 ? 4 * steps - 3 : steps;
}

bool CMacroKeyDefine::encodeRecord(std::uint8_t* buffer, int payloadSize, int& size) const {
    if (payloadSize <= static_cast<int>(kMacroHeaderSize)) {
        return false;
    }
    const int pieceSize = payloadSize - static_cast<int>(kMacroHeaderSize);
    const int length = stepPayloadLength();
    const int pieces = (length + pieceSize - 1) / pieceSize;
    if (buffer == nullptr) {
        size = pieces * payloadSize;
        return false;
    }
    if (size < pieces * payloadSize) {
        return false;
    }

    std::vector<std::uint8_t> steps;
    steps.reserve(length);
    const int count = sentSteps();
    for (int i = 0; i < count; ++i) {
        steps.push_back(static_cast<std::uint8_t>(codes[i] & 0xFF));
        if (hasStepDelays != 0 && i + 1 < count) {
            int pause = i < static_cast<int>(delays.size()) ? delays[i] : 0;
            steps.push_back(kStepDelayMarker);
            steps.push_back(static_cast<std::uint8_t>((pause >> 8) & 0xFF));
            steps.push_back(static_cast<std::uint8_t>(pause & 0xFF));
        }
    }

    std::uint8_t header[kMacroHeaderSize];
    writeHeader(header);
    header[kMacroCyclesAt] = static_cast<std::uint8_t>(cycles & 0xFF);
    header[kMacroHasStepDelaysAt] = static_cast<std::uint8_t>(hasStepDelays & 0xFF);
    writeBigEndian16(header + kMacroDelayAt, delay);
    writeBigEndian16(header + kMacroLengthAt, length);

    for (int piece = 0; piece < pieces; ++piece) {
        std::uint8_t* payload = buffer + piece * payloadSize;
        std::memcpy(payload, header, kMacroHeaderSize);
        int offset = piece * pieceSize;
        int bytes = std::min(pieceSize, length - offset);
        std::memcpy(payload + kMacroHeaderSize, steps.data() + offset, bytes);
        std::memset(payload + kMacroHeaderSize + bytes, 0, pieceSize - bytes);
    }
    return true;
}

bool CMacroKeyDefine::decodeRecord(const std::uint8_t* record, int payloadSize, int totalLength) {
    if (record == nullptr || payloadSize <= static_cast<int>(kMacroHeaderSize) ||
        totalLength < payloadSize) {
        return false;
    }
    const int pieceSize = payloadSize - static_cast<int>(kMacroHeaderSize);
    cycles = record[kMacroCyclesAt];
    // Anything but 0 means the steps come in 4-byte groups.
    hasStepDelays = record[kMacroHasStepDelaysAt] != 0 ? 1 : 0;
    delay = readBigEndian16(record + kMacroDelayAt);
    const int length = readBigEndian16(record + kMacroLengthAt);

    std::vector<std::uint8_t> steps;
    const int payloads = totalLength / payloadSize;
    for (int p = 0; p < payloads; ++p) {
        const std::uint8_t* piece = record + p * payloadSize + kMacroHeaderSize;
        steps.insert(steps.end(), piece, piece + pieceSize);
    }
    // A record shorter than its L says holds only the steps that arrived; missing bytes read 0.
    auto byteAt = [&](int i) -> int { return i < static_cast<int>(steps.size()) ? steps[i] : 0; };
    const int available = std::min<int>(length, static_cast<int>(steps.size()));

    if (hasStepDelays == 0) {
        stepCount = available;
    } else {
        // (L - 1) / 4 + 1, truncating toward zero: L = 0 still gives one step, code 0.
        stepCount = (available - 1) / 4 + 1;
    }
    codes.assign(stepCount, 0);
    delays.assign(stepCount, 0);
    for (int i = 0; i < stepCount; ++i) {
        if (hasStepDelays == 0) {
            codes[i] = byteAt(i);
        } else {
            codes[i] = byteAt(4 * i);
            if (i + 1 < stepCount) {
                delays[i] = byteAt(4 * i + 2) * 256 + byteAt(4 * i + 3);
            }
        }
    }
    return true;
}

std::unique_ptr<CKeyDefine> createKeyDefine(int key, int level, int type) {
    switch (type) {
        case 0:
            return std::make_unique<CNormalKeyDefine>(key, level);
        case 1:
            return std::make_unique<CContinousKeyDefine>(key, level);
        case 2:
        case 3:
        case 4:
            return std::make_unique<CMacroKeyDefine>(key, level, type);
        default:
            return nullptr;
    }
}

int macroRecordPayloads(int stepPayloadLength) {
    int pieces = (stepPayloadLength + static_cast<int>(kMacroPieceSize) - 1) /
                 static_cast<int>(kMacroPieceSize);
    return std::max(pieces, 1);
}
