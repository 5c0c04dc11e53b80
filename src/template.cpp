// Template tokens: the recogniser, whole-line tokens and tokens inside raw HTML.
#include "template.h"

#include <array>

#include "scan.h"
#include "unicode.h"
#include "utf8.h"

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

bool ascii_iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// The ASCII alphanumeric run at the start of `text` (a tag name).
std::string_view tag_name(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && scan::is_ascii_alnum(text[n])) ++n;
  return text.substr(0, n);
}

bool is_one_of(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view candidate : names)
    if (ascii_iequals(name, candidate)) return true;
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
    if (rest.size() >= name.size() && ascii_iequals(rest.substr(0, name.size()), name) &&
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

std::optional<std::size_t> CloseCache::find(std::string_view text, std::size_t index,
                                            std::string_view close, std::size_t from) {
  if (index >= entries_.size()) entries_.resize(index + 1);
  Entry& entry = entries_[index];
  // A search from `searched_from` saw no close before `found` (or none at all), so the answer
  // for any later start up to `found` is the same.
  if (entry.valid && from >= entry.searched_from && (!entry.found || from <= *entry.found))
    return entry.found;
  const std::size_t at = text.find(close, from);
  entry.searched_from = from;
  entry.found = at == std::string_view::npos ? std::nullopt : std::optional(at);
  entry.valid = true;
  return entry.found;
}

std::optional<TemplateToken> token_at(std::string_view text, std::size_t pos,
                                      std::span<const TemplateDelimiter> delimiters,
                                      bool block_context) {
  CloseCache cache;
  return token_at(text, pos, delimiters, block_context, cache);
}

std::optional<TemplateToken> token_at(std::string_view text, std::size_t pos,
                                      std::span<const TemplateDelimiter> delimiters,
                                      bool block_context, CloseCache& cache) {
  if (pos >= text.size() || delimiters.empty()) return std::nullopt;
  const auto index = pick_delimiter(text, pos, delimiters, block_context);
  if (!index) return std::nullopt;
  const TemplateDelimiter& d = delimiters[*index];
  const std::size_t body_begin = pos + d.open.size();
  // Either way the body ends at an occurrence of close; without one there is no token.
  std::optional<std::size_t> body_end = cache.find(text, *index, d.close, body_begin);
  if (body_end && d.balance) body_end = find_balanced_end(text, body_begin, d.close, *d.balance);
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
      i = skip_past(html, i + 4, "-->");
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
