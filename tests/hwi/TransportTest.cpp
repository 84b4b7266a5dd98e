// SPDX-License-Identifier: GPL-2.0-or-later
// Transports that could not open their device: the object exists, tells why, and every
// exchange on it fails.
#include <gtest/gtest.h>

#include <cerrno>

#include "KeyboardUtil.h"
#include "TestSupport.h"

namespace {

struct OpenFailureCase {
    const char* name;
    std::string path;
    int error;
};

const OpenFailureCase kOpenFailures[] = {
    {"missing hidraw node", "hidraw#vid_0483&pid_5022&mi_01#/nonexistent/hidraw9", ENOENT},
    {"missing socket", "/nonexistent/oskel/hid/vid_0483&pid_5022&mi_01", ENOENT},
    {"socket path too long", "/tmp/" + std::string(200, 'x') + "vid_0483&pid_5022&mi_01",
     ENAMETOOLONG},
};

class TransportOpenFailure : public testing::TestWithParam<OpenFailureCase> {};

TEST_P(TransportOpenFailure, ExistsButEveryExchangeFails) {
    CTravoUtil transport(GetParam().path);
    EXPECT_EQ(transport.openError(), GetParam().error);
    std::uint8_t report[65] = {};
    EXPECT_FALSE(transport.writeReport(report, 65));
    int length = 64;
    EXPECT_FALSE(transport.readReport(report, length, 10));
    char16_t version[64] = {u'x'};
    EXPECT_FALSE(transport.readVersion(version));
    EXPECT_EQ(version[0], u'\0');
    transport.discardPendingReports();
}

INSTANTIATE_TEST_SUITE_P(Transport, TransportOpenFailure, testing::ValuesIn(kOpenFailures),
                         oskeltest::CaseName());

}  // namespace
