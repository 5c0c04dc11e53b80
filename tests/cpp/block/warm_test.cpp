// The line table and draft list a thread keeps between parses: a parse gives the same result
// whatever parse of what size came before it on the thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "block/parse.h"
#include "block/warm.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

using testing::default_options;
using testing::spans_dump;

std::string repeated(std::string_view piece, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += piece;
  return out;
}

std::string results(const std::string& src) {
  const Parsed spans = parse_source(src, default_options(), 2);
  return debug_string(parse(src, default_options())) + "\n--\n" + spans_dump(spans.trace.spans);
}

TEST(WarmScratch, AParseIsTheSameWhateverCameBefore) {
  const std::vector<std::string> sources = {
      repeated("- a\n  1. b\n\n> q\n\n| x | y |\n|---|---|\n| 1 | 2 |\n\npara *e*\n\n", 300),
      "",
      "one line\n",
      repeated("> ", 2000) + "deep\n",
      repeated("w\n", 5000) + "\n# h\n",
      "a\r\nb\r\n\r\n- c\r\n",
      repeated("1. a\n\n7. b\n   > c\n\n- d\n  - e\n\n    f\n", 400),
  };
  std::vector<std::string> first;
  for (const std::string& src : sources) first.push_back(results(src));
  for (std::size_t i = sources.size(); i-- > 0;) EXPECT_EQ(results(sources[i]), first[i]) << i;
  for (std::size_t i = 0; i < sources.size(); ++i) EXPECT_EQ(results(sources[i]), first[i]) << i;
}

// A kept room is handed out again only for a list of its exact size; rooms of no kept size are
// let go.
TEST(WarmScratch, KeptRoomsServeListsOfTheirSizeOnly) {
  struct Row {
    std::size_t given;   // room of the list given back
    std::size_t wanted;  // room asked for next
    bool same_room;
  };
  const Row rows[] = {
      {1, 1, true}, {2, 2, true}, {8, 8, true}, {3, 2, false}, {2, 3, false}, {9, 9, false}, {0, 1, false},
  };
  for (const Row& row : rows) {
    warm::Rooms<Drafts> rooms;
    Drafts given;
    given.reserve(row.given);
    const Draft* room = given.data();
    rooms.give(std::move(given));
    Drafts taken = rooms.take(row.wanted);
    EXPECT_EQ(taken.capacity(), row.same_room ? row.given : row.wanted) << row.given << " " << row.wanted;
    if (row.same_room) {
      EXPECT_EQ(taken.data(), room) << row.given;
    }
    EXPECT_TRUE(taken.empty());
  }
}

}  // namespace
}  // namespace vedavi::block
