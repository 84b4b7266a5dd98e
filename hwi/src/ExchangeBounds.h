// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// How much a read exchange may take before the keyboard counts as broken: what a real keyboard
// sends in answer to one request, with room to spare, and how slowly. A keyboard (or something
// posing as one) that goes on sending records never holds a read for longer than that.

#include <chrono>
#include <cstddef>

#include "ReportTags.h"

namespace oskel::hid {

struct ReadBound {
    std::size_t reports;  // reports of any kind
    std::size_t items;    // key records begun, or light chunks
};

// The longest record: a macro of 65535 step bytes, 53 a payload.
constexpr std::size_t kMaxRecordPayloads =
    (static_cast<std::size_t>(kMaxStepPayload) + kMacroPieceSize - 1) / kMacroPieceSize;
static_assert(kMaxRecordPayloads == 1237, "65535 step bytes take 1237 payloads");

// Every slot once with its longest record, twice over; the table once in six chunks, four times
// over, with a few stray reports.
constexpr ReadBound kKeyReadBound{2 * kSlotCount * kMaxRecordPayloads, 2 * kSlotCount};
constexpr ReadBound kLightReadBound{32, 24};

// A keyboard sends a report every millisecond or few; a read may take this long to start and
// this long again for each report, which only a keyboard trickling reports out never keeps up.
constexpr std::chrono::milliseconds kReadTimeAllowance{10000};
constexpr std::chrono::milliseconds kReadTimePerReport{10};

// Counts what one read exchange took against its bound.
class ReadBudget {
public:
    using Clock = std::chrono::steady_clock;

    ReadBudget(ReadBound bound, Clock::time_point start)
        : bound(bound), deadline(start + kReadTimeAllowance) {}

    // One more report arrived at `now`; false when the read has had more than its share.
    bool takeReport(Clock::time_point now) {
        ++reports;
        deadline += kReadTimePerReport;
        return reports <= bound.reports && now <= deadline;
    }
    // The report began a record (or was a chunk); false past the bound.
    bool takeItem() { return ++items <= bound.items; }

private:
    ReadBound bound;
    Clock::time_point deadline;
    std::size_t reports = 0;
    std::size_t items = 0;
};

}  // namespace oskel::hid
