// SPDX-License-Identifier: GPL-2.0-or-later
#include "Firmware.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "KeyboardUtil.h"
#include "OskelHWI.h"
#include "ReportTags.h"

using namespace oskel::hid;

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

// Why `line` is not a record this keyboard can take, empty when it is one; fills `bytes`.
std::string decodeLine(std::string_view line, std::vector<std::uint8_t>& bytes) {
    if (line.empty() || line[0] != ':') {
        return "does not start with ':'";
    }
    std::string_view digits = line.substr(1);
    if (digits.size() % 2 != 0) {
        return "has an odd number of hexadecimal digits";
    }
    if (digits.size() / 2 > kFirmwareLineMax) {
        return "is longer than the keyboard takes (at most 62 bytes a record)";
    }
    bytes.clear();
    unsigned sum = 0;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        int high = hexValue(digits[i]);
        int low = hexValue(digits[i + 1]);
        if (high < 0 || low < 0) {
            return "holds a character that is not a hexadecimal digit";
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        sum += bytes.back();
    }
    // Length byte, two address bytes, type byte, data, checksum byte.
    if (bytes.size() < 5 || bytes.size() != bytes[0] + 5u) {
        return "its length byte does not match the record";
    }
    if (sum % 256 != 0) {
        return "the checksum is wrong";
    }
    return {};
}

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

FirmwareText refused(int line, std::string fault) {
    FirmwareText result;
    result.faultLine = line;
    result.fault = std::move(fault);
    return result;
}

}  // namespace

FirmwareText checkFirmwareText(std::string_view text) {
    // The whole text is checked: a half-sent image can leave the keyboard unusable, so a text
    // damaged anywhere (an empty line, a run of zero bytes, a missing end) sends nothing.
    if (std::all_of(text.begin(), text.end(), blankSpace)) {
        return refused(1, std::string(kNoFirmwareRecords));
    }
    FirmwareText result;
    std::size_t at = 0;
    int lineNumber = 0;
    while (at < text.size()) {
        ++lineNumber;
        const std::size_t end = lineEnd(text, at);
        std::string_view line = text.substr(at, end - at);
        if (line.empty()) {
            return refused(lineNumber, text[at] == '\0' ? std::string(kZeroByteInText)
                                                        : std::string(kEmptyLineInText));
        }
        std::vector<std::uint8_t> bytes;
        if (std::string fault = decodeLine(line, bytes); !fault.empty()) {
            return refused(lineNumber, std::move(fault));
        }
        const std::uint8_t type = bytes[3];
        if (type > kLastRecordType) {
            char why[64];
            std::snprintf(why, sizeof why, "has record type %02X (only 00 to 05 exist)", type);
            return refused(lineNumber, why);
        }
        result.lines.push_back(std::move(bytes));
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
    FirmwareText firmware = checkFirmwareText(std::string_view(text, length));
    if (!firmware.valid) {
        return false;
    }
    const int lineCount = static_cast<int>(firmware.lines.size());
    int accumulated = 0;
    int posted = 0;
    for (const auto& line : firmware.lines) {
        if (transport->cancelled()) {
            return false;
        }
        std::uint8_t report[kReportSize] = {kReportId, 0x00, kFirmwareLine};
        std::memcpy(report + 1 + kFirmwareDataOffset, line.data(), line.size());
        if (!transport->writeReport(report, kReportSize)) {
            return false;
        }
        accumulated += 150;
        int progress = accumulated / lineCount;
        if (progress > posted && window != nullptr) {
            window->post(WM_TRANSFER_PROGRESS, static_cast<std::uintptr_t>(progress), 0);
        }
        posted = std::max(posted, progress);
    }
    return transport->waitUntilTaken();
}
