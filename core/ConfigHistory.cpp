// SPDX-License-Identifier: GPL-2.0-or-later
#include "ConfigHistory.h"

#include <algorithm>
#include <utility>

#include "Descriptions.h"

namespace {

constexpr LanguageText kUndo{u"撤销", u"Undo"};
constexpr LanguageText kRedo{u"重做", u"Redo"};
constexpr LanguageText kChange{u"更改", u"Change"};
constexpr LanguageText kLevelNames[kLevelCount] = {{u"上档键", u"level 1"},
                                                   {u"下档键", u"level 2"}};

// Everything a profile keeps of a list: steps, settings and view, down through the sub-lists.
bool sameWhole(const StepList& a, const StepList& b) {
    return a.items == b.items && a.SizeOfView == b.SizeOfView && a.ViewStartAt == b.ViewStartAt &&
           a.CursorPos == b.CursorPos && a.Cycles == b.Cycles &&
           a.IsAutoInterval == b.IsAutoInterval && a.Delay == b.Delay && a.PlayMode == b.PlayMode &&
           a.children.size() == b.children.size() &&
           std::equal(a.children.begin(), a.children.end(), b.children.begin(), sameWhole);
}

// The steps and their play settings, down through the sub-lists; not where a list was scrolled.
bool sameContent(const StepList& a, const StepList& b) {
    return a.sameSteps(b) && a.children.size() == b.children.size() &&
           std::equal(a.children.begin(), a.children.end(), b.children.begin(), sameContent);
}

bool sameWhole(const KeyAssignment& a, const KeyAssignment& b) {
    return a.mode == b.mode && a.hwCode == b.hwCode && sameWhole(a.steps, b.steps);
}

bool sameContent(const KeyAssignment& a, const KeyAssignment& b) {
    return a.mode == b.mode && a.hwCode == b.hwCode && sameContent(a.steps, b.steps);
}

bool sameWhole(const std::u16string& a, const std::u16string& b) {
    return a == b;
}

bool sameContent(const std::u16string& a, const std::u16string& b) {
    return a == b;
}

std::size_t heapBytes(const std::u16string& text) {
    // Short texts live inside the string object itself.
    return text.capacity() > std::u16string().capacity() ? (text.capacity() + 1) * sizeof(char16_t)
                                                         : 0;
}

std::size_t heapBytes(const StepList& list) {
    std::size_t bytes = list.items.capacity() * sizeof(std::u16string) +
                        list.children.capacity() * sizeof(StepList);
    for (const std::u16string& item : list.items) {
        bytes += heapBytes(item);
    }
    for (const StepList& child : list.children) {
        bytes += heapBytes(child);
    }
    return bytes;
}

std::size_t heapBytes(const KeyAssignment& slot) {
    return heapBytes(slot.steps);
}

std::u16string lowerAscii(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return text;
}

std::u16string toU16(std::u16string_view text) {
    return std::u16string(text);
}

}  // namespace

// The run between the first and the last element that differ; false when none does. `content`
// tells whether any of them differs by more than a list's view.
template <typename T>
static bool differingRun(const std::vector<T>& before, const std::vector<T>& after,
                         std::size_t& first, std::size_t& beforeEnd, std::size_t& afterEnd,
                         bool& content) {
    std::size_t head = 0;
    while (head < before.size() && head < after.size() && sameWhole(before[head], after[head])) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           sameWhole(before[before.size() - 1 - tail], after[after.size() - 1 - tail])) {
        ++tail;
    }
    first = head;
    beforeEnd = before.size() - tail;
    afterEnd = after.size() - tail;
    if (beforeEnd == first && afterEnd == first) {
        return false;
    }
    content = content || beforeEnd - first != afterEnd - first;
    for (std::size_t i = 0; !content && first + i < beforeEnd; ++i) {
        content = !sameContent(before[first + i], after[first + i]);
    }
    return true;
}

