// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Firmware download: an Intel HEX text sent to the keyboard one line per report
// (00 3A followed by the line's bytes), after the whole text has been checked.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class CTravoUtil;
class NotifyTarget;

namespace oskel::hid {

struct FirmwareText {
    bool valid = false;
    std::uint64_t faultLine = 0;  // 1-based line of the first fault, 0 when valid
    std::string fault;            // what is wrong there
    std::uint64_t records = 0;    // the records to send, the end-of-file record included
};

// The largest text taken as a firmware image, by the program and oskelctl alike. An image for
// the keyboard's controller is well under a megabyte.
inline constexpr std::size_t kMaxFirmwareBytes = std::size_t{64} << 20;
// An image scattered over more separate address ranges than this is not one for the keyboard.
inline constexpr std::size_t kMaxFirmwareRanges = 65536;

// The record types of an Intel HEX text: 00 data to 05 start linear address; 01 ends it.
inline constexpr std::uint8_t kDataRecord = 0x00;
inline constexpr std::uint8_t kEndOfFileRecord = 0x01;
inline constexpr std::uint8_t kSegmentAddressRecord = 0x02;
inline constexpr std::uint8_t kLinearAddressRecord = 0x04;
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
inline constexpr std::string_view kNoDataRecord =
    "holds no data record (type 00), so there is nothing to send";
inline constexpr std::string_view kTooLarge = "is larger than any firmware image (at most 64 MiB)";

// Checks a whole firmware text, up to its length, holding no more than one record at a time. Lines
// end with CR, CR LF or LF. Every line up to the end-of-file record (type 01) must be ":" and an
// even number of hexadecimal digits whose bytes are the record's length byte + 5 long, sum to 0
// modulo 256, number at most 62 and name a record type 00 to 05. After the end-of-file record only
// line ends, spaces, tabs and zero bytes may follow. An empty line, a zero byte or the end of the
// text before the end-of-file record is a fault. So are a text larger than kMaxFirmwareBytes,
// an end-of-file record with data, two data records that write the same address (after the
// extended segment and linear address records, types 02 and 04), and a text without any data.
FirmwareText checkFirmwareText(std::string_view text);

// The same check, handing each record's decoded bytes to `record` in order; a false answer
// stops the walk (the result is then not valid, with an empty fault).
FirmwareText walkFirmwareText(std::string_view text,
                              const std::function<bool(const std::uint8_t*, std::size_t)>& record);

}  // namespace oskel::hid

// Checks the whole text first (a faulty text sends nothing and answers false), then sends one
// report per line, posting WM_TRANSFER_PROGRESS on a scale of 0..150 over the lines sent
// (counted in 64 bits). False
// when the text is faulty, a report failed or the transfer was cancelled.
bool downloadFirmware(CTravoUtil* transport, const char* text, int length, NotifyTarget* window);
