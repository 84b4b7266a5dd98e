// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "OskelTestSupport.h"
#include "PlaySettings.h"
#include "StepList.h"

namespace {

// Items are single letters "a", "b", ... so a whole list reads as one short string.
std::u16string letter(int i) {
    return std::u16string(1, static_cast<char16_t>(u'a' + i));
}

StepList makeList(int sizeOfView, int count, int viewStartAt = 0, int cursorPos = 0) {
    StepList list(sizeOfView);
    for (int i = 0; i < count; ++i) {
        list.items.push_back(letter(i));
        list.children.emplace_back(sizeOfView);
    }
    list.ViewStartAt = viewStartAt;
    list.CursorPos = cursorPos;
    return list;
}

std::u16string joined(const StepList& list) {
    std::u16string all;
    for (const auto& item : list.items) {
        all += item;
    }
    return all;
}

enum class Op { Append, SetOrAppend, Insert, Remove, Scroll };

struct ViewCase {
    const char* name;
    int sizeOfView;
    int count;
    int viewStartAt;
    int cursorPos;
    Op op;
    int arg;                    // row, or index for Scroll; unused for Append
    const char16_t* wantItems;  // "N" is the text the operation brings in
    int wantViewStartAt;
    int wantCursorPos;
};

// Test names carry the case; the value itself prints as its name.
void PrintTo(const ViewCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr int kFar = 20000;

const ViewCase kViewCases[] = {
    {"AppendToEmpty", 9, 0, 0, 0, Op::Append, 0, u"N", 0, 0},
    {"AppendFitsInView", 9, 3, 0, 0, Op::Append, 0, u"abcN", 0, 3},
    {"AppendTenthScrollsOne", 9, 9, 0, 4, Op::Append, 0, u"abcdefghiN", 1, 8},
    {"AppendToScrolledView", 3, 5, 0, 1, Op::Append, 0, u"abcdeN", 3, 2},
    {"AppendWithoutViewSizeToEmpty", 0, 0, 0, 0, Op::Append, 0, u"N", 0, 0},
    {"AppendWithoutViewSizeShowsLast", 0, 2, 0, 0, Op::Append, 0, u"abN", 2, 0},
    {"SetFarRowAppendsToScrolledView", 3, 5, 0, 1, Op::SetOrAppend, kFar, u"abcdeN", 3, 2},
    {"SetReplacesAtViewRow", 9, 5, 2, 0, Op::SetOrAppend, 1, u"abcNe", 2, 0},
    {"SetNegativeIndexAppends", 9, 2, 0, 1, Op::SetOrAppend, -1, u"abN", 0, 2},
    {"SetRowPastEndAppends", 9, 2, 0, 0, Op::SetOrAppend, 2, u"abN", 0, 2},
    {"InsertAtScrolledRowZero", 2, 6, 4, 1, Op::Insert, 0, u"abcdNef", 4, 1},
    {"InsertAtFirstRow", 9, 3, 0, 2, Op::Insert, 0, u"Nabc", 0, 2},
    {"InsertPastEndAppends", 2, 3, 0, 0, Op::Insert, kFar, u"abcN", 2, 1},
    {"InsertNegativeIndexAppends", 9, 1, 0, 0, Op::Insert, -3, u"aN", 0, 1},
    {"RemoveOnlyItem", 9, 1, 0, 0, Op::Remove, 0, u"", 0, 0},
    {"RemoveFromEmptyList", 9, 0, 0, 0, Op::Remove, 0, u"", 0, 0},
    {"RemoveBeyondEndTakesLast", 9, 5, 0, 2, Op::Remove, 50, u"abcd", 0, 2},
    {"RemoveAtViewRow", 9, 5, 1, 0, Op::Remove, 2, u"abce", 1, 0},
    {"RemoveMovesViewBackIntoList", 9, 3, 2, 0, Op::Remove, 0, u"ab", 1, 0},
    {"RemoveMovesCursorOntoLastItem", 9, 5, 0, 4, Op::Remove, 4, u"abcd", 0, 3},
    {"RemoveWithNegativeViewStart", 9, 3, -3, 0, Op::Remove, 0, u"ab", 0, 0},
    {"ScrollBelowZeroSelectsFirst", 9, 3, 0, 2, Op::Scroll, -5, u"abc", 0, 0},
    {"ScrollPastEndSelectsLast", 9, 3, 0, 0, Op::Scroll, 7, u"abc", 0, 2},
    {"ScrollWithinViewMovesCursorOnly", 9, 20, 5, 0, Op::Scroll, 8, u"abcdefghijklmnopqrst", 5, 3},
    {"ScrollBelowViewMakesFirstRow", 9, 20, 0, 0, Op::Scroll, 15, u"abcdefghijklmnopqrst", 15, 0},
    {"ScrollAboveViewMakesFirstRow", 9, 20, 10, 4, Op::Scroll, 3, u"abcdefghijklmnopqrst", 3, 0},
    {"ScrollJustPastViewEnd", 9, 20, 0, 0, Op::Scroll, 9, u"abcdefghijklmnopqrst", 9, 0},
    {"ScrollEmptyList", 9, 0, 0, 0, Op::Scroll, 3, u"", 0, 0},
};

class StepListView : public ::testing::TestWithParam<ViewCase> {};

TEST_P(StepListView, KeepsViewConsistent) {
    const ViewCase& c = GetParam();
    StepList list = makeList(c.sizeOfView, c.count, c.viewStartAt, c.cursorPos);
    switch (c.op) {
        case Op::Append:
            list.append(u"N");
            break;
        case Op::SetOrAppend:
            list.setOrAppendAtRow(c.arg, u"N");
            break;
        case Op::Insert:
            list.insertAtRow(c.arg, u"N");
            break;
        case Op::Remove:
            list.removeAtRow(c.arg);
            break;
        case Op::Scroll:
            list.scrollTo(c.arg);
            break;
    }
    EXPECT_EQ(joined(list), std::u16string(c.wantItems));
    EXPECT_EQ(list.ViewStartAt, c.wantViewStartAt);
    EXPECT_EQ(list.CursorPos, c.wantCursorPos);
    EXPECT_EQ(list.SizeOfView, c.sizeOfView);
    ASSERT_EQ(list.children.size(), list.items.size());
    for (const StepList& child : list.children) {
        EXPECT_EQ(child.SizeOfView, c.sizeOfView);
    }
    if (!list.items.empty()) {
        EXPECT_GE(list.ViewStartAt, 0);
        EXPECT_LT(list.ViewStartAt, list.count());
        EXPECT_GE(list.CursorPos, 0);
        EXPECT_LT(list.ViewStartAt + list.CursorPos, list.count());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StepListView, ::testing::ValuesIn(kViewCases),
                         oskeltest::CaseName());

TEST(StepList, ConstructedWithoutSizeHasNoViewAndDefaultSettings) {
    const StepList list;
    EXPECT_EQ(playSettingsOf(list), (PlaySettings{false, 1, 0, 30, 0}));
    EXPECT_EQ(list.ViewStartAt, 0);
    EXPECT_EQ(list.CursorPos, 0);
    EXPECT_TRUE(list.items.empty());
    EXPECT_TRUE(list.children.empty());
}

TEST(StepList, ClearKeepsViewSizeAndResetsTheRest) {
    StepList list = makeList(6, 8, 3, 2);
    list.Cycles = 5;
    list.IsAutoInterval = true;
    list.Delay = 77;
    list.PlayMode = 2;
    list.clear();
    EXPECT_EQ(playSettingsOf(list), (PlaySettings{false, 1, 0, 30, 6}));
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(list.children.empty());
    EXPECT_EQ(list.ViewStartAt, 0);
    EXPECT_EQ(list.CursorPos, 0);
}

TEST(StepList, AssignCopiesDeeply) {
    StepList source = makeList(9, 2, 1, 0);
    source.Delay = 55;
    StepList child(9);
    child.append(u"A Down");
    source.setChildAtRow(-1, child);  // absolute index 0
    StepList copy(3);
    copy = source;
    source.children[0].items[0] = u"changed";
    EXPECT_EQ(copy.SizeOfView, 9);
    EXPECT_EQ(copy.ViewStartAt, 1);
    EXPECT_EQ(copy.Delay, 55);
    ASSERT_EQ(copy.children.size(), 2u);
    EXPECT_EQ(copy.children[0].items, std::vector<std::u16string>{u"A Down"});
}

TEST(StepList, RowAccessOutOfRange) {
    StepList list = makeList(4, 3, 1, 0);
    list.children[2].Delay = 99;
    EXPECT_EQ(list.itemAtRow(0), u"b");
    EXPECT_EQ(list.itemAtRow(2), u"");
    EXPECT_EQ(list.itemAtRow(-1), u"a");
    EXPECT_EQ(list.itemAtRow(-2), u"");
    EXPECT_EQ(list.childAtRow(1).Delay, 99);
    const StepList missing = list.childAtRow(5);
    EXPECT_EQ(missing.SizeOfView, 4);
    EXPECT_TRUE(missing.items.empty());
    StepList replacement(7);
    replacement.Delay = 11;
    list.setChildAtRow(9, replacement);
    list.setChildAtRow(-5, replacement);
    for (const StepList& child : list.children) {
        EXPECT_NE(child.Delay, 11);
    }
    list.setChildAtRow(0, replacement);
    EXPECT_EQ(list.children[1].Delay, 11);
    EXPECT_EQ(list.children[1].SizeOfView, 7);
}

TEST(StepList, InsertedChildIsEmptyAndParallel) {
    StepList list = makeList(5, 2);
    list.children[0].Delay = 42;
    list.insertAtRow(0, u"N");
    ASSERT_EQ(list.children.size(), 3u);
    EXPECT_EQ(list.children[0].Delay, 30);
    EXPECT_EQ(list.children[1].Delay, 42);
}

TEST(StepList, IndexOfItemIsExactAndFirst) {
    StepList list(9);
    for (const char16_t* text : {u"A Down", u"a down", u"A Down", u"<30 ms>"}) {
        list.append(text);
    }
    EXPECT_EQ(list.indexOfItem(u"A Down"), 0);
    EXPECT_EQ(list.indexOfItem(u"a down"), 1);
    EXPECT_EQ(list.indexOfItem(u"<30 ms>"), 3);
    EXPECT_EQ(list.indexOfItem(u"A DOWN"), -1);
}

struct SameStepsCase {
    const char* name;
    void (*change)(StepList&);
    bool same;
};

// Test names carry the case; the value itself prints as its name.
void PrintTo(const SameStepsCase& c, std::ostream* os) {
    *os << c.name;
}

const SameStepsCase kSameStepsCases[] = {
    {"Identical", [](StepList&) {}, true},
    {"OtherViewSize", [](StepList& l) { l.SizeOfView = 2; }, true},
    {"OtherViewStart", [](StepList& l) { l.ViewStartAt = 1; }, true},
    {"OtherCursor", [](StepList& l) { l.CursorPos = 1; }, true},
    {"OtherChildren", [](StepList& l) { l.children[0].Delay = 1; }, true},
    {"SwappedItems", [](StepList& l) { std::swap(l.items[0], l.items[1]); }, false},
    {"ItemCase", [](StepList& l) { l.items[0] = u"A"; }, false},
    {"ExtraItem", [](StepList& l) { l.append(u"c"); }, false},
    {"Cycles", [](StepList& l) { l.Cycles = 2; }, false},
    {"AutoInterval", [](StepList& l) { l.IsAutoInterval = true; }, false},
    {"Delay", [](StepList& l) { l.Delay = 31; }, false},
    {"PlayMode", [](StepList& l) { l.PlayMode = 1; }, false},
};

class StepListSameSteps : public ::testing::TestWithParam<SameStepsCase> {};

TEST_P(StepListSameSteps, ComparesStepsAndPlaySettingsOnly) {
    const StepList base = makeList(9, 2);
    StepList other = base;
    GetParam().change(other);
    EXPECT_EQ(base.sameSteps(other), GetParam().same);
    EXPECT_EQ(other.sameSteps(base), GetParam().same);
}

INSTANTIATE_TEST_SUITE_P(Cases, StepListSameSteps, ::testing::ValuesIn(kSameStepsCases),
                         oskeltest::CaseName());

TEST(StepList, FindOrAddAddsDefaultOnceThenSelectsIt) {
    StepList catalogue = makeList(6, 8);
    for (int i = 0; i < 8; ++i) {
        catalogue.children[i].append(letter(i));
    }
    StepList steps(9);
    steps.append(u"Left CTRL");
    steps.append(u"C");

    catalogue.findOrAdd(steps);
    ASSERT_EQ(catalogue.count(), 9);
    EXPECT_EQ(catalogue.items[8], u"default");
    EXPECT_TRUE(catalogue.children[8].sameSteps(steps));
    EXPECT_EQ(catalogue.ViewStartAt + catalogue.CursorPos, 8);

    catalogue.scrollTo(0);
    catalogue.findOrAdd(steps);
    EXPECT_EQ(catalogue.count(), 9);
    EXPECT_EQ(catalogue.ViewStartAt + catalogue.CursorPos, 8);
}

TEST(StepList, FindOrAddSelectsFirstMatchingEntry) {
    StepList catalogue = makeList(6, 10, 0, 0);
    catalogue.children[3].append(u"X");
    catalogue.children[7].append(u"X");
    StepList steps(9);  // view fields are not part of the comparison
    steps.append(u"X");
    steps.CursorPos = 5;
    catalogue.findOrAdd(steps);
    EXPECT_EQ(catalogue.count(), 10);
    EXPECT_EQ(catalogue.ViewStartAt, 0);
    EXPECT_EQ(catalogue.CursorPos, 3);
}

}  // namespace
