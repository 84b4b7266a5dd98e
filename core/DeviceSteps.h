// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The sequences of keyboard exchanges that the program and oskelctl run, written once: writing
// (keys, colours, the pause that lets the keyboard store them, the read-back that checks them),
// loading the keyboard into the document (keys, pause, colours; the document put back as it was
// when any of it fails) and the firmware download.
//
// Each sequence holds the keyboard's lock from its first exchange to its last, pauses
// included, so another program's exchange never lands between two of its steps. A front end
// runs a sequence on the thread that may wait, and only shows what it is told through a
// StepObserver: which step runs, where its progress goes, and how it ended. What must happen
// around every write or download (keeping the system awake, a copy of what the keyboard holds)
// belongs here, in the sequence, so that both front ends get it.

#include <OskelHWI.h>

#include <chrono>
#include <string_view>

#include "KeyboardConfig.h"
#include "SettleTimes.h"
#include "Verification.h"

enum class DeviceStep {
    WriteKeys,    // the 216 key records
    WriteLights,  // the colour table
    ReadBack,     // reading back and comparing with what was written (or with the document)
    ReadKeys,     // the key records into the document
    ReadLights,   // the colour table into the document
    Firmware,     // a firmware image
};

enum class StepsOutcome {
    Done,     // every step ran; a read-back found the keyboard holding what it should
    Differs,  // every step ran, but the read-back found differences
    Failed,   // an exchange failed: the keyboard stopped answering, or is not open
    Busy,     // another program kept the keyboard: nothing was exchanged from `step` on
    Stopped,  // the front end asked to stop
};

struct StepsResult {
    StepsOutcome outcome = StepsOutcome::Failed;
    // The step that failed, was kept from running or was stopped; the last one run when done.
    DeviceStep step = DeviceStep::WriteKeys;
    // What a read-back found.
    Comparison differences;

    bool succeeded() const { return outcome == StepsOutcome::Done; }
};

// What a front end is told while a sequence runs, and how it stops one. Called on the thread
// that runs the sequence.
class StepObserver {
public:
    virtual ~StepObserver() = default;

    // `step` begins; its exchanges post WM_TRANSFER_PROGRESS to the target returned (null:
    // nobody is told).
    virtual WindowHandle stepStarting(DeviceStep step) = 0;
    // Its exchanges have ended, successfully or not.
    virtual void stepEnded(DeviceStep /*step*/, bool /*succeeded*/) {}
    // True once the user asked to stop; the sequence ends before its next step or at the end of
    // its pause. (Cutting short the exchange that runs is CTravoHWI::cancelTransfer.)
    virtual bool stopRequested() = 0;
    // Waits `time`, or less once a stop is asked for; false when stopped. By default sleeps in
    // short slices, asking stopRequested between them.
    virtual bool pause(std::chrono::milliseconds time);
};

// What a write sends.
struct WriteRequest {
    bool keys = true;
    bool lights = false;
    // Read back what was written (the keys and/or the colours sent) and compare.
    bool verify = false;
    // Wait after the last write even when nothing follows it (afterKeyWrite after keys,
    // afterBacklightWrite after colours only), so the keyboard has stored everything when the
    // front end ends. Before a read-back the keyboard always gets afterKeyWrite.
    bool settle = false;
};

// The keys (as the document assigns them), then the colours, as asked; then the pause, then the
// read-back. Done, or Differs with the differences found.
StepsResult writeToKeyboard(KeyboardConfig& config, const WriteRequest& request,
                            const SettleTimes& times, StepObserver& observer);

// The key records, afterKeyRead later the colours, into the document. The document is put back
// exactly as it was when any step fails or is stopped.
StepsResult loadFromKeyboard(KeyboardConfig& config, const SettleTimes& times,
                             StepObserver& observer);

// Reads the keyboard and compares it with the document, as `parts` say (nothing is written).
StepsResult verifyAgainstDocument(KeyboardConfig& config, VerifyParts parts,
                                  StepObserver& observer);

// Downloads the Intel HEX image `text` (the whole file). Failed without sending anything when the
// text is no firmware image (CTravoHWI::firmwareFault tells why).
StepsResult downloadFirmware(KeyboardConfig& config, std::string_view text, StepObserver& observer);
