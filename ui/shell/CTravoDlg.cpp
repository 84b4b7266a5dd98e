// SPDX-License-Identifier: GPL-2.0-or-later
#include "CTravoDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QKeySequence>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QUrl>
#include <algorithm>

#include "Descriptions.h"
#include "DeviceWatch.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "LanguageText.h"
#include "MainWindowDialogs.h"
#include "ProfileCommands.h"
#include "ProgramFiles.h"
#include "QtTranslations.h"
#include "SkinResources.h"
#include "SkinSetup.h"
#include "TrayMenu.h"
#include "UiSeam.h"

namespace {

QString fromU16(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

constexpr LanguageText kBacklightStep{u"设置背光", u"Backlight"};
constexpr LanguageText kReadAllStep{u"读取配置", u"ReadAll"};

}  // namespace

CTravoDlg::CTravoDlg(KeyboardConfig& config, QWidget* parent)
    : SkinDialog(kRegionCount, parent),
      config(config),
      windowIcon(programIcon()),
      profiles(std::make_unique<ProfileCommands>(config, this)) {
    showLanguageOf(config.language);
    InfoBox = new QPlainTextEdit(this);
    InfoBox->setObjectName(QStringLiteral("InfoBox"));
    InfoBox->setReadOnly(true);
    InfoBox->setFrameShape(QFrame::NoFrame);
    // Selecting and copying the text is fine; a caret in a read-only box is not.
    InfoBox->setTextInteractionFlags(Qt::TextSelectableByMouse);
    InfoBox->setCursorWidth(0);
    InfoBox->setFocusPolicy(Qt::ClickFocus);
    const auto shortcut = [this](const QKeySequence& keys, void (CTravoDlg::*slot)()) {
        auto* made = new QShortcut(keys, this);
        made->setContext(Qt::WindowShortcut);
        connect(made, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), &CTravoDlg::undo);
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &CTravoDlg::redo);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), &CTravoDlg::redo);
}

CTravoDlg::~CTravoDlg() = default;

bool CTravoDlg::initialise() {
    qtTranslations::use(config.language);
    const bool connected = config.keyboard.__createDev();
    if (!connected) {
        ui().message(nullptr, QStringLiteral("Keyboard is not connected!"));
        ended = EndReason::NoKeyboard;
    } else {
        // Found but not ours to open (no udev rule, another seat): say why before anything
        // else, then stay: profiles can still be edited, opened and saved.
        tellKeyboardAccessProblem(nullptr, config);
    }
    setWindowIcon(windowIcon);
    setWindowTitle(QStringLiteral("Oskel"));
    // The first paint draws no hovered key: the window shows before its hover picture is in.
    setUpSkin(skinLook(SkinWindowId::Main, 1, HoverPicture::WhenFirstDrawn));
    fillSkinRegions(SkinWindowId::Main, regions);
    config.currentLevel = 0;
    config.clear();
    profiles->startHistory();

    menu = new TrayMenu(config, windowIcon, this);
    menu->setHistorySource(profiles.get());
    connect(menu, &TrayMenu::undoChosen, this, &CTravoDlg::undo);
    connect(menu, &TrayMenu::redoChosen, this, &CTravoDlg::redo);
    connect(menu, &TrayMenu::exitChosen, this, &CTravoDlg::reject);
    connect(menu, &TrayMenu::iconActivated, this, &CTravoDlg::restoreFromTray);
    connect(menu, &TrayMenu::profileChosen, this, &CTravoDlg::applyProfile);

    const SkinRect box = skinControlRect(SkinWindowId::Main, MainRegion::InfoBox);
    InfoBox->setGeometry(toQRect(box));
    InfoBox->setFont(skinFont(SkinResources::kChildControlFont));
    applyTextBoxTheme(*InfoBox);
    InfoBox->viewport()->setAutoFillBackground(true);
    setInfoText(fromU16(titleText(config)));

    deviceWatch = new DeviceWatch(this);
    connect(deviceWatch, &DeviceWatch::deviceChanged, this, &CTravoDlg::checkDevice);
    return connected;
}

int CTravoDlg::runModal() {
    if (!initialise()) {
        return QDialog::Accepted;
    }
    runningModal = true;
    for (;;) {
        exec();
        // Hiding the window in the notification area ends exec(); the run goes on until the
        // icon brings it back or its menu ends the program.
        if (!inTray || ended != EndReason::None) {
            break;
        }
        QEventLoop wait;
        connect(this, &CTravoDlg::trayStateChanged, &wait, [&wait](bool hidden) {
            if (!hidden) {
                wait.quit();
            }
        });
        connect(this, &QDialog::finished, &wait, &QEventLoop::quit);
        wait.exec();
        if (ended != EndReason::None) {
            break;
        }
    }
    runningModal = false;
    return result();
}

