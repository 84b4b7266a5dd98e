// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// OskelHWI: the device library of the Oskel 108-key keyboard.
//
// It finds the keyboard's configuration interface (vendor 0483, product 5022, interface mi_01)
// among the hidraw devices and the virtual keyboards, exchanges 65-byte reports with it (report id
// 0x00, then a 64-byte payload), keeps a working copy of the 216 key definitions (two levels of
// 108 keys) and the 324-byte backlight table, and runs the key, light, version and firmware
// exchanges. `CTravoHWI` is the one class a program uses. InstallHook and UninstallHook capture
// every keystroke of the desktop for the macro recorder.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#if defined(_WIN32)
#define OSKELHWI_EXPORT __declspec(dllexport)
#else
#define OSKELHWI_EXPORT __attribute__((visibility("default")))
#endif

// Window messages. The numbers are the keyboard software's traditional ones (WM_USER = 0x400),
// so programs and tools agree on them whatever the platform.
constexpr unsigned WM_USER = 0x400;
constexpr unsigned WM_TRAY_NOTIFY = WM_USER + 101;  // 0x465: notification-area icon
constexpr unsigned WM_HOOK_KEY = WM_USER + 102;     // 0x466: one captured keystroke
// 0x469: the keystroke capture ended on its own; wParam = why (HookEnd), lParam = 0.
constexpr unsigned WM_HOOK_ENDED = WM_USER + 105;
constexpr unsigned WM_TRANSFER_PROGRESS = WM_USER + 103;  // 0x467: wParam = progress value
constexpr unsigned WM_TRANSFER_DONE = WM_USER + 104;      // 0x468: a device operation ended

// Where a transfer reports its progress. post() must not block and may be called from any thread;
// the receiver decides on which thread it handles the message.
class NotifyTarget {
public:
    virtual ~NotifyTarget() = default;
    virtual void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// A window handle is a notify target; null means nobody is told.
using WindowHandle = NotifyTarget*;

class CTravoUtil;
class CTravo;

// The keyboard's keys: key 1..108 on each of two levels, one key slot each.
constexpr int kKeyCount = 108;
constexpr int kLevelCount = 2;
constexpr int kSlotCount = kKeyCount * kLevelCount;  // 216

// Number of ints in the light array of setKeyboardLightArea/getKeyboardLightArea:
// key 1..108, each red, green, blue.
constexpr int kLightArrayLength = kKeyCount * 3;  // 324

// The keyboard as a program sees it. Every member may be called from any thread: the report
// exchanges and the working copy are serialised by one lock (a notify target may call back into
// the object from post() on the exchanging thread); DetectDevice and detectedDevicePath only
// enumerate and never wait for a running exchange. Members that need the keyboard answer false
// (or leave the caller's buffer as it was) while the device is closed.
//
// Discovery walks hidapi's hidraw interfaces, then the virtual keyboards' sockets in
// $XDG_RUNTIME_DIR/oskel/hid (or /tmp/oskel-<uid>/hid) in name order, leaving out a socket
// nobody listens on (left behind by a keyboard that is gone); OSKEL_NO_HIDRAW=1 leaves the
// hidraw interfaces out (tests use it so that a real keyboard is never written to).
class OSKELHWI_EXPORT CTravoHWI {
public:
    // Closed: no transport, no keyboard object.
    CTravoHWI();
    // Closes the device as __closeDev does.
    ~CTravoHWI();
    // The copy shares the source's transport and keyboard object without owning them; only one
    // of the two may close the device or be destroyed while it is open.
    CTravoHWI& operator=(const CTravoHWI& other);
    CTravoHWI(const CTravoHWI&) = delete;

    // True when a keyboard is attached. Opens nothing and changes nothing; never waits on a
    // running exchange.
    bool DetectDevice();

    // Opens the first keyboard found. True at once when already open. False when no keyboard
    // is found. True also when the keyboard was found but could not be opened: the first
    // exchange then fails (openError() tells why).
    bool __createDev();

