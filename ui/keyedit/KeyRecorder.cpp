// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeyRecorder.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <algorithm>
#include <array>

#include "CSkinScrollBar.h"
#include "CTravoDialogKeyMapSettings.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "LanguageText.h"
#include "PauseText.h"
#include "RegionIds.h"
#include "SkinResources.h"
#include "UiSeam.h"

// ---- tables ---------------------------------------------------------------------------------

struct KeyRecorder::Button {
    Kind kind;
    int region;         // the Record button
    int recordCaption;  // "Record", shown while idle
    int stopCaption;    // "Stop Rec", shown while recording
};

namespace {

constexpr std::array<KeyRecorder::Kind, 4> kKinds = {
    KeyRecorder::Kind::SingleKey, KeyRecorder::Kind::Combo, KeyRecorder::Kind::Macro,
    KeyRecorder::Kind::Emulation};

constexpr int kComboLimit = 6;
constexpr int kEmulationLimit = 6;
// A macro with recorded delays stores a pause between every two keys, so it holds about half
// the keys in its 799 rows that one with a fixed delay holds in 1600.
constexpr int kMacroRowsWithDelays = 799;
constexpr int kMacroRowsAutoDelay = 1600;
constexpr std::int64_t kLongestDelayMs = 65535;
constexpr int kMaxCycles = 255;
constexpr int kMaxFixedDelay = 60000;
constexpr int kMaxEmulationDelay = 6000;

constexpr int kVkShift = 16;
constexpr int kVkLeftShift = 160;
constexpr int kVkRightShift = 161;
constexpr int kVkReturn = 13;
constexpr int kKeypadEnter = 269;  // the program's own code for the numeric keypad's Enter

constexpr int kFirstRecordRow = KeySettingsRegion::FirstMacroStepRow;
constexpr int kRecordRows = 9;
constexpr int kFirstEmulationRow = KeySettingsRegion::FirstEmulationStepRow;
constexpr int kFirstComboKeyRow = KeySettingsRegion::FirstComboKeyRow;
constexpr int kComboKeyRows = 6;
constexpr int kMacroTab = 2;
constexpr int kEmulateTab = 3;
constexpr int kSingleKeyName = KeySettingsRegion::KeyName;
constexpr int kClearButton = KeySettingsRegion::Clear;
constexpr int kOkButton = KeySettingsRegion::Ok;

constexpr int kTimesPlay = KeySettingsRegion::TimesPlay;
constexpr int kAutoDelay = KeySettingsRegion::AutoDelay;
constexpr int kPressPlay = KeySettingsRegion::PressPlay;
constexpr int kTogglePlay = KeySettingsRegion::PressToggle;
constexpr int kRecordDelay = KeySettingsRegion::RecordDelay;

constexpr int kMenuDelete = 1147;

// The Shift states seen at the previous Shift release, shared by every dialog of the process.
short savedLeftShift = 0;
short savedRightShift = 0;

using Text = LanguageText;

// The text for the document's language; empty for a language without texts.
QString pick(const Text& text, const std::string& language) {
    return QStringView(text.exactly(language)).toString();
}

// The record list's context menu: four submenus of mouse rows, then Delete.
struct MenuCommand {
    int id;
    Text text;
};
struct SubMenu {
    Text title;
    std::array<MenuCommand, 3> commands;
    int count;
};
constexpr Text kPress{u"按下", u"Press"};
constexpr Text kRelease{u"释放", u"Release"};
constexpr Text kClick{u"点击", u"Click"};
constexpr SubMenu kSubMenus[] = {
    {{u"鼠标左键", u"Left Click"}, {{{1135, kPress}, {1136, kRelease}, {1137, kClick}}}, 3},
    {{u"鼠标右键", u"Right Click"}, {{{1138, kPress}, {1139, kRelease}, {1140, kClick}}}, 3},
    {{u"鼠标中键", u"Middle Click"}, {{{1141, kPress}, {1142, kRelease}, {1143, kClick}}}, 3},
    {{u"滚轮", u"Wheel"}, {{{1144, {u"前翻", u"Up"}}, {1145, {u"后翻", u"Down"}}, {}}}, 2},
};
constexpr Text kDeleteText{u"删除", u"Deleta"};

// The mouse function each command inserts, and whether it inserts it twice (a click is a press
// and a release; mouse rows carry no direction).
struct MouseRow {
    int firstId;
    int lastId;
    int hwCode;
};
constexpr MouseRow kMouseRows[] = {
    {1135, 1137, 130},  // Mouse Key Left
    {1138, 1140, 131},  // Mouse Key Right
    {1141, 1143, 132},  // Mouse Key Middle
    {1144, 1144, 133},  // Mouse Wheel Up
    {1145, 1145, 134},  // Mouse Wheel Dn
};
bool insertsTwice(int id) {
    return id == 1137 || id == 1140 || id == 1143;
}

constexpr Text kNoDisplay{u"没有可用的图形显示，无法录制按键",
                          u"Keys cannot be recorded: there is no display to record them from"};
constexpr Text kKeyboardBusy{u"键盘正被其他程序占用，无法录制按键",
                             u"Keys cannot be recorded: another program holds the keyboard"};
constexpr Text kEndedUnresponsive{u"录制已停止：程序无响应",
                                  u"Recording stopped: the program stopped responding"};
constexpr Text kEndedDisplayLost{u"录制已停止：与图形显示的连接已断开",
                                 u"Recording stopped: the connection to the display was lost"};
constexpr Text kOwnWindowsOnly{u"只在本窗口激活时录制按键",
                               u"Keys are recorded while this window is active"};

QString toQString(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

std::u16string delayRow(std::int64_t ms) {
    return pauseText(ms);
}

bool holdsDelay(const std::u16string& row) {
    return recordedAsPause(row);
}

// A field's number: the leading digits, 0 for none; far too many digits count as a huge value.
std::int64_t leadingNumber(const QString& text) {
    std::int64_t value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            break;
        }
        value = std::min<std::int64_t>(value * 10 + (c.unicode() - u'0'), 1'000'000'000);
    }
    return value;
}

// Writes the corrected number back, leaving the field alone when it already shows it (so the
// caret of someone typing stays put).
void showNumber(QLineEdit* field, std::int64_t value) {
    const QString text = QString::number(value);
    if (field->text() != text) {
        field->setText(text);
    }
}

}  // namespace