template <typename T>
static bool makeRun(const std::vector<T>& before, const std::vector<T>& after,
                    historyParts::Run<T>& run, bool& content) {
    std::size_t first = 0;
    std::size_t beforeEnd = 0;
    std::size_t afterEnd = 0;
    if (!differingRun(before, after, first, beforeEnd, afterEnd, content)) {
        return false;
    }
    run.first = first;
    run.before.assign(before.begin() + static_cast<std::ptrdiff_t>(first),
                      before.begin() + static_cast<std::ptrdiff_t>(beforeEnd));
    run.after.assign(after.begin() + static_cast<std::ptrdiff_t>(first),
                     after.begin() + static_cast<std::ptrdiff_t>(afterEnd));
    return true;
}

template <typename T>
static void applyRun(std::vector<T>& values, const historyParts::Run<T>& run, bool forward) {
    const std::vector<T>& from = forward ? run.before : run.after;
    const std::vector<T>& to = forward ? run.after : run.before;
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(run.first);
    values.erase(at, at + static_cast<std::ptrdiff_t>(from.size()));
    values.insert(values.begin() + static_cast<std::ptrdiff_t>(run.first), to.begin(), to.end());
}

template <typename T>
static std::size_t runBytes(const historyParts::Run<T>& run) {
    std::size_t bytes = (run.before.capacity() + run.after.capacity()) * sizeof(T);
    for (const T& value : run.before) {
        bytes += heapBytes(value);
    }
    for (const T& value : run.after) {
        bytes += heapBytes(value);
    }
    return bytes;
}

static historyParts::ListHeader headerOf(const StepList& list) {
    return {list.SizeOfView,     list.ViewStartAt, list.CursorPos, list.Cycles,
            list.IsAutoInterval, list.Delay,       list.PlayMode};
}

static void setHeader(StepList& list, const historyParts::ListHeader& header) {
    list.SizeOfView = header.SizeOfView;
    list.ViewStartAt = header.ViewStartAt;
    list.CursorPos = header.CursorPos;
    list.Cycles = header.Cycles;
    list.IsAutoInterval = header.IsAutoInterval;
    list.Delay = header.Delay;
    list.PlayMode = header.PlayMode;
}

ConfigHistory::ConfigHistory(const KeyboardConfig& config, std::size_t maxStepBytes)
    : maxBytes(maxStepBytes) {
    reset(config);
}

void ConfigHistory::reset(const KeyboardConfig& config) {
    copyFrom(recorded, config);
    steps.clear();
    heldBytes = 0;
    position = 0;
    savedPosition = 0;
}

void ConfigHistory::copyFrom(Document& doc, const KeyboardConfig& config) {
    for (int which = 0; which < 3; ++which) {
        doc.catalogues[which] = catalogue(config, which);
    }
    doc.backlight = config.backlight;
    doc.assignments = config.assignments;
}

StepList& ConfigHistory::catalogue(KeyboardConfig& config, int which) {
    return which == 0   ? config.predefinedMacros
           : which == 1 ? config.predefinedCombos
                        : config.predefinedEmulations;
}

const StepList& ConfigHistory::catalogue(const KeyboardConfig& config, int which) {
    return which == 0   ? config.predefinedMacros
           : which == 1 ? config.predefinedCombos
                        : config.predefinedEmulations;
}