    // Deletes the keyboard object (and every key definition) and closes the transport; an
    // exchange running on another thread is cancelled and finished first. A copy made with
    // operator= only lets go of the shared device. Harmless when already closed. Always true.
    bool __closeDev();

    // Empties all 216 key slots. Always true.
    bool prepare();

    // Builds a key definition from a key-configuration array and stores it in the slot of
    // `level` (0 = level 1, 1 = level 2) and `key` (1..108), replacing what the slot held.
    // Array layout by element 0 (the kind):
    //   0: n, code 1 .. code n                       (fixed codes, at most 58 kept)
    //   1: delay, n, code 1 .. code n                (typed one after another, at most 56 kept)
    //   2: play mode 0..2, cycles, hasStepDelays, delay, n, steps
    //      steps: n codes, or with step delays code, pause, code, pause, ..., last code.
    // A kind other than 0..2, a macro play mode other than 0..2, or a level/key out of range
    // changes nothing. Lists longer than a record carries are cut (58 and 56 codes, a macro's
    // step bytes at 65535). `count` is informational. Always false (the result carries nothing).
    bool setKeyConfiguration(int level, int key, const int* config, int count);

    // Writes the slot's definition into `config` in the layout above; an empty slot is written
    // as 0, 0, the rest of the array left as it was. Never writes more than `capacity` ints (a
    // definition that does not fit is cut); writes nothing for a level/key out of range or a
    // closed device. Always true.
    bool getKeyConfiguration(int level, int key, int* config, int capacity);

    // Stores the low byte of each of the 324 ints as the backlight table and sends it to the
    // keyboard at once. False when a report could not be sent (the send stops there).
    bool setKeyboardLightArea(const int* lights);

    // Copies the backlight table out, one byte per int (324 ints); nothing while closed.
    // Always true.
    bool getKeyboardLightArea(int* lights);

    // Sends all 216 key records (level 1 keys 1..108, then level 2) between a begin and an end
    // report, posting WM_TRANSFER_PROGRESS with the slot index 0..215 after each slot; an empty
    // slot, and a macro without steps, goes out as the empty record. Sends without waiting for
    // answers. A report the keyboard has no room for within 1000 ms fails. True only once the
    // keyboard has taken every report; false at the first report that fails, when the keyboard
    // has not taken them all within 1000 ms of the last, or when cancelled.
    bool writeKeyConfigurationToDev(WindowHandle window);

    // Asks the keyboard for all its key records and stores each in its slot, posting
    // WM_TRANSFER_PROGRESS with the slot index after each. Slots the keyboard sends nothing for
    // keep their definition; records with a level other than 1-2, a key other than 1-108 or a
    // type above 4 are skipped. True when the end marker arrived; false when a read failed or
    // timed out (1000 ms), the transfer was cancelled, or the keyboard sent more than a real one
    // holds (twice 216 records of the longest kind) or sent it slower than 10 ms a report after
    // the first 10 s.
    bool readKeyDefinationFromDev(WindowHandle window);

    // Reads the keyboard's backlight table into the working copy (a chunk counts at most 61
    // bytes, the table stops filling at 324). True when the end marker arrived; false on a
    // failed read, after 24 chunks or 32 reports without it, or as slow as a key read may not be.
    bool readKeyLightFromDev();

    // Downloads an Intel HEX firmware text, one report per line (00 3A and the line's bytes),
    // posting WM_TRANSFER_PROGRESS on a scale of 0..150 over the lines sent. Lines end with CR,
    // CR LF or LF. The whole text, all `length` bytes, is checked first: every line up to the
    // end-of-file record (type 01) is ":" and hexadecimal pairs with a matching length byte, a
    // right checksum, a record type 00 to 05 and at most 62 bytes; the end-of-file record must
    // come, and only blank space (line ends, spaces, tabs, zero bytes) may follow it; at least
    // one data record, an end-of-file record without data, no address written twice, and at
    // most kMaxFirmwareBytes in all. A faulty text sends nothing and answers false. True only
    // when the keyboard took every line.
    bool WriteFirmwareToKeyboard(const char* text, int length, WindowHandle window);
    // The largest firmware text WriteFirmwareToKeyboard takes (64 MiB); a front end refuses a
    // larger file before reading it whole.
    static constexpr std::size_t kMaxFirmwareBytes = std::size_t{64} << 20;

