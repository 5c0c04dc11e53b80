#include "model/arena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/document.h"

namespace vedavi {
namespace {

// Texts share their bytes, yet each keeps its own value however the others grow.
// Whether an arena keeps blocks between uses: under AddressSanitizer it keeps none, so that memory
// read after it went is reported.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kKeeps = false;
#elif defined(__has_feature)
constexpr bool kKeeps = !__has_feature(address_sanitizer);
#else
constexpr bool kKeeps = true;
#endif

TEST(Str, CopiesKeepTheirValueWhileOthersGrow) {
  ArenaScope scope;
  Str a("abc");
  Str shared = a;
  a += "def";  // the last allocation: grows in place
  Str b = a;
  b += "g";
  a += "h";  // b grew past a's end: a moves
  EXPECT_EQ(a, "abcdefh");
  EXPECT_EQ(b, "abcdefg");
  EXPECT_EQ(shared, "abc");
  a.resize(2);
  a += "Z";
  EXPECT_EQ(a, "abZ");
  EXPECT_EQ(b, "abcdefg");
  Str c("0123456789");
  c.erase(2, 3);
  EXPECT_EQ(c, "0156789");
  c.erase(0, 1);
  EXPECT_EQ(c, "156789");
  EXPECT_TRUE(Str().empty());
  EXPECT_EQ(std::string("x") + Str("y"), "xy");
}

// A text joined with many others, while other allocations come between the joins, is copied a
// bounded number of times in all: joining stays linear.
TEST(Str, RepeatedAppendsAreAmortised) {
  ArenaScope scope;
  Arena& arena = current_arena();
  const std::size_t before = arena.reserved_bytes();
  Str joined("x");
  for (int i = 0; i < 200000; ++i) {
    Str other("spacer");  // allocates after the joined text
    joined += "ab";
  }
  EXPECT_EQ(joined.size(), 400001u);
  // The joined text's copies, doubling, plus the spacers: far below the quadratic sum.
  EXPECT_LT(arena.reserved_bytes() - before, std::size_t{16} << 20);
}

// Scratch memory filled and recycled again and again takes its blocks from the system once; the
// values registered with it are destroyed at each recycling, and a reset frees what it keeps.
// (Under AddressSanitizer an arena keeps no block, so that memory read after it went is reported.)
TEST(Arena, RecyclingKeepsItsBlocksAndDestroysItsValues) {
  Arena arena;
  int destroyed = 0;
  struct Counted {
    int* count;
    ~Counted() { ++*count; }
  };
  std::size_t reserved = 0;
  for (int round = 0; round < 6; ++round) {
    // The first round the largest: the others fit in part of what it took.
    for (int i = 0; i < (round == 0 ? 5000 : 1000 + 500 * round); ++i) {
      char* p = static_cast<char*>(arena.allocate(100, 8));
      std::fill(p, p + 100, char(round));
    }
    arena.make<Counted>(&destroyed);
    if (round == 0) reserved = arena.reserved_bytes();
    if (kKeeps) {
      EXPECT_EQ(arena.reserved_bytes(), reserved) << round;
    }
    arena.recycle();
    EXPECT_FALSE(arena.past_one_block());
    EXPECT_EQ(destroyed, round + 1);
  }
  arena.make<Counted>(&destroyed);
  arena.reset(0);
  EXPECT_EQ(destroyed, 7);
  EXPECT_EQ(arena.reserved_bytes(), 0u);
}

// A reset keeps every block for the next tree while all of them together are within the limit,
// so that a tree as large as the last takes no memory from the system; past the limit, or with
// none, it keeps nothing. Its values are destroyed either way.
TEST(Arena, AResetKeepsEveryBlockWithinTheLimit) {
  struct Row {
    std::ptrdiff_t limit_over_reserved;  // the limit, less the bytes the arena took
    bool keeps;
  };
  for (const Row row : {Row{0, true}, Row{1 << 20, true}, Row{-1, false}}) {
    Arena arena;
    int destroyed = 0;
    struct Counted {
      int* count;
      ~Counted() { ++*count; }
    };
    const auto fill = [&] {
      for (int i = 0; i < 5000; ++i) std::fill_n(static_cast<char*>(arena.allocate(100, 8)), 100, 'x');
      arena.make<Counted>(&destroyed);
    };
    fill();
    const std::size_t reserved = arena.reserved_bytes();
    ASSERT_TRUE(arena.past_one_block());
    arena.reset(std::size_t(std::ptrdiff_t(reserved) + row.limit_over_reserved));
    EXPECT_EQ(destroyed, 1);
    const bool kept = kKeeps && row.keeps;
    EXPECT_EQ(arena.reserved_bytes(), kept ? reserved : 0) << row.limit_over_reserved;
    fill();
    if (kept) {
      EXPECT_EQ(arena.reserved_bytes(), reserved) << row.limit_over_reserved;
    }
    arena.reset(0);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(arena.reserved_bytes(), 0u);
  }
}

TEST(ArenaVector, ReadsAndGrowsLikeAVector) {
  ArenaScope scope;
  ArenaVector<int> v{1, 2, 3};
  v.insert(v.begin() + 1, 9);
  EXPECT_EQ(std::vector<int>(v.begin(), v.end()), (std::vector<int>{1, 9, 2, 3}));
  const std::vector<int> more{7, 8};
  v.insert(v.end(), more.begin(), more.end());
  v.erase(v.begin(), v.begin() + 2);
  EXPECT_EQ(std::vector<int>(v.begin(), v.end()), (std::vector<int>{2, 3, 7, 8}));
  for (int i = 0; i < 100000; ++i) v.push_back(i);  // past the large-room limit
  EXPECT_EQ(v.size(), 100004u);
  EXPECT_EQ(v.back(), 99999);
  ArenaVector<int> copy = v;
  copy[0] = -1;
  EXPECT_EQ(v[0], 2);
  ArenaVector<int> moved = std::move(copy);
  EXPECT_TRUE(copy.empty());
  EXPECT_EQ(moved[0], -1);
  v.assign(3, 5);
  EXPECT_EQ(std::vector<int>(v.begin(), v.end()), (std::vector<int>{5, 5, 5}));
}

// A list made at its size takes fresh room (a large one on its own past the large-room limit);
// growing out of it gives that room back, and the lists that grow after reuse it.
TEST(ArenaVector, ListsMadeAtTheirSizeGrowAndGiveBackTheirRoom) {
  ArenaScope scope;
  for (std::size_t size : {1u, 15u, 16u, 17u, 65535u, 65536u, 65537u, 200000u}) {
    ArenaVector<char> exact;
    exact.reserve(size);
    EXPECT_EQ(exact.capacity(), size) << size;  // no more than it asks for
    for (std::size_t i = 0; i <= size; ++i) exact.push_back(static_cast<char>(i % 251));
    ArenaVector<char> grown;
    for (std::size_t i = 0; i < size; ++i) grown.push_back(static_cast<char>(i % 251));
    ASSERT_EQ(exact.size(), size + 1) << size;
    for (std::size_t i = 0; i <= size; ++i) ASSERT_EQ(exact[i], static_cast<char>(i % 251)) << size;
    for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(grown[i], static_cast<char>(i % 251)) << size;
  }
}

// An attribute set's contents are destroyed when its arena is reset, not before, and a document
// keeps its arena for as long as it lives, whatever scope made it.
TEST(ArenaScope, DocumentsKeepTheirArenaAndNestedScopesShareIt) {
  Document doc;
  {
    ArenaScope outer;
    {
      ArenaScope inner;
      EXPECT_EQ(inner.handle().get(), outer.handle().get());
      ArenaScope fresh{ArenaScope::Fresh{}};
      EXPECT_NE(fresh.handle().get(), outer.handle().get());
      EXPECT_EQ(&current_arena(), fresh.handle().get());
    }
    EXPECT_EQ(&current_arena(), outer.handle().get());
    doc.arena = outer.handle();
    Block::Paragraph p;
    p.attr.set_id(std::string(100, 'i'));  // long enough to own heap memory
    p.inlines.push_back(Inline::Text{std::string(1000, 't')});
    doc.blocks.push_back(std::move(p));
  }
  // The scope is gone; the document still reads its tree.
  ASSERT_EQ(doc.blocks.size(), 1u);
  const auto* p = doc.blocks[0].get_if<Block::Paragraph>();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(*p->attr.id(), std::string(100, 'i'));
  EXPECT_EQ(p->inlines[0].get_if<Inline::Text>()->text, std::string(1000, 't'));
}

// A list made in one arena may grow while another is current (both outliving it): its old room
// is never handed out by the other arena.
TEST(ArenaScope, AListMayGrowInAnotherArena) {
  ArenaHandle keep_second;
  ArenaScope first{ArenaScope::Fresh{}};
  ArenaVector<std::uint64_t> list;
  for (std::uint64_t i = 0; i < 64; ++i) list.push_back(i);
  {
    ArenaScope second{ArenaScope::Fresh{}};
    keep_second = second.handle();
    for (std::uint64_t i = 64; i < 20000; ++i) list.push_back(i);
    ArenaVector<std::uint64_t> other(100);
    for (std::uint64_t& x : other) x = 7;
  }
  for (std::uint64_t i = 0; i < 20000; i += 997) EXPECT_EQ(list[i], i);
}

}  // namespace
}  // namespace vedavi
