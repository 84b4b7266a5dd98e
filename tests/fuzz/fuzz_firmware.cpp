// SPDX-License-Identifier: GPL-2.0-or-later
// The firmware check and download on a fake channel: a text the check accepts is sent whole,
// one report per record ending with the end-of-file record; a text it refuses sends nothing.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "Firmware.h"
#include "FuzzTransport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > (1u << 20)) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    const oskel::hid::FirmwareText checked = oskel::hid::checkFirmwareText(text);
    oskelfuzz::FuzzTransport transport;
    const bool sent =
        downloadFirmware(&transport, text.c_str(), static_cast<int>(text.size()), nullptr);
    if (!checked.valid) {
        if (sent || !transport.written.empty() || checked.fault.empty() || checked.faultLine < 1) {
            std::abort();  // a refused text reached the keyboard, or was refused without a reason
        }
        return 0;
    }
    std::vector<std::vector<std::uint8_t>> lines;
    oskel::hid::walkFirmwareText(text, [&](const std::uint8_t* bytes, std::size_t n) {
        lines.emplace_back(bytes, bytes + n);
        return true;
    });
    if (!sent || transport.written.size() != checked.records || lines.size() != checked.records ||
        lines.empty() || lines.back()[3] != oskel::hid::kEndOfFileRecord) {
        std::abort();  // an accepted text not sent whole, or not ending with its end record
    }
    bool anyData = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& line = lines[i];
        const auto& report = transport.written[i];
        anyData = anyData || line[3] == 0x00;
        if (line.size() > 62 || line[3] > oskel::hid::kLastRecordType || report[0] != 0x00 ||
            report[1] != 0x3A || std::memcmp(report.data() + 2, line.data(), line.size()) != 0) {
            std::abort();
        }
    }
    if (!anyData || lines.back()[0] != 0) {
        std::abort();  // accepted without any data, or with an end record carrying data
    }
    return 0;
}
