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
    {"CR", ":020000040800F2\r:00000001FF\r", 2},
    {"CR LF", ":020000040800F2\r\n:00000001FF\r\n", 2},
    {"LF", ":020000040800F2\n:00000001FF\n", 2},
    {"last line without ending counts", ":020000040800F2\r\n:00000001FF", 2},
    {"blank space after the end", ":020000040800F2\r\n:00000001FF\r\n\r\n \t\n\0\0"s, 2},
    {"terminating zero byte", ":020000040800F2\n:00000001FF\n\0"s, 2},
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
    {"trailing space", ":020000040800F2 \r\n", 1},
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
    {"record after the end-of-file record", ":00000001FF\r\n:020000040800F2\r\n", 1},
    {"text after the end-of-file record", ":020000040800F2\r\n:00000001FF\r\n\r\nhello", 2},
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
    EXPECT_EQ(checked.faultLine, GetParam().faultLine);
    EXPECT_FALSE(checked.fault.empty());
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
    EXPECT_FALSE(download(transport, ":020000040800F2\r\n:00000001FF\r\n", &window));
    EXPECT_EQ(transport.written.size(), 1u);
    EXPECT_EQ(window.progress(), (std::vector<std::uintptr_t>{75}));
}

class GoodImage : public ::testing::TestWithParam<FirmwareImage> {};

TEST_P(GoodImage, IsValidAndSentUnchanged) {
    const std::string text = GetParam().text();
    auto checked = checkFirmwareText(text);
    ASSERT_TRUE(checked.valid) << "line " << checked.faultLine << ": " << checked.fault;
    EXPECT_EQ(checked.lines.size(), GetParam().records);
    EXPECT_EQ(checked.lines.front(),
              (std::vector<std::uint8_t>{0x02, 0x00, 0x00, 0x04, 0x08, 0x00, 0xF2}));
    EXPECT_EQ(checked.lines.back(), (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x01, 0xFF}));
    ScriptedTransport transport;
    MessageLog window;
    EXPECT_TRUE(download(transport, text, &window));
    ASSERT_EQ(transport.written.size(), checked.lines.size());
    // Each report: report id 0, the colon, then the record's bytes as they stand in the file.
    for (std::size_t i = 0; i < checked.lines.size(); ++i) {
        Payload expected{0x00, 0x3A};
        std::copy(checked.lines[i].begin(), checked.lines[i].end(), expected.begin() + 2);
        EXPECT_EQ(transport.written[i], expected) << "record " << i;
    }
    EXPECT_EQ(window.progress().back(), 150u);
}

INSTANTIATE_TEST_SUITE_P(Images, GoodImage, ::testing::ValuesIn(goodFirmwareImages()), CaseName());

}  // namespace
