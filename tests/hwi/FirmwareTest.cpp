// SPDX-License-Identifier: GPL-2.0-or-later
// Firmware texts: the whole-text check, and the download one line per report.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "Firmware.h"
#include "ScriptedTransport.h"
#include "TestSupport.h"

using namespace oskeltest;
using oskel::hid::checkFirmwareText;
using namespace std::string_literals;

namespace {

bool download(ScriptedTransport& transport, const std::string& text, MessageLog* window) {
    return downloadFirmware(&transport, text.c_str(), static_cast<int>(text.size()), window);
}

// One data byte 00 at address 0000.
const std::string kData = ":0100000000FF";

// The decoded records of a valid text, as the download hands them out one at a time.
std::vector<std::vector<std::uint8_t>> recordsOf(const std::string& text) {
    std::vector<std::vector<std::uint8_t>> records;
    oskel::hid::walkFirmwareText(text, [&](const std::uint8_t* bytes, std::size_t size) {
        records.emplace_back(bytes, bytes + size);
        return true;
    });
    return records;
}

TEST(FirmwareDownload, ThreeLinesPostFiftyHundredHundredFifty) {
    ScriptedTransport transport;
    MessageLog window;
    std::string text =
        ":020000040800F2\r\n:10000000006000208D0000088900000889000008B9\r\n:00000001FF\r\n";
    ASSERT_TRUE(download(transport, text, &window));
    ASSERT_EQ(transport.written.size(), 3u);
    EXPECT_EQ(transport.written[0], payloadFromHex("003A 02 0000 04 0800 F2"));
    EXPECT_EQ(transport.written[2], payloadFromHex("003A 00 0000 01 FF"));
    EXPECT_EQ(window.progress(), (std::vector<std::uintptr_t>{50, 100, 150}));
}

TEST(FirmwareDownload, LowerAndUpperCaseDigitsGiveTheSameBytes) {
    ScriptedTransport upper, lower;
    ASSERT_TRUE(
        download(upper, ":10000000006000208D0000088900000889000008B9\r:00000001FF\r", nullptr));
    ASSERT_TRUE(
        download(lower, ":10000000006000208d0000088900000889000008b9\r:00000001ff\r", nullptr));
    EXPECT_EQ(upper.written, lower.written);
    ASSERT_EQ(upper.written.size(), 2u);
}

struct EndingCase {
    const char* name;
    std::string text;
    std::size_t lines;
};

const EndingCase kEndings[] = {
    {"CR", ":020000040800F2\r" + kData + "\r:00000001FF\r", 3},
    {"CR LF", ":020000040800F2\r\n" + kData + "\r\n:00000001FF\r\n", 3},
    {"LF", ":020000040800F2\n" + kData + "\n:00000001FF\n", 3},
    {"last line without ending counts", ":020000040800F2\r\n" + kData + "\r\n:00000001FF", 3},
    {"blank space after the end",
     ":020000040800F2\r\n" + kData + "\r\n:00000001FF\r\n\r\n \t\n\0\0"s, 3},
    {"terminating zero byte", ":020000040800F2\n" + kData + "\n:00000001FF\n\0"s, 3},
};

class FirmwareEnding : public testing::TestWithParam<EndingCase> {};

TEST_P(FirmwareEnding, SendsTheLinesUpToTheEnd) {
    ScriptedTransport transport;
    MessageLog window;
    ASSERT_TRUE(download(transport, GetParam().text, &window));
    EXPECT_EQ(transport.written.size(), GetParam().lines);
    EXPECT_EQ(transport.written[0], payloadFromHex("003A 02 0000 04 0800 F2"));
    ASSERT_FALSE(window.progress().empty());
    EXPECT_EQ(window.progress().back(), 150u);
}

INSTANTIATE_TEST_SUITE_P(Firmware, FirmwareEnding, testing::ValuesIn(kEndings),
                         oskeltest::CaseName());

struct BadTextCase {
    const char* name;
    std::string text;
    int faultLine;
    std::string fault = {};  // the start of what is said, when it matters
};

const BadTextCase kBadTexts[] = {
    {"empty", "", 1},
    {"first character not a colon", "020000040800F2\r\n", 1},
    {"second line not a colon", ":020000040800F2\r\n020000040800F2\r\n", 2},
    {"wrong checksum", ":020000040800F2\r\n:00000001FE\r\n", 2},
    {"odd digit count", ":020000040800F\r\n", 1},
    {"not a hex digit", ":0200000408G0F2\r\n", 1},
    {"byte count differs from length byte", ":030000040800F1\r\n", 1},
    {"only a colon", ":\r\n", 1},
    {"trailing space", ":020000040800F2 \r\n", 1,
     "ends with a space after its hexadecimal digits (a record ends with its checksum)"},
    {"tab among the digits", ":0200\t00040800F2\r\n", 1,
     "holds a tab among its hexadecimal digits"},
    // 58 data bytes: 63 bytes in all, one more than a report carries.
    {"longer than 62 bytes", ":3A000000" + std::string(116, '0') + "C6\r\n", 1},
    // A damaged image is refused whole: nothing of its first part may reach the keyboard.
    {"blank line in the middle", ":020000040800F2\r\n\r\n:00000001FF\r\n", 2},
    {"zero bytes in the middle", ":020000040800F2\r\n\0\0\0\0:00000001FF\r\n"s, 2},
    {"zero byte ending a line", ":020000040800F2\0\r\n:00000001FF\r\n"s, 1},
    {"LF CR line ends",
     ":020000040800F2\n\r:10000000006000208D0000088900000889000008B9\n\r:00000001FF\n\r", 2},
    {"record type 06", ":00000006FA\r\n:00000001FF\r\n", 1},
    {"no end-of-file record", ":020000040800F2\r\n:10000000006000208D0000088900000889000008B9\r\n",
     3},
    {"only blank space", "\r\n \r\n", 1},
    {"record after the end-of-file record", kData + "\r\n:00000001FF\r\n:020000040800F2\r\n", 2,
     "is the end-of-file record, but more text follows it"},
    {"text after the end-of-file record",
     ":020000040800F2\r\n" + kData + "\r\n:00000001FF\r\n\r\nhello", 3},
    // What cannot be firmware: nothing to write, an end that carries data, an address twice.
    {"no data record", ":020000040800F2\r\n:00000001FF\r\n", 2, "holds no data record (type 00)"},
    {"end-of-file record with data", kData + "\r\n:0100000100FE\r\n", 2,
     "is an end-of-file record, but it carries data"},
    {"the same address twice", kData + "\r\n" + kData + "\r\n:00000001FF\r\n", 2,
     "writes address 00000000 again, which line 1 wrote already"},
    {"inside an earlier record, after a linear address",
     ":020000040800F2\r\n:10000000006000208D0000088900000889000008B9\r\n:020000040800F2\r\n"
     ":0100050000FA\r\n:00000001FF\r\n",
     4, "writes address 08000005 again, which line 2 wrote already"},
    {"a segment and a linear address naming the same byte",
     ":020000021000EC\r\n" + kData + "\r\n:020000040001F9\r\n" + kData + "\r\n:00000001FF\r\n", 4,
     "writes address 00010000 again, which line 2 wrote already"},
};

class FirmwareBadText : public testing::TestWithParam<BadTextCase> {};

TEST_P(FirmwareBadText, SendsNothingAndAnswersFalse) {
    ScriptedTransport transport;
    MessageLog window;
    EXPECT_FALSE(download(transport, GetParam().text, &window));
    EXPECT_TRUE(transport.written.empty());
    EXPECT_TRUE(window.progress().empty());
    auto checked = checkFirmwareText(GetParam().text);
    EXPECT_FALSE(checked.valid);
    EXPECT_EQ(checked.faultLine, static_cast<std::uint64_t>(GetParam().faultLine));
    EXPECT_FALSE(checked.fault.empty());
    EXPECT_EQ(checked.fault.rfind(GetParam().fault, 0), 0u) << checked.fault;
}

TEST(FirmwareText, AdjacentRecordsAndOneLargerThanTheBoundAreToldApart) {
    // Contiguous and interleaved records are fine; only a byte written twice is refused.
    EXPECT_TRUE(
        checkFirmwareText(":0100010000FE\r\n" + kData + "\r\n:0100020000FD\r\n:00000001FF").valid);
    // Larger than any image: refused before a line is looked at.
    std::string huge(oskel::hid::kMaxFirmwareBytes + 1, '\n');
    huge.replace(0, kData.size(), kData);
    const auto checked = checkFirmwareText(huge);
    EXPECT_FALSE(checked.valid);
    EXPECT_EQ(checked.fault, oskel::hid::kTooLarge);
}

INSTANTIATE_TEST_SUITE_P(Firmware, FirmwareBadText, testing::ValuesIn(kBadTexts),
                         oskeltest::CaseName());

TEST(FirmwareDownload, RefusesMissingTextAndZeroLength) {
    ScriptedTransport transport;
    EXPECT_FALSE(downloadFirmware(&transport, nullptr, 10, nullptr));
    EXPECT_FALSE(downloadFirmware(&transport, ":00000001FF\r\n", 0, nullptr));
    EXPECT_FALSE(downloadFirmware(nullptr, ":00000001FF\r\n", 13, nullptr));
    EXPECT_TRUE(transport.written.empty());
}

TEST(FirmwareDownload, FailedReportStopsTheDownload) {
    ScriptedTransport transport;
    transport.failWritesFrom = 1;
    MessageLog window;
    EXPECT_FALSE(
        download(transport, ":020000040800F2\r\n" + kData + "\r\n:00000001FF\r\n", &window));
    EXPECT_EQ(transport.written.size(), 1u);
    EXPECT_EQ(window.progress(), (std::vector<std::uintptr_t>{50}));
}

class GoodImage : public ::testing::TestWithParam<FirmwareImage> {};

TEST_P(GoodImage, IsValidAndSentUnchanged) {
    const std::string text = GetParam().text();
    auto checked = checkFirmwareText(text);
    ASSERT_TRUE(checked.valid) << "line " << checked.faultLine << ": " << checked.fault;
    EXPECT_EQ(checked.records, GetParam().records);
    const auto lines = recordsOf(text);
    ASSERT_EQ(lines.size(), GetParam().records);
    EXPECT_EQ(lines.front(), (std::vector<std::uint8_t>{0x02, 0x00, 0x00, 0x04, 0x08, 0x00, 0xF2}));
    EXPECT_EQ(lines.back(), (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x01, 0xFF}));
    ScriptedTransport transport;
    MessageLog window;
    EXPECT_TRUE(download(transport, text, &window));
    ASSERT_EQ(transport.written.size(), lines.size());
    // Each report: report id 0, the colon, then the record's bytes as they stand in the file.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Payload expected{0x00, 0x3A};
        std::copy(lines[i].begin(), lines[i].end(), expected.begin() + 2);
        EXPECT_EQ(transport.written[i], expected) << "record " << i;
    }
    EXPECT_EQ(window.progress().back(), 150u);
}

INSTANTIATE_TEST_SUITE_P(Images, GoodImage, ::testing::ValuesIn(goodFirmwareImages()), CaseName());

}  // namespace
