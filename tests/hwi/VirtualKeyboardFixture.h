// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A CTravoHWI against an in-process virtual keyboard in a private runtime folder.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "OskelHWI.h"
#include "TestSupport.h"
#include "VirtualKeyboard.h"

namespace oskeltest {

class VirtualKeyboardTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(runtime.path.empty());
        // Discovery looks in $XDG_RUNTIME_DIR/oskel/hid; real hidraw keyboards stay out.
        ::setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
        ::setenv("OSKEL_NO_HIDRAW", "1", 1);
        options.dir = runtime.path + "/oskel/hid";
    }

    // Starts the keyboard with `options` and opens it.
    void startAndOpen() {
        keyboard = std::make_unique<oskel::VirtualKeyboard>(options);
        ASSERT_TRUE(keyboard->start()) << keyboard->error();
        ASSERT_TRUE(device.__createDev());
        ASSERT_EQ(device.openError(), 0);
    }

    // Everything sent before this has been taken by the keyboard once it answers.
    void settle() {
        char16_t version[64];
        keyboard->setSilent(false);
        ASSERT_TRUE(device.ReadKeyboardVersion(version));
    }

    TempFolder runtime;
    oskel::VirtualKeyboardOptions options;
    std::unique_ptr<oskel::VirtualKeyboard> keyboard;
    CTravoHWI device;
};

}  // namespace oskeltest
