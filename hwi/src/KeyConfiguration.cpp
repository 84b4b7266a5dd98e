// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeyConfiguration.h"

#include <algorithm>
#include <vector>

#include "ReportTags.h"

namespace oskel::hid {

namespace {

std::unique_ptr<CKeyDefine> normalFrom(int level, int key, const int* config) {
    auto definition = std::make_unique<CNormalKeyDefine>(key, level);
    definition->codeCount = std::clamp(config[1], 0, kMaxNormalCodes);
    definition->codes.assign(config + 2, config + 2 + definition->codeCount);
    return definition;
}

// The record holds pauses and intervals in 16 bits and the repeat count in one byte: a number
// beyond is stored as the nearest one it can hold, never wrapped (70000 ms is not 4464 ms).
constexpr int kMaxMilliseconds = 65535;
constexpr int kMaxCycles = 255;

int storedMilliseconds(int value) {
    return std::clamp(value, 0, kMaxMilliseconds);
}

std::unique_ptr<CKeyDefine> continuousFrom(int level, int key, const int* config) {
    auto definition = std::make_unique<CContinousKeyDefine>(key, level);
    definition->delay = storedMilliseconds(config[1]);
    definition->codeCount = std::clamp(config[2], 0, kMaxContinuousCodes);
    definition->codes.assign(config + 3, config + 3 + definition->codeCount);
    return definition;
}

std::unique_ptr<CKeyDefine> macroFrom(int level, int key, const int* config) {
    const int playMode = config[1];
    if (playMode < 0 || playMode > 2) {
        return nullptr;
    }
    auto definition = std::make_unique<CMacroKeyDefine>(key, level, 2 + playMode);
    definition->cycles = std::clamp(config[2], 0, kMaxCycles);
    definition->hasStepDelays = config[3] != 0 ? 1 : 0;
    definition->delay = storedMilliseconds(config[4]);
    // The record's 16-bit length bounds the steps: 65535 single bytes or 16384 4-byte groups.
    const int maxSteps = definition->hasStepDelays ? (kMaxStepPayload + 3) / 4 : kMaxStepPayload;
    const int steps = std::clamp(config[5], 0, maxSteps);
    definition->stepCount = steps;
    definition->codes.assign(steps, 0);
    definition->delays.assign(steps, 0);
    for (int i = 0; i < steps; ++i) {
        if (definition->hasStepDelays) {
            definition->codes[i] = config[6 + 2 * i];
            if (i + 1 < steps) {
                definition->delays[i] = storedMilliseconds(config[7 + 2 * i]);
            }
        } else {
            definition->codes[i] = config[6 + i];
        }
    }
    return definition;
}

// Appends to `config` while room is left.
struct Writer {
    int* config;
    int capacity;
    int written = 0;
    void put(int value) {
        if (written < capacity) {
            config[written] = value;
        }
        ++written;
    }
    int count() const { return std::min(written, capacity); }
};

void writeCodes(Writer& out, const std::vector<int>& codes, int count) {
    count = std::clamp(count, 0, static_cast<int>(codes.size()));
    out.put(count);
    for (int i = 0; i < count; ++i) {
        out.put(codes[i]);
    }
}

}  // namespace

std::unique_ptr<CKeyDefine> keyDefineFromConfiguration(int level, int key, const int* config) {
    if (config == nullptr) {
        return nullptr;
    }
    switch (config[0]) {
        case 0:
            return normalFrom(level, key, config);
        case 1:
            return continuousFrom(level, key, config);
        case 2:
            return macroFrom(level, key, config);
        default:
            return nullptr;
    }
}

int configurationFromKeyDefine(const CKeyDefine* definition, int* config, int capacity) {
    if (config == nullptr || capacity <= 0) {
        return 0;
    }
    Writer out{config, capacity};
    if (definition == nullptr) {
        out.put(0);
        out.put(0);
        return out.count();
    }
    if (auto normal = dynamic_cast<const CNormalKeyDefine*>(definition)) {
        out.put(0);
        writeCodes(out, normal->codes, normal->codeCount);
    } else if (auto continuous = dynamic_cast<const CContinousKeyDefine*>(definition)) {
        out.put(1);
        out.put(continuous->delay);
        writeCodes(out, continuous->codes, continuous->codeCount);
    } else if (auto macro = dynamic_cast<const CMacroKeyDefine*>(definition)) {
        const int steps = std::clamp(macro->stepCount, 0, static_cast<int>(macro->codes.size()));
        out.put(2);
        out.put(macro->type - 2);
        out.put(macro->cycles);
        out.put(macro->hasStepDelays);
        out.put(macro->delay);
        out.put(steps);
        for (int i = 0; i < steps; ++i) {
            out.put(macro->codes[i]);
            if (macro->hasStepDelays && i + 1 < steps) {
                out.put(i < static_cast<int>(macro->delays.size()) ? macro->delays[i] : 0);
            }
        }
    }
    return out.count();
}

}  // namespace oskel::hid