const KeyRecorder::Button* KeyRecorder::buttonOf(Kind kind) {
    using namespace KeySettingsRegion;
    static constexpr Button kButtons[] = {
        {Kind::SingleKey, KeyRecord, KeyRecordCaption, KeyStopCaption},
        {Kind::Combo, ComboRecord, ComboRecordCaption, ComboStopCaption},
        {Kind::Macro, MacroRecord, MacroRecordCaption, MacroStopCaption},
        {Kind::Emulation, EmulationRecord, EmulationRecordCaption, EmulationStopCaption}};
    for (const Button& b : kButtons) {
        if (b.kind == kind) {
            return &b;
        }
    }
    return nullptr;
}

const KeyRecorder::Button* KeyRecorder::buttonOf(int regionId) {
    for (Kind kind : kKinds) {
        const Button* b = buttonOf(kind);
        if (b->region == regionId) {
            return b;
        }
    }
    return nullptr;
}

// ---- life -----------------------------------------------------------------------------------

KeyRecorder::KeyRecorder(CTravoDialogKeyMapSettings& owner) : dialog(owner) {
    note = new QLabel(&dialog);
    note->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette palette = note->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 255, 0));
    note->setPalette(palette);
    note->setFont(skinFont(12));
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignCenter);
    note->hide();
    dialog.installEventFilter(this);
}

KeyRecorder::~KeyRecorder() {
    if (running != Kind::None) {
        KeyCaptureSeam::current().uninstallHook();
    }
}

bool KeyRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &dialog && event->type() == QEvent::Hide && running != Kind::None) {
        stopCapture(-1);
    }
    return QObject::eventFilter(watched, event);
}

