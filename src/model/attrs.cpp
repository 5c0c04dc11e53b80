// Attribute sets and the brace grammar: bodies, braced and trailing groups, raw-format markers
// and fence info strings.
#include "model/attrs.h"

#include <algorithm>
#include <numeric>

#include "model/arena.h"
#include "model/line.h"
#include "text/entity.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi {
namespace {

bool is_quote(char c) { return c == '"' || c == '\''; }

// Calls `piece` for every maximal run of non-white-space characters of `text`.
template <class F>
void for_each_word(std::string_view text, F&& piece) {
  std::size_t begin = std::string_view::npos;
  std::size_t i = 0;
  while (i < text.size()) {
    utf8::Decoded d = utf8::decode(text, i);
    if (unicode::is_white_space(d.cp)) {
      if (begin != std::string_view::npos) piece(text.substr(begin, i - begin));
      begin = std::string_view::npos;
    } else if (begin == std::string_view::npos) {
      begin = i;
    }
    i += d.len;
  }
  if (begin != std::string_view::npos) piece(text.substr(begin));
}

// Small sets are checked by scanning; past this size a batch is merged by sorting, so adding n
// classes or pairs costs O(n log n), never O(n^2).
constexpr std::size_t kLinearLimit = 32;

// Classes and pairs to add to an `Attr` in order, applied at once with the same result as
// `push_class` and `set_pair` one by one. Keys "id" and "class" are routed when added.
class AttrBatch {
 public:
  void add_class(std::string&& name) {
    if (!name.empty()) classes_.push_back(std::move(name));
  }
  void set(std::string&& key, std::string&& value) {
    if (key == "id") {
      id_ = std::move(value);
    } else if (key == "class") {
      for_each_word(value, [&](std::string_view word) { classes_.emplace_back(word); });
    } else {
      pairs_.emplace_back(std::move(key), std::move(value));
    }
  }
  void set_id(std::string&& id) { id_ = std::move(id); }

  void apply(Attr& attr) && {
    if (!id_ && classes_.empty() && pairs_.empty()) return;  // an empty set stays unallocated
    if (id_) attr.id_mut() = std::move(id_);
    apply_classes(attr.classes_mut());
    apply_pairs(attr.pairs_mut());
  }

 private:
  void apply_classes(std::vector<std::string>& classes) {
    if (classes_.empty()) return;
    if (classes.size() + classes_.size() <= kLinearLimit) {
      for (auto& name : classes_)
        if (std::find(classes.begin(), classes.end(), name) == classes.end())
          classes.push_back(std::move(name));
      return;
    }
    // Sort (name, origin) so equal names meet; an existing class or the first new one wins.
    const std::size_t old_count = classes.size();
    std::vector<std::size_t> order(old_count + classes_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    auto name_of = [&](std::size_t i) -> const std::string& {
      return i < old_count ? classes[i] : classes_[i - old_count];
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return name_of(a) < name_of(b); });
    std::vector<bool> keep(classes_.size(), false);
    for (std::size_t g = 0; g < order.size();) {
      std::size_t h = g + 1;
      while (h < order.size() && name_of(order[h]) == name_of(order[g])) ++h;
      if (order[g] >= old_count) keep[order[g] - old_count] = true;  // smallest origin first
      g = h;
    }
    for (std::size_t i = 0; i < classes_.size(); ++i)
      if (keep[i]) classes.push_back(std::move(classes_[i]));
  }

  void apply_pairs(StringPairs& pairs) {
    if (pairs_.empty()) return;
    if (pairs.size() + pairs_.size() <= kLinearLimit) {
      for (auto& [key, value] : pairs_) {
        auto it = std::find_if(pairs.begin(), pairs.end(),
                               [&key = key](const auto& p) { return p.first == key; });
        if (it != pairs.end()) it->second = std::move(value);
        else pairs.emplace_back(std::move(key), std::move(value));
      }
      return;
    }
    // Per key: the first existing pair, else the first new one, keeps its place and takes the
    // last new value.
    const std::size_t old_count = pairs.size();
    std::vector<std::size_t> order(old_count + pairs_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    auto key_of = [&](std::size_t i) -> const std::string& {
      return i < old_count ? pairs[i].first : pairs_[i - old_count].first;
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return key_of(a) < key_of(b); });
    std::vector<std::size_t> value_from(pairs_.size(), SIZE_MAX);  // kept new pair -> value
    for (std::size_t g = 0; g < order.size();) {
      std::size_t h = g + 1;
      while (h < order.size() && key_of(order[h]) == key_of(order[g])) ++h;
      const std::size_t last = order[h - 1];
      if (last >= old_count) {  // some new pair sets this key; the last one has the value
        if (order[g] < old_count) pairs[order[g]].second = std::move(pairs_[last - old_count].second);
        else value_from[order[g] - old_count] = last - old_count;
      }
      g = h;
    }
    for (std::size_t i = 0; i < pairs_.size(); ++i) {
      if (value_from[i] == SIZE_MAX) continue;
      std::string value = std::move(pairs_[value_from[i]].second);
      pairs.emplace_back(std::move(pairs_[i].first), std::move(value));
    }
  }

