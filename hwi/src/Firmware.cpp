#include "Firmware.h"

#include <algorithm>
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

FirmwareText checkFirmwareText(std::string_view text) {
    FirmwareText result;
    text = text.substr(0, text.find('\0'));
    std::size_t at = 0;
    int lineNumber = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(at, end - at);
        if (line.empty()) {
            break;
        }
        ++lineNumber;
        std::vector<std::uint8_t> bytes;
        std::string fault = decodeLine(line, bytes);
        if (!fault.empty()) {
            result.lines.clear();
            result.faultLine = lineNumber;
            result.fault = fault;
            return result;
        }
        result.lines.push_back(std::move(bytes));
        at = end;
        if (at < text.size() && text[at] == '\r') {
            ++at;
        }
        if (at < text.size() && text[at] == '\n') {
            ++at;
        }
        if (end == text.size()) {
            break;
        }
    }
    if (result.lines.empty()) {
        result.faultLine = 1;
        result.fault = kNoFirmwareRecords;
        return result;
    }
    result.valid = true;
    return result;
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
    return true;
}
