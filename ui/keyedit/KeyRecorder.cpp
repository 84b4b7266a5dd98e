// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeyRecorder.h"

#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QRect>
#include <algorithm>
#include <array>

#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "LanguageText.h"
#include "MacroRows.h"
#include "PauseText.h"
#include "SkinResources.h"
#include "UiSeam.h"

// ---- tables ---------------------------------------------------------------------------------

namespace {

constexpr int kComboLimit = 6;
constexpr int kEmulationLimit = 6;

constexpr int kVkShift = 16;
constexpr int kVkLeftShift = 160;
constexpr int kVkRightShift = 161;
constexpr int kVkReturn = 13;
constexpr int kKeypadEnter = 269;  // the program's own code for the numeric keypad's Enter

// The Shift states seen at the previous Shift release, shared by every dialog of the process.
short savedLeftShift = 0;
short savedRightShift = 0;

constexpr int kMenuDelete = 1147;

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

}  // namespace

// ---- life -----------------------------------------------------------------------------------

KeyRecorder::KeyRecorder(RecorderView& window, KeySettingsState& lent,
                         const KeyboardConfig& document)
    : view(window), state(lent), config(document) {
    QWidget& owner = view.recorderWindow();
    note = new QLabel(&owner);
    note->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette palette = note->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 255, 0));
    note->setPalette(palette);
    note->setFont(skinFont(12));
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignCenter);
    note->hide();
    owner.installEventFilter(this);
}

KeyRecorder::~KeyRecorder() {
    if (running != Kind::None) {
        KeyCaptureSeam::current().uninstallHook();
    }
}

bool KeyRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &view.recorderWindow() && event->type() == QEvent::Hide &&
        running != Kind::None) {
        stopCapture();
    }
    return QObject::eventFilter(watched, event);
}

// ---- start and stop -------------------------------------------------------------------------

bool KeyRecorder::canStart(Kind kind) const {
    // Combinations, macros and emulations are always recorded into an existing entry.
    switch (kind) {
        case Kind::SingleKey:
            return state.uniquesMode != 0;
        case Kind::Combo:
            return state.uniquesMode == 0 && state.comboList.count() > 0;
        case Kind::Macro:
            return state.macroList.count() > 0;
        case Kind::Emulation:
            return state.emulationList.count() > 0;
        case Kind::None:
            break;
    }
    return false;
}

bool KeyRecorder::startCapture(Kind kind) {
    if (running != Kind::None || !canStart(kind)) {
        return false;
    }
    // Asked before anything changes, so a refusal leaves the lists as they were.
    const HookResult result = KeyCaptureSeam::current().installHook(view.captureTarget());
    if (result != HookResult::Capturing && result != HookResult::CapturingOwnWindows) {
        refusal(result);
        return false;
    }
    running = kind;
    view.captureShown(kind, true);
    keyDown.fill(0);
    prepareList(kind);
    lastEventCode = -1;
    lastEventTime = 0;
    if (result == HookResult::CapturingOwnWindows) {
        note->setGeometry(view.noteArea());
        note->setText(QStringView(kOwnWindowsOnly.exactly(config.language)).toString());
        note->show();
        note->raise();
    }
    return true;
}

void KeyRecorder::prepareList(Kind kind) {
    if (kind == Kind::Combo) {
        state.currentCombo.clear();
        view.listChanged(ListId::None);
    } else if (kind == Kind::Macro) {
        // A new recording keeps the macro's settings.
        StepList& macro = state.currentMacro;
        const StepList settings = macro;
        macro.clear();
        macro.Cycles = settings.Cycles;
        macro.IsAutoInterval = settings.IsAutoInterval;
        macro.Delay = settings.Delay;
        macro.PlayMode = settings.PlayMode;
        view.listChanged(ListId::MacroSteps);
    } else if (kind == Kind::Emulation) {
        StepList& emulation = state.currentEmulation;
        const int delay = emulation.Delay;
        emulation.clear();
        emulation.Delay = delay;
        view.listChanged(ListId::EmulationSteps);
    }
}

void KeyRecorder::refusal(HookResult result) {
    const Text& text = result == HookResult::KeyboardBusy ? kKeyboardBusy : kNoDisplay;
    ui().message(&view.recorderWindow(), QStringView(text.exactly(config.language)).toString(),
                 toQString(titleText(config)), UiIcon::Warning);
}

KeyRecorder::StopOutcome KeyRecorder::stopCapture() {
    const Kind kind = running;
    if (kind == Kind::None) {
        return StopOutcome::ClickContinues;
    }
    KeyCaptureSeam::current().uninstallHook();
    if (kind == Kind::Combo) {
        state.save(ListId::Combos);
    } else if (kind == Kind::Macro) {
        state.save(ListId::Macros);
    } else if (kind == Kind::Emulation) {
        state.save(ListId::Emulations);
    }
    running = Kind::None;
    view.captureShown(kind, false);
    note->hide();
    // A key or a combination is taken at once by OK; a recording needs a second click.
    return kind == Kind::SingleKey || kind == Kind::Combo ? StopOutcome::ClickContinues
                                                          : StopOutcome::ClickConsumed;
}