  std::optional<std::string> id_;
  std::vector<std::string> classes_;
  StringPairs pairs_;
};

}  // namespace

Attr::Attr(const Attr& other) {
  if (!other.empty()) data_ = current_arena().make<Data>(*other.data_);
}

Attr& Attr::operator=(const Attr& other) {
  if (this != &other) {
    if (other.empty()) data_ = nullptr;
    else if (data_) *data_ = *other.data_;
    else data_ = current_arena().make<Data>(*other.data_);
  }
  return *this;
}

Attr::Data& Attr::data() {
  if (!data_) data_ = current_arena().make<Data>();
  return *data_;
}

bool operator==(const Attr& a, const Attr& b) {
  return a.id() == b.id() && a.classes() == b.classes() && a.pairs() == b.pairs();
}

void Attr::set_id(std::optional<std::string> id) {
  if (id || data_) data().id = std::move(id);
}

Attr Attr::with_class(std::string_view name) {
  Attr attr;
  attr.push_class(name);
  return attr;
}

bool Attr::has_class(std::string_view name) const {
  const auto& names = classes();
  return std::find(names.begin(), names.end(), name) != names.end();
}

const std::string* Attr::find_pair(std::string_view key) const {
  for (const auto& [k, v] : pairs())
    if (k == key) return &v;
  return nullptr;
}

void Attr::push_class(std::string_view name) {
  if (!name.empty() && !has_class(name)) data().classes.emplace_back(name);
}

void Attr::push_class(std::string&& name) {
  if (!name.empty() && !has_class(name)) data().classes.push_back(std::move(name));
}

void Attr::set_owned_pair(std::string key, std::string value) {
  // Compared as views: the two words are told apart by their sizes first, without a call.
  const std::string_view name = key;
  if (name == "id") {
    data().id = std::move(value);
    return;
  }
  if (name == "class") {
    AttrBatch batch;
    batch.set(std::move(key), std::move(value));
    std::move(batch).apply(*this);
    return;
  }
  StringPairs& own_pairs = data().pairs;
  for (auto& pair : own_pairs) {
    if (pair.first == name) {
      pair.second = std::move(value);
      return;
    }
  }
  // Most sets hold one pair (a table's column widths): room for just that, not the general growth.
  if (own_pairs.empty()) own_pairs.reserve(1);
  own_pairs.emplace_back(std::move(key), std::move(value));
}

void Attr::merge(const Attr& other) {
  if (other.empty()) return;
  AttrBatch batch;
  if (other.id()) batch.set_id(std::string(*other.id()));
  for (const auto& name : other.classes()) batch.add_class(std::string(name));
  for (const auto& [key, value] : other.pairs()) batch.set(std::string(key), std::string(value));
  std::move(batch).apply(*this);
}

std::optional<Attr> Attr::panel() const {
  constexpr std::string_view kCallout = "callout-";
  std::optional<std::string> callout;
  if (const std::string* value = find_pair("data-callout")) {
    callout = *value;
  } else {
    for (const auto& name : classes()) {
      if (name.size() > kCallout.size() && name.starts_with(kCallout)) {
        callout = name.substr(kCallout.size());
        break;
      }
    }
  }
  const bool details = has_class("details");
  if (!callout && !details && !find_pair("data-panel")) return std::nullopt;

  std::string word;
  if (const std::string* value = find_pair("data-disclosure")) {
    word = *value;
  } else if (const std::string* collapse = find_pair("collapse");
             collapse && (*collapse == "true" || *collapse == "false")) {
    word = *collapse == "true" ? "closed" : "open";
  } else if (details) {
    word = find_pair("open") ? "open" : "closed";
  } else {
    word = "fixed";
  }
  if (word != "open" && word != "closed") word = "fixed";

  Attr result;
  result.set_id(id());
  for (const auto& name : classes())
    if (name != "details" && !name.starts_with(kCallout)) result.classes_mut().push_back(name);
  for (const auto& pair : pairs())
    if (pair.first != "open" && pair.first != "collapse") result.pairs_mut().push_back(pair);
  result.set_pair("data-panel", "");
  if (callout) result.set_pair(std::string("data-callout"), std::move(*callout));
  result.set_pair(std::string("data-disclosure"), std::move(word));
  return result;
}

