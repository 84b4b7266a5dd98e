// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The texts the device dialogs and their callers show, in both languages.

#include <QString>
#include <QStringView>
#include <string>

#include "LanguageText.h"

// A device text: the core's pair of texts, given as a QString by either of its two rules.
struct BilingualText : LanguageText {
    // Chinese for "zh-CN", English for "en-US", empty for anything else (the firmware dialog
    // shows nothing then).
    QString exactly(const std::string& language) const {
        return QStringView(LanguageText::exactly(language)).toString();
    }
    // Chinese for "zh-CN", English for everything else.
    QString chineseOrEnglish(const std::string& language) const {
        return QStringView(LanguageText::chineseOrEnglish(language)).toString();
    }
};

namespace deviceTexts {

inline constexpr char16_t kOk[] = u"OK!";
inline constexpr BilingualText kWriteFailed{u"写入键盘失败！", u"Writing to the keyboard failed!"};
inline constexpr BilingualText kReadFailed{u"读取键盘失败！", u"Reading from the keyboard failed!"};
inline constexpr BilingualText kVerifying{u"校验中…", u"Verifying…"};
inline constexpr BilingualText kVerifyFailed{
    u"按键已写入，但读回校验失败！",
    u"The keys were written, but reading them back to check failed!"};
// %1: how many keys and colours differ; one line for each follows.
inline constexpr BilingualText kDiffers{
    u"键盘没有保存写入的全部内容，%1 处不同：",
    u"The keyboard did not keep everything that was written; %1 differ:"};
// %1: how many lines were left out.
inline constexpr BilingualText kMoreDiffer{u"……另有 %1 处不同", u"... and %1 more"};
inline constexpr BilingualText kDiffersAdvice{
    u"键盘的存储空间可能已满：请缩短较长的宏，然后重新写入。",
    u"Its memory may be full: shorten long macros, then write again."};

// After a failure because another program kept the keyboard for its own exchange.
inline constexpr BilingualText kKeyboardInUse{
    u"另一个程序正在使用键盘（oskelctl 或另一个 Oskel），请在它完成后重试。",
    u"Another program is using the keyboard (oskelctl, or another Oskel); try again when it is "
    u"done."};

inline constexpr BilingualText kDownloadRunning{
    u"固件下载中，请等待下载结束。",
    u"A firmware download is in progress. Please wait until it ends."};
inline constexpr BilingualText kVersionReadFailed{u"读取键盘版本失败",
                                                  u"Failed on reading keyboard version infomation"};
inline constexpr BilingualText kFirmwareDownloaded{
    u"固件下载完成。\n请勿插拔USB直至三个状态指示灯同时闪烁则固件更新完成，请拔下USB重新上电。",
    u"The Firmware is downloaded successfully.\n"
    u"Please keep the USB plug in until three indicator lights flash simultaneously.\n"
    u"Then firmware updated completely,pleased unplug the USB and plug in."};
inline constexpr BilingualText kFirmwareFailed{u"固件下载失败!", u"Firmware download failed."};
inline constexpr BilingualText kFirmwareCannotOpen{u"打开固件文件失败",
                                                   u"Can't open firmware file"};

}  // namespace deviceTexts
