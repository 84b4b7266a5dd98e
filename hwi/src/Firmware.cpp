// SPDX-License-Identifier: GPL-2.0-or-later
#include "Firmware.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

#include "KeyboardUtil.h"
#include "OskelHWI.h"
#include "ReportTags.h"

using namespace oskel::hid;

static_assert(kMaxFirmwareBytes == CTravoHWI::kMaxFirmwareBytes);

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Why `line` is not a record this keyboard can take, empty when it is one; fills `bytes` (room
// for kFirmwareLineMax) and `size`.
std::string decodeLine(std::string_view line, std::uint8_t* bytes, std::size_t& size) {
    if (line.empty() || line[0] != ':') {
        return "does not start with ':'";
    }
    std::string_view digits = line.substr(1);
    const std::size_t bad =
        std::find_if(digits.begin(), digits.end(), [](char c) { return hexValue(c) < 0; }) -
        digits.begin();
    if (bad < digits.size()) {
        const char c = digits[bad];
        if (c == ' ' || c == '\t') {
            const bool trailing = digits.find_first_not_of(" \t", bad) == std::string_view::npos;
            const char* what = c == ' ' ? "a space" : "a tab";
            return std::string(trailing ? "ends with " : "holds ") + what +
                   (trailing ? " after its hexadecimal digits (a record ends with its checksum)"
                             : " among its hexadecimal digits");
        }
        return "holds a character that is not a hexadecimal digit";
    }
    if (digits.size() % 2 != 0) {
        return "has an odd number of hexadecimal digits";
    }
    if (digits.size() / 2 > kFirmwareLineMax) {
        return "is longer than the keyboard takes (at most 62 bytes a record)";
    }
    size = digits.size() / 2;
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] =
            static_cast<std::uint8_t>(hexValue(digits[2 * i]) * 16 + hexValue(digits[2 * i + 1]));
        sum += bytes[i];
    }
    // Length byte, two address bytes, type byte, data, checksum byte.
    if (size < 5 || size != bytes[0] + 5u) {
        return "its length byte does not match the record";
    }
    if (sum % 256 != 0) {
        return "the checksum is wrong";
    }
    return {};
}

// The address ranges the data records have written, contiguous ones joined, each with the line
// that began it; a record writing an address again is found as it comes.
class WrittenRanges {
public:
    // Empty when [from, to) is new; else why the line is refused.
    std::string add(std::uint64_t from, std::uint64_t to, std::uint64_t line) {
        if (from == to) {
            return {};
        }
        auto next = ranges_.upper_bound(from);
        if (next != ranges_.begin()) {
            auto before = std::prev(next);
            if (before->second.end > from) {
                return again(from, before->second.line);
            }
        }
        if (next != ranges_.end() && next->first < to) {
            return again(next->first, next->second.line);
        }
        if (next != ranges_.begin()) {
            auto before = std::prev(next);
            if (before->second.end == from) {
                before->second.end = to;
                if (next != ranges_.end() && next->first == to) {
                    before->second.end = next->second.end;
                    ranges_.erase(next);
                }
                return {};
            }
        }
        if (next != ranges_.end() && next->first == to) {
            const Range joined{next->second.end, line};
            ranges_.erase(next);
            ranges_.emplace(from, joined);
            return {};
        }
        if (ranges_.size() >= kMaxFirmwareRanges) {
            return "writes more separate address ranges than any firmware image has";
        }
        ranges_.emplace(from, Range{to, line});
        return {};
    }

private:
    struct Range {
        std::uint64_t end;
        std::uint64_t line;
    };
    static std::string again(std::uint64_t address, std::uint64_t line) {
        char why[128];
        std::snprintf(why, sizeof why, "writes address %08llX again, which line %llu wrote already",
                      static_cast<unsigned long long>(address),
                      static_cast<unsigned long long>(line));
        return why;
    }
    std::map<std::uint64_t, Range> ranges_;
};

}  // namespace

