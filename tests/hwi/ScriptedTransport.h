#pragma once
// A transport without a device: keeps what is written and answers reads from a script.

#include <deque>

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

    // An empty script is a keyboard that never answers: the read fails.
    bool readReport(std::uint8_t* buffer, int& length, int) override {
        if (answers.empty()) {
            return false;
        }
        std::copy_n(answers.front().begin(), std::min(length, 64), buffer);
        answers.pop_front();
        reads++;
        return true;
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
    int failWritesFrom = -1;  // written reports after which every write fails
    int badWrites = 0;
    int reads = 0;
};

}  // namespace oskeltest
