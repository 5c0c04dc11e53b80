// seeds: md
// highlight_md: the output is the source, escaped and cut by balanced classed spans; removing the
// spans and the escapes gives the source back, line ends aside and each NUL as U+FFFD.
#include <optional>
#include <utility>

#include "fuzz_util.h"
#include "highlight/highlight.h"

namespace {

// The character an escape at the start of `rest` stands for, and the escape's length.
std::optional<std::pair<char, std::size_t>> unescape(std::string_view rest) {
  for (const auto& [escape, c] : {std::pair{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'},
                                  {"&quot;", '"'}}) {
    if (rest.starts_with(escape)) return std::pair{c, std::string_view(escape).size()};
  }
  return std::nullopt;
}

// The text of highlighted HTML: spans removed (they must open and close in balance) and the
// three escapes undone. Any other markup breaks the invariant.
std::string text_of(std::string_view html, std::string_view class_prefix) {
  using vedavi::fuzz::require;
  const std::string open = "<span class=\"" + std::string(class_prefix);
  std::string text;
  std::size_t depth = 0;
  for (std::size_t pos = 0; pos < html.size();) {
    const std::string_view rest = html.substr(pos);
    if (rest.starts_with("</span>")) {
      require(depth > 0, "highlight spans close only what they opened");
      --depth;
      pos += 7;
    } else if (rest.starts_with(open)) {
      const std::size_t end = rest.find("\">");
      require(end != std::string_view::npos, "highlight span tags are complete");
      ++depth;
      pos += end + 2;
    } else if (const auto escape = unescape(rest)) {
      text += escape->first;
      pos += escape->second;
    } else {
      require(rest[0] != '<' && rest[0] != '>' && rest[0] != '&' && rest[0] != '\0',
              "highlighted text escapes &, < and >, and holds no NUL");
      text += rest[0];
      ++pos;
    }
  }
  require(depth == 0, "every highlight span is closed");
  return text;
}

// The source as the output writes its characters: each NUL as U+FFFD.
std::string nul_replaced(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\0') out += "\xEF\xBF\xBD";
    else out += c;
  }
  return out;
}

}  // namespace

VEDAVI_FUZZ_TARGET(input) {
  const std::string_view prefix = (input.knobs & 1) ? "hl-" : "";
  const std::string html =
      vedavi::fuzz::require_stable([&] { return vedavi::highlight::highlight_md(input.text, prefix); },
                                   "highlighting twice gives the same bytes");
  vedavi::fuzz::require_utf8(html, "highlight_md output is valid UTF-8");
  vedavi::fuzz::require(vedavi::fuzz::normalised_line_ends(text_of(html, prefix)) ==
                            vedavi::fuzz::normalised_line_ends(nul_replaced(input.text)),
                        "highlighting keeps the source's text");
}
