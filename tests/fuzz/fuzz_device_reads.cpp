// SPDX-License-Identifier: GPL-2.0-or-later
// The key-record and backlight reads fed with fuzzed reports through a scripted transport:
// whatever a keyboard (or something posing as one) answers, the reads stay inside their slots
// and table, give up within their bounds, and leave definitions that encode again.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ExchangeBounds.h"
#include "FuzzTransport.h"
#include "KeyConfiguration.h"
#include "Travo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // First byte: which read, whether the script repeats, and how slowly each answer comes.
    const std::uint8_t mode = data[0];
    const bool lights = (mode & 1) != 0;
    const bool repeat = (mode & 2) != 0;
    ++data;
    --size;
    oskelfuzz::FuzzTransport transport;
    transport.readTime = std::chrono::milliseconds((mode >> 2) * 16);
    transport.repeat = repeat;
    for (std::size_t at = 0; at < size; at += 64) {
        oskelfuzz::Payload payload{};
        std::memcpy(payload.data(), data + at, std::min<std::size_t>(64, size - at));
        transport.script.push_back(payload);
    }
    CTravo keyboard(&transport);
    const oskel::hid::ReadBound bound =
        lights ? oskel::hid::kLightReadBound : oskel::hid::kKeyReadBound;
    const bool ended = lights ? keyboard.readLights() : keyboard.readAllKeys(nullptr);
    if (transport.reads > bound.reports + 1) {
        std::abort();  // the read went on past its bound
    }
    if (ended && transport.reads == 0) {
        std::abort();  // an end marker that never came
    }
    // Every definition stored reads out and encodes again.
    static std::vector<int> config(1 << 17);
    for (int level = 1; level <= 2; ++level) {
        for (int key = 1; key <= 108; ++key) {
            const CKeyDefine* definition = keyboard.slot(level, key);
            oskel::hid::configurationFromKeyDefine(definition, config.data(), 1 << 17);
            if (definition == nullptr) {
                continue;
            }
            int bytes = 0;
            definition->encodeRecord(nullptr, 64, bytes);
            std::vector<std::uint8_t> record(static_cast<std::size_t>(std::max(bytes, 0)));
            if (bytes > 0 && !definition->encodeRecord(record.data(), 64, bytes)) {
                std::abort();
            }
        }
    }
    return 0;
}
