// SPDX-License-Identifier: GPL-2.0-or-later
// The main window's Write, Read and firmware buttons run the device dialogs.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "CTravoDialogFirmwareUpdate.h"
#include "CTravoDlg.h"
#include "DeviceTestSupport.h"
#include "DialogWatch.h"
#include "OskelTestSupport.h"

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
        // Painting, and with it the lit flags, waits for the window to be on screen.
        return QTest::qWaitForWindowExposed(&dlg);
    }
    bool keyLit(int key) {
        dlg.repaint();  // the lit flags follow the document when the window paints
        return dlg.regionById(kKeyRegionIdBase + key).lit;
    }
    CTravoDlg dlg;
};

}  // namespace

// The main window's Write and Read through either door of the keyboard.
class MainWindowThroughDoor : public ::testing::TestWithParam<KeyboardDoor> {};

TEST_P(MainWindowThroughDoor, ReadAllRebuildsTheKeysShown) {
    DeviceDialogTest env({}, GetParam());
    NEED_KEYBOARD(env);
    env.config.language = "en-US";
    MainWindow main(env.config);
    ASSERT_TRUE(main.open());
    env.board->setSlotRecord(4, {singleKeyRecord(1, 5, 0x04)});
    env.board->setSlotRecord(40, {singleKeyRecord(1, 41, 0x2C)});
    EXPECT_FALSE(main.keyLit(5));

    clickRegion(main.dlg, MainRegion::ReadAll);
    // Nothing unsaved: nothing to ask.
    EXPECT_TRUE(env.seam.questions.isEmpty());
    EXPECT_EQ(env.seam.messages, QStringList{"OK!"});
    EXPECT_TRUE(main.keyLit(5));
    EXPECT_TRUE(main.keyLit(41));
    EXPECT_FALSE(main.keyLit(6));
}

TEST_P(MainWindowThroughDoor, WriteKeysSendsWhatTheWindowShows) {
    DeviceDialogTest env({}, GetParam());
    NEED_KEYBOARD(env);
    MainWindow main(env.config);
    ASSERT_TRUE(main.open());
    env.config.slot(7, 0).mode = Single;
    env.config.slot(7, 0).hwCode = 0x2C;

    clickRegion(main.dlg, MainRegion::WriteKeys);
    EXPECT_EQ(env.seam.messages, QStringList{"OK!"});
    // Key records are not answered: the keyboard may still be taking the last ones in.
    EXPECT_TRUE(env.board->waitForReports(218, 5000));
    EXPECT_EQ(env.board->slotRecord(1, 7).front(), singleKeyRecord(1, 7, 0x2C));
    // An unassigned key goes out as the empty record: type 0 without codes.
    oskel::Payload empty{};
    empty[1] = 0xF0;
    empty[2] = 1;
    empty[3] = 8;
    EXPECT_EQ(env.board->slotRecord(1, 8).front(), empty);
}

INSTANTIATE_TEST_SUITE_P(MainWindowDevice, MainWindowThroughDoor,
                         ::testing::Values(KeyboardDoor::Socket, KeyboardDoor::Usb),
                         [](const ::testing::TestParamInfo<KeyboardDoor>& info) {
                             return std::string(doorName(info.param));
                         });

// Another program in an exchange with the keyboard (it holds the keyboard's lock, on the node or
// on the socket's lock file): the window's Write waits for it, then says who is in the way.
TEST_P(MainWindowThroughDoor, WriteWhileAnotherProgramHoldsTheKeyboardSaysSo) {
    DeviceDialogTest env({}, GetParam());
    NEED_KEYBOARD(env);
    MainWindow main(env.config);
    ASSERT_TRUE(main.open());
    const std::string lockTarget = GetParam() == KeyboardDoor::Usb
                                       ? env.testbed->root() + env.usbKeyboard->node()
                                       : QDir(env.runtime.path())
                                             .filePath("oskel/locks/vid_0483&pid_5022&mi_01")
                                             .toStdString();
    ::mkdir(QDir(env.runtime.path()).filePath("oskel/locks").toLocal8Bit().constData(), 0700);
    const int lock = ::open(lockTarget.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0) << lockTarget;
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    env.config.slot(7, 0).mode = Single;
    env.config.slot(7, 0).hwCode = 0x2C;

    clickRegion(main.dlg, MainRegion::WriteKeys);
    ASSERT_EQ(env.seam.messages.size(), 1);
    const QString message = env.seam.messages.front();
    EXPECT_TRUE(message.startsWith(QStringLiteral("Writing to the keyboard failed!")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("Another program is using the keyboard")))
        << message.toStdString();
    EXPECT_EQ(env.board->receivedCount(), 0u);
    ::close(lock);
}

