// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Small helpers shared by the device library's tests.

#include <ftw.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "OskelHWI.h"
#include "OskelTestSupport.h"

namespace oskeltest {

using Bytes = std::vector<std::uint8_t>;
using Payload = std::array<std::uint8_t, 64>;

// A 64-byte payload from hex digits (spaces ignored), the rest zero.
inline Payload payloadFromHex(std::string_view hex) {
    Payload payload{};
    std::size_t at = 0;
    int high = -1;
    for (char c : hex) {
        int value = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (value < 0) {
            continue;
        }
        if (high < 0) {
            high = value;
        } else {
            payload.at(at++) = static_cast<std::uint8_t>(high * 16 + value);
            high = -1;
        }
    }
    return payload;
}

inline std::u16string u16(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

// A fresh folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/oskel-hwi-test-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        path = made != nullptr ? made : "";
    }
    ~TempFolder() {
        if (!path.empty()) {
            ::nftw(
                path.c_str(),
                [](const char* file, const struct stat*, int, struct FTW*) {
                    return ::remove(file);
                },
                16, FTW_DEPTH | FTW_PHYS);
        }
    }
    std::string path;
};

// Remembers every message posted to it.
class MessageLog : public NotifyTarget {
public:
    struct Message {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard lock(guard);
        messages.push_back({message, wParam, lParam});
    }
    std::vector<std::uintptr_t> progress() const {
        std::lock_guard lock(guard);
        std::vector<std::uintptr_t> values;
        for (const auto& m : messages) {
            if (m.message == WM_TRANSFER_PROGRESS) {
                values.push_back(m.wParam);
            }
        }
        return values;
    }

private:
    mutable std::mutex guard;
    std::vector<Message> messages;
};

}  // namespace oskeltest