bool KeyRecorder::isCapturing() const {
    return running != Kind::None;
}

KeyRecorder::Kind KeyRecorder::capturing() const {
    return running;
}

int& KeyRecorder::flagOf(Kind kind) {
    switch (kind) {
        case Kind::SingleKey:
            return dialog.capturingSingleKey;
        case Kind::Combo:
            return dialog.recordingCombo;
        case Kind::Macro:
            return dialog.recordingMacro;
        case Kind::Emulation:
        case Kind::None:
            break;
    }
    return dialog.recordingEmulation;
}

// ---- start and stop -------------------------------------------------------------------------

bool KeyRecorder::preconditionHolds(Kind kind) const {
    // Combinations, macros and emulations are always recorded into an existing entry.
    switch (kind) {
        case Kind::SingleKey:
            return dialog.uniquesMode != 0;
        case Kind::Combo:
            return dialog.uniquesMode == 0 && dialog.comboList.count() > 0;
        case Kind::Macro:
            return dialog.macroList.count() > 0;
        case Kind::Emulation:
            return dialog.emulationList.count() > 0;
        case Kind::None:
            break;
    }
    return false;
}

bool KeyRecorder::startCapture(int regionId) {
    const Button* button = buttonOf(regionId);
    if (button == nullptr || running != Kind::None || !preconditionHolds(button->kind)) {
        return false;
    }
    // Asked before anything changes, so a refusal leaves the lists as they were.
    dialog.ownWindow = dialog.notifyTarget();
    const HookResult result = KeyCaptureSeam::current().installHook(dialog.ownWindow);
    if (result != HookResult::Capturing && result != HookResult::CapturingOwnWindows) {
        refusal(result);
        return false;
    }
    showButton(*button, true);
    flagOf(button->kind) = 1;
    running = button->kind;
    dialog.keyDown.fill(0);
    prepareList(button->kind);
    dialog.lastEventCode = -1;
    dialog.lastEventTime = 0;

    if (result == HookResult::CapturingOwnWindows) {
        // In the free strip between Clear and OK, the same on every tab.
        const QRect clear = toQRect(dialog.regionById(kClearButton).rect);
        const QRect ok = toQRect(dialog.regionById(kOkButton).rect);
        note->setGeometry(clear.right() + 6, clear.top() - 6, ok.left() - clear.right() - 12,
                          clear.height() + 12);
        note->setText(pick(kOwnWindowsOnly, dialog.config.language));
        note->show();
        note->raise();
    }
    dialog.update();
    return true;
}

void KeyRecorder::prepareList(Kind kind) {
    if (kind == Kind::Combo) {
        dialog.currentCombo.clear();
    } else if (kind == Kind::Macro) {
        StepList& macro = dialog.currentMacro;
        const StepList settings = macro;
        macro.clear();
        macro.Cycles = settings.Cycles;
        macro.IsAutoInterval = settings.IsAutoInterval;
        macro.Delay = settings.Delay;
        macro.PlayMode = settings.PlayMode;
        followRecordList(macro);
    } else if (kind == Kind::Emulation) {
        StepList& emulation = dialog.currentEmulation;
        const int delay = emulation.Delay;
        emulation.clear();
        emulation.Delay = delay;
        followRecordList(emulation);
    }
}

void KeyRecorder::showButton(const Button& button, bool recording) {
    dialog.regionById(button.region).lit = recording;
    dialog.regionById(button.recordCaption).captionVisible = !recording;
    dialog.regionById(button.stopCaption).captionVisible = recording;
    dialog.update(toQRect(dialog.regionById(button.region).rect));
}

void KeyRecorder::refusal(HookResult result) {
    const Text& text = result == HookResult::KeyboardBusy ? kKeyboardBusy : kNoDisplay;
    ui().message(&dialog, pick(text, dialog.config.language), toQString(titleText(dialog.config)),
                 UiIcon::Warning);
}