void KeyRecorder::captureEnded(HookEnd reason) {
    if (running == Kind::None) {
        return;
    }
    stopCapture();
    const Text& text = reason == HookEnd::DisplayLost ? kEndedDisplayLost : kEndedUnresponsive;
    ui().message(&view.recorderWindow(), QStringView(text.exactly(config.language)).toString(),
                 toQString(titleText(config)), UiIcon::Warning);
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
        std::clamp<std::int64_t>((now - lastEventTime) / 1'000'000, 0, kLongestPauseMs);
    int vk = 0;
    bool up = false;
    const int code = eventCode(wParam, lParam, &vk, &up);

    bool odd = false;
    switch (running) {
        case Kind::SingleKey:
            odd = !up && code != lastEventCode && singleKey(code);
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
    lastEventTime = now;
    lastEventCode = code;

    if (odd) {
        // After the bookkeeping: keys typed while the box is open arrive inside its loop.
        const int h = config.keyCodeToHwCode[code & kKeyCodeMask];
        ui().message(&view.recorderWindow(),
                     QString::asprintf("a=%d, b=%d, c=%d", code, h, state.singleKeyCode),
                     toQString(titleText(config)));
    }
}

bool KeyRecorder::singleKey(int code) {
    const int h = config.keyCodeToHwCode[code & kKeyCodeMask];
    state.singleKeyCode = config.hwCodeToKeyCode[h];
    view.singleKeyChanged();
    // A key without a hardware code comes back as 1023 ("-- --"); a key sharing its code with
    // another comes back as the other. OK stores neither.
    return code != state.singleKeyCode;
}

void KeyRecorder::combination(int code) {
    StepList& combo = state.currentCombo;
    if (code == lastEventCode || combo.count() >= kComboLimit) {
        return;  // a held key repeats its press; a seventh key is dropped
    }
    combo.setOrAppendAtRow(combo.count(), keyEventName(config, code, false));
    view.listChanged(ListId::None);
}

void KeyRecorder::macroEvent(int code, int vk, bool up, std::int64_t elapsedMs) {
    // Drops the repeats of a held key and releases of keys not seen going down.
    if (static_cast<int>(up) != keyDown[vk]) {
        return;
    }
    keyDown[vk] ^= 1;
    const StepList& macro = state.currentMacro;
    if (lastEventTime > 0 && !macro.IsAutoInterval && macro.count() < kMacroRowsWithDelays) {
        appendRecorded(ListId::MacroSteps, pauseText(elapsedMs));
    }
    if (macro.count() < macroRowLimit(macro)) {
        appendRecorded(ListId::MacroSteps, keyEventName(config, code, true));
    }
}

void KeyRecorder::emulationEvent(int code, int vk, bool up) {
    if (static_cast<int>(up) != keyDown[vk]) {
        return;
    }
    keyDown[vk] ^= 1;
    // Presses only: an emulation types each key down and up by itself.
    if (up || code == lastEventCode || state.currentEmulation.count() >= kEmulationLimit) {
        return;
    }
    appendRecorded(ListId::EmulationSteps, keyEventName(config, code, false));
}

void KeyRecorder::appendRecorded(ListId id, const std::u16string& row) {
    // A row past the end appends, and the cursor and view follow the new last row.
    StepList& list = state.list(id);
    list.setOrAppendAtRow(list.count(), row);
    view.listChanged(id);
}

// ---- the record list's menu -----------------------------------------------------------------

void KeyRecorder::contextMenu(QPoint point) {
    const int row = view.recordRowAt(point);
    const StepList& macro = state.currentMacro;
    if (row < 0 || macro.ViewStartAt + row >= macro.count()) {
        return;
    }
    menuRow = row;
    const std::string& language = config.language;
    if (!isKnownLanguage(language)) {
        return;  // no texts for the menu
    }
    QWidget& window = view.recorderWindow();
    QMenu menu(&window);
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
    menu.exec(window.mapToGlobal(point));
}

void KeyRecorder::menuCommand(int commandId) {
    const PaintedList* rows = paintedList(ListId::MacroSteps);
    if (menuRow < 0 || menuRow >= rows->rows) {
        return;
    }
    StepList& macro = state.currentMacro;
    if (commandId == kMenuDelete) {
        deleteMacroRow(macro, menuRow);
    } else {
        const auto found = std::find_if(
            std::begin(kMouseRows), std::end(kMouseRows),
            [&](const MouseRow& m) { return commandId >= m.firstId && commandId <= m.lastId; });
        if (found == std::end(kMouseRows)) {
            return;
        }
        const std::u16string name = hwCodeName(config, found->hwCode);
        insertMouseRow(macro, menuRow, name);
        if (insertsTwice(commandId)) {
            insertMouseRow(macro, menuRow, name);
        }
    }
    trimMacro(macro);
    state.save(ListId::Macros);
    view.listChanged(ListId::MacroSteps);
}
