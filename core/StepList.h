// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One list of the configuration: the steps of a combo, macro or emulation with their play
// settings, or a catalogue whose items are entry names and whose children are the entries' step
// lists. The list also remembers how a painted list box shows it (rows visible, first visible
// item, cursor row), and every editing operation addresses items by a row of that view.

#include <string>
#include <vector>

class XmlDocument;

class StepList {
public:
    // Empty list with the default play settings. SizeOfView is 0 until the creator sets it.
    StepList() = default;
    explicit StepList(int sizeOfView) : SizeOfView(sizeOfView) {}

    // Empties the list and resets view and play settings; SizeOfView stays.
    void clear();

    int count() const { return static_cast<int>(items.size()); }

    // The item at the row's absolute index, empty when out of range.
    std::u16string itemAtRow(int row) const;
    // A copy of the child at the row's absolute index; out of range, a new list of this view size.
    StepList childAtRow(int row) const;
    // Replaces the child at the row's absolute index; nothing when out of range.
    void setChildAtRow(int row, const StepList& list);

    // Makes the item at absolute `index` (clamped to the list) the cursor item, moving the view
    // only when the item is not visible. An empty list keeps ViewStartAt and CursorPos at 0.
    void scrollTo(int index);
    // Adds an item (with an empty child list) at the end and makes it the cursor item, moving
    // the view down only as far as needed to show it.
    void append(const std::u16string& text);
    // Replaces the text at the row, or appends when the row is past the end.
    void setOrAppendAtRow(int row, const std::u16string& text);
    // Inserts before the row (the cursor row then shows the new item), or appends past the end.
    void insertAtRow(int row, const std::u16string& text);
    // Removes the item at the row, or the last item when the row is past the end.
    void removeAtRow(int row);

    // Index of the first item equal to `text`, -1 when none.
    int indexOfItem(const std::u16string& text) const;
    // Same items in the same order and the same play settings; view and children not compared.
    bool sameSteps(const StepList& other) const;
    // On a catalogue: selects the entry whose steps equal `steps`, or appends a "default" entry
    // holding a copy of them and selects it.
    void findOrAdd(const StepList& steps);

    // The list as a profile's "List" element, appended at the document's position (Profile.cpp);
    // readXml replaces the list by the "List" found at the document's current level.
    void writeXml(XmlDocument& doc) const;
    void readXml(XmlDocument& doc);

    int SizeOfView = 0;
    int ViewStartAt = 0;
    int CursorPos = 0;
    std::vector<std::u16string> items;
    std::vector<StepList> children;
    int Cycles = 1;
    bool IsAutoInterval = false;
    int Delay = 30;
    int PlayMode = 0;

private:
    // Absolute index of a view row, -1 when it names no item.
    int indexOfRow(int row) const;
};
