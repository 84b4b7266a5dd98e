// SPDX-License-Identifier: GPL-2.0-or-later
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

// The record types of an Intel HEX text: 00 data to 05 start linear address; 01 ends it.
inline constexpr std::uint8_t kEndOfFileRecord = 0x01;
inline constexpr std::uint8_t kLastRecordType = 0x05;

// The faults that concern the text as a whole rather than one record.
inline constexpr std::string_view kNoFirmwareRecords = "holds no firmware records";
inline constexpr std::string_view kNoEndOfFileRecord =
    "ends without the end-of-file record (:00000001FF)";
inline constexpr std::string_view kEmptyLineInText = "is empty before the end-of-file record";
inline constexpr std::string_view kZeroByteInText =
    "holds a zero byte before the end-of-file record";
inline constexpr std::string_view kDataAfterEnd =
    "is the end-of-file record, but more text follows it";

// Checks and decodes a whole firmware text, up to its length. Lines end with CR, CR LF or LF.
// Every line up to the end-of-file record (type 01) must be ":" and an even number of
// hexadecimal digits whose bytes are the record's length byte + 5 long, sum to 0 modulo 256,
// number at most 62 and name a record type 00 to 05. After the end-of-file record only line
// ends, spaces, tabs and zero bytes may follow. An empty line, a zero byte or the end of the
// text before the end-of-file record is a fault.
FirmwareText checkFirmwareText(std::string_view text);

}  // namespace oskel::hid

// Checks the whole text first (a faulty text sends nothing and answers false), then sends one
// report per line, posting WM_TRANSFER_PROGRESS on a scale of 0..150 over the lines sent. False
// when the text is faulty, a report failed or the transfer was cancelled.
bool downloadFirmware(CTravoUtil* transport, const char* text, int length, NotifyTarget* window);
