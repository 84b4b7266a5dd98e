// SPDX-License-Identifier: GPL-2.0-or-later
// oskel-example: writes a few key definitions to the keyboard through CTravoHWI, reads them back
// and prints what the keyboard holds for those keys.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "OskelHWI.h"

namespace {

struct Example {
    int level;  // 0 = level 1, 1 = level 2
    int key;    // 1..108
    const char* what;
    std::vector<int> config;
};

// Hardware codes: 0x04 'A', 0x05 'B', 0x06 'C', 0xE0 left Ctrl.
const std::vector<Example> kExamples = {
    {0, 5, "single key A", {0, 1, 0x04}},
    {0, 6, "combination Ctrl+C", {0, 2, 0xE0, 0x06}},
    {0, 7, "typed A B C, 30 ms apart", {1, 30, 3, 0x04, 0x05, 0x06}},
    {1, 5, "macro A, 100 ms, B, 250 ms, C; twice", {2, 0, 2, 1, 0, 3, 0x04, 100, 0x05, 250, 0x06}},
};

std::string text(const char16_t* wide) {
    std::string out;
    for (; *wide != 0; ++wide) {
        out += *wide < 0x80 ? static_cast<char>(*wide) : '?';
    }
    return out;
}

std::string describe(const int* config) {
    static const char* kinds[] = {"codes", "typed", "macro"};
    std::string out = config[0] >= 0 && config[0] <= 2 ? kinds[config[0]] : "?";
    int count = 0;
    switch (config[0]) {
        case 0:
            count = 1 + config[1];
            break;
        case 1:
            count = 2 + config[2];
            break;
        case 2:
            count = 5 + (config[3] ? 2 * config[5] - 1 : config[5]);
            break;
    }
    for (int i = 1; i <= count; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, " %d", config[i]);
        out += number;
    }
    return out;
}

}  // namespace

int main() {
    CTravoHWI keyboard;
    if (!keyboard.__createDev()) {
        std::fprintf(stderr, "oskel-example: no keyboard found\n");
        return 1;
    }
    if (keyboard.openError() != 0) {
        std::fprintf(stderr, "oskel-example: keyboard at %s cannot be opened: %s\n",
                     keyboard.detectedDevicePath().c_str(), std::strerror(keyboard.openError()));
        return 1;
    }
    std::printf("keyboard %s, firmware %s\n", keyboard.detectedDevicePath().c_str(),
                text(keyboard.getHardwareVersion()).c_str());

    keyboard.prepare();
    for (const auto& example : kExamples) {
        keyboard.setKeyConfiguration(example.level, example.key, example.config.data(),
                                     static_cast<int>(example.config.size()));
    }
    if (!keyboard.writeKeyConfigurationToDev(nullptr)) {
        std::fprintf(stderr, "oskel-example: writing the keys failed\n");
        return 1;
    }
    std::printf("wrote %zu key definitions\n", kExamples.size());

    keyboard.prepare();
    if (!keyboard.readKeyDefinationFromDev(nullptr)) {
        std::fprintf(stderr, "oskel-example: reading the keys back failed\n");
        return 1;
    }
    int failures = 0;
    for (const auto& example : kExamples) {
        std::vector<int> config(256, 0);
        keyboard.getKeyConfiguration(example.level, example.key, config.data(),
                                     static_cast<int>(config.size()));
        bool same = std::equal(example.config.begin(), example.config.end(), config.begin());
        failures += same ? 0 : 1;
        std::printf("level %d key %3d  %-38s read back: %s%s\n", example.level + 1, example.key,
                    example.what, describe(config.data()).c_str(), same ? "" : "  (DIFFERS)");
    }
    return failures == 0 ? 0 : 1;
}