ConfigHistory::Step ConfigHistory::difference(const Document& doc, const KeyboardConfig& config,
                                              bool& meaningful) {
    Step step;
    meaningful = false;
    for (int key = 0; key < kKeyTableSize; ++key) {
        for (int level = 0; level < kLevelCount; ++level) {
            const KeyAssignment& before = doc.assignments[key][level];
            const KeyAssignment& after = config.assignments[key][level];
            if (!sameWhole(before, after)) {
                meaningful = meaningful || !sameContent(before, after);
                step.slotChanges.push_back({key, level, before, after});
            }
        }
        if (doc.backlight[key] != config.backlight[key]) {
            meaningful = true;
            step.lightChanges.push_back({key, doc.backlight[key], config.backlight[key]});
        }
    }
    for (int which = 0; which < 3; ++which) {
        const StepList& before = doc.catalogues[which];
        const StepList& after = catalogue(config, which);
        ListChange change;
        change.which = which;
        change.before = headerOf(before);
        change.after = headerOf(after);
        const bool items = makeRun(before.items, after.items, change.items, meaningful);
        const bool children = makeRun(before.children, after.children, change.children, meaningful);
        if (items || children || change.before != change.after) {
            meaningful = meaningful || !before.sameSteps(after);
            step.listChanges.push_back(std::move(change));
        }
    }
    return step;
}

bool ConfigHistory::matchesCopy(const KeyboardConfig& config) const {
    bool meaningful = false;
    return difference(recorded, config, meaningful).empty();
}

bool ConfigHistory::record(const KeyboardConfig& config, StepName name) {
    bool meaningful = false;
    Step step = difference(recorded, config, meaningful);
    if (step.empty()) {
        return false;
    }
    copyFrom(recorded, config);
    if (!meaningful) {
        // Only a view moved: the copy follows, the history does not change.
        return false;
    }
    step.name = std::move(name);
    step.bytes = bytesOf(step);
    while (steps.size() > position) {
        heldBytes -= steps.back().bytes;
        steps.pop_back();
    }
    if (savedPosition > static_cast<long long>(position)) {
        savedPosition = -1;
    }
    heldBytes += step.bytes;
    steps.push_back(std::move(step));
    ++position;
    while (steps.size() > kMaxSteps || (steps.size() > 1 && heldBytes > maxBytes)) {
        dropOldest();
    }
    return true;
}

void ConfigHistory::dropOldest() {
    heldBytes -= steps.front().bytes;
    steps.pop_front();
    --position;
    savedPosition = savedPosition > 0 ? savedPosition - 1 : -1;
}

void ConfigHistory::markSaved(const KeyboardConfig& config) {
    record(config, textStepName(kChange));
    savedPosition = static_cast<long long>(position);
}

bool ConfigHistory::hasUnsavedChanges(const KeyboardConfig& config) const {
    if (savedPosition != static_cast<long long>(position)) {
        return true;
    }
    bool meaningful = false;
    difference(recorded, config, meaningful);
    return meaningful;
}

ConfigHistory::Parts ConfigHistory::partsOf(Document& doc) {
    return {{&doc.catalogues[0], &doc.catalogues[1], &doc.catalogues[2]},
            &doc.backlight,
            &doc.assignments};
}

ConfigHistory::Parts ConfigHistory::partsOf(KeyboardConfig& config) {
    return {{&config.predefinedMacros, &config.predefinedCombos, &config.predefinedEmulations},
            &config.backlight,
            &config.assignments};
}

void ConfigHistory::apply(const Step& step, bool forward, const Parts& parts) {
    for (const SlotChange& change : step.slotChanges) {
        (*parts.assignments)[change.key][change.level] = forward ? change.after : change.before;
    }
    for (const LightChange& change : step.lightChanges) {
        (*parts.backlight)[change.key] = forward ? change.after : change.before;
    }
    for (const ListChange& change : step.listChanges) {
        StepList& list = *parts.catalogues[change.which];
        applyRun(list.items, change.items, forward);
        applyRun(list.children, change.children, forward);
        setHeader(list, forward ? change.after : change.before);
    }
}

void ConfigHistory::move(KeyboardConfig& config, bool forward) {
    if (!matchesCopy(config)) {
        for (int which = 0; which < 3; ++which) {
            catalogue(config, which) = recorded.catalogues[which];
        }
        config.backlight = recorded.backlight;
        config.assignments = recorded.assignments;
    }
    const Step& step = steps[forward ? position : position - 1];
    apply(step, forward, partsOf(recorded));
    apply(step, forward, partsOf(config));
    position = forward ? position + 1 : position - 1;
}