namespace oskel::hid {

namespace {

// What may follow the end-of-file record: line ends, spaces, tabs, and the zero bytes that
// pad an image or terminate it as a C string.
bool blankSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

// The end of the line starting at `at`: the next CR, LF or zero byte, or the end of the text.
std::size_t lineEnd(std::string_view text, std::size_t at) {
    std::size_t end = text.find_first_of(std::string_view("\r\n\0", 3), at);
    return end == std::string_view::npos ? text.size() : end;
}

// Past one line ending: CR LF, CR or LF.
std::size_t skipLineEnding(std::string_view text, std::size_t at) {
    if (at < text.size() && text[at] == '\r') {
        ++at;
    }
    if (at < text.size() && text[at] == '\n') {
        ++at;
    }
    return at;
}

FirmwareText refused(std::uint64_t line, std::string fault) {
    FirmwareText result;
    result.faultLine = line;
    result.fault = std::move(fault);
    return result;
}

}  // namespace

FirmwareText checkFirmwareText(std::string_view text) {
    return walkFirmwareText(text, nullptr);
}

FirmwareText walkFirmwareText(std::string_view text,
                              const std::function<bool(const std::uint8_t*, std::size_t)>& record) {
    // The whole text is checked: a half-sent image can leave the keyboard unusable, so a text
    // damaged anywhere (an empty line, a run of zero bytes, a missing end) sends nothing.
    if (text.size() > kMaxFirmwareBytes) {
        return refused(1, std::string(kTooLarge));
    }
    if (std::all_of(text.begin(), text.end(), blankSpace)) {
        return refused(1, std::string(kNoFirmwareRecords));
    }
    FirmwareText result;
    WrittenRanges written;
    std::uint64_t base = 0;  // from the last extended address record
    std::uint64_t dataRecords = 0;
    std::size_t at = 0;
    std::uint64_t lineNumber = 0;
    std::uint8_t bytes[kFirmwareLineMax];
    while (at < text.size()) {
        ++lineNumber;
        const std::size_t end = lineEnd(text, at);
        std::string_view line = text.substr(at, end - at);
        if (line.empty()) {
            return refused(lineNumber, text[at] == '\0' ? std::string(kZeroByteInText)
                                                        : std::string(kEmptyLineInText));
        }
        std::size_t size = 0;
        if (std::string fault = decodeLine(line, bytes, size); !fault.empty()) {
            return refused(lineNumber, std::move(fault));
        }
        const std::uint8_t type = bytes[3];
        const std::uint8_t length = bytes[0];
        if (type > kLastRecordType) {
            char why[64];
            std::snprintf(why, sizeof why, "has record type %02X (only 00 to 05 exist)", type);
            return refused(lineNumber, why);
        }
        const std::uint64_t word = length >= 2 ? (std::uint64_t{bytes[4]} << 8 | bytes[5]) : 0;
        if (type == kEndOfFileRecord && length != 0) {
            return refused(lineNumber, "is an end-of-file record, but it carries data");
        }
        if (type == kDataRecord) {
            const std::uint64_t from = base + (std::uint64_t{bytes[1]} << 8 | bytes[2]);
            if (std::string fault = written.add(from, from + length, lineNumber); !fault.empty()) {
                return refused(lineNumber, std::move(fault));
            }
            ++dataRecords;
        } else if (type == kSegmentAddressRecord || type == kLinearAddressRecord) {
            if (length != 2) {
                return refused(lineNumber, "is an extended address record without two bytes");
            }
            base = type == kSegmentAddressRecord ? word << 4 : word << 16;
        }
        if (type == kEndOfFileRecord && dataRecords == 0) {
            return refused(lineNumber, std::string(kNoDataRecord));
        }
        if (record && !record(bytes, size)) {
            result.faultLine = lineNumber;
            return result;
        }
        ++result.records;
        at = skipLineEnding(text, end);
        if (type == kEndOfFileRecord) {
            const std::string_view rest = text.substr(at);
            if (!std::all_of(rest.begin(), rest.end(), blankSpace)) {
                return refused(lineNumber, std::string(kDataAfterEnd));
            }
            result.valid = true;
            return result;
        }
        if (end < text.size() && text[end] == '\0') {
            return refused(lineNumber, std::string(kZeroByteInText));
        }
    }
    return refused(lineNumber + 1, std::string(kNoEndOfFileRecord));
}

}  // namespace oskel::hid

bool downloadFirmware(CTravoUtil* transport, const char* text, int length, NotifyTarget* window) {
    if (transport == nullptr || text == nullptr || length <= 0) {
        return false;
    }
    const std::string_view all(text, static_cast<std::size_t>(length));
    const FirmwareText checked = checkFirmwareText(all);
    if (!checked.valid) {
        return false;
    }
    const std::uint64_t lineCount = checked.records;
    std::uint64_t sent = 0;
    std::uint64_t posted = 0;
    const FirmwareText walked =
        walkFirmwareText(all, [&](const std::uint8_t* line, std::size_t size) {
            if (transport->cancelled()) {
                return false;
            }
            std::uint8_t report[kReportSize] = {kReportId, 0x00, kFirmwareLine};
            std::memcpy(report + 1 + kFirmwareDataOffset, line, size);
            if (!transport->writeReport(report, kReportSize)) {
                return false;
            }
            ++sent;
            const std::uint64_t progress = sent * 150 / lineCount;
            if (progress > posted && window != nullptr) {
                window->post(WM_TRANSFER_PROGRESS, static_cast<std::uintptr_t>(progress), 0);
            }
            posted = std::max(posted, progress);
            return true;
        });
    return walked.valid && transport->waitUntilTaken();
}
