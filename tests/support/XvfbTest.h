// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A GoogleTest fixture on a private X server: one Xvfb for each test suite, and DISPLAY naming
// it in every test. A test skips when Xvfb is not installed and fails when it did not start.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "XvfbServer.h"

namespace oskeltest {

class XvfbTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (XvfbServer::installed()) {
            server = new XvfbServer;
            if (server->start().empty()) {
                delete server;
                server = nullptr;
            }
        }
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    // A fixture's own SetUp calls this first and returns when IsSkipped() or HasFatalFailure().
    void SetUp() override {
        if (!XvfbServer::installed()) {
            GTEST_SKIP() << "Xvfb is not installed";
        }
        ASSERT_NE(server, nullptr) << "Xvfb did not start";
        ::setenv("DISPLAY", server->display().c_str(), 1);
    }

    static inline XvfbServer* server = nullptr;
};

}  // namespace oskeltest