bool ConfigHistory::undo(KeyboardConfig& config) {
    if (!canUndo()) {
        return false;
    }
    move(config, false);
    return true;
}

bool ConfigHistory::redo(KeyboardConfig& config) {
    if (!canRedo()) {
        return false;
    }
    move(config, true);
    return true;
}

std::u16string ConfigHistory::undoText(const std::string& language) const {
    std::u16string text = toU16(kUndo.chineseOrEnglish(language));
    if (canUndo()) {
        const StepName& name = steps[position - 1].name;
        text += u" " + (isChinese(language) ? name.zh : name.en);
    }
    return text;
}

std::u16string ConfigHistory::redoText(const std::string& language) const {
    std::u16string text = toU16(kRedo.chineseOrEnglish(language));
    if (canRedo()) {
        const StepName& name = steps[position].name;
        text += u" " + (isChinese(language) ? name.zh : name.en);
    }
    return text;
}

std::size_t ConfigHistory::stepBytes() const {
    return heldBytes;
}

std::size_t ConfigHistory::bytesOf(const Step& step) {
    std::size_t bytes = sizeof(Step) + heapBytes(step.name.zh) + heapBytes(step.name.en) +
                        step.slotChanges.capacity() * sizeof(SlotChange) +
                        step.lightChanges.capacity() * sizeof(LightChange) +
                        step.listChanges.capacity() * sizeof(ListChange);
    for (const SlotChange& change : step.slotChanges) {
        bytes += heapBytes(change.before) + heapBytes(change.after);
    }
    for (const ListChange& change : step.listChanges) {
        bytes += runBytes(change.items) + runBytes(change.children);
    }
    return bytes;
}

std::size_t ConfigHistory::copyBytes() const {
    std::size_t bytes = sizeof(Document);
    for (const StepList& list : recorded.catalogues) {
        bytes += heapBytes(list);
    }
    for (const auto& key : recorded.assignments) {
        for (const KeyAssignment& slot : key) {
            bytes += heapBytes(slot);
        }
    }
    return bytes;
}

ConfigHistory::StepName ConfigHistory::keyStepName(const KeyboardConfig& config,
                                                   const std::u16string& keyName, int key,
                                                   int level) {
    if (!KeyboardConfig::validSlot(key, level)) {
        return textStepName(kChange);
    }
    const KeyAssignment& slot = config.slot(key, level);
    // A list from a catalogue is named as its entry there ("macro Attack"); anything else as
    // the information box describes it.
    std::u16string what;
    const StepList* from = slot.mode == Macro       ? &config.predefinedMacros
                           : slot.mode == Combo     ? &config.predefinedCombos
                           : slot.mode == Emulation ? &config.predefinedEmulations
                                                    : nullptr;
    if (from != nullptr) {
        for (std::size_t i = 0; i < from->items.size() && i < from->children.size(); ++i) {
            if (from->children[i].sameSteps(slot.steps)) {
                what = from->items[i];
                break;
            }
        }
    }
    if (what.empty()) {
        what = describeAssignment(config, slot);
    }
    const bool known = slot.mode >= 0 && slot.mode < kAssignmentTypeCount;
    const std::u16string zhType = known ? config.typeNamesZh[slot.mode] : std::u16string();
    const std::u16string enType = known ? lowerAscii(config.typeNamesEn[slot.mode]) : u"";
    const std::u16string tail = what.empty() ? std::u16string() : u" " + what;
    StepName name;
    name.zh = keyName + u" " + toU16(kLevelNames[level].zh) + u"：" + zhType + tail;
    name.en = keyName + u" " + toU16(kLevelNames[level].en) + u": " + enType + tail;
    return name;
}

ConfigHistory::StepName ConfigHistory::textStepName(const LanguageText& text,
                                                    const std::u16string& suffix) {
    return {toU16(text.zh) + suffix, toU16(text.en) + suffix};
}
