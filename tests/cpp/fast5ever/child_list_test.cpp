#include "fast5ever/child_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

namespace fast5ever::dom {
namespace {

std::vector<NodeId> ids(const ChildList& list) { return {list.begin(), list.end()}; }

// Random edits mirrored on a vector, across the step from inline room to the heap and back.
TEST(ChildList, MatchesAVectorUnderRandomEdits) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    ChildList list;
    std::vector<NodeId> want;
    for (int step = 0; step < 40; ++step) {
      const NodeId id = rng() % 1000;
      const std::size_t at = want.empty() ? 0 : rng() % (want.size() + 1);
      switch (rng() % 6) {
        case 0: list.push_back(id), want.push_back(id); break;
        case 1: list.insert(list.begin() + at, id), want.insert(want.begin() + at, id); break;
        case 2: {
          const std::vector<NodeId> more(rng() % 4, id);
          list.insert(list.begin() + at, more.begin(), more.end());
          want.insert(want.begin() + at, more.begin(), more.end());
          break;
        }
        case 3: if (at < want.size()) list.erase(list.begin() + at), want.erase(want.begin() + at); break;
        case 4: {  // copies and moves keep the ids and leave the source sound
          ChildList copy = list;
          ChildList moved = std::move(copy);
          EXPECT_TRUE(copy.empty());  // NOLINT: moved-from state is part of the contract
          copy.push_back(id);
          EXPECT_EQ(ids(copy), std::vector<NodeId>{id});
          list = std::move(moved);
          break;
        }
        case 5: if (rng() % 8 == 0) list.clear(), want.clear(); break;
      }
      ASSERT_EQ(ids(list), want) << "round " << round << " step " << step;
      ASSERT_EQ(list.size(), want.size());
      if (!want.empty()) {
        EXPECT_EQ(list.front(), want.front());
        EXPECT_EQ(list.back(), want.back());
        EXPECT_TRUE(std::equal(list.rbegin(), list.rend(), want.rbegin(), want.rend()));
      }
    }
  }
}

TEST(ChildList, ComparesByIds) {
  ChildList a, b;
  for (NodeId id : {1, 2, 3}) a.push_back(id);
  b.push_back(1);
  b.push_back(2);
  EXPECT_FALSE(a == b);
  b.push_back(3);
  EXPECT_TRUE(a == b);
  b = a;  // copy-assigning a long list over a long one
  EXPECT_TRUE(a == b);
  // Over lists that differ, short and long, each way.
  ChildList longer;
  for (NodeId id = 0; id < 40; ++id) longer.push_back(id);
  ChildList shorter;
  shorter.push_back(7);
  for (ChildList* target : {&a, &b}) {
    *target = longer;
    EXPECT_EQ(ids(*target), ids(longer));
    *target = shorter;
    EXPECT_EQ(ids(*target), std::vector<NodeId>{7});
  }
  a.clear();
  a.reserve(10);
  EXPECT_TRUE(a.empty() && a.capacity() >= 10u && a == ChildList{});
}

}  // namespace
}  // namespace fast5ever::dom
