// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The key settings dialog's keystroke capture: the single key, the combination, macro and
// emulation recordings through the keystroke capture of the device library, and the record
// list's context menu.
//
// The recorder has a state of its own (which capture runs, the keys held down, the previous
// event's code and time, the menu's row) and records into the working lists of the state the
// dialog lends it. It paints nothing itself: it tells the dialog through RecorderView what to
// show. The macro's play and delay options, its number fields and pauses edited in place are the
// dialog's (KeySettingsMacro.cpp), on the rows of MacroRows.h.

#include <QObject>
#include <QPoint>
#include <QString>
#include <QtGlobal>
#include <array>
#include <cstdint>
#include <string>

#include "KeyCaptureSeam.h"
#include "KeySettingsState.h"

class KeyboardConfig;
class NotifyTarget;
class QLabel;
class QRect;
class QWidget;

// The capture kinds, by their Record button.
enum class CaptureKind { None, SingleKey, Combo, Macro, Emulation };

// What the recorder asks of the window it records for.
class RecorderView {
public:
    // The window: parent of the recorder's messages, its menu and its note.
    virtual QWidget& recorderWindow() = 0;
    // Where the keystroke capture posts its keys.
    virtual NotifyTarget* captureTarget() = 0;
    // A capture started or stopped: its Record button shows it.
    virtual void captureShown(CaptureKind kind, bool running) = 0;
    // The rows of a list changed (ListId::None: the combination's keys); the list's rows are
    // repainted and its bar shows where its view now starts.
    virtual void listChanged(ListId id) = 0;
    // The single key changed; its name is repainted.
    virtual void singleKeyChanged() = 0;
    // The view row of the macro record list under a point of the window, -1 when the point is on
    // no row of it or the list is not shown.
    virtual int recordRowAt(QPoint point) = 0;
    // Where the note about keys typed into our own windows only goes.
    virtual QRect noteArea() = 0;

protected:
    ~RecorderView() = default;
};

class KeyRecorder : public QObject {
public:
    // What a left click that ended a capture does next.
    enum class StopOutcome {
        ClickContinues,  // the click goes on to its action (OK or Cancel after a key capture)
        ClickConsumed,   // the click only ended the capture
    };
    using Kind = CaptureKind;

    KeyRecorder(RecorderView& view, KeySettingsState& state, const KeyboardConfig& config);
    // Releases the keyboard if a capture still runs.
    ~KeyRecorder() override;
    KeyRecorder(const KeyRecorder&) = delete;
    KeyRecorder& operator=(const KeyRecorder&) = delete;

    // True when a capture of this kind may start now: a key in "Uniques" mode, a combination in
    // "Combo" mode into an existing entry, a macro or emulation into an existing entry.
    bool canStart(Kind kind) const;
    // Starts a capture; true when it started. Without a display or with the keyboard held by
    // another program, the user is told and nothing changes.
    bool startCapture(Kind kind);
    bool isCapturing() const { return running != Kind::None; }
    Kind capturing() const { return running; }
    // Called at the start of every left click on the painted surface while a capture runs.
    StopOutcome stopCapture();

    // One captured keystroke (WM_HOOK_KEY): virtual key in the low byte of wParam, bit 31 set
    // for a release, the extended-key flag in bit 24 of lParam.
    void hookKey(quint32 wParam, quint32 lParam);
    // The capture ended without a Stop (WM_HOOK_ENDED): the recording stops as at Stop, keeping
    // what was recorded, and the user is told why. Nothing when no capture runs.
    void captureEnded(HookEnd reason);

    // A right-button release at `point` (window coordinates): the record list's menu when it is
    // on a row of the macro record list that holds a row.
    void contextMenu(QPoint point);
    // A command of the record list's menu, 1135 to 1147, on the row the menu was opened on.
    void menuCommand(int commandId);

    // The note shown while recording sees only keys typed into our own windows (XWayland).
    const QLabel* focusNote() const { return note; }

protected:
    // A capture must not outlive the window being shown: hiding it (OK, Cancel, a lost keyboard)
    // ends the capture.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void prepareList(Kind kind);
    void refusal(HookResult result);

    int eventCode(quint32 wParam, quint32 lParam, int* vk, bool* up);
    bool singleKey(int code);
    void combination(int code);
    void macroEvent(int code, int vk, bool up, std::int64_t elapsedMs);
    void emulationEvent(int code, int vk, bool up);
    void appendRecorded(ListId id, const std::u16string& row);

    RecorderView& view;
    KeySettingsState& state;
    const KeyboardConfig& config;
    QLabel* note = nullptr;

    // The recorder's own state.
    Kind running = Kind::None;
    std::array<std::uint8_t, 256> keyDown{};  // per virtual key: 1 while recorded as down
    int lastEventCode = -1;
    std::int64_t lastEventTime = 0;  // the clock at the previous event; 0 before the first
    int menuRow = -1;                // view row of the record list the menu was opened on
};
