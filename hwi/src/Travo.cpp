// SPDX-License-Identifier: GPL-2.0-or-later
#include "Travo.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ExchangeBounds.h"
#include "KeyboardUtil.h"
#include "OskelHWI.h"

using namespace oskel::hid;

namespace {

void postProgress(NotifyTarget* window, int slot) {
    if (window != nullptr) {
        window->post(WM_TRANSFER_PROGRESS, static_cast<std::uintptr_t>(slot), 0);
    }
}

}  // namespace

CTravo::CTravo(CTravoUtil* transport) : transport(transport) {}

CTravo::~CTravo() = default;

CKeyDefine* CTravo::slot(int level, int key) const {
    if (!validLevel(level) || !validKey(key)) {
        return nullptr;
    }
    return slots[slotIndex(level, key)].get();
}

void CTravo::setSlot(int level, int key, std::unique_ptr<CKeyDefine> definition) {
    if (!validLevel(level) || !validKey(key)) {
        return;
    }
    auto& held = slots[slotIndex(level, key)];
    held.reset();
    held = std::move(definition);
}

void CTravo::clearSlots() {
    for (auto& held : slots) {
        held.reset();
    }
}

bool CTravo::sendPayload(const std::uint8_t* payload) {
    if (transport == nullptr || transport->cancelled()) {
        return false;
    }
    std::uint8_t report[kReportSize];
    report[0] = kReportId;
    std::memcpy(report + 1, payload, kPayloadSize);
    return transport->writeReport(report, kReportSize);
}

bool CTravo::receivePayload(std::uint8_t* payload, ReadBudget& budget) {
    if (transport == nullptr || transport->cancelled()) {
        return false;
    }
    int length = kPayloadSize;
    return transport->readReport(payload, length, kReadTimeoutMs) &&
           budget.takeReport(transport->now());
}

bool CTravo::sendSlot(int level, int key) {
    const CKeyDefine* definition = slots[slotIndex(level, key)].get();
    int size = 0;
    if (definition != nullptr) {
        definition->encodeRecord(nullptr, kPayloadSize, size);
    }
    // A macro without steps encodes to nothing; the keyboard gets the empty record instead, so
    // it never keeps an old assignment for that slot.
    if (size <= 0) {
        std::uint8_t empty[kPayloadSize] = {0x00, kKeyRecord, static_cast<std::uint8_t>(level),
                                            static_cast<std::uint8_t>(key)};
        return sendPayload(empty);
    }
    std::vector<std::uint8_t> record(size, 0);
    if (!definition->encodeRecord(record.data(), kPayloadSize, size)) {
        return false;
    }
    for (int offset = 0; offset + static_cast<int>(kPayloadSize) <= size; offset += kPayloadSize) {
        if (!sendPayload(record.data() + offset)) {
            return false;
        }
    }
    return true;
}

bool CTravo::writeAllKeys(NotifyTarget* window) {
    const std::uint8_t begin[kPayloadSize] = {0x00, kKeyWriteBegin};
    if (!sendPayload(begin)) {
        return false;
    }
    for (int level = 1; level <= kLevelCount; ++level) {
        for (int key = 1; key <= kKeyCount; ++key) {
            if (!sendSlot(level, key)) {
                return false;
            }
            postProgress(window, slotIndex(level, key));
        }
    }
    std::uint8_t end[kPayloadSize];
    std::memset(end, kKeyEnd, sizeof end);
    end[0] = 0x00;
    return sendPayload(end) && transport->waitUntilTaken();
}

// One key record whose first payload is `first`: gathers the further payloads a macro spans,
// decodes it into its slot. False only when a read failed.
bool CTravo::receiveKeyRecord(std::uint8_t* first, NotifyTarget* window, ReadBudget& budget) {
    const int level = first[kRecordLevelAt];
    const int key = first[kRecordKeyAt];
    const int type = first[kRecordTypeAt];
    int payloads = 1;
    if (type >= 2 && type <= 4) {
        payloads = macroRecordPayloads((first[kMacroLengthAt] << 8) | first[kMacroLengthAt + 1]);
    }
    const bool named = validLevel(level) && validKey(key) && type <= 4;
    if (named) {
        setSlot(level, key, nullptr);
    }
    std::vector<std::uint8_t> record(first, first + kPayloadSize);
    record.resize(payloads * kPayloadSize);
    for (int p = 1; p < payloads; ++p) {
        if (!receivePayload(record.data() + p * kPayloadSize, budget)) {
            return false;
        }
    }
    // A record naming no slot or no class is skipped; its further payloads were taken above
    // so they are not mistaken for records.
    if (!named) {
        return true;
    }
    auto definition = createKeyDefine(key, level, type);
    definition->decodeRecord(record.data(), kPayloadSize, static_cast<int>(record.size()));
    setSlot(level, key, std::move(definition));
    postProgress(window, slotIndex(level, key));
    return true;
}

bool CTravo::readAllKeys(NotifyTarget* window) {
    const std::uint8_t request[kPayloadSize] = {0x00, kKeyReadRequest};
    if (!sendPayload(request)) {
        return false;
    }
    ReadBudget budget(kKeyReadBound, transport->now());
    for (;;) {
        std::uint8_t payload[kPayloadSize] = {};
        if (!receivePayload(payload, budget)) {
            return false;
        }
        // The end marker is tested first: F6 in byte 0 ends the read even over an F0 in byte 1.
        if (payload[0] == kKeyEnd) {
            return true;
        }
        if (payload[kTagAt] == kKeyRecord &&
            (!budget.takeItem() || !receiveKeyRecord(payload, window, budget))) {
            return false;
        }
    }
}

bool CTravo::writeLights() {
    const std::uint8_t begin[kPayloadSize] = {0x00, kLightWriteBegin};
    if (!sendPayload(begin)) {
        return false;
    }
    for (std::size_t offset = 0; offset < lights.size(); offset += kLightChunkMax) {
        std::size_t n = std::min(kLightChunkMax, lights.size() - offset);
        std::uint8_t chunk[kPayloadSize] = {0x00, kLightChunk, static_cast<std::uint8_t>(n)};
        std::memcpy(chunk + 3, lights.data() + offset, n);
        if (!sendPayload(chunk)) {
            return false;
        }
    }
    std::uint8_t end[kPayloadSize];
    std::memset(end, kLightEnd, sizeof end);
    return sendPayload(end) && transport->waitUntilTaken();
}

bool CTravo::readLights() {
    const std::uint8_t request[kPayloadSize] = {0x00, kLightReadRequest};
    if (!sendPayload(request)) {
        return false;
    }
    ReadBudget budget(kLightReadBound, transport->now());
    std::size_t offset = 0;
    for (;;) {
        std::uint8_t payload[kPayloadSize] = {};
        if (!receivePayload(payload, budget)) {
            return false;
        }
        if (payload[kTagAt] == kLightEnd) {
            return true;
        }
        if (payload[kTagAt] != kLightChunk) {
            continue;
        }
        if (!budget.takeItem()) {
            return false;
        }
        // The keyboard's chunk length is trusted only as far as the report and the table go.
        std::size_t n = std::min<std::size_t>(payload[kChunkLengthAt], kLightChunkMax);
        n = std::min(n, lights.size() - offset);
        std::memcpy(lights.data() + offset, payload + kChunkDataAt, n);
        offset += n;
    }
}
