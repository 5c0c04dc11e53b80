// Bare links and brackets: an open "[" keeps its "]" from a bare address, and a bracket that
// becomes a link turns the bare links in its text back into text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

struct Case {
  std::string input;
  std::string expected;
};

test::Parser bare_link_parser() {
  test::Parser parse;
  parse.options.bare_autolinks = true;
  parse.links["r"] = LinkRef{"/r", {}, {}};
  parse.links["www.x.io"] = LinkRef{"/w", {}, {}};
  return parse;
}

TEST(BareLinkBrackets, AddressEndsAtTheClosingBracket) {
  const test::Parser parse = bare_link_parser();
  const std::vector<Case> cases = {
      {"[https://a.io](https://a.io)", R"~(link(https://a.io)["https://a.io"])~"},
      {"![a https://b.io](c.svg)", R"~(image(c.svg)["a " autolink(https://b.io)"https://b.io"])~"},
      {"[https://a.io]", R"~("[" autolink(https://a.io)"https://a.io" "]")~"},
      {"[https://a.io/x][r]", R"~(link(/r)["https://a.io/x"])~"},
      {"[www.x.io]", R"~(link(/w)["www.x.io"])~"},
      {"^[xmpp:a@b.io/x] y", R"~(note[autolink(xmpp:a@b.io/x)"xmpp:a@b.io/x"] " y")~"},
      // Without an open "[", a "]" stays part of the address as before.
      {"https://a.io/x]y", R"~(autolink(https://a.io/x]y)"https://a.io/x]y")~"},
      {"[a] https://a.io/x]y", R"~("[a] " autolink(https://a.io/x]y)"https://a.io/x]y")~"},
  };
  for (const Case& c : cases) EXPECT_EQ(parse(c.input), c.expected) << "input: " << c.input;
}

TEST(BareLinkBrackets, LinkTextHoldsNoBareLink) {
  const test::Parser parse = bare_link_parser();
  const std::vector<Case> cases = {
      {"[me@x.io](mailto:me@x.io)", R"~(link(mailto:me@x.io)["me@x.io"])~"},
      {"[x https://a.io y](/u)", R"~(link(/u)["x https://a.io y"])~"},
      {"[*www.a.io* mailto:m@x.io](/u)", R"~(link(/u)[emph["www.a.io"] " mailto:m@x.io"])~"},
      {"[[https://a.io]{.c}](/u)", R"~(link(/u)[span{.c}["https://a.io"]])~"},
      {"[![https://a.io](i.png)](/u)", R"~(link(/u)[image(i.png)["https://a.io"]])~"},
      // The text is what a plain text node would hold: references decoded.
      {"[https://a.io/?a&amp;b](/u)", R"~(link(/u)["https://a.io/?a&b"])~"},
      // Angle-bracket autolinks are written as links and stay; the bare ones around them do not.
      {"[<https://a.io> b@x.io <c@x.io>](/u)",
       R"~(link(/u)[autolink(https://a.io)"https://a.io" " b@x.io " autolink(mailto:c@x.io email)"c@x.io"])~"},
      // Spans and brackets that stay text keep their bare links.
      {"[https://a.io]{.c}", R"~(span{.c}[autolink(https://a.io)"https://a.io"])~"},
      {"[b@x.io] [c](/u)", R"~("[" autolink(mailto:b@x.io email)"b@x.io" "] " link(/u)["c"])~"},
      {"[a ^[https://b.io] c](/u)", R"~(link(/u)["a " note["https://b.io"] " c"])~"},
  };
  for (const Case& c : cases) EXPECT_EQ(parse(c.input), c.expected) << "input: " << c.input;
}

TEST(BareLinkBrackets, UnlinkedAddressesLeaveNoEvent) {
  const test::Parser parse = bare_link_parser();
  auto autolink_events = [&](std::string_view text) {
    std::size_t n = 0;
    for (const InlineEvent& e : parse.events(text)) n += e.kind == InlineEventKind::Autolink;
    return n;
  };
  EXPECT_EQ(autolink_events("[x https://a.io b@x.io](/u) https://b.io"), 1u);
  EXPECT_EQ(autolink_events("[<https://a.io> b@x.io](/u)"), 1u);
  EXPECT_EQ(autolink_events("[https://a.io]{.c}"), 1u);
}

}  // namespace
}  // namespace vedavi
