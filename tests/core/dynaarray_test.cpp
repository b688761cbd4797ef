// The area list container: cursor, iteration and block rules the window's
// handlers rely on.
#include <gtest/gtest.h>

#include <vector>

#include "core/areapair.h"
#include "core/dynaarray.h"

namespace {

struct TList {
    TAreaPair* ptr = nullptr;
    TDynaArray<TAreaPair> list{&ptr};

    // Adds areas whose Left1 is the given tag.
    void AddTagged(std::initializer_list<int> tags) {
        for (int tag : tags) list.Add()->Left1 = tag;
    }
    std::vector<int> Tags() {
        std::vector<int> tags;
        list.First();
        while (list.Next()) tags.push_back(ptr->Left1);
        return tags;
    }
};

TEST(DynaArray, StartsEmptyWithoutBlockOrPosition) {
    TList l;
    EXPECT_EQ(l.list.Count(), 0u);
    EXPECT_EQ(l.list.Index(), -1);
    EXPECT_EQ(l.list.Data(), nullptr);
    EXPECT_EQ(l.list.Allocated(), 0u);
    EXPECT_EQ(l.list.Granularity(), 1u);
}

TEST(DynaArray, AddZeroFillsAndPositionsOnTheNewElement) {
    TList l;
    l.AddTagged({7, 8});
    TAreaPair* added = l.list.Add();
    EXPECT_EQ(*added, TAreaPair{});
    EXPECT_EQ(l.ptr, added);
    EXPECT_EQ(l.list.Current(), added);
    EXPECT_EQ(l.list.Index(), 2);
    EXPECT_EQ(l.list.Count(), 3u);
    EXPECT_EQ(l.list.Allocated(), 3u * 32u);
    EXPECT_EQ(l.Tags(), (std::vector<int>{7, 8, 0}));
}

TEST(DynaArray, FirstNextVisitsInOrderAndLeavesCursorOnTheLast) {
    TList l;
    l.AddTagged({1, 2, 3});
    l.list.First();
    EXPECT_EQ(l.list.Index(), 0);
    std::vector<int> seen;
    while (l.list.Next()) {
        seen.push_back(l.ptr->Left1);
        EXPECT_EQ(l.list.Index(), static_cast<int>(seen.size()));  // one past the visited
        EXPECT_EQ(l.ptr, l.list.Current());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(l.list.Index(), 3);
    ASSERT_NE(l.ptr, nullptr);
    EXPECT_EQ(l.ptr->Left1, 3);
    EXPECT_FALSE(l.list.Next());  // stays put after the end
    EXPECT_EQ(l.ptr->Left1, 3);
}

TEST(DynaArray, FirstNextOnAnEmptyListChangesNothing) {
    TList l;
    TAreaPair marker;
    l.ptr = &marker;
    l.list.First();
    EXPECT_FALSE(l.list.Next());
    EXPECT_EQ(l.list.Index(), -1);
    EXPECT_EQ(l.ptr, &marker);

    // Emptied by Delete: the cursor was reset, the loop still visits nothing.
    l.AddTagged({1});
    l.list.Delete(0);
    l.list.First();
    EXPECT_FALSE(l.list.Next());
    EXPECT_EQ(l.list.Index(), -1);
    EXPECT_EQ(l.ptr, nullptr);
}

TEST(DynaArray, DeleteKeepsOrderAndDropsThePosition) {
    TList l;
    l.AddTagged({1, 2, 3});
    l.list.Delete(1);
    EXPECT_EQ(l.list.Index(), -1);
    EXPECT_EQ(l.ptr, nullptr);
    EXPECT_EQ(l.list.Current(), nullptr);
    EXPECT_EQ(l.list.Allocated(), 2u * 32u);
    EXPECT_EQ(l.Tags(), (std::vector<int>{1, 3}));
    l.list.Delete(0);
    EXPECT_EQ(l.Tags(), (std::vector<int>{3}));
}

TEST(DynaArray, InsertOpensAZeroFilledPlaceAnywhereAndPositionsOnIt) {
    for (int at : {0, 1, 3}) {
        SCOPED_TRACE(at);
        TList l;
        l.AddTagged({1, 2, 3});
        TAreaPair* opened = l.list.Insert(at);
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(*opened, TAreaPair{});
        EXPECT_EQ(l.ptr, opened);
        EXPECT_EQ(l.list.Index(), at);
        opened->Left1 = 9;
        std::vector<int> expected{1, 2, 3};
        expected.insert(expected.begin() + at, 9);
        EXPECT_EQ(l.Tags(), expected);
        EXPECT_EQ(l.list.Allocated(), 4u * 32u);
    }
    TList empty;
    EXPECT_NE(empty.list.Insert(0), nullptr);
    EXPECT_EQ(empty.list.Count(), 1u);
    EXPECT_EQ(empty.list.Insert(-1), nullptr);
    EXPECT_EQ(empty.list.Insert(2), nullptr);
    EXPECT_EQ(empty.list.Count(), 1u);
}

TEST(DynaArray, InvalidDeleteIsIgnored) {
    TList l;
    l.AddTagged({1, 2});
    for (int bad : {-1, 2, 100}) l.list.Delete(bad);
    EXPECT_EQ(l.Tags(), (std::vector<int>{1, 2}));
    EXPECT_EQ(l.ptr->Left1, 2);  // the cursor was not reset
}

TEST(DynaArray, EmptyListFreesItsBlockAndStartsAgainAtOneElement) {
    TList l;
    l.AddTagged({1});
    l.list.Delete(0);
    EXPECT_EQ(l.list.Count(), 0u);
    EXPECT_EQ(l.list.Data(), nullptr);
    EXPECT_EQ(l.list.Allocated(), 0u);
    l.list.Add();
    EXPECT_NE(l.list.Data(), nullptr);
    EXPECT_EQ(l.list.Allocated(), 32u);
}

TEST(DynaArray, GotoIndexPositionsWithoutRangeCheck) {
    TList l;
    l.AddTagged({4, 5, 6});
    TAreaPair* p = l.list.GotoIndex(1);
    EXPECT_EQ(p->Left1, 5);
    EXPECT_EQ(l.ptr, p);
    EXPECT_EQ(l.list.Index(), 1);
    // Next from here continues with the element positioned on.
    EXPECT_TRUE(l.list.Next());
    EXPECT_EQ(l.ptr->Left1, 5);
    EXPECT_EQ(l.list.Index(), 2);
}

TEST(DynaArray, ClearEmptiesTheList) {
    TList l;
    l.AddTagged({1, 2, 3});
    l.list.Clear();
    EXPECT_EQ(l.list.Count(), 0u);
    EXPECT_EQ(l.list.Data(), nullptr);
    EXPECT_EQ(l.ptr, nullptr);
}

TEST(DynaArray, WorksWithoutCursorVariable) {
    TDynaArray<TAreaPair> list;
    list.Add()->Top2 = 9;
    list.First();
    ASSERT_TRUE(list.Next());
    EXPECT_EQ(list.Current()->Top2, 9);
}

}  // namespace
