// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Everything the key settings dialog does with captured keystrokes: the single-key capture, the
// combination, macro and emulation recordings through the keystroke capture of the device
// library, the record list's context menu, the macro's play and delay modes, the loop count and
// delay fields and the in-place editing of a macro's delay rows.
//
// The dialog owns one KeyRecorder and calls it at the points below and nowhere else decides what
// a recording does; the recorder reaches the dialog's members as its friend.

#include <QObject>
#include <QPoint>
#include <QString>
#include <QtGlobal>
#include <cstdint>

#include "KeyCaptureSeam.h"

class CTravoDialogKeyMapSettings;
class QLabel;
class StepList;

class KeyRecorder : public QObject {
public:
    // What a left click that ended a capture does next.
    enum class StopOutcome {
        ClickContinues,  // the click goes on to its action (OK or Cancel after a key capture)
        ClickConsumed,   // the click only ended the capture
    };

    // The capture kinds, by their Record button.
    enum class Kind { None, SingleKey, Combo, Macro, Emulation };

    explicit KeyRecorder(CTravoDialogKeyMapSettings& dialog);
    // Releases the keyboard if a capture still runs.
    ~KeyRecorder() override;
    KeyRecorder(const KeyRecorder&) = delete;
    KeyRecorder& operator=(const KeyRecorder&) = delete;

    // A click on a Record button: 104 single key, 107 combination, 207 macro, 302 emulation.
    // True when a capture started. Without a display or with the keyboard held by another
    // program, the user is told and nothing changes.
    bool startCapture(int regionId);
    bool isCapturing() const;
    Kind capturing() const;
    // Called at the start of every left click on the painted surface while a capture runs.
    StopOutcome stopCapture(int clickedRegionId);

    // One captured keystroke (WM_HOOK_KEY): virtual key in the low byte of wParam, bit 31 set
    // for a release, the extended-key flag in bit 24 of lParam.
    void hookKey(quint32 wParam, quint32 lParam);
    // The capture ended without a Stop (WM_HOOK_ENDED): the recording stops as at Stop, keeping
    // what was recorded, and the user is told why. Nothing when no capture runs.
    void captureEnded(HookEnd reason);

    // A right-button release on the dialog at `point` (client coordinates).
    void contextMenu(QPoint point);
    // A command of the record list's context menu, 1135 to 1147.
    void menuCommand(int commandId);

    // A click on the Macro tab's option boxes 201, 203, 208, 209 and 210.
    void optionClicked(int regionId);

    // The text of valueEdit or delayEdit changed.
    void valueEditChanged();
    void delayEditChanged();

    // The in-place field closed over the macro record row at `absoluteRow` with `text`.
    void delayRowCommitted(int absoluteRow, const QString& text);

    // The note shown while recording sees only keys typed into our own windows (XWayland).
    const QLabel* focusNote() const { return note; }

protected:
    // A capture must not outlive the dialog being shown: hiding it (OK, Cancel, a lost keyboard)
    // ends the capture.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Button;
    static const Button* buttonOf(Kind kind);
    static const Button* buttonOf(int regionId);

    int& flagOf(Kind kind);
    bool preconditionHolds(Kind kind) const;
    void prepareList(Kind kind);
    void showButton(const Button& button, bool recording);
    void refusal(HookResult result);
    void endCapture();

    int eventCode(quint32 wParam, quint32 lParam, int* vk, bool* up);
    bool singleKey(int code);
    void combination(int code);
    void macroEvent(int code, int vk, bool up, std::int64_t elapsedMs);
    void emulationEvent(int code, int vk, bool up);
    void appendRecorded(StepList& list, const std::u16string& row);
    void followRecordList(const StepList& list);

    void insertMouse(int row, const std::u16string& name);
    void deleteRow(int row);
    void trimMacro();
    void saveMacro();
    void setDelayMode(bool automatic);
    void setPlayMode(int regionId);

    CTravoDialogKeyMapSettings& dialog;
    Kind running = Kind::None;
    QLabel* note = nullptr;
};
