// The main window's Write, Read and firmware buttons run the device dialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include "CTravoDialogFirmwareUpdate.h"
#include "CTravoDlg.h"
#include "OskelTestSupport.h"
#include "device_test_support.h"
#include "device_watch.h"

namespace {

oskel::Payload singleKeyRecord(int level, int key, int code) {
    oskel::Payload p{};
    p[1] = 0xF0;
    p[2] = static_cast<std::uint8_t>(level);
    p[3] = static_cast<std::uint8_t>(key);
    p[5] = 1;
    p[6] = static_cast<std::uint8_t>(code);
    return p;
}

struct MainWindow {
    explicit MainWindow(KeyboardConfig& config) : dlg(config) {}
    bool open() {
        if (!dlg.initialise()) {
            return false;
        }
        dlg.show();
        return true;
    }
    bool keyLit(int key) {
        dlg.repaint();  // the lit flags follow the document when the window paints
        return dlg.regionById(kKeyRegionIdBase + key).lit;
    }
    CTravoDlg dlg;
};

}  // namespace

TEST(MainWindowDevice, ReadAllRebuildsTheKeysShown) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    env.config.language = "en-US";
    MainWindow main(env.config);
    ASSERT_TRUE(main.open());
    env.keyboard->setSlotRecord(4, {singleKeyRecord(1, 5, 0x04)});
    env.keyboard->setSlotRecord(40, {singleKeyRecord(1, 41, 0x2C)});
    EXPECT_FALSE(main.keyLit(5));

    clickRegion(main.dlg, MainRegion::ReadAll);
    EXPECT_EQ(env.seam.messages, QStringList{"OK!"});
    EXPECT_TRUE(main.keyLit(5));
    EXPECT_TRUE(main.keyLit(41));
    EXPECT_FALSE(main.keyLit(6));
}

TEST(MainWindowDevice, WriteKeysSendsWhatTheWindowShows) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    MainWindow main(env.config);
    ASSERT_TRUE(main.open());
    env.config.slot(7, 0).mode = Single;
    env.config.slot(7, 0).hwCode = 0x2C;

    clickRegion(main.dlg, MainRegion::WriteKeys);
    EXPECT_EQ(env.seam.messages, QStringList{"OK!"});
    // Key records are not answered: the keyboard may still be taking the last ones in.
    EXPECT_TRUE(env.keyboard->waitForReports(218, 5000));
    EXPECT_EQ(env.keyboard->slotRecord(1, 7).front(), singleKeyRecord(1, 7, 0x2C));
    // An unassigned key goes out as the empty record: type 0 without codes.
    oskel::Payload empty{};
    empty[1] = 0xF0;
    empty[2] = 1;
    empty[3] = 8;
    EXPECT_EQ(env.keyboard->slotRecord(1, 8).front(), empty);
}

TEST(MainWindowDevice, FirmwareButtonOpensTheFirmwareDialog) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    MainWindow main(env.config);
    ASSERT_TRUE(main.open());
    bool seen = false;
    // Once the dialog runs, read the version and close it again.
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CTravoDialogFirmwareUpdate*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen = true;
        clickRegion(*dialog, 90);
        EXPECT_EQ(dialog->versionBox->text(), "OSKEL-108 V1.00");
        clickRegion(*dialog, 93);
    });
    clickRegion(main.dlg, MainRegion::Firmware);
    EXPECT_TRUE(seen);
    EXPECT_EQ(env.config.notifyWindow, nullptr);
}
