// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A transport without a device for the fuzz targets: keeps what is written, answers reads from
// a script (over and over when asked), and runs its own clock on by a fixed time per read.

#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "KeyboardUtil.h"

namespace oskelfuzz {

using Payload = std::array<std::uint8_t, 64>;

class FuzzTransport : public CTravoUtil {
public:
    bool writeReport(const std::uint8_t* buffer, int length) override {
        if (length != 65 || buffer[0] != 0x00) {
            return false;
        }
        Payload payload;
        std::memcpy(payload.data(), buffer + 1, payload.size());
        written.push_back(payload);
        return true;
    }

    bool readReport(std::uint8_t* buffer, int& length, int) override {
        if (next >= script.size() && (!repeat || script.empty())) {
            return false;
        }
        const Payload& answer = script[next++ % script.size()];
        std::memcpy(buffer, answer.data(), static_cast<std::size_t>(std::min(length, 64)));
        ++reads;
        elapsed += readTime;
        return true;
    }

    bool waitUntilTaken() override { return true; }

    std::chrono::steady_clock::time_point now() const override {
        return std::chrono::steady_clock::time_point{} + elapsed;
    }

    std::vector<Payload> script;
    bool repeat = false;
    std::chrono::milliseconds readTime{0};
    std::vector<Payload> written;
    std::size_t reads = 0;

private:
    std::size_t next = 0;
    std::chrono::milliseconds elapsed{0};
};

}  // namespace oskelfuzz