KeyRecorder::StopOutcome KeyRecorder::stopCapture(int) {
    const Kind kind = running;
    if (kind == Kind::None) {
        return StopOutcome::ClickContinues;
    }
    KeyCaptureSeam::current().uninstallHook();
    using ListId = CTravoDialogKeyMapSettings::ListId;
    if (kind == Kind::Combo) {
        dialog.saveWorkingList(ListId::Combos);
    } else if (kind == Kind::Macro) {
        dialog.saveWorkingList(ListId::Macros);
    } else if (kind == Kind::Emulation) {
        dialog.saveWorkingList(ListId::Emulations);
    }
    endCapture();
    // A key or a combination is taken at once by OK; a recording needs a second click.
    return kind == Kind::SingleKey || kind == Kind::Combo ? StopOutcome::ClickContinues
                                                          : StopOutcome::ClickConsumed;
}

void KeyRecorder::captureEnded(HookEnd reason) {
    if (running == Kind::None) {
        return;
    }
    stopCapture(0);
    const Text& text = reason == HookEnd::DisplayLost ? kEndedDisplayLost : kEndedUnresponsive;
    ui().message(&dialog, pick(text, dialog.config.language), toQString(titleText(dialog.config)),
                 UiIcon::Warning);
}

void KeyRecorder::endCapture() {
    const Button* button = buttonOf(running);
    flagOf(running) = 0;
    running = Kind::None;
    showButton(*button, false);
    note->hide();
}

// ---- captured keys --------------------------------------------------------------------------

int KeyRecorder::eventCode(quint32 wParam, quint32 lParam, int* vkOut, bool* upOut) {
    // System keys (typed under Alt) count as presses and releases alike.
    const bool up = (wParam & kHookKeyUp) != 0;
    int vk = static_cast<int>(wParam & kHookVirtualKeyMask);
    if (vk == kVkShift) {
        // A capture that reports only "Shift": tell the two keys apart by their states.
        KeyCaptureSeam& seam = KeyCaptureSeam::current();
        if (up) {
            const short left = seam.keyState(kVkLeftShift);
            const short right = seam.keyState(kVkRightShift);
            if (left != savedLeftShift) {
                vk = kVkLeftShift;
            } else if (right != savedRightShift) {
                vk = kVkRightShift;
            }
            savedLeftShift = left;
            savedRightShift = right;
        } else if ((seam.keyState(kVkLeftShift) & 0x8000) != 0) {
            vk = kVkLeftShift;
        } else if ((seam.keyState(kVkRightShift) & 0x8000) != 0) {
            vk = kVkRightShift;
        }
    }
    *vkOut = vk;
    *upOut = up;
    const int release = up ? kReleaseFlag : 0;
    if (vk == kVkReturn && (lParam & kHookExtendedKey) != 0) {
        return kKeypadEnter + release;
    }
    return vk + release;
}

void KeyRecorder::hookKey(quint32 wParam, quint32 lParam) {
    KeyCaptureSeam& seam = KeyCaptureSeam::current();
    seam.acknowledge();
    const std::int64_t now = seam.now();
    const std::int64_t elapsedMs =
        std::clamp<std::int64_t>((now - dialog.lastEventTime) / 1'000'000, 0, kLongestDelayMs);
    int vk = 0;
    bool up = false;
    const int code = eventCode(wParam, lParam, &vk, &up);

    bool odd = false;
    switch (running) {
        case Kind::SingleKey:
            odd = !up && code != dialog.lastEventCode && singleKey(code);
            break;
        case Kind::Combo:
            if (!up) {
                combination(code);
            }
            break;
        case Kind::Macro:
            macroEvent(code, vk, up, elapsedMs);
            break;
        case Kind::Emulation:
            emulationEvent(code, vk, up);
            break;
        case Kind::None:
            break;
    }
    // Every event moves the clock on, ignored ones included: the delay before a held key's
    // release is the time since its last repeat.
    dialog.lastEventTime = now;
    dialog.lastEventCode = code;

    if (odd) {
        // After the bookkeeping: keys typed while the box is open arrive inside its loop.
        const int h = dialog.config.keyCodeToHwCode[code & kKeyCodeMask];
        ui().message(&dialog, QString::asprintf("a=%d, b=%d, c=%d", code, h, dialog.singleKeyCode),
                     toQString(titleText(dialog.config)));
    }
}

