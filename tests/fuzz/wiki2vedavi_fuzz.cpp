// seeds: wiki
// wiki2vedavi: wikitext converts and renders as valid UTF-8, the same bytes each time; no link
// holds a link, and every word of a plain line outside markup reaches the output.
#include <algorithm>
#include <map>

#include "fuzz_util.h"
#include "html5/tokenizer.h"
#include "render/renderer.h"
#include "wikitext/parse.h"

namespace {

// Reads the output as an HTML tokenizer does and counts open "a" elements. A template's content
// is a document of its own, so a link inside a template inside a link nests nothing.
class LinkNesting : public html5::TokenSink {
 public:
  html5::TokenSinkResult process_token(html5::Token& token, std::uint64_t) override {
    if (token.kind != html5::TokenKind::Tag) return proceed();
    const bool is_start = token.tag.kind == html5::TagKind::Start;
    const std::string& name = token.tag.name;
    if (name == "script" && is_start) return html5::TokenSinkResult::raw_data(html5::RawKind::ScriptData);
    if (name == "template") {
      if (is_start) open_links_.push_back(0);
      else if (open_links_.size() > 1) open_links_.pop_back();
    } else if (name == "a" && is_start) {
      vedavi::fuzz::require(open_links_.back() == 0, "no link inside a link");
      ++open_links_.back();
    } else if (name == "a" && open_links_.back() > 0) {
      --open_links_.back();
    }
    return proceed();
  }

 private:
  static html5::TokenSinkResult proceed() { return html5::TokenSinkResult::proceed(); }
  std::vector<int> open_links_{0};
};

bool starts_with_fold(std::string_view text, std::size_t pos, std::string_view prefix) {
  if (text.size() - pos < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if ((text[pos + i] | 0x20) != prefix[i]) return false;
  return true;
}

// Just past the "</ref>" (any case, white space before ">") at or after `from`; the size if none.
std::size_t reference_end(std::string_view text, std::size_t from) {
  for (std::size_t pos = text.find("</", from); pos != std::string_view::npos;
       pos = text.find("</", pos + 1)) {
    if (!starts_with_fold(text, pos + 2, "ref")) continue;
    std::size_t end = pos + 5;
    while (end < text.size() && std::string_view(" \t\n\f\r").find(text[end]) != std::string_view::npos) ++end;
    if (end < text.size() && text[end] == '>') return end + 1;
  }
  return text.size();
}

// Bytes that markup may hold without writing them out: comments (an unclosed one runs to the
// end), references (a named one may repeat a label whose first body wins), the inside of tags
// (from a "<" to the next ">") and links inside a link's label (only their labels stay, as text
// of the outer one). Each region reaches at least as far as the converter's.
std::vector<bool> markup_bytes(std::string_view text) {
  std::vector<bool> held(text.size(), false);
  auto hold = [&](std::size_t begin, std::size_t end) {
    std::fill(held.begin() + static_cast<std::ptrdiff_t>(begin),
              held.begin() + static_cast<std::ptrdiff_t>(end), true);
  };
  for (std::size_t open = text.find("<!--"); open != std::string_view::npos;) {
    const std::size_t close = text.find("-->", open + 2);
    const std::size_t end = close == std::string_view::npos ? text.size() : close + 3;
    hold(open, end);
    open = text.find("<!--", end);
  }
  for (std::size_t pos = text.find('<'); pos != std::string_view::npos; pos = text.find('<', pos + 1)) {
    if (!starts_with_fold(text, pos + 1, "ref")) continue;
    const std::size_t end = reference_end(text, pos);
    hold(pos, end);
    if (end == text.size()) break;
    pos = end - 1;
  }
  std::size_t link_depth = 0;
  for (std::size_t pos = 0; pos + 1 < text.size(); ++pos) {
    if (text[pos] == '[' && text[pos + 1] == '[') {
      ++link_depth;
    } else if (text[pos] == ']' && text[pos + 1] == ']' && link_depth > 0) {
      --link_depth;
    }
    if (link_depth >= 2) held[pos] = held[pos + 1] = true;
  }
  bool in_tag = false;
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    if (text[pos] == '<') in_tag = true;
    if (in_tag) held[pos] = true;
    if (text[pos] == '>') in_tag = false;
  }
  return held;
}

std::size_t occurrences(std::string_view text, std::string_view word) {
  std::size_t count = 0;
  for (std::size_t pos = text.find(word); pos != std::string_view::npos; pos = text.find(word, pos + 1))
    ++count;
  return count;
}

// Every word of a line made only of ASCII letters, digits and spaces, outside markup, stands in
// the output at least as often as in such lines.
void require_plain_words_kept(std::string_view src, std::string_view html) {
  const std::string text = vedavi::fuzz::normalised_line_ends(src);
  const std::vector<bool> held = markup_bytes(text);
  std::map<std::string_view, std::size_t> words;
  std::size_t line_begin = 0;
  for (std::string_view line : vedavi::fuzz::lines_of(text, false)) {
    const std::size_t begin = line_begin;
    line_begin += line.size() + 1;
    const bool is_plain = std::all_of(line.begin(), line.end(), [](char c) {
      return c == ' ' || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
    });
    if (!is_plain || std::any_of(held.begin() + static_cast<std::ptrdiff_t>(begin),
                                 held.begin() + static_cast<std::ptrdiff_t>(begin + line.size()),
                                 [](bool b) { return b; }))
      continue;
    for (std::size_t pos = line.find_first_not_of(' '); pos != std::string_view::npos;) {
      const std::size_t end = std::min(line.find(' ', pos), line.size());
      ++words[line.substr(pos, end - pos)];
      pos = line.find_first_not_of(' ', end);
    }
  }
  for (const auto& [word, count] : words)
    vedavi::fuzz::require(occurrences(html, word) >= count,
                          "every word of a plain line outside markup survives");
}

}  // namespace

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  const Document doc = wikitext::document::parse(input.text);
  const std::string html = render_document(doc, input.text.size());
  fuzz::require_utf8(html, "wiki2vedavi output is valid UTF-8");
  fuzz::require(render_document(doc) == html, "rendering a document twice gives the same bytes");
  fuzz::require(render_document(wikitext::document::parse(input.text)) == html,
                "converting twice gives the same bytes");
  LinkNesting links;
  html5::tokenize(html, links);
  require_plain_words_kept(input.text, html);
}