QString CTravoDlg::infoText() const {
    return fromU16(shownInfo);
}

void CTravoDlg::setInfoText(const QString& text) {
    const std::u16string wanted = text.toStdU16String();
    if (wanted == shownInfo) {
        return;
    }
    shownInfo = wanted;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    InfoBox->setPlainText(shown);
}

void CTravoDlg::prepaint() {
    const int level = std::clamp(config.currentLevel, 0, kLevelCount - 1);
    int keyUnderMouse = 0;
    for (SkinRegion& r : regions) {
        if (r.regionId < MainRegion::FirstKey || r.keyIndex < 1 || r.keyIndex > kKeyCount) {
            continue;
        }
        r.lit = config.slot(r.keyIndex, level).mode > 0;
        if (!r.textOnly && r.contains(lastMousePoint.x(), lastMousePoint.y())) {
            keyUnderMouse = r.keyIndex;
        }
    }
    // A key the keyboard has reached shows its assignments as one under the mouse does.
    if (keyUnderMouse == 0 && focusRingShown() && hasFocus() && focusedRegion() >= 0) {
        keyUnderMouse = std::max(0, regions[static_cast<std::size_t>(focusedRegion())].keyIndex);
    }
    const bool levelTwo = regionById(MainRegion::Level).lit;
    regionById(MainRegion::LevelUpIndicator).lit = !levelTwo;
    regionById(MainRegion::LevelDownIndicator).lit = levelTwo;
    setInfoText(
        fromU16(keyUnderMouse > 0 ? keyInfoText(config, keyUnderMouse) : titleText(config)));
}

SkinAccess CTravoDlg::describeRegion(int index) const {
    SkinAccess a = SkinDialog::describeRegion(index);
    const SkinRegion& r = regions[static_cast<std::size_t>(index)];
    if (r.regionId == MainRegion::Level) {
        // Named after the level it switches to while checked.
        for (const SkinRegion& c : regions) {
            if (c.regionId == MainRegion::LevelDownIndicator) {
                a.name = c.labelFor(config.language);
            }
        }
        a.checked = config.currentLevel == 1;
    } else if (r.keyIndex >= 1 && r.keyIndex <= kKeyCount && a.presented()) {
        // The information box's lines for both levels, without the program title above them.
        QString info = fromU16(keyInfoText(config, r.keyIndex));
        const QString title = fromU16(titleText(config));
        if (info.startsWith(title)) {
            info = info.mid(title.size());
        }
        a.description = info.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed();
    }
    return a;
}

void CTravoDlg::command(int regionId) {
    switch (regionId) {
        case MainRegion::Language:
            switchLanguage();
            break;
        case MainRegion::Help:
            openHelp();
            break;
        case MainRegion::Minimize:
            hideToTray();
            break;
        case MainRegion::Exit:
            requestEnd(QDialog::Rejected);
            break;
        case MainRegion::Save:
            profiles->save();
            update();
            break;
        case MainRegion::Open:
            documentChanged(profiles->open());
            update();
            break;
        case MainRegion::Clear:
            if (profiles->clear()) {
                documentChanged(true);
                update();
            }
            break;
        case MainRegion::WriteKeys:
            deviceCommand(WriteKeySettings);
            break;
        case MainRegion::Backlight:
            runBacklightDialog(this, config);
            documentChanged(profiles->recordChange(ConfigHistory::textStepName(kBacklightStep)));
            break;
        case MainRegion::ReadAll:
            deviceCommand(LoadFromKeyboard);
            break;
        case MainRegion::Firmware:
            runFirmwareDialog(this, config);
            break;
        case MainRegion::Level:
            switchLevel();
            break;
        default:
            keyCommand(regionId);
            break;
    }
}

void CTravoDlg::switchLanguage() {
    SkinRegion& button = regionById(MainRegion::Language);
    if (button.lit) {
        config.language = kChineseLanguage;
        button.lit = false;
    } else {
        config.language = kEnglishLanguage;
        button.lit = true;
    }
    qtTranslations::use(config.language);
    if (menu != nullptr) {
        menu->update();
    }
    update();
}

