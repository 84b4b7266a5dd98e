#include "KeyRecorder.h"

#include "CTravoDialogKeyMapSettings.h"

// Not built yet: the keystroke capture of the device library and the recorder on top of it
// follow. Until then the Record buttons, the Macro tab's option boxes, the numeric fields and
// the record list's menu leave everything as it is; the dialog already calls each entry point
// where a recording would act.

KeyRecorder::KeyRecorder(CTravoDialogKeyMapSettings& owner) : dialog(owner) {}

KeyRecorder::~KeyRecorder() = default;

bool KeyRecorder::startCapture(int) {
    return false;
}

bool KeyRecorder::isCapturing() const {
    return false;
}

KeyRecorder::StopOutcome KeyRecorder::stopCapture(int) {
    return StopOutcome::ClickContinues;
}

void KeyRecorder::hookKey(quint32, quint32) {}

void KeyRecorder::contextMenu(QPoint) {}

void KeyRecorder::menuCommand(int) {}

void KeyRecorder::optionClicked(int) {}

void KeyRecorder::valueEditChanged() {}

void KeyRecorder::delayEditChanged() {}

void KeyRecorder::delayRowCommitted(int, const QString&) {}