// The cable pulled while the window is open: udev's "remove" reaches the window, which says the
// keyboard is not connected and ends, as for a keyboard that went away any other way; plugged
// back in, the next start finds it again.
TEST(MainWindowDevice, PulledCableIsNoticedThroughUdevAndReplugIsFound) {
    DeviceDialogTest env({}, KeyboardDoor::Usb);
    NEED_KEYBOARD(env);
    {
        MainWindow main(env.config);
        ASSERT_TRUE(main.open());
        EXPECT_TRUE(env.seam.messages.isEmpty());
        env.usbKeyboard->unplug();
        EXPECT_TRUE(waitUntil([&] {
            return main.dlg.endReason() == CTravoDlg::EndReason::KeyboardLost;
        })) << "the window never heard of the pulled cable";
        EXPECT_EQ(env.seam.messages, QStringList{"Keyboard is not connected"});
    }
    env.config.keyboard.__closeDev();
    env.seam.messages.clear();
    ASSERT_TRUE(env.usbKeyboard->plug()) << env.usbKeyboard->error();
    env.board->setSlotRecord(4, {singleKeyRecord(1, 5, 0x04)});
    MainWindow again(env.config);
    ASSERT_TRUE(again.open());
    EXPECT_TRUE(env.seam.messages.isEmpty());
    clickRegion(again.dlg, MainRegion::ReadAll);
    EXPECT_EQ(env.seam.messages, QStringList{"OK!"});
    EXPECT_TRUE(again.keyLit(5));
}

// Unsaved work in the window when ReadAll is clicked, and what the user answers.
struct ReadOverUnsavedCase {
    const char* name;
    UiAnswer answer;
    bool giveSavePath;  // with Yes: the save dialog is answered, else cancelled
    bool reads;
};

class ReadAllOverUnsavedWork : public ::testing::TestWithParam<ReadOverUnsavedCase> {};

TEST_P(ReadAllOverUnsavedWork, AsksFirst) {
    const ReadOverUnsavedCase& c = GetParam();
    DeviceDialogTest env;
    if (!env.ready()) {
        GTEST_SKIP() << env.problem;
    }
    QTemporaryDir folder;
    const QString path = folder.filePath("before-read.pro");
    env.config.language = "zh-CN";
    MainWindow main(env.config);
    ASSERT_TRUE(main.open());
    env.keyboard->setSlotRecord(4, {singleKeyRecord(1, 5, 0x04)});
    env.config.slot(7, 0).mode = Single;
    env.config.slot(7, 0).hwCode = 0x2C;
    env.seam.questionAnswers << c.answer;
    if (c.giveSavePath) {
        env.seam.saveAnswers << path;
    }

    clickRegion(main.dlg, MainRegion::ReadAll);
    EXPECT_EQ(env.seam.questions, QStringList{"当前配置尚未保存，是否保存？"});
    EXPECT_EQ(main.keyLit(5), c.reads);
    EXPECT_EQ(main.keyLit(7), !c.reads);
    EXPECT_EQ(env.seam.messages, c.reads ? QStringList{"OK!"} : QStringList{});
    EXPECT_EQ(QFile::exists(path), c.giveSavePath);
    if (c.giveSavePath) {
        // What was saved is the work from before the read.
        KeyboardConfig saved;
        ASSERT_TRUE(saved.loadProfile(QFile::encodeName(path).toStdString()));
        EXPECT_EQ(saved.slot(7, 0).mode, int(Single));
        EXPECT_EQ(saved.slot(5, 0).mode, int(NotSet));
    }
}

INSTANTIATE_TEST_SUITE_P(
    MainWindowDevice, ReadAllOverUnsavedWork,
    ::testing::Values(ReadOverUnsavedCase{"Cancel", UiAnswer::Cancel, false, false},
                      ReadOverUnsavedCase{"No", UiAnswer::No, false, true},
                      ReadOverUnsavedCase{"YesAndSaved", UiAnswer::Yes, true, true},
                      ReadOverUnsavedCase{"YesButSaveCancelled", UiAnswer::Yes, false, false}),
    [](const ::testing::TestParamInfo<ReadOverUnsavedCase>& info) { return info.param.name; });

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

