// SPDX-License-Identifier: GPL-2.0-or-later
#include "EmulatedKeyboard.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

#include "ReportTags.h"

namespace oskel {

namespace {

using namespace oskel::hid;

Payload emptyRecord(int slot) {
    Payload payload{};
    payload[kTagAt] = kKeyRecord;
    payload[kRecordLevelAt] = static_cast<std::uint8_t>(slot / kKeyCount + 1);
    payload[kRecordKeyAt] = static_cast<std::uint8_t>(slot % kKeyCount + 1);
    return payload;
}

// The empty record carries nothing but its slot: type 0, no codes.
bool isEmptyRecord(const std::vector<Payload>& record) {
    return record.size() == 1 && std::all_of(record[0].begin() + 4, record[0].end(),
                                             [](std::uint8_t b) { return b == 0; });
}

}  // namespace

EmulatedKeyboard::EmulatedKeyboard(VirtualKeyboardOptions options) : options(std::move(options)) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        storedSlots.push_back({emptyRecord(slot)});
    }
}

EmulatedKeyboard::~EmulatedKeyboard() {
    closeLog();
}

bool EmulatedKeyboard::openLog(std::string& error) {
    std::lock_guard lock(stateLock);
    if (log != nullptr || options.logPath.empty()) {
        return true;
    }
    log = std::fopen(options.logPath.c_str(), "w");
    if (log == nullptr) {
        error = "cannot write " + options.logPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void EmulatedKeyboard::closeLog() {
    std::lock_guard lock(stateLock);
    if (log != nullptr) {
        std::fclose(log);
        log = nullptr;
    }
}

int EmulatedKeyboard::reportsLeft(const KeyboardOpener& opener) const {
    std::lock_guard lock(stateLock);
    int left = INT_MAX;
    if (options.freezeAfter > 0) {
        left = std::min(left, options.freezeAfter - opener.received);
    }
    if (options.dropAfter > 0) {
        left = std::min(left, options.dropAfter - opener.received);
    }
    return std::max(left, 0);
}

bool EmulatedKeyboard::frozen(const KeyboardOpener& opener) const {
    std::lock_guard lock(stateLock);
    return options.freezeAfter > 0 && opener.received >= options.freezeAfter;
}

void EmulatedKeyboard::openerGone(const KeyboardOpener& opener) {
    std::lock_guard lock(stateLock);
    if (pendingFrom == &opener) {
        pendingRecord.clear();
        pendingPayloads = 0;
        pendingFrom = nullptr;
    }
}

KeyboardReaction EmulatedKeyboard::take(const Payload& payload, KeyboardOpener& opener) {
    KeyboardReaction reaction;
    bool command;
    bool silent;
    {
        std::lock_guard lock(stateLock);
        if (options.keepReports) {
            received.push_back(payload);
        }
        ++receivedTotal;
        if (opener.received == 0) {
            ++connections;
        }
        ++opener.received;
        silent = options.silent;
        // Unplugged right after the report arrived: it is taken but never answered.
        reaction.unplug = options.dropAfter > 0 && opener.received >= options.dropAfter;
        if (pendingPayloads > 0 && pendingFrom != &opener) {
            // Another program's half-sent record: the keyboard starts over with this one.
            pendingRecord.clear();
            pendingPayloads = 0;
        }
        pendingFrom = &opener;
        command = keep(payload);
        logReport(payload);
    }
    reportArrived.notify_all();
    if (reaction.unplug || silent || !command) {
        return reaction;
    }
    switch (payload[kTagAt]) {
        case kKeyReadRequest:
            reaction.answers = keyReadAnswer();
            break;
        case kLightReadRequest:
            reaction.answers = lightReadAnswer();
            break;
        case kVersionRequest:
            reaction.answers = versionAnswer();
            break;
        default:
            break;
    }
    return reaction;
}

// Called with stateLock held: keeps what the report carries. False when it was a further payload
// of a macro record, which is never a command.
bool EmulatedKeyboard::keep(const Payload& payload) {
    if (pendingPayloads > 0) {
        takeKeyRecord(payload);
        return false;
    }
    switch (payload[kTagAt]) {
        case kKeyRecord:
            takeKeyRecord(payload);
            break;
        case kKeyWriteBegin:
            memoryUsed = 0;  // the keyboard's records are all rewritten from here on
            break;
        case kLightWriteBegin:
            lightOffset = 0;
            break;
        case kLightChunk: {
            std::size_t n = std::min<std::size_t>(payload[kChunkLengthAt], kLightChunkMax);
            n = std::min(n, lightTable.size() - lightOffset);
            std::memcpy(lightTable.data() + lightOffset, payload.data() + kChunkDataAt, n);
            lightOffset += n;
            break;
        }
        case kFirmwareLine: {
            // The line starts with the record's length byte: length, address (2), type, data,
            // checksum.
            const auto line = payload.begin() + kFirmwareDataOffset;
            const std::size_t n = std::min<std::size_t>(*line + 5u, kFirmwareLineMax);
            firmware.emplace_back(line, line + n);
            break;
        }
        default:
            break;
    }
    return true;
}

// Called with stateLock held. A macro record (types 2-4) spans ceil(L / 53) payloads, L from
// its first; the slot takes the record once it is whole.
void EmulatedKeyboard::takeKeyRecord(const Payload& payload) {
    if (pendingPayloads == 0) {
        pendingRecord.assign(1, payload);
        int type = payload[kRecordTypeAt];
        if (type >= 2 && type <= 4) {
            int length = (payload[kMacroLengthAt] << 8) | payload[kMacroLengthAt + 1];
            const int piece = static_cast<int>(kMacroPieceSize);
            pendingPayloads = std::max(1, (length + piece - 1) / piece);
        } else {
            pendingPayloads = 1;
        }
    } else {
        pendingRecord.push_back(payload);
    }
    if (static_cast<int>(pendingRecord.size()) < pendingPayloads) {
        return;
    }
    int level = pendingRecord[0][kRecordLevelAt];
    int key = pendingRecord[0][kRecordKeyAt];
    if (level >= 1 && level <= kLevelCount && key >= 1 && key <= kKeyCount) {
        const int slot = slotIndex(level, key);
        storedSlots[slot] = keptRecord(slot, std::move(pendingRecord));
    }
    pendingRecord.clear();
    pendingPayloads = 0;
}

std::vector<Payload> EmulatedKeyboard::keptRecord(int slot, std::vector<Payload> record) {
    if (options.memory < 0 || isEmptyRecord(record)) {
        return record;
    }
    const long long size = static_cast<long long>(record.size() * kPayloadSize);
    if (memoryUsed + size > options.memory) {
        return {emptyRecord(slot)};
    }
    memoryUsed += size;
    return record;
}

std::vector<Payload> EmulatedKeyboard::keyReadAnswer() const {
    std::vector<Payload> answer;
    {
        std::lock_guard lock(stateLock);
        for (const auto& record : storedSlots) {
            answer.insert(answer.end(), record.begin(), record.end());
        }
    }
    Payload end;
    end.fill(kKeyEnd);
    answer.push_back(end);
    return answer;
}

std::vector<Payload> EmulatedKeyboard::lightReadAnswer() const {
    auto table = lights();
    std::vector<Payload> answer;
    for (std::size_t offset = 0; offset < table.size(); offset += kLightChunkMax) {
        std::size_t n = std::min(kLightChunkMax, table.size() - offset);
        Payload chunk{0x00, kLightChunk, static_cast<std::uint8_t>(n)};
        std::memcpy(chunk.data() + 3, table.data() + offset, n);
        answer.push_back(chunk);
    }
    Payload end;
    end.fill(kLightEnd);
    answer.push_back(end);
    return answer;
}

std::vector<Payload> EmulatedKeyboard::versionAnswer() const {
    Payload answer{0x00, kVersionRequest};
    std::lock_guard lock(stateLock);
    std::size_t n = std::min(options.version.size(), kVersionTextMax);
    std::memcpy(answer.data() + kVersionTextOffset, options.version.data(), n);
    return {answer};
}

// Called with stateLock held.
void EmulatedKeyboard::logReport(const Payload& payload) {
    if (log == nullptr) {
        return;
    }
    static const char digits[] = "0123456789abcdef";
    char line[2 * kPayloadSize + 2];
    for (std::size_t i = 0; i < kPayloadSize; ++i) {
        line[2 * i] = digits[payload[i] >> 4];
        line[2 * i + 1] = digits[payload[i] & 0x0F];
    }
    line[2 * kPayloadSize] = '\n';
    line[2 * kPayloadSize + 1] = '\0';
    std::fputs(line, log);
    std::fflush(log);
}

std::vector<Payload> EmulatedKeyboard::slotRecord(int slot) const {
    std::lock_guard lock(stateLock);
    if (slot < 0 || slot >= kSlotCount) {
        return {};
    }
    return storedSlots[slot];
}

void EmulatedKeyboard::setSlotRecord(int slot, std::vector<Payload> payloads) {
    std::lock_guard lock(stateLock);
    if (slot >= 0 && slot < kSlotCount) {
        storedSlots[slot] = std::move(payloads);
    }
}

std::array<std::uint8_t, EmulatedKeyboard::kLightTableSize> EmulatedKeyboard::lights() const {
    std::lock_guard lock(stateLock);
    return lightTable;
}

void EmulatedKeyboard::setLights(const std::array<std::uint8_t, kLightTableSize>& table) {
    std::lock_guard lock(stateLock);
    lightTable = table;
}

std::vector<std::vector<std::uint8_t>> EmulatedKeyboard::firmwareLines() const {
    std::lock_guard lock(stateLock);
    return firmware;
}

std::vector<Payload> EmulatedKeyboard::receivedReports() const {
    std::lock_guard lock(stateLock);
    return received;
}

std::size_t EmulatedKeyboard::receivedCount() const {
    std::lock_guard lock(stateLock);
    return receivedTotal;
}

bool EmulatedKeyboard::waitForReports(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(stateLock);
    return reportArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return receivedTotal >= count; });
}

int EmulatedKeyboard::connectionCount() const {
    std::lock_guard lock(stateLock);
    return connections;
}

void EmulatedKeyboard::setSilent(bool silent) {
    std::lock_guard lock(stateLock);
    options.silent = silent;
}

void EmulatedKeyboard::setDropAfter(int reports) {
    std::lock_guard lock(stateLock);
    options.dropAfter = reports;
}

void EmulatedKeyboard::setMemory(long long bytes) {
    std::lock_guard lock(stateLock);
    options.memory = bytes;
}

void EmulatedKeyboard::setFreezeAfter(int reports) {
    std::lock_guard lock(stateLock);
    options.freezeAfter = reports;
}

void EmulatedKeyboard::setVersion(const std::string& version) {
    std::lock_guard lock(stateLock);
    options.version = version;
}

}  // namespace oskel
