#pragma once
// Everything the key settings dialog does with captured keystrokes: the single-key capture, the
// combination, macro and emulation recordings through the keystroke capture of the device
// library, the record list's context menu, the macro's play and delay modes, the loop count and
// delay fields and the in-place editing of a macro's delay rows.
//
// The dialog owns one KeyRecorder and calls it at the points below and nowhere else decides what
// a recording does; the recorder reaches the dialog's members as its friend.

#include <QPoint>
#include <QString>
#include <QtGlobal>

class CTravoDialogKeyMapSettings;

class KeyRecorder {
public:
    // What a left click that ended a capture does next.
    enum class StopOutcome {
        ClickContinues,  // the click goes on to its action (OK or Cancel after a key capture)
        ClickConsumed,   // the click only ended the capture
    };

    explicit KeyRecorder(CTravoDialogKeyMapSettings& dialog);
    ~KeyRecorder();
    KeyRecorder(const KeyRecorder&) = delete;
    KeyRecorder& operator=(const KeyRecorder&) = delete;

    // A click on a Record button: 104 single key, 107 combination, 207 macro, 302 emulation.
    // True when a capture started.
    bool startCapture(int regionId);
    bool isCapturing() const;
    // Called at the start of every left click on the painted surface while a capture runs.
    StopOutcome stopCapture(int clickedRegionId);

    // One captured keystroke (WM_HOOK_KEY): virtual key in the low byte of wParam, bit 31 set
    // for a release, the extended-key flag in bit 24 of lParam.
    void hookKey(quint32 wParam, quint32 lParam);

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

private:
    CTravoDialogKeyMapSettings& dialog;
};
