// Template tokens: the recogniser, whole-line tokens and tokens inside raw HTML.
#include "model/template.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::templates {
namespace {

bool allowed(TemplateForm form, bool block_context) {
  return form == TemplateForm::Auto || form == (block_context ? TemplateForm::Block : TemplateForm::Inline);
}

// The delimiter whose open starts at `pos`: the longest open, the later one among equals.
std::optional<std::size_t> pick_delimiter(std::string_view text, std::size_t pos,
                                          std::span<const TemplateDelimiter> delimiters,
                                          bool block_context) {
  std::optional<std::size_t> best;
  for (std::size_t i = 0; i < delimiters.size(); ++i) {
    const TemplateDelimiter& d = delimiters[i];
    if (d.open.empty() || d.close.empty() || !allowed(d.form, block_context)) continue;
    if (text.compare(pos, d.open.size(), d.open) != 0) continue;
    if (!best || d.open.size() >= delimiters[*best].open.size()) best = i;
  }
  return best;
}

// The end of a balanced body: the first close at depth 0, outside quotes and escapes.
std::optional<std::size_t> find_balanced_end(std::string_view text, std::size_t begin,
                                             std::string_view close, TemplateBalance balance) {
  bool escaped = false;
  char32_t quote = 0;
  std::size_t depth = 0;
  for (std::size_t i = begin; i < text.size();) {
    const utf8::Decoded d = utf8::decode(text, i);
    if (escaped) {
      escaped = false;
    } else if (d.cp == '\\') {
      escaped = true;
    } else if (quote) {
      if (d.cp == quote) quote = 0;
    } else if (d.cp == '"' || d.cp == '\'') {
      quote = d.cp;
    } else {
      if (depth == 0 && text.compare(i, close.size(), close) == 0) return i;
      if (d.cp == balance.open) ++depth;
      else if (d.cp == balance.close && depth > 0) --depth;
    }
    i += d.len;
  }
  return std::nullopt;
}

constexpr std::uint32_t kNoEnd = UINT32_MAX;

// Where a balanced body starting at each offset of `text` ends (kNoEnd: nowhere), all in one pass
// from the right, so that trying every opener of a text costs linear time.
//
// Outside quotes, a walk from any offset follows the same steps: escapes and whole quoted runs
// are stepped over, "other" characters are tested for the close and move the depth. Let phi(x)
// be the sum of the depth changes from offset x to the end. A walk from u, whose depth starts at
// 0 and never drops below it, has depth max(phi over [u, v]) - phi(v) at v; so it ends at the
// first close position v whose phi is at least every phi between u and v. Steps change phi by at
// most one, which makes "the next offset with a larger phi" computable from the right in O(1).
std::vector<std::uint32_t> balanced_ends(std::string_view text, std::string_view close,
                                         TemplateBalance balance) {
  const std::size_t n = text.size();
  const auto at = [](std::size_t i) { return static_cast<std::uint32_t>(i); };
  // For a quote whose content starts at `i`: the offset just past its closing quote.
  std::vector<std::uint32_t> close_double(n + 1, kNoEnd), close_single(n + 1, kNoEnd);
  std::vector<std::uint32_t> next_higher(n + 1, kNoEnd);  // first later offset with larger phi
  std::vector<std::uint32_t> ends(n + 1, kNoEnd);
  for (std::size_t i = n; i-- > 0;) {
    const utf8::Decoded d = utf8::decode(text, i);
    const std::size_t next = i + d.len;
    std::size_t after_escape = next;
    if (d.cp == '\\' && next < n) after_escape = next + utf8::decode(text, next).len;
    if (d.cp == '\\') {
      close_double[i] = after_escape < n ? close_double[after_escape] : kNoEnd;
      close_single[i] = after_escape < n ? close_single[after_escape] : kNoEnd;
    } else {
      close_double[i] = d.cp == '"' ? at(next) : close_double[next];
      close_single[i] = d.cp == '\'' ? at(next) : close_single[next];
    }

    // One step of a walk outside quotes: where it goes, how phi changes, whether it may end here.
    std::size_t step = next;
    int change = 0;
    bool is_close = false;
    if (d.cp == '\\') {
      step = after_escape;
    } else if (d.cp == '"' || d.cp == '\'') {
      const std::uint32_t past = d.cp == '"' ? close_double[next] : close_single[next];
      step = past == kNoEnd ? n : past;  // an unclosed quote runs to the end
    } else {
      is_close = text.compare(i, close.size(), close) == 0;
      if (d.cp == balance.open) change = 1;
      else if (d.cp == balance.close) change = -1;
    }
    step = std::min(step, n);
    auto higher_from = [&](std::size_t x) { return x == kNoEnd || x >= n ? kNoEnd : next_higher[x]; };
    if (change < 0) next_higher[i] = at(step);
    else if (change == 0) next_higher[i] = higher_from(step);
    else next_higher[i] = higher_from(higher_from(step));
    // The first later offset whose phi is at least this one's.
    const std::size_t at_least = change <= 0 ? step : higher_from(step);
    ends[i] = is_close ? at(i) : (at_least >= n ? kNoEnd : ends[at_least]);
  }
  return ends;
}

void name_and_kind(std::string_view body, const std::optional<TemplateMarkers>& markers,
                   TemplateToken& token) {
  const std::string_view inner = unicode::trim(body);
  if (!markers) {
    token.kind = TemplateTokenKind::Var;
    token.name = std::string(inner);
    return;
  }
  const std::array<std::pair<const std::string*, TemplateTokenKind>, 3> marked = {{
      {&markers->open, TemplateTokenKind::Open},
      {&markers->inverted, TemplateTokenKind::OpenInverted},
      {&markers->close, TemplateTokenKind::Close},
  }};
  for (const auto& [marker, kind] : marked) {
    if (!inner.starts_with(*marker)) continue;
    token.name = std::string(unicode::trim(inner.substr(marker->size())));
    token.kind = token.name.empty() ? TemplateTokenKind::Unknown : kind;
    return;
  }
  if (inner.empty() || (inner != "." && scan::is_ascii_punctuation(static_cast<unsigned char>(inner.front())))) {
    token.kind = TemplateTokenKind::Unknown;
    token.name.clear();
    return;
  }
  token.kind = TemplateTokenKind::Var;
  token.name = std::string(inner);
}

// The ASCII alphanumeric run at the start of `text` (a tag name).
std::string_view tag_name(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && scan::is_ascii_alnum(text[n])) ++n;
  return text.substr(0, n);
}