namespace {

// Runs this test again as the unprivileged user 65534 (root may open any socket, so the
// permission error needs another user). Empty when it ran; else why it could not.
std::string rerunUnprivileged(int& exitCode, std::string& output) {
    if (!QFile::exists(QStringLiteral("/usr/bin/setpriv"))) {
        return "running as root without setpriv to drop the privilege";
    }
    const QString self = QCoreApplication::applicationFilePath();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(
        QStringLiteral("/usr/bin/setpriv"),
        {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
         QStringLiteral("--clear-groups"), self,
         QStringLiteral("--gtest_filter=%1.%2")
             .arg(QString::fromUtf8(info->test_suite_name()), QString::fromUtf8(info->name()))});
    if (!child.waitForFinished(60000)) {
        return "the unprivileged run did not finish";
    }
    output = child.readAll().toStdString();
    exitCode = child.exitCode();
    if (output.find("[ RUN      ]") == std::string::npos) {
        return "the unprivileged user cannot run the test program (a private build folder): " +
               output;
    }
    return {};
}

}  // namespace

// A keyboard this user may not open: the window says why and how to fix it before anything else,
// stays open, and a Write names the same cause instead of a bare failure. Through the socket
// door the socket is made unwritable, through the USB door the node is given no permissions.
class KeyboardThisUserMayNotOpen : public ::testing::TestWithParam<KeyboardDoor> {};

TEST_P(KeyboardThisUserMayNotOpen, IsExplainedAndTheWindowStays) {
    if (::geteuid() == 0) {
        int code = -1;
        std::string output;
        const std::string why = rerunUnprivileged(code, output);
        if (!why.empty()) {
            GTEST_SKIP() << why;
        }
        EXPECT_EQ(code, 0) << output;
        return;
    }
    DeviceDialogTest env({}, GetParam());
    if (!env.ready()) {
        GTEST_SKIP() << env.problem;
    }
    env.config.keyboard.__closeDev();
    std::string devicePath;
    if (GetParam() == KeyboardDoor::Usb) {
        // A node without permissions: not even its owner may open it.
        env.usbKeyboard->unplug();
        env.usbKeyboard->setNodeMode(0);
        ASSERT_TRUE(env.usbKeyboard->plug()) << env.usbKeyboard->error();
        devicePath = "hidraw#vid_0483&pid_5022&mi_01#" + env.usbKeyboard->node();
    } else {
        // Write permission is what connecting to the socket takes; the owner loses it too.
        ASSERT_EQ(::chmod(env.keyboard->socketPath().c_str(), 0444), 0);
        devicePath = env.keyboard->socketPath();
    }
    for (const char* language : {"en-US", "zh-CN"}) {
        env.seam.messages.clear();
        env.config.language = language;
        MainWindow main(env.config);
        ASSERT_TRUE(main.open());
        ASSERT_EQ(env.seam.messages.size(), 1);
        const QString advice = env.seam.messages.front();
        EXPECT_TRUE(advice.contains(QString::fromStdString(devicePath))) << advice.toStdString();
        EXPECT_TRUE(advice.contains(env.config.language == "zh-CN"
                                        ? QStringLiteral("没有打开它的权限")
                                        : QStringLiteral("may not open it")))
            << advice.toStdString();
        EXPECT_TRUE(main.dlg.isVisible());

        clickRegion(main.dlg, MainRegion::WriteKeys);
        ASSERT_EQ(env.seam.messages.size(), 2);
        const QString failure = env.seam.messages.back();
        EXPECT_TRUE(failure.startsWith(env.config.language == "zh-CN"
                                           ? QStringLiteral("写入键盘失败！")
                                           : QStringLiteral("Writing to the keyboard failed!")))
            << failure.toStdString();
        EXPECT_TRUE(failure.endsWith(advice)) << failure.toStdString();
        EXPECT_TRUE(main.dlg.isVisible());
        EXPECT_EQ(env.board->receivedCount(), 0u);
        env.config.keyboard.__closeDev();
    }
}

INSTANTIATE_TEST_SUITE_P(MainWindowDevice, KeyboardThisUserMayNotOpen,
                         ::testing::Values(KeyboardDoor::Socket, KeyboardDoor::Usb),
                         [](const ::testing::TestParamInfo<KeyboardDoor>& info) {
                             return std::string(doorName(info.param));
                         });