void CTravoDlg::switchLevel() {
    config.currentLevel = 1 - config.currentLevel;
    SkinRegion& button = regionById(MainRegion::Level);
    button.lit = !button.lit;
    update();
}

void CTravoDlg::openHelp() {
    // A missing help file is the desktop's business; the program says nothing.
    const QString path = programFile(QStringLiteral("Oskel.html"));
    ui().openUrl(QUrl::fromLocalFile(path));
}

void CTravoDlg::hideToTray() {
    // Without a notification area a hidden window could never come back: it is minimised.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        showMinimized();
        return;
    }
    menu->showIcon();
    inTray = true;
    emit trayStateChanged(true);
    hide();
}

void CTravoDlg::restoreFromTray() {
    if (!inTray) {
        return;
    }
    inTray = false;
    menu->hideIcon();
    emit trayStateChanged(false);
    if (!runningModal) {
        showNormal();
    }
}

QMenu* CTravoDlg::trayContextMenu() const {
    return menu != nullptr ? menu->iconMenu() : nullptr;
}

std::unique_ptr<QMenu> CTravoDlg::windowMenu() {
    return menu->windowMenu();
}

void CTravoDlg::contextMenuEvent(QContextMenuEvent* e) {
    windowMenu()->exec(e->globalPos());
}

void CTravoDlg::applyProfile(const QString& path) {
    if (ended != EndReason::None) {
        return;
    }
    if (profiles->openRecent(path)) {
        documentChanged(true);
        update();
        runWriteEverythingDialogs(this, config);
    }
}

void CTravoDlg::deviceCommand(int operation) {
    // A write sends the work to the keyboard and keeps it; a load replaces it.
    if (operation == LoadFromKeyboard && !profiles->mayReplaceDocument()) {
        return;
    }
    runProgressDialog(this, operation, config);
    // A load rebuilds the keys; a write leaves the picture as it is.
    if (operation == LoadFromKeyboard) {
        documentChanged(profiles->recordChange(ConfigHistory::textStepName(kReadAllStep)));
        update();
    }
}

void CTravoDlg::keyCommand(int regionId) {
    const SkinRegion& key = regionById(regionId);
    if (key.regionId != regionId || key.keyIndex < 1 || key.keyIndex > kKeyCount) {
        return;
    }
    config.currentKey = key.keyIndex;
    runKeySettingsDialog(this, config);
    documentChanged(profiles->recordKeyChange(config.currentKey, config.currentLevel));
    update();
}

void CTravoDlg::documentChanged(bool changed) {
    if (changed && menu != nullptr) {
        menu->update();
    }
}

void CTravoDlg::undo() {
    if (ended == EndReason::None && profiles->undo()) {
        documentChanged(true);
        update();
    }
}

void CTravoDlg::redo() {
    if (ended == EndReason::None && profiles->redo()) {
        documentChanged(true);
        update();
    }
}

bool CTravoDlg::hasUnsavedChanges() const {
    return profiles->hasUnsavedChanges();
}

void CTravoDlg::accept() {
    requestEnd(QDialog::Accepted);
}

void CTravoDlg::reject() {
    requestEnd(QDialog::Rejected);
}

void CTravoDlg::requestEnd(int result) {
    if (profiles->isAsking() || ended != EndReason::None) {
        return;
    }
    // A cancelled or failed save keeps the window open: the work is not lost.
    if (!profiles->mayReplaceDocument()) {
        return;
    }
    endProgram(result, EndReason::User);
}

void CTravoDlg::checkDevice() {
    if (checkingDevice || ended != EndReason::None) {
        return;
    }
    if (config.keyboard.DetectDevice()) {
        return;
    }
    checkingDevice = true;
    ui().message(this, QStringLiteral("Keyboard is not connected"));
    profiles->offerSave();
    checkingDevice = false;
    endProgram(QDialog::Rejected, EndReason::KeyboardLost);
}

void CTravoDlg::endProgram(int result, EndReason reason) {
    ended = reason;
    if (menu != nullptr) {
        menu->hideIcon();
    }
    inTray = false;
    // A lost keyboard ends the program from inside any dialog it has open: those close first,
    // innermost first, so every modal run returns.
    QWidget* previous = nullptr;
    for (int guard = 0; guard < 16; ++guard) {
        auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        // A dialog that finishes its own work first (a running transfer) closes when it can.
        if (open == nullptr || open == this || open == previous) {
            break;
        }
        open->reject();
        previous = open;
    }
    SkinDialog::done(result);
}