bool is_one_of(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view candidate : names)
    if (scan::ascii_iequals(name, candidate)) return true;
  return false;
}

bool is_raw_text_element(std::string_view name) {
  return is_one_of(name, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed",
                          "noframes", "plaintext"});
}

// The offset of the next "</name" (case-insensitive, name not followed by a letter or digit).
std::optional<std::size_t> find_end_tag(std::string_view html, std::size_t from, std::string_view name) {
  for (std::size_t at = html.find("</", from); at != std::string_view::npos; at = html.find("</", at + 2)) {
    const std::string_view rest = html.substr(at + 2);
    if (rest.size() >= name.size() && scan::ascii_iequals(rest.substr(0, name.size()), name) &&
        (rest.size() == name.size() || !scan::is_ascii_alnum(rest[name.size()]))) {
      return at;
    }
  }
  return std::nullopt;
}

// Skips past `terminator` from `from`, or to the end of the text.
std::size_t skip_past(std::string_view html, std::size_t from, std::string_view terminator) {
  const std::size_t at = html.find(terminator, from);
  return at == std::string_view::npos ? html.size() : at + terminator.size();
}

}  // namespace

std::optional<TemplateForm> form_from_name(std::string_view name) {
  if (name == "auto") return TemplateForm::Auto;
  if (name == "inline") return TemplateForm::Inline;
  if (name == "block") return TemplateForm::Block;
  return std::nullopt;
}

std::string_view kind_node_word(TemplateTokenKind kind) {
  switch (kind) {
    case TemplateTokenKind::Var: return "var";
    case TemplateTokenKind::Open:
    case TemplateTokenKind::OpenInverted: return "open";
    case TemplateTokenKind::Close: return "close";
    case TemplateTokenKind::Unknown: break;
  }
  return "unknown";
}

std::string_view kind_html_word(TemplateTokenKind kind) {
  switch (kind) {
    case TemplateTokenKind::Var: return "value";
    case TemplateTokenKind::Open: return "section";
    case TemplateTokenKind::OpenInverted: return "inverted";
    case TemplateTokenKind::Close: return "end";
    case TemplateTokenKind::Unknown: break;
  }
  return "unknown";
}

std::optional<std::size_t> CloseCache::find_close(std::string_view text, Entry& entry,
                                                  std::string_view close, std::size_t from) {
  // The last search, from `searched_from`, saw no close before `found` (or none at all), so a
  // later start up to `found` gets the same answer.
  if (entry.searched && from >= entry.searched_from && (!entry.found || from <= *entry.found))
    return entry.found;
  const std::size_t at = text.find(close, from);
  entry.searched = true;
  entry.searched_from = from;
  entry.found = at == std::string_view::npos ? std::nullopt : std::optional(at);
  return entry.found;
}

std::optional<std::size_t> CloseCache::body_end(std::string_view text, std::size_t index,
                                                const TemplateDelimiter& delimiter,
                                                std::size_t from) {
  if (text.data() != text_data_ || text.size() != text_size_) {
    entries_.clear();
    text_data_ = text.data();
    text_size_ = text.size();
  }
  if (index >= entries_.size()) entries_.resize(index + 1);
  Entry& entry = entries_[index];
  // Every body ends at an occurrence of close; without one there is nothing to walk.
  auto first = find_close(text, entry, delimiter.close, from);
  if (!first || !delimiter.balance) return first;
  if (text.size() >= kNoEnd) return find_balanced_end(text, from, delimiter.close, *delimiter.balance);
  if (entry.balanced_ends.empty())
    entry.balanced_ends = balanced_ends(text, delimiter.close, *delimiter.balance);
  const std::uint32_t end = entry.balanced_ends[from];
  return end == kNoEnd ? std::nullopt : std::optional<std::size_t>(end);
}

