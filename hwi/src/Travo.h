// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The keyboard model object: the working copy of the 216 key definitions and the backlight
// table, and the report exchanges that move them to and from the keyboard.

#include <array>
#include <cstdint>
#include <memory>

#include "KeyDefine.h"
#include "KeyboardDefine.h"
#include "ReportTags.h"

class CTravoUtil;
class NotifyTarget;

namespace oskel::hid {
class ReadBudget;
}

class CTravo : public CKeyboardDefine {
public:
    // The transport is not owned and must outlive the object.
    explicit CTravo(CTravoUtil* transport);
    ~CTravo() override;

    std::u16string productId() const override { return u"5022"; }
    std::u16string vendorId() const override { return u"0483"; }

    // Begin report, one record per slot (level 1 keys 1..108, then level 2; an empty record for
    // an empty slot), end report; WM_TRANSFER_PROGRESS with the slot index after each slot.
    // False at the first report that fails, or when the keyboard has not taken them all within
    // a second of the last.
    bool writeAllKeys(NotifyTarget* window);

    // Asks for every record and stores each in its slot, posting the slot index. True when the
    // end marker arrived; false on a failed or expired read, and when the keyboard sends more
    // or slower than a real one can (kKeyReadBound). Slots the keyboard sends nothing for keep
    // their definition; records naming no slot or class are skipped.
    bool readAllKeys(NotifyTarget* window);

    // Begin report, six chunks of the table (61 bytes each, the last 19), end report. False when
    // a report failed (the send stops there) or the keyboard did not take them all.
    bool writeLights();

    // Asks for the table and fills it from the chunks until the end marker (true); false on a
    // failed read or past kLightReadBound.
    bool readLights();

    // Slot of level 1..2 and key 1..108; out-of-range slots hold nothing and take nothing.
    CKeyDefine* slot(int level, int key) const;
    // Deletes the slot's definition first, then stores `definition` (may be null).
    void setSlot(int level, int key, std::unique_ptr<CKeyDefine> definition);
    void clearSlots();

    std::array<std::uint8_t, oskel::hid::kLightTableSize> lights{};

private:
    bool sendPayload(const std::uint8_t* payload);
    bool receivePayload(std::uint8_t* payload, oskel::hid::ReadBudget& budget);
    bool sendSlot(int level, int key);
    bool receiveKeyRecord(std::uint8_t* first, NotifyTarget* window,
                          oskel::hid::ReadBudget& budget);

    CTravoUtil* transport;
    std::array<std::unique_ptr<CKeyDefine>, kSlotCount> slots;
};