    // Why WriteFirmwareToKeyboard would refuse `text` and send nothing, as one line such as
    // "line 3: the checksum is wrong"; empty when the whole image would be sent. Needs no
    // keyboard, so a tool can tell a bad file from a failed download.
    static std::string firmwareFault(const char* text, int length);

    // Reads the keyboard's firmware version text into `buffer` (at least 63 wide characters);
    // the text is at most 62 characters and always terminated. False when the device is
    // closed, a report failed or the answer was a report of another exchange; the buffer then
    // holds the empty text.
    bool ReadKeyboardVersion(char16_t* buffer);

    // Reads the version into the object's own buffer and returns it, whether or not the read
    // succeeded (the empty text when it failed).
    const char16_t* getHardwareVersion();

    // Makes the exchange in progress, if any, stop before its next report and answer false.
    // May be called from any thread. The next exchange starts uncancelled.
    void cancelTransfer();

    // Keeps the keyboard's advisory lock (the one every exchange takes, see keyboardBusy) from
    // now until releaseKeyboard, so that a sequence of exchanges and the pauses between them
    // (the keys read, a pause, the colours read) is never broken into by another program.
    // Exchanges meanwhile run under the lock held; holding it again changes nothing (the holds
    // are not counted). Waits for another holder as an exchange does, less when cancelled. False
    // when the keyboard is closed, another program kept it (keyboardBusy() is then true), or the
    // wait was cancelled. Closing the device lets go of the lock too. Threads of this program are
    // not kept out: each exchange still takes the object's own lock.
    bool holdKeyboard();
    void releaseKeyboard();

    // The device path of the first keyboard found, empty when none is attached.
    std::string detectedDevicePath();

    // True when the last exchange did not start because another program (or another object of
    // this one) kept the keyboard for 10 s: exchanges on one keyboard take an advisory lock that
    // all processes share, so two programs never interleave their reports.
    bool keyboardBusy() const;

    // The errno of the failed open behind the last __createDev, 0 when the open succeeded
    // (EACCES: the keyboard is there but this user may not open it).
    int openError() const;

    // True while a keyboard is open.
    bool isOpen() const;

    // The folder virtual keyboards put their sockets in: $XDG_RUNTIME_DIR/oskel/hid, or
    // /tmp/oskel-<uid>/hid without that variable. Discovery looks there; a program watches it
    // to notice a virtual keyboard come and go.
    static std::string virtualKeyboardFolder();

private:
    // The lock that serialises exchanges and the cancel flag; copies share them.
    struct ExchangeState;

    template <typename Exchange>
    bool runExchange(Exchange run);

    CTravoUtil* transport;
    CTravo* device;
    char16_t hardwareVersion[64];