namespace attrs {
namespace {

// Splits an attribute body into tokens at unquoted, unescaped white space; quotes and
// backslashes stay in the tokens.
std::vector<std::string> tokenize_body(std::string_view body) {
  std::vector<std::string> tokens;
  std::string token;
  bool escaped = false;
  char quote = 0;
  for (std::size_t i = 0; i < body.size();) {
    utf8::Decoded d = utf8::decode(body, i);
    std::string_view ch = body.substr(i, d.len);
    i += d.len;
    if (escaped) {
      token += ch;
      escaped = false;
    } else if (d.cp == '\\') {
      token += ch;
      escaped = true;
    } else if (quote) {
      token += ch;
      if (d.cp == static_cast<unsigned char>(quote)) quote = 0;
    } else if (d.cp == '"' || d.cp == '\'') {
      token += ch;
      quote = static_cast<char>(d.cp);
    } else if (unicode::is_white_space(d.cp)) {
      if (!token.empty()) tokens.push_back(std::move(token));
      token.clear();
    } else {
      token += ch;
    }
  }
  if (!token.empty()) tokens.push_back(std::move(token));
  return tokens;
}

// "#id.class#other": pieces cut at unescaped markers.
void apply_shorthand(std::string_view token, AttrBatch& batch) {
  char marker = 0;
  std::size_t piece_begin = 0;
  auto flush = [&](std::size_t end) {
    if (marker == 0) return;
    std::string piece = unescape_attr(token.substr(piece_begin, end - piece_begin));
    if (piece.empty()) return;
    if (marker == '#') batch.set_id(std::move(piece));
    else batch.add_class(std::move(piece));
  };
  bool escaped = false;
  for (std::size_t i = 0; i < token.size(); ++i) {
    const char c = token[i];
    if (escaped) {
      escaped = false;
    } else if (c == '\\') {
      escaped = true;
    } else if (c == '#' || c == '.') {
      flush(i);
      marker = c;
      piece_begin = i + 1;
    }
  }
  flush(token.size());
}

void apply_pair(std::string_view token, std::size_t eq, AttrBatch& batch) {
  std::string_view key = unicode::trim(token.substr(0, eq));
  if (key.empty()) return;
  std::string_view value = unicode::trim(token.substr(eq + 1));
  if (value.size() >= 2 && is_quote(value.front()) && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  batch.set(std::string(key), entity::decode_entities(unescape_attr(value)));
}

// Whether `c` at byte `i` of `text` is white space; `len` receives the character's length.
bool white_space_at(std::string_view text, std::size_t i, std::size_t& len) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) {
    len = 1;
    return unicode::is_white_space(c);
  }
  const utf8::Decoded d = utf8::decode(text, i);
  len = d.len;
  return unicode::is_white_space(d.cp);
}

// The "}" closing the group opened at text[0] (quoted and escaped characters skipped), but only
// while the body can still be an attribute block: a group whose first word shows that it cannot be one is given up
// there, so "{" followed by ordinary words costs a word, not a scan to the text's end.
std::optional<std::size_t> attr_group_end(std::string_view text) {
  const bool colon = text.size() > 1 && text[1] == ':';
  // The body's first word decides: the colon form needs any content; otherwise "#" or "." must
  // lead, or an "=" must follow the first character before any white space.
  enum class Shape { Blank, Word, Possible } shape = Shape::Blank;
  bool escaped = false;
  char quote = 0;
  for (std::size_t i = colon ? 2 : 1; i < text.size();) {
    const char c = text[i];
    if (!escaped && !quote && c == '}') {
      if (shape == Shape::Possible) return i;
      return std::nullopt;  // a blank body, or a first word without "="
    }
    std::size_t len = 1;
    if (shape != Shape::Possible) {
      const bool space = white_space_at(text, i, len);
      if (shape == Shape::Blank && !space) {
        if (colon || c == '#' || c == '.') shape = Shape::Possible;
        else if (c == '=') return std::nullopt;
        else shape = Shape::Word;
      } else if (shape == Shape::Word) {
        if (space) return std::nullopt;
        if (c == '=') shape = Shape::Possible;
      }
    }
    if (escaped) {
      escaped = false;
    } else if (c == '\\') {
      escaped = true;
    } else if (quote) {
      if (c == quote) quote = 0;
    } else if (is_quote(c)) {
      quote = c;
    }
    i += len;
  }
  return std::nullopt;
}

// The body of a group with its optional ":" dropped and trimmed, when it is an attribute block.
std::optional<std::string_view> attr_body(std::string_view inner) {
  const bool colon = !inner.empty() && inner.front() == ':';
  if (colon) inner.remove_prefix(1);
  inner = unicode::trim(inner);
  if (!looks_like_attrs(inner, colon)) return std::nullopt;
  return inner;
}

bool is_format_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

std::string strip_backticks(std::string_view word) {
  while (!word.empty() && word.front() == '`') word.remove_prefix(1);
  while (!word.empty() && word.back() == '`') word.remove_suffix(1);
  return std::string(word);
}

// The first white-space character of `text`: its offset and length; none without one.
std::optional<std::pair<std::size_t, std::size_t>> first_white_space(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    // An ASCII byte is a whole character: no decoding needed to classify it.
    if (const auto b = static_cast<unsigned char>(text[i]); b < 0x80) {
      if (b == ' ' || (b >= '\t' && b <= '\r')) return std::pair{i, std::size_t{1}};
      ++i;
      continue;
    }
    utf8::Decoded d = utf8::decode(text, i);
    if (unicode::is_white_space(d.cp)) return std::pair{i, d.len};
    i += d.len;
  }
  return std::nullopt;
}

