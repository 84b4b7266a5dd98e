// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A transport without a device: keeps what is written and answers reads from a script.

#include <chrono>
#include <deque>
#include <functional>

#include "KeyboardUtil.h"
#include "TestSupport.h"

namespace oskeltest {

class ScriptedTransport : public CTravoUtil {
public:
    bool writeReport(const std::uint8_t* buffer, int length) override {
        if (length != 65 || buffer[0] != 0x00) {
            badWrites++;
            return false;
        }
        if (failWritesFrom >= 0 && static_cast<int>(written.size()) >= failWritesFrom) {
            return false;
        }
        Payload payload;
        std::copy_n(buffer + 1, 64, payload.begin());
        written.push_back(payload);
        return true;
    }

    // An empty script is a keyboard that never answers: the read fails, unless `endless`
    // makes up the next answer. Every read moves the transport's clock on by `readTime`.
    bool readReport(std::uint8_t* buffer, int& length, int) override {
        if (answers.empty() && !endless) {
            return false;
        }
        const Payload next = answers.empty() ? endless() : answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        std::copy_n(next.begin(), std::min(length, 64), buffer);
        reads++;
        elapsed += readTime;
        return true;
    }

    bool waitUntilTaken() override {
        waits++;
        return keyboardTakesAll;
    }

    std::chrono::steady_clock::time_point now() const override {
        return std::chrono::steady_clock::time_point{} + elapsed;
    }

    void answer(const Payload& payload) { answers.push_back(payload); }
    void answer(std::string_view hex) { answers.push_back(payloadFromHex(hex)); }
    void answerFilled(std::uint8_t value) {
        Payload payload;
        payload.fill(value);
        answers.push_back(payload);
    }

    std::vector<Payload> written;
    std::deque<Payload> answers;
    std::function<Payload()> endless;  // answers once the script has run out
    std::chrono::milliseconds readTime{0};
    std::chrono::milliseconds elapsed{0};
    int failWritesFrom = -1;       // written reports after which every write fails
    bool keyboardTakesAll = true;  // false: the written reports never leave the queue
    int badWrites = 0;
    int reads = 0;
    int waits = 0;  // times a write exchange waited for the keyboard to take its reports
};

}  // namespace oskeltest