    std::shared_ptr<ExchangeState> exchange;
    bool ownsDevice;
    int lastOpenError;
};

// ---------------------------------------------------------------------------------------------
// Keystroke capture for the macro recorder.
//
// While the capture runs, every key press and release of the X display goes to one notify target
// as WM_HOOK_KEY and to no other program (the keyboard is grabbed on the library's own X
// connection and thread; the pointer never is, so a click can always stop the capture):
//   wParam = Windows virtual-key code (kHookVirtualKeyMask) | kHookKeyUp for a release
//            | kHookSystemKey for a system key (a key typed while Alt is held without Ctrl, or
//            F10);
//   lParam = kHookExtendedKey for an extended key (right Ctrl and Alt, the six keys above the
//            arrows, the arrows, NumLock, keypad / and Enter, PrintScreen, the Windows and Menu
//            keys)
//            | the event's own time in bits 32..63 (hookKeyTime): the X server's clock in
//            milliseconds when the key was typed, whenever the message is handled. Only the
//            difference of two times means anything; the clock wraps after 49.7 days.
// Left and right Shift, Ctrl and Alt come as 0xA0/0xA1, 0xA2/0xA3, 0xA4/0xA5. Keys are taken by
// position, whatever the keyboard layout and NumLock; a key without a virtual key comes as 0.
// A held key repeats its press and is released once. Messages are posted from the capture
// thread, in the order the keys were typed.
//
// The keyboard is never left captured: the grab ends with UninstallHook, with the process (the X
// server drops it with the connection), and when the receiver has not acknowledged a posted key
// for several seconds (its thread is stuck). When the capture ends other than by UninstallHook,
// the target is told once with WM_HOOK_ENDED (wParam = HookEnd) after the last WM_HOOK_KEY;
// no key comes after it until the next InstallHook.

constexpr std::uintptr_t kHookVirtualKeyMask = 0xFFu;   // wParam: the virtual-key code
constexpr std::uintptr_t kHookKeyUp = 0x80000000u;      // wParam: a release
constexpr std::uintptr_t kHookSystemKey = 0x40000000u;  // wParam: a system key
constexpr std::intptr_t kHookExtendedKey = 0x01000000;  // lParam: an extended key
static_assert(sizeof(std::intptr_t) >= 8, "WM_HOOK_KEY carries the event time in lParam");

// The event time of a WM_HOOK_KEY, from its lParam.
constexpr std::uint32_t hookKeyTime(std::intptr_t lParam) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(lParam) >> 32);
}

// Why a capture ended on its own (WM_HOOK_ENDED's wParam).
enum class HookEnd : int {
    Unresponsive = 1,  // posted keys waited kHookWatchdogMs unacknowledged: the program was stuck
    DisplayLost = 2,   // the X server went away
};

enum class HookResult : int {
    Capturing = 0,        // every key of the display comes to the target
    CapturingOwnWindows,  // XWayland: only keys typed while one of our windows has the focus
    NoDisplay,            // no X display to capture from; nothing captured
    KeyboardBusy,         // another client held the keyboard for the whole retry (about 2 s)
    NoTarget,             // the window was null; nothing captured
};

// Starts capturing into `window`. Waits for the grab, retrying for about 2 s while another
// client holds the keyboard (a menu that is just opening). While a capture runs, a second call
// keeps the grab, only changes the target and answers as the first did; after the capture ended
// on its own it starts a new one.
OSKELHWI_EXPORT HookResult InstallHook(WindowHandle window);

// Ends the capture and releases the keyboard; no message is posted after it returns. Harmless
// when nothing is captured.
OSKELHWI_EXPORT void UninstallHook();

// The receiver calls this for every WM_HOOK_KEY it takes. Keys left unacknowledged for
// kHookWatchdogMs end the capture, so a stuck program cannot keep the keyboard.
OSKELHWI_EXPORT void AcknowledgeHookKey();
constexpr int kHookWatchdogMs = 5000;

// The captured state of a virtual key, as the recorder's Shift rule reads it: bit 0x8000 while
// the key is down, bit 1 toggled at each press. 0 for a key never seen or a code above 255.
OSKELHWI_EXPORT short HookKeyState(int virtualKey);

// The low-level event handed to KeyBoardProc, as a hook would see it.
struct HookKeyEvent {
    std::uint32_t vkCode;  // Windows virtual-key code
    std::uint32_t flags;   // bit 0: extended key; bit 5: Alt held; bit 7: release
    std::uint32_t time;    // the event's time in milliseconds (the X server's clock)
};
constexpr unsigned WM_KEYDOWN = 0x100;
constexpr unsigned WM_KEYUP = 0x101;
constexpr unsigned WM_SYSKEYDOWN = 0x104;
constexpr unsigned WM_SYSKEYUP = 0x105;

// Posts WM_HOOK_KEY for one event to the capture's target (nothing when there is none) and
// answers 1: the key goes no further. `message` is WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or
// WM_SYSKEYUP; `code` is not examined.
OSKELHWI_EXPORT std::intptr_t KeyBoardProc(int code, std::uintptr_t message,
                                           const HookKeyEvent* event);