namespace {

// The token of delimiter `index` at `pos`, finding its body end with `find_end(delimiter, begin)`.
template <class FindEnd>
std::optional<TemplateToken> token_with(std::string_view text, std::size_t pos,
                                        std::span<const TemplateDelimiter> delimiters,
                                        bool block_context, FindEnd&& find_end) {
  if (pos >= text.size() || delimiters.empty()) return std::nullopt;
  const auto index = pick_delimiter(text, pos, delimiters, block_context);
  if (!index) return std::nullopt;
  const TemplateDelimiter& d = delimiters[*index];
  const std::size_t body_begin = pos + d.open.size();
  const std::optional<std::size_t> body_end = find_end(*index, d, body_begin);
  if (!body_end) return std::nullopt;

  TemplateToken token;
  token.syntax = d.syntax;
  token.end = *body_end + d.close.size();
  token.source = std::string(text.substr(pos, token.end - pos));
  token.body = std::string(text.substr(body_begin, *body_end - body_begin));
  token.form = d.form;
  name_and_kind(token.body, d.markers, token);
  return token;
}

}  // namespace

// One search walks forward from the body; no index pays off for a single call.
std::optional<TemplateToken> token_at(std::string_view text, std::size_t pos,
                                      std::span<const TemplateDelimiter> delimiters,
                                      bool block_context) {
  return token_with(text, pos, delimiters, block_context,
                    [&](std::size_t, const TemplateDelimiter& d, std::size_t begin) -> std::optional<std::size_t> {
                      const std::size_t at = text.find(d.close, begin);
                      if (at == std::string_view::npos) return std::nullopt;
                      if (!d.balance) return at;
                      return find_balanced_end(text, begin, d.close, *d.balance);
                    });
}

std::optional<TemplateToken> token_at(std::string_view text, std::size_t pos,
                                      std::span<const TemplateDelimiter> delimiters,
                                      bool block_context, CloseCache& cache) {
  return token_with(text, pos, delimiters, block_context,
                    [&](std::size_t index, const TemplateDelimiter& d, std::size_t begin) {
                      return cache.body_end(text, index, d, begin);
                    });
}

std::optional<TemplateToken> line_token(std::string_view line,
                                        std::span<const TemplateDelimiter> delimiters) {
  const std::string_view trimmed = unicode::trim(line);
  auto token = token_at(trimmed, 0, delimiters, true);
  if (!token || token->end != trimmed.size()) return std::nullopt;
  return token;
}

std::vector<HtmlToken> html_tokens(std::string_view html,
                                   std::span<const TemplateDelimiter> delimiters) {
  std::vector<HtmlToken> tokens;
  if (html.empty() || delimiters.empty()) return tokens;
  CloseCache cache;
  bool table_context = false;
  std::size_t i = 0;
  while (i < html.size()) {
    if (html[i] != '<') {
      if (auto token = token_at(html, i, delimiters, false, cache)) {
        tokens.push_back(HtmlToken{std::move(token->syntax), std::move(token->body),
                                   std::move(token->name), i, token->end, table_context,
                                   token->kind});
        i = token->end;
      } else {
        i += utf8::decode(html, i).len;
      }
      continue;
    }
    const std::string_view rest = html.substr(i + 1);
    if (!rest.empty() && scan::is_ascii_alpha(rest.front())) {
      table_context = is_one_of(tag_name(rest), {"table", "thead", "tbody", "tfoot"});
    } else if (rest.size() >= 2 && rest.front() == '/' && scan::is_ascii_alpha(rest[1])) {
      table_context = is_one_of(tag_name(rest.substr(1)), {"tr", "thead", "tbody", "tfoot"});
    }
    if (rest.starts_with("!--")) {
      i = scan::html_comment_end(html, i).value_or(html.size());
    } else if (rest.starts_with("![CDATA[")) {
      i = skip_past(html, i + 9, "]]>");
    } else if (!rest.empty() && (scan::is_ascii_alpha(rest.front()) || rest.front() == '!' ||
                                 rest.front() == '/' || rest.front() == '?')) {
      i = skip_past(html, i + 1, ">");
      const std::string_view name = scan::is_ascii_alpha(rest.front()) ? tag_name(rest) : std::string_view();
      if (!name.empty() && is_raw_text_element(name)) {
        auto end_tag = find_end_tag(html, i, name);
        if (!end_tag) break;
        i = *end_tag;
      }
    } else {
      i += 1;
    }
  }
  return tokens;
}

}  // namespace vedavi::templates
