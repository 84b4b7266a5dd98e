#pragma once
// Firmware download: an Intel HEX text sent to the keyboard one line per report
// (00 3A followed by the line's bytes), after the whole text has been checked.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CTravoUtil;
class NotifyTarget;

namespace oskel::hid {

struct FirmwareText {
    bool valid = false;
    int faultLine = 0;                             // 1-based line of the first fault, 0 when valid
    std::string fault;                             // what is wrong there
    std::vector<std::vector<std::uint8_t>> lines;  // the decoded lines to send, in order
};

// Checks and decodes a firmware text. Lines end with CR, CR LF or LF; a last line without an
// ending counts; the first empty line ends the text. Every line before it must be ":" and an
// even number of hexadecimal digits whose bytes are the record's length byte + 5 long, sum to
// 0 modulo 256 and number at most 62. A zero byte ends the text early.
// The fault of a text without a single record.
inline constexpr std::string_view kNoFirmwareRecords = "holds no firmware records";

FirmwareText checkFirmwareText(std::string_view text);

}  // namespace oskel::hid

// Checks the whole text first (a faulty text sends nothing and answers false), then sends one
// report per line, posting WM_TRANSFER_PROGRESS on a scale of 0..150 over the lines sent. False
// when the text is faulty, a report failed or the transfer was cancelled.
bool downloadFirmware(CTravoUtil* transport, const char* text, int length, NotifyTarget* window);