bool KeyRecorder::singleKey(int code) {
    const KeyboardConfig& config = dialog.config;
    const int h = config.keyCodeToHwCode[code & kKeyCodeMask];
    dialog.singleKeyCode = config.hwCodeToKeyCode[h];
    dialog.update(toQRect(dialog.regionById(kSingleKeyName).rect));
    // A key without a hardware code comes back as 1023 ("-- --"); a key sharing its code with
    // another comes back as the other. OK stores neither.
    return code != dialog.singleKeyCode;
}

void KeyRecorder::combination(int code) {
    StepList& combo = dialog.currentCombo;
    if (code == dialog.lastEventCode || combo.count() >= kComboLimit) {
        return;  // a held key repeats its press; a seventh key is dropped
    }
    combo.setOrAppendAtRow(combo.count(), keyEventName(dialog.config, code, false));
    dialog.invalidateRows(kFirstComboKeyRow, kComboKeyRows);
    dialog.update(dialog.comboKeysBox->geometry());
}

void KeyRecorder::macroEvent(int code, int vk, bool up, std::int64_t elapsedMs) {
    // Drops the repeats of a held key and releases of keys not seen going down.
    if (static_cast<int>(up) != dialog.keyDown[vk]) {
        return;
    }
    dialog.keyDown[vk] ^= 1;
    StepList& macro = dialog.currentMacro;
    if (dialog.lastEventTime > 0 && !macro.IsAutoInterval && macro.count() < kMacroRowsWithDelays) {
        appendRecorded(macro, delayRow(elapsedMs));
    }
    const int limit = macro.IsAutoInterval ? kMacroRowsAutoDelay : kMacroRowsWithDelays;
    if (macro.count() < limit) {
        appendRecorded(macro, keyEventName(dialog.config, code, true));
    }
    dialog.invalidateRows(kFirstRecordRow, kRecordRows);
}

void KeyRecorder::emulationEvent(int code, int vk, bool up) {
    if (static_cast<int>(up) != dialog.keyDown[vk]) {
        return;
    }
    dialog.keyDown[vk] ^= 1;
    StepList& emulation = dialog.currentEmulation;
    // Presses only: an emulation types each key down and up by itself.
    if (up || code == dialog.lastEventCode || emulation.count() >= kEmulationLimit) {
        return;
    }
    appendRecorded(emulation, keyEventName(dialog.config, code, false));
    dialog.invalidateRows(kFirstEmulationRow, kRecordRows);
}

void KeyRecorder::appendRecorded(StepList& list, const std::u16string& row) {
    // A row past the end appends, and the cursor and view follow the new last row.
    list.setOrAppendAtRow(list.count(), row);
    followRecordList(list);
}

void KeyRecorder::followRecordList(const StepList& list) {
    // The record list's bar shows the view where the list now stands.
    CSkinScrollBar* bar = dialog.rightScrollBar;
    ScrollInfo info;
    info.fMask = SIF_ALL;
    info.nMin = 0;
    info.nMax = list.count() + kRecordRows - 1;
    info.nPage = kRecordRows;
    info.nPos = list.ViewStartAt;
    bar->setScrollInfo(info);
}

// ---- the record list's menu -----------------------------------------------------------------

