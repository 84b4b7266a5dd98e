#include "FirmwareCheck.h"

#include <vector>

namespace {

// A firmware line goes to the keyboard in one report, 62 bytes after the command bytes.
constexpr std::size_t kMaxRecordBytes = 62;

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

std::string checkLine(std::string_view line) {
    if (line.front() != ':') {
        return "does not start with ':'";
    }
    const std::string_view digits = line.substr(1);
    if (digits.size() % 2 != 0) {
        return "has an odd number of hexadecimal digits";
    }
    std::vector<int> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int hi = hexValue(digits[i]);
        const int lo = hexValue(digits[i + 1]);
        if (hi < 0 || lo < 0) {
            return "holds a character that is not a hexadecimal digit";
        }
        bytes.push_back(hi * 16 + lo);
    }
    // Length, two address bytes, record type, data, checksum.
    if (bytes.size() < 5 || bytes.size() != static_cast<std::size_t>(bytes[0]) + 5) {
        return "its length byte does not match the record";
    }
    if (bytes.size() > kMaxRecordBytes) {
        return "is longer than the keyboard takes (at most 62 bytes a record)";
    }
    int sum = 0;
    for (const int b : bytes) {
        sum += b;
    }
    if ((sum & 0xFF) != 0) {
        return "the checksum is wrong";
    }
    return {};
}

}  // namespace

std::string checkFirmwareText(std::string_view text) {
    std::size_t pos = 0;
    int lineNumber = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        const std::string_view line =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (line.empty()) {
            break;
        }
        ++lineNumber;
        if (std::string fault = checkLine(line); !fault.empty()) {
            return "line " + std::to_string(lineNumber) + ": " + fault;
        }
        if (end == std::string_view::npos) {
            break;
        }
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') {
            ++pos;
        }
    }
    if (lineNumber == 0) {
        return "the file holds no firmware records";
    }
    return {};
}