bool is_blank(std::string_view text) { return unicode::trim_start(text).empty(); }

// The shorthand form of a fence info ("#id.class", optionally with braces), when the whole
// info is attributes.
std::optional<Attr> fence_shorthand(std::string_view word, std::string_view rest) {
  Attr attr;
  if (const std::size_t brace = word.find('{'); brace != std::string_view::npos) {
    if (auto before = parse_synthetic_attrs(word.substr(0, brace))) attr.merge(*before);
    auto group = parse_braced_attr(word.substr(brace));
    if (!group) return std::nullopt;
    attr.merge(group->attr);
    if (!is_blank(word.substr(brace + group->consumed))) return std::nullopt;
  } else {
    auto whole = parse_synthetic_attrs(word);
    if (!whole) return std::nullopt;
    attr.merge(*whole);
  }
  std::string_view remainder = rest;
  if (auto group = parse_braced_attr(rest)) {
    attr.merge(group->attr);
    remainder = unicode::trim(rest.substr(group->consumed));
  }
  if (!remainder.empty()) return std::nullopt;
  return attr;
}

}  // namespace

Attr parse_attrs_body(std::string_view body) {
  AttrBatch batch;
  for (std::string& token : tokenize_body(body)) {
    if (token[0] == '#' || token[0] == '.') {
      apply_shorthand(token, batch);
    } else if (const std::size_t eq = token.find('='); eq != std::string::npos) {
      apply_pair(token, eq, batch);
    }
  }
  Attr attr;
  std::move(batch).apply(attr);
  return attr;
}