void KeyRecorder::contextMenu(QPoint point) {
    const int id = dialog.clickScan(point);
    if (dialog.currentTab != kMacroTab || id < kFirstRecordRow ||
        id >= kFirstRecordRow + kRecordRows) {
        return;
    }
    const StepList& macro = dialog.currentMacro;
    if (macro.ViewStartAt + (id - kFirstRecordRow) >= macro.count()) {
        return;
    }
    dialog.menuRow = dialog.regionIndexById(id);
    const std::string& language = dialog.config.language;
    if (!isKnownLanguage(language)) {
        return;  // no texts for the menu
    }
    QMenu menu(&dialog);
    for (const SubMenu& sub : kSubMenus) {
        QMenu* submenu = menu.addMenu(pick(sub.title, language));
        for (int i = 0; i < sub.count; ++i) {
            const MenuCommand& c = sub.commands[static_cast<std::size_t>(i)];
            QAction* action = submenu->addAction(pick(c.text, language));
            connect(action, &QAction::triggered, this, [this, id = c.id] { menuCommand(id); });
        }
    }
    QAction* remove = menu.addAction(pick(kDeleteText, language));
    connect(remove, &QAction::triggered, this, [this] { menuCommand(kMenuDelete); });
    menu.exec(dialog.mapToGlobal(point));
}

void KeyRecorder::menuCommand(int commandId) {
    if (dialog.menuRow < 0 || dialog.menuRow >= static_cast<int>(dialog.regions.size())) {
        return;
    }
    const int row =
        dialog.regions[static_cast<std::size_t>(dialog.menuRow)].regionId - kFirstRecordRow;
    if (row < 0 || row >= kRecordRows) {
        return;
    }
    if (commandId == kMenuDelete) {
        deleteRow(row);
    } else {
        const auto found = std::find_if(
            std::begin(kMouseRows), std::end(kMouseRows),
            [&](const MouseRow& m) { return commandId >= m.firstId && commandId <= m.lastId; });
        if (found == std::end(kMouseRows)) {
            return;
        }
        const std::u16string name = hwCodeName(dialog.config, found->hwCode);
        insertMouse(row, name);
        if (insertsTwice(commandId)) {
            insertMouse(row, name);
        }
    }
    trimMacro();
    followRecordList(dialog.currentMacro);
    saveMacro();
    dialog.update();
}

void KeyRecorder::insertMouse(int row, const std::u16string& name) {
    StepList& macro = dialog.currentMacro;
    // With recorded delays a pause of 0 ms keeps keys and pauses alternating.
    const bool separator = !macro.IsAutoInterval;
    const std::u16string zero = delayRow(0);
    if (holdsDelay(macro.itemAtRow(row))) {
        macro.insertAtRow(row, name);  // <0 ms>, name, the old pause
        if (separator) {
            macro.insertAtRow(row, zero);
        }
    } else {
        if (separator) {
            macro.insertAtRow(row, zero);  // name, <0 ms>, the old row
        }
        macro.insertAtRow(row, name);
    }
}

void KeyRecorder::deleteRow(int row) {
    StepList& macro = dialog.currentMacro;
    macro.removeAtRow(row);
    // With recorded delays a key goes with its pause: the row that has moved into the clicked
    // one's place (the one before it when the last row was clicked).
    if (!macro.IsAutoInterval && macro.count() > 0) {
        macro.removeAtRow(row);
    }
}

void KeyRecorder::trimMacro() {
    StepList& macro = dialog.currentMacro;
    const int limit = macro.IsAutoInterval ? kMacroRowsAutoDelay : kMacroRowsWithDelays;
    while (macro.count() > limit) {
        macro.removeAtRow(macro.count());  // past the end: the last row
    }
}

void KeyRecorder::saveMacro() {
    dialog.saveWorkingList(CTravoDialogKeyMapSettings::ListId::Macros);
}

// ---- macro options --------------------------------------------------------------------------

void KeyRecorder::optionClicked(int regionId) {
    switch (regionId) {
        case kTimesPlay:
        case kPressPlay:
        case kTogglePlay:
            setPlayMode(regionId);
            break;
        // The mode already chosen changes nothing: converting again would drop every second
        // real row, or put pauses between pauses.
        case kAutoDelay:
            if (!dialog.currentMacro.IsAutoInterval) {
                setDelayMode(true);
            }
            break;
        case kRecordDelay:
            if (dialog.currentMacro.IsAutoInterval) {
                setDelayMode(false);
            }
            break;
        default:
            break;
    }
}

