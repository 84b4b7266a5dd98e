// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the tests of every layer share: names for parameterised cases, the firmware images a
// download is tried with, and the check that a test's own virtual keyboard is there.

#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace oskeltest {

// Names a parameterised case after its `name` field, with every character GoogleTest does not
// take in a test name turned into '_'.
struct CaseName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) {
                c = '_';
            }
        }
        return name;
    }
};

// A good firmware image and how many records it holds.
struct FirmwareImage {
    const char* name;
    std::string path;
    std::size_t records;

    std::string text() const {
        std::ifstream file(path, std::ios::binary);
        std::stringstream content;
        content << file.rdbuf();
        return content.str();
    }
};

// The project's own small image (tests/data), and the real one from the shared test data
// when that folder is there.
inline std::vector<FirmwareImage> goodFirmwareImages() {
    std::vector<FirmwareImage> images = {{"Small", OSKEL_TEST_FIRMWARE, 12}};
    const std::string shared = OSKEL_TESTDATA_DIR "/stm32-blinky.hex";
    if (std::filesystem::exists(shared)) {
        images.push_back({"SharedSample", shared, 16});
    }
    return images;
}

}  // namespace oskeltest

// A test's virtual keyboard is its own, made in a private folder; when it cannot be found the
// test has found a fault, not a reason to skip.
#define NEED_KEYBOARD(env) ASSERT_TRUE((env).ready()) << (env).problem
