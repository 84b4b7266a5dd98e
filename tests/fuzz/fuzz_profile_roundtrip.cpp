// SPDX-License-Identifier: GPL-2.0-or-later
// Profile load from bytes, then save and load again: whatever a file holds, what the program
// makes of it survives its own save unchanged (the second save is byte for byte the first).
#include <cstdint>
#include <cstdlib>

#include "FuzzFiles.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "Profile.h"

namespace {

KeyboardConfig& fresh(KeyboardConfig& config) {
    if (config.language.empty()) {
        buildKeyTables(config);
    }
    config.clear();
    return config;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static KeyboardConfig first;
    static KeyboardConfig second;
    const std::string input = oskelfuzz::writeInput("input.pro", data, size);
    std::string why;
    if (!fresh(first).loadProfile(input, &why)) {
        if (why.empty()) {
            std::abort();  // a refusal says why
        }
        return 0;
    }
    const std::string saved = oskelfuzz::workFolder() + "/saved.pro";
    const std::string resaved = oskelfuzz::workFolder() + "/resaved.pro";
    if (!first.saveProfile(saved, &why) || !fresh(second).loadProfile(saved, &why) ||
        !second.saveProfile(resaved, &why)) {
        std::abort();  // the program cannot read back what it wrote
    }
    if (oskelfuzz::readAll(saved) != oskelfuzz::readAll(resaved)) {
        std::abort();  // the round trip changed the configuration
    }
    return 0;
}