void KeyRecorder::setPlayMode(int regionId) {
    static constexpr int kModes[] = {kTimesPlay, kPressPlay, kTogglePlay};
    for (int mode = 0; mode < 3; ++mode) {
        dialog.regionById(kModes[mode]).lit = kModes[mode] == regionId;
        if (kModes[mode] == regionId) {
            dialog.currentMacro.PlayMode = mode;
        }
    }
    // Only "Times Play" uses the loop count.
    dialog.valueEdit->setEnabled(regionId == kTimesPlay);
    if (regionId == kTimesPlay) {
        dialog.valueEdit->setFocus(Qt::OtherFocusReason);
    }
    saveMacro();
    dialog.update();
}

void KeyRecorder::setDelayMode(bool automatic) {
    dialog.regionById(kAutoDelay).lit = automatic;
    dialog.regionById(kRecordDelay).lit = !automatic;
    if (automatic) {
        delayEditChanged();
    }
    StepList& macro = dialog.currentMacro;
    StepList rebuilt(macro.SizeOfView);
    rebuilt.Cycles = macro.Cycles;
    rebuilt.Delay = macro.Delay;
    rebuilt.PlayMode = macro.PlayMode;
    rebuilt.IsAutoInterval = automatic;
    for (const std::u16string& row : macro.items) {
        if (automatic) {
            // One fixed delay replaces the recorded pauses. Taken by content, so a list whose
            // pauses no longer alternate with keys (after deletions) keeps every key.
            if (!holdsDelay(row)) {
                rebuilt.setOrAppendAtRow(rebuilt.count(), row);
            }
        } else {
            if (rebuilt.count() > 0) {
                rebuilt.setOrAppendAtRow(rebuilt.count(), delayRow(macro.Delay));
            }
            rebuilt.setOrAppendAtRow(rebuilt.count(), row);
        }
    }
    macro = rebuilt;
    followRecordList(macro);
    saveMacro();
    dialog.delayEdit->setEnabled(automatic);
    if (automatic) {
        dialog.delayEdit->setFocus(Qt::OtherFocusReason);
    }
    dialog.update();
}

// ---- numeric fields and delay rows ----------------------------------------------------------

void KeyRecorder::valueEditChanged() {
    if (dialog.currentTab == kMacroTab) {
        const auto cycles =
            std::clamp<std::int64_t>(leadingNumber(dialog.valueEdit->text()), 1, kMaxCycles);
        showNumber(dialog.valueEdit, cycles);
        dialog.currentMacro.Cycles = static_cast<int>(cycles);
        saveMacro();
    } else if (dialog.currentTab == kEmulateTab) {
        // No lower bound: 0 types the keys without a pause.
        std::int64_t delay = leadingNumber(dialog.valueEdit->text());
        if (delay > kMaxEmulationDelay) {
            delay = kMaxEmulationDelay;
            dialog.valueEdit->setText(QStringLiteral("6000"));
        }
        dialog.currentEmulation.Delay = static_cast<int>(delay);
        dialog.saveWorkingList(CTravoDialogKeyMapSettings::ListId::Emulations);
    }
}

void KeyRecorder::delayEditChanged() {
    if (dialog.currentTab != kMacroTab) {
        return;
    }
    const auto delay =
        std::clamp<std::int64_t>(leadingNumber(dialog.delayEdit->text()), 0, kMaxFixedDelay);
    showNumber(dialog.delayEdit, delay);
    dialog.currentMacro.Delay = static_cast<int>(delay);
    saveMacro();
}

void KeyRecorder::delayRowCommitted(int absoluteRow, const QString& text) {
    StepList& macro = dialog.currentMacro;
    if (absoluteRow < 0 || absoluteRow >= macro.count()) {
        return;
    }
    const std::int64_t ms = std::clamp<std::int64_t>(leadingNumber(text), 0, kLongestDelayMs);
    macro.items[static_cast<std::size_t>(absoluteRow)] = delayRow(ms);
    saveMacro();
    dialog.update();
}
