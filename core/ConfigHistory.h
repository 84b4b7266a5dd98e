// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Undo and redo over the configuration document: the three catalogues, the backlight and every
// key assignment, which is what a profile keeps.
//
// The history holds one copy of the document as it stood after the newest recorded step and,
// for each step, only what that step changed: the slots and the lights that differ, before and
// after, and for a catalogue the run of entries between the first and the last that differ.
// A one-key change therefore costs about the size of two slots; Open of a large profile costs
// what the two documents have that differs.
//
// A front end calls record() after every command that may have changed the document; a command
// that changed nothing adds no step. Undo and redo change the document alone: they never reach
// the keyboard.
//
// The history also knows which state was last saved or opened: the document counts as unsaved
// when it stands at another step than that one, or holds anything not recorded yet.

#include <array>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "KeyboardConfig.h"
#include "LanguageText.h"

namespace historyParts {

// A run of a vector: [first, first + before.size()) became `after` there.
template <typename T>
struct Run {
    std::size_t first = 0;
    std::vector<T> before;
    std::vector<T> after;
};
// A list's own settings and view.
struct ListHeader {
    int SizeOfView = 0;
    int ViewStartAt = 0;
    int CursorPos = 0;
    int Cycles = 1;
    bool IsAutoInterval = false;
    int Delay = 30;
    int PlayMode = 0;
    bool operator==(const ListHeader&) const = default;
};

}  // namespace historyParts

class ConfigHistory {
public:
    static constexpr std::size_t kMaxSteps = 100;
    // What the steps may hold together before the oldest go (the newest always stays): a few
    // Opens of the largest profiles, or any number of key changes up to kMaxSteps.
    static constexpr std::size_t kMaxStepBytes = std::size_t{256} << 20;

    // The name of a step in both languages, without "Undo"/"Redo": "F2 上档键：宏键 攻击" and
    // "F2 level 1: macro Attack", "清除" and "Clear".
    struct StepName {
        std::u16string zh;
        std::u16string en;
    };

    // Starts with `config` as it is, saved, with nothing to undo; the steps may hold up to
    // `maxStepBytes` together.
    explicit ConfigHistory(const KeyboardConfig& config, std::size_t maxStepBytes = kMaxStepBytes);

    // Makes the document as it is now the start of a new history: nothing to undo or redo, and
    // saved.
    void reset(const KeyboardConfig& config);

    // Adds a step for whatever the document holds that differs from the newest recorded state;
    // false and no step when nothing differs. A change to where a list was scrolled to only
    // (no entry, step or setting changed) is kept without a step of its own. A new step drops
    // everything that could be redone, and the oldest steps beyond kMaxSteps or kMaxStepBytes.
    bool record(const KeyboardConfig& config, StepName name);

    // What the document holds now counts as saved (after Save or Open). Changes not recorded
    // yet become a step of their own first.
    void markSaved(const KeyboardConfig& config);
    // True while the document differs from the state last marked saved.
    bool hasUnsavedChanges(const KeyboardConfig& config) const;

    bool canUndo() const { return position > 0; }
    bool canRedo() const { return position < steps.size(); }
    // Puts the document back as it was before the newest done step; false when there is none.
    // Anything not recorded yet is dropped with it.
    bool undo(KeyboardConfig& config);
    bool redo(KeyboardConfig& config);

    // "撤销 F2 上档键：…" / "Undo F2 level 1: …" for the step undo() would take back, and
    // "重做 …" / "Redo …" for redo(); "撤销"/"Undo" and "重做"/"Redo" alone when there is none.
    // Chinese for "zh-CN", English otherwise.
    std::u16string undoText(const std::string& language) const;
    std::u16string redoText(const std::string& language) const;

    std::size_t undoCount() const { return position; }
    std::size_t redoCount() const { return steps.size() - position; }
    // Bytes the steps hold (their changes and names), not counting the recorded copy.
    std::size_t stepBytes() const;
    // Bytes the recorded copy of the document holds.
    std::size_t copyBytes() const;

    // Step names for the commands of the main window.
    static StepName keyStepName(const KeyboardConfig& config, const std::u16string& keyName,
                                int key, int level);
    static StepName textStepName(const LanguageText& text, const std::u16string& suffix = {});

private:
    struct SlotChange {
        int key = 0;
        int level = 0;
        KeyAssignment before;
        KeyAssignment after;
    };
    struct LightChange {
        int key = 0;
        Colour before{};
        Colour after{};
    };
    // A catalogue's names and entries changed in one run each, and its header.
    struct ListChange {
        int which = 0;
        historyParts::Run<std::u16string> items;
        historyParts::Run<StepList> children;
        historyParts::ListHeader before;
        historyParts::ListHeader after;
    };
    struct Step {
        StepName name;
        std::vector<SlotChange> slotChanges;
        std::vector<LightChange> lightChanges;
        std::vector<ListChange> listChanges;
        std::size_t bytes = 0;  // what it holds, as stepBytes() counts
        bool empty() const {
            return slotChanges.empty() && lightChanges.empty() && listChanges.empty();
        }
    };
    // The part of the document that undo works on.
    struct Document {
        std::array<StepList, 3> catalogues;
        std::array<Colour, kKeyTableSize> backlight{};
        std::array<std::array<KeyAssignment, kLevelCount>, kKeyTableSize> assignments;
    };

    // Where a document's parts are, in the recorded copy or in the configuration.
    struct Parts {
        std::array<StepList*, 3> catalogues;
        std::array<Colour, kKeyTableSize>* backlight;
        std::array<std::array<KeyAssignment, kLevelCount>, kKeyTableSize>* assignments;
    };
    static Parts partsOf(Document& doc);
    static Parts partsOf(KeyboardConfig& config);
    static void copyFrom(Document& doc, const KeyboardConfig& config);
    static StepList& catalogue(KeyboardConfig& config, int which);
    static const StepList& catalogue(const KeyboardConfig& config, int which);
    // The changes from `doc` to `config`; `meaningful` tells whether any is more than a view.
    static Step difference(const Document& doc, const KeyboardConfig& config, bool& meaningful);
    // Sets the parts to one side of the step.
    static void apply(const Step& step, bool forward, const Parts& parts);
    // Undo and redo: the document is first brought back to the recorded copy, should it hold
    // anything not recorded, then both take the step.
    void move(KeyboardConfig& config, bool forward);
    bool matchesCopy(const KeyboardConfig& config) const;
    static std::size_t bytesOf(const Step& step);
    void dropOldest();

    Document recorded;
    std::deque<Step> steps;
    // Steps done: steps[0, position) can be undone, the rest redone.
    std::size_t position = 0;
    std::size_t heldBytes = 0;
    std::size_t maxBytes = kMaxStepBytes;
    // The position the saved state stands at; -1 when it is no longer in the history (dropped
    // as the oldest, or replaced by a new step after undoing past it).
    long long savedPosition = 0;
};