std::string unescape_attr(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

bool looks_like_attrs(std::string_view body, bool colon_form) {
  body = unicode::trim(body);
  if (colon_form) return !body.empty();
  if (body.empty()) return false;
  if (body.front() == '#' || body.front() == '.') return true;
  std::string_view word = body;
  if (auto space = first_white_space(body)) word = body.substr(0, space->first);
  const std::size_t eq = word.find('=');
  return eq != std::string_view::npos && eq > 0;
}

std::optional<BracedAttr> parse_braced_attr(std::string_view text) {
  if (text.empty() || text.front() != '{') return std::nullopt;
  auto end = attr_group_end(text);
  if (!end) return std::nullopt;
  auto body = attr_body(text.substr(1, *end - 1));
  if (!body) return std::nullopt;
  return BracedAttr{parse_attrs_body(*body), *end + 1};
}

std::optional<Attr> parse_synthetic_attrs(std::string_view text) {
  std::string braced;
  braced.reserve(text.size() + 2);
  braced += '{';
  braced += text;
  braced += '}';
  auto group = parse_braced_attr(braced);
  if (!group || group->consumed != braced.size()) return std::nullopt;
  return std::move(group->attr);
}

std::optional<RawFormat> raw_attr(std::string_view text) {
  if (!text.starts_with("{=")) return std::nullopt;
  // The marker ends at the first character that cannot be in a format name: read no further.
  std::size_t close = 2;
  while (close < text.size() && is_format_char(text[close])) ++close;
  if (close == 2 || close == text.size() || text[close] != '}') return std::nullopt;
  const std::string_view format = text.substr(2, close - 2);
  return RawFormat{format, format.size() + 3};
}

std::optional<AttrSpan> trailing_attr_span(std::string_view line) {
  line = unicode::trim_end(line);
  const std::size_t len = line.size();
  if (len == 0 || line.back() != '}') return std::nullopt;
  // Each quoting context keeps its own "last open brace": a quote swaps the current slot with
  // that quote's slot, so braces inside quoted values do not disturb the outer group.
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t current = kNone, in_single = kNone, in_double = kNone, result = kNone;
  bool escaped = false;
  for (std::size_t i = 0; i < len; ++i) {
    const char c = line[i];
    if (escaped) {
      escaped = false;
    } else if (c == '\\') {
      escaped = true;
    } else if (c == '{') {
      current = i;
    } else if (c == '}') {
      if (i == len - 1) result = current;
      current = kNone;
    } else if (c == '\'') {
      std::swap(current, in_single);
    } else if (c == '"') {
      std::swap(current, in_double);
    }
  }
  if (result == kNone) return std::nullopt;
  if (!attr_body(line.substr(result + 1, len - 1 - (result + 1)))) return std::nullopt;
  return AttrSpan{result, len};
}

StrippedAttr strip_trailing_attr(std::string_view text) {
  if (auto span = trailing_attr_span(text)) {
    auto body = attr_body(text.substr(span->start + 1, span->end - 1 - (span->start + 1)));
    return {std::string(unicode::trim_end(text.substr(0, span->start))), parse_attrs_body(*body)};
  }
  return {std::string(unicode::trim(text)), Attr{}};
}

FenceInfo parse_fence_info(std::string_view raw_info) {
  // line::trim is unicode::trim with a shortcut for a printable ASCII end.
  const std::string_view info = line::trim(raw_info);
  if (info.empty()) return {};
  // Most infos are a plain language word ("python", "c++", "example"): no white space,
  // attributes, backticks, escapes or references to look for. The word is the language.
  if (std::ranges::all_of(info, [](char c) {
        return scan::is_ascii_alnum(c) || c == '-' || c == '_' || c == '+';
      }))
    return FenceInfo{std::string(info), Attr(), std::string(info), false};
  if (auto group = parse_braced_attr(info)) {
    FenceInfo result;
    result.info = std::string(unicode::trim(info.substr(0, group->consumed)));
    if (!group->attr.classes().empty()) result.lang = group->attr.classes().front();
    result.attr = std::move(group->attr);
    result.has_attrs = true;
    return result;
  }
  std::string_view word_raw = info;
  std::string_view rest;
  if (auto space = first_white_space(info)) {
    word_raw = info.substr(0, space->first);
    rest = unicode::trim(info.substr(space->first + space->second));
  }
  std::string word = strip_backticks(line::trim(word_raw));

  if (!word.empty() && (word.front() == '.' || word.front() == '#')) {
    if (auto attr = fence_shorthand(word, rest)) {
      FenceInfo result;
      result.info = std::string(info);
      if (!attr->classes().empty()) result.lang = attr->classes().front();
      result.attr = std::move(*attr);
      result.has_attrs = true;
      return result;
    }
  }

  // Most languages are a plain word: neither escapes nor references to resolve.
  std::string lang = word.find_first_of("\\&") == std::string::npos
                         ? std::move(word)
                         : entity::decode_entities(entity::unescape_backslash_punctuation(word));
  FenceInfo result;
  result.info = std::string(info);
  if (auto group = parse_braced_attr(rest)) {
    result.attr = Attr::with_class(lang);
    result.attr.merge(group->attr);
    result.has_attrs = true;
  }
  if (!lang.empty()) result.lang = std::move(lang);
  return result;
}

}  // namespace attrs
}  // namespace vedavi
