// HTML in md blocks: vocabularies, md-HTML opening tags, tag depth and raw text escaping.
#include "block/html.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

#include "text/scan.h"

namespace vedavi::block {

namespace {

bool is_ascii_ws(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowercase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = lower(c);
  return out;
}

constexpr std::array<std::string_view, 28> kBlockTags = {
    "p",     "dd",    "dl",    "dt",     "h1",      "h2",      "h3",        "h4",
    "h5",    "h6",    "hr",    "li",     "ol",      "td",      "th",        "tr",
    "ul",    "div",   "pre",   "table",  "tbody",   "tfoot",   "thead",     "figure",
    "caption", "section", "blockquote", "figcaption"};
constexpr std::array<std::string_view, 20> kInlineTags = {
    "a",    "b",    "i",    "s",    "u",    "br",   "em",   "del",   "img",   "ins",
    "kbd",  "sub",  "sup",  "abbr", "code", "mark", "span", "input", "strong", "template"};
constexpr std::array<std::string_view, 14> kVoidTags = {
    "br",   "hr",   "col",  "img",   "wbr",   "area",  "base",
    "link", "meta", "embed", "input", "param", "track", "source"};

// A name of at most 15 bytes as two words: its bytes, zeros, and its length in the last byte.
// Names of the vocabularies are compared as keys, two integer comparisons each, instead of byte
// strings.
using TagKey = std::array<std::uint64_t, 2>;
constexpr std::size_t kMaxKeyed = 15;

constexpr TagKey tag_key(std::string_view name) {
  std::array<char, 16> bytes{};
  for (std::size_t i = 0; i < name.size(); ++i) bytes[i] = name[i];
  bytes[15] = static_cast<char>(name.size());
  return std::bit_cast<TagKey>(bytes);
}

// The keys of `names`, sorted for a binary search.
template <std::size_t N>
constexpr std::array<TagKey, N> tag_keys(const std::array<std::string_view, N>& names) {
  std::array<TagKey, N> keys{};
  for (std::size_t i = 0; i < N; ++i) keys[i] = tag_key(names[i]);
  std::sort(keys.begin(), keys.end());
  return keys;
}

constexpr auto kBlockKeys = tag_keys(kBlockTags);
constexpr auto kInlineKeys = tag_keys(kInlineTags);
constexpr auto kVoidKeys = tag_keys(kVoidTags);

// Whether `name` is one of the names `keys` were made of (none is longer than `kMaxKeyed`).
template <std::size_t N>
bool in(std::string_view name, const std::array<TagKey, N>& keys) {
  if (name.size() > kMaxKeyed) return false;
  return std::binary_search(keys.begin(), keys.end(), tag_key(name));
}
template <std::size_t N>
bool in(const TagKey& key, const std::array<TagKey, N>& keys) {
  return std::binary_search(keys.begin(), keys.end(), key);
}

// Whether "markdown", in any case, stands somewhere in `s`.
bool mentions_markdown(std::string_view s) {
  constexpr std::string_view kWord = "markdown";
  for (std::size_t i = 0; i + kWord.size() <= s.size(); ++i)
    if ((s[i] | 0x20) == 'm' && scan::ascii_iequals(s.substr(i, kWord.size()), kWord)) return true;
  return false;
}

}  // namespace

std::optional<std::size_t> tag_name_end(std::string_view text) {
  if (text.empty() || !scan::is_ascii_alpha(text[0])) return std::nullopt;
  std::size_t i = 1;
  while (i < text.size() && (scan::is_ascii_alnum(text[i]) || text[i] == '-')) ++i;
  return i;
}

std::optional<std::string> html_tag_name(std::string_view line) {
  if (line.empty() || line[0] != '<') return std::nullopt;
  std::size_t start = (line.size() > 1 && line[1] == '/') ? 2 : 1;
  auto end = tag_name_end(line.substr(start));
  if (!end) return std::nullopt;
  std::size_t after = start + *end;
  if (after < line.size() && !is_ascii_ws(line[after]) && line[after] != '/' && line[after] != '>')
    return std::nullopt;
  return lowercase(line.substr(start, *end));
}

bool is_md_block_html_tag(std::string_view name) { return in(name, kBlockKeys); }

bool is_md_html_tag(std::string_view name) {
  // Most names asked about are in a vocabulary: the key is built once and the search for "-"
  // left for the others.
  if (name.size() <= kMaxKeyed) {
    const TagKey key = tag_key(name);
    if (in(key, kBlockKeys) || in(key, kInlineKeys)) return true;
  }
  return name.find('-') != std::string_view::npos;
}

bool is_void_html_tag(std::string_view name) { return in(name, kVoidKeys); }

bool is_balanced_html_container_tag(std::string_view name) {
  if (name.find('-') != std::string_view::npos) return true;
  if (name == "p" || name == "hr" || (name.size() == 2 && name[0] == 'h' && name[1] >= '1' &&
                                      name[1] <= '6'))
    return false;
  return in(name, kBlockKeys);
}

std::optional<std::size_t> parse_html_attr_value(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return std::nullopt;
  char q = text[pos];
  if (q == '"' || q == '\'') {
    std::size_t close = text.find(q, pos + 1);
    if (close == std::string_view::npos) return std::nullopt;
    return close + 1;
  }
  std::size_t i = pos;
  while (i < text.size()) {
    char c = text[i];
    if (is_ascii_ws(c) || c == '"' || c == '\'' || c == '<' || c == '=' || c == '>' || c == '`')
      break;
    ++i;
  }
  if (i == pos) return std::nullopt;
  return i;
}

namespace {

bool attr_name_start(char c) { return scan::is_ascii_alpha(c) || c == '_' || c == ':'; }
bool attr_name_char(char c) {
  return scan::is_ascii_alnum(c) || c == '-' || c == '.' || c == ':' || c == '_';
}

std::size_t skip_ws(std::string_view s, std::size_t i) {
  while (i < s.size() && is_ascii_ws(s[i])) ++i;
  return i;
}

}  // namespace

bool valid_open_tag_attrs(std::string_view text) {
  std::size_t i = 0;
  while (true) {
    std::size_t after_ws = skip_ws(text, i);
    if (after_ws >= text.size()) return true;
    if (text[after_ws] == '/') return after_ws + 1 == text.size();
    if (after_ws == i) return false;  // attributes are separated by white space
    i = after_ws;
    if (!attr_name_start(text[i])) return false;
    ++i;
    while (i < text.size() && attr_name_char(text[i])) ++i;
    std::size_t j = skip_ws(text, i);
    if (j < text.size() && text[j] == '=') {
      j = skip_ws(text, j + 1);
      auto end = parse_html_attr_value(text, j);
      if (!end) return false;
      i = *end;
    }
  }
}

std::optional<MarkdownOpenTag> markdown_open_tag(std::string_view line) {
  if (line.size() < 2 || line[0] != '<' || line[1] == '!' || line[1] == '/' || line[1] == '?')
    return std::nullopt;
  // The tag needs a "markdown" attribute and ends the line: most tags are turned down here.
  if (line.back() != '>' || !mentions_markdown(line)) return std::nullopt;
  auto name_end = tag_name_end(line.substr(1));
  if (!name_end) return std::nullopt;
  std::string name = lowercase(line.substr(1, *name_end));
  if (!is_balanced_html_container_tag(name) || is_void_html_tag(name)) return std::nullopt;
  std::size_t i = 1 + *name_end;
  std::optional<std::pair<std::size_t, std::size_t>> markdown_range;
  bool markdown_one = false;
  while (true) {
    std::size_t ws_start = i;
    i = skip_ws(line, i);
    if (i >= line.size()) return std::nullopt;
    char c = line[i];
    if (c == '>') break;
    if (c == '/') return std::nullopt;
    if (i == ws_start) return std::nullopt;
    std::size_t name_start = i;
    while (i < line.size() && !is_ascii_ws(line[i]) && line[i] != '=' && line[i] != '>' &&
           line[i] != '/')
      ++i;
    std::string_view attr_name = line.substr(name_start, i - name_start);
    std::string_view value;
    bool has_value = false;
    std::size_t j = skip_ws(line, i);
    if (j < line.size() && line[j] == '=') {
      j = skip_ws(line, j + 1);
      auto end = parse_html_attr_value(line, j);
      if (!end) return std::nullopt;
      value = line.substr(j, *end - j);
      if (!value.empty() && (value[0] == '"' || value[0] == '\''))
        value = value.substr(1, value.size() - 2);
      has_value = true;
      i = *end;
    }
    if (scan::ascii_iequals(attr_name, "markdown") && !markdown_range) {
      markdown_range.emplace(ws_start, i);
      markdown_one = has_value && value == "1";
    }
  }
  if (i + 1 != line.size() || !markdown_range || !markdown_one) return std::nullopt;
  std::string text(line.substr(0, markdown_range->first));
  text.append(line.substr(markdown_range->second));
  return MarkdownOpenTag{std::move(name), std::move(text)};
}

std::optional<std::size_t> tag_end(std::string_view text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '>') return i;
    if (c == '"' || c == '\'') {
      const std::size_t close = text.find(c, i + 1);
      if (close == std::string_view::npos) return std::nullopt;
      i = close;
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> TagEndFinder::find(std::size_t from) {
  std::size_t n = text_.size();
  if (from >= n) return std::nullopt;
  if (end_.empty()) {
    // Most tags end a few bytes on: read forward within a bounded window before building the
    // table, so that each call costs at most the window and a block with one tag or two builds
    // none.
    constexpr std::size_t kWindow = 256;
    const std::size_t limit = n - from > kWindow ? from + kWindow : n;
    std::size_t i = from;
    while (i < limit) {
      const char c = text_[i];
      if (c == '>') return i;
      if (c == '"' || c == '\'') {
        const std::size_t close = text_.substr(0, limit).find(c, i + 1);
        if (close == std::string_view::npos) break;
        i = close;
      }
      ++i;
    }
    if (limit == n) return std::nullopt;
    // Right to left: the end from i is i at ">", the end after the closing quote at a quote,
    // else the end from i + 1.
    end_.assign(n + 1, n);
    std::size_t next_double = n, next_single = n;
    for (std::size_t i = n; i-- > 0;) {
      char c = text_[i];
      if (c == '>') {
        end_[i] = i;
      } else if (c == '"' || c == '\'') {
        std::size_t close = c == '"' ? next_double : next_single;
        end_[i] = close < n ? end_[close + 1] : n;
        (c == '"' ? next_double : next_single) = i;
      } else {
        end_[i] = end_[i + 1];
      }
    }
  }
  if (end_[from] >= n) return std::nullopt;
  return end_[from];
}

std::size_t update_html_tag_depth(std::string_view line, std::string_view name,
                                  std::size_t depth) {
  TagEndFinder ends(line);
  std::size_t i = 0;
  while ((i = line.find('<', i)) != std::string_view::npos) {
    if (line.substr(i).starts_with("<!--")) {
      const auto end = scan::html_comment_end(line, i);
      if (!end) break;
      i = *end;
      continue;
    }
    bool closing = i + 1 < line.size() && line[i + 1] == '/';
    std::size_t name_start = i + (closing ? 2 : 1);
    auto len = tag_name_end(line.substr(std::min(name_start, line.size())));
    if (!len || !scan::ascii_iequals(line.substr(name_start, *len), name) || !is_md_html_tag(name)) {
      ++i;
      continue;
    }
    auto gt = ends.find(name_start + *len);
    if (!gt) {
      i = name_start + *len;
      continue;
    }
    if (closing) {
      if (depth > 0) --depth;
    } else if (!(*gt > 0 && line[*gt - 1] == '/') && !is_void_html_tag(name)) {
      ++depth;
    }
    i = *gt + 1;
  }
  return depth;
}

RawHtmlText escape_raw_html(std::string source, std::size_t first_line) {
  const std::string_view text = source;
  RawHtmlText out;
  // The output is written only from the first change on: until then, text[0, kept) is the output.
  std::size_t kept = 0;
  bool changed = false;
  auto append = [&](std::string_view piece) {
    if (!changed) {
      kept += piece.size();
      return;
    }
    out.text.append(piece);
  };
  auto change = [&](std::string_view replacement) {
    if (!changed) {
      changed = true;
      out.text.reserve(text.size() + 8);
      out.text.append(text.substr(0, kept));
    }
    out.text.append(replacement);
  };
  TagEndFinder ends(text);
  std::size_t line = first_line;
  std::size_t counted = 0;  // line breaks before `counted` are in `line`
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t lt = text.find('<', i);
    if (lt == std::string_view::npos) {
      append(text.substr(i));
      break;
    }
    append(text.substr(i, lt - i));
    std::string_view at = text.substr(lt);
    if (at.starts_with("<!--")) {
      // Only the comment itself passes through: what follows its end is text again.
      const auto close = scan::html_comment_end(text, lt);
      if (!close) {
        line += static_cast<std::size_t>(std::count(text.begin() + counted, text.begin() + lt, '\n'));
        counted = lt;
        out.unclosed_comment_lines.push_back(line);
        append(at);
        break;
      }
      append(text.substr(lt, *close - lt));
      i = *close;
      continue;
    }
    bool closing = at.size() > 1 && at[1] == '/';
    std::size_t name_start = lt + (closing ? 2 : 1);
    auto len = tag_name_end(text.substr(std::min(name_start, text.size())));
    if (!len) {
      bool tag_like = at.size() > 1 && (at[1] == '!' || at[1] == '?' || at[1] == '/');
      if (tag_like)
        change("&lt;");
      else
        append("<");
      i = lt + 1;
      continue;
    }
    // Lowercased in place on the stack: names longer than any of the vocabularies' are md-HTML
    // only by their "-", which case does not change.
    const std::string_view raw_name = text.substr(name_start, *len);
    char lowered[kMaxKeyed];
    std::string_view name = raw_name;
    if (raw_name.size() <= kMaxKeyed) {
      for (std::size_t k = 0; k < raw_name.size(); ++k) lowered[k] = lower(raw_name[k]);
      name = std::string_view(lowered, raw_name.size());
    }
    if (!is_md_html_tag(name)) {
      change("&lt;");
      i = lt + 1;
      continue;
    }
    std::size_t end;
    if (closing) {
      std::size_t gt = text.find('>', name_start);
      end = gt == std::string_view::npos ? text.size() : gt + 1;
    } else {
      auto gt = ends.find(name_start + *len);
      end = gt ? *gt + 1 : lt + 1;
    }
    append(text.substr(lt, end - lt));
    i = end;
  }
  if (!out.unclosed_comment_lines.empty()) change("-->\n");
  if (!changed) {
    // Every byte read passed as it was: the output is the source up to where reading stopped.
    source.resize(kept);
    out.text = std::move(source);
  }
  return out;
}

}  // namespace vedavi::block
