// Re-reading a construct at a node's position for the facts the span listings report.
#include "inline/inline_data.h"

#include "inline/link.h"
#include "inline/xref.h"
#include "model/attrs.h"
#include "model/link_ref.h"
#include "text/unicode.h"

namespace vedavi::inl {
namespace {

// A label longer than this many bytes has more than 999 characters and names no definition.
constexpr std::size_t kMaxLabelBytes = attrs::kMaxLabelChars * 4;

bool is_link_space(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// Where the destination lies in the content of "(...)", as an offset and a length: an empty
// content gives an empty destination after its white space.
std::optional<ByteRange> destination_in(std::string_view content, std::size_t max_depth) {
  const std::string_view trimmed = trim_link_space(content);
  if (trimmed.empty()) {
    std::size_t lead = 0;
    while (lead < content.size() && is_link_space(content[lead])) ++lead;
    return ByteRange{lead, lead};
  }
  auto split = parse_link_destination(trimmed, max_depth);
  if (!split) return std::nullopt;
  const std::string_view dest = split->destination;
  // An empty destination may be a view of nothing in particular: place it where the text starts.
  if (dest.data() < content.data() || dest.data() + dest.size() > content.data() + content.size()) {
    const std::size_t at = static_cast<std::size_t>(trimmed.data() - content.data());
    return ByteRange{at, at};
  }
  const std::size_t at = static_cast<std::size_t>(dest.data() - content.data());
  return ByteRange{at, at + dest.size()};
}

std::string_view math_delimiter(std::string_view construct) {
  for (std::string_view d : {"\\[", "\\(", "$$"})
    if (construct.starts_with(d)) return d;
  return "$";
}

}  // namespace

InlineData InlineDataReader::inline_data(const InlineEntry& entry) {
  if (!entry.event) return inline_data::None{};
  const InlineEvent& e = *entry.event;
  switch (e.kind) {
    case InlineEventKind::Code: return code(e);
    case InlineEventKind::Link: return inline_link(e);
    case InlineEventKind::RefLink: return reference_link(e);
    case InlineEventKind::Autolink: return autolink(e);
    case InlineEventKind::Xref: return xref(e);
    case InlineEventKind::FootnoteRef: return footnote(e);
    case InlineEventKind::Attrs: return attrs(e);
    case InlineEventKind::TemplateToken: return template_token(e);
    case InlineEventKind::MathInline: return math(e);
    case InlineEventKind::RawInline: return raw(e);
    default: return inline_data::None{};
  }
}

InlineData InlineDataReader::code(const InlineEvent& e) {
  auto span = code_span(text_, e.start, &backticks_);
  if (!span) return inline_data::None{};
  return inline_data::Text{std::move(span->code.get_if<Inline::Code>()->text)};
}

InlineData InlineDataReader::inline_link(const InlineEvent& e) {
  if (e.bracket_end >= text_.size() || text_[e.bracket_end] != '(') return inline_data::None{};
  const std::size_t depth = ctx_.options.max_link_paren_depth;
  const std::size_t content_start = e.bracket_end + 1;
  auto paren = paren_content(text_, content_start, depth);
  if (!paren) return inline_data::None{};
  auto parsed = parse_link_destination_title(paren->content, depth);
  if (!parsed) return inline_data::None{};
  inline_data::Link link;
  if (auto dest = destination_in(paren->content, depth))
    link.url_span = ByteRange{content_start + dest->begin, content_start + dest->end};
  link.url = std::move(parsed->destination);
  link.title = std::move(parsed->title);
  if (e.is_image) link.alt = alts_.alt_of(e);
  return link;
}

InlineData InlineDataReader::reference_link(const InlineEvent& e) {
  const std::size_t text_start = e.start + (e.is_image ? 2 : 1);
  if (e.bracket_end < text_start + 1 || e.bracket_end > text_.size()) return inline_data::None{};
  std::string_view label = text_.substr(text_start, e.bracket_end - 1 - text_start);
  const auto written = attrs::scan_link_label(text_.substr(e.bracket_end));
  if (written && !written->label.empty()) label = written->label;
  if (label.size() > kMaxLabelBytes) return inline_data::None{};
  const auto def = ctx_.links.find(attrs::normalize_label(label));
  if (def == ctx_.links.end()) return inline_data::None{};
  inline_data::Link link;
  link.url = def->second.destination;
  link.title = def->second.title;
  link.reference = true;
  if (e.is_image) link.alt = alts_.alt_of(e);
  return link;
}

InlineData InlineDataReader::autolink(const InlineEvent& e) {
  auto match = angle_or_html(text_, e.start, &angles_);
  if (!match) match = bare_autolink(text_, e.start, &autolinks_);
  if (!match) return inline_data::None{};
  const auto* link = match->inline_.get_if<Inline::Autolink>();
  if (!link) return inline_data::None{};
  return inline_data::Autolink{link->url};
}

InlineData InlineDataReader::xref(const InlineEvent& e) {
  inline_data::Xref data;
  if (e.end >= e.start + 2) {
    const std::string_view items = text_.substr(e.start + 1, e.end - e.start - 2);
    const bool single = items.find(';') == std::string_view::npos;
    for (std::size_t b = 0;;) {
      const std::size_t semi = items.find(';', b);
      auto seg = ref_seg_info(items.substr(b, semi == std::string_view::npos ? semi : semi - b), single);
      if (!seg) {
        data.refs.clear();
        break;
      }
      data.refs.push_back(std::move(*seg));
      if (semi == std::string_view::npos) break;
      b = semi + 1;
    }
  }
  if (auto group = trailing_attr_at(text_, e.end, &braces_, true)) {
    for (const auto& [key, value] : group->attr.pairs()) {
      if (key == "ref") {
        data.tokens = value;
        break;
      }
    }
  }
  return data;
}

InlineData InlineDataReader::footnote(const InlineEvent& e) {
  auto match = footnote_ref(text_, e.start, ctx_.footnotes);
  if (!match) return inline_data::None{};
  return inline_data::Footnote{std::move(match->inline_.get_if<Inline::FootnoteRef>()->label)};
}

InlineData InlineDataReader::attrs(const InlineEvent& e) {
  std::optional<inline_data::Attrs> data;
  for (std::size_t p = e.start; p < e.end;) {
    auto group = trailing_attr_at(text_, p, &braces_, true);
    if (!group || p + group->consumed > e.end) break;
    if (!data) data.emplace();
    if (group->attr.id()) data->id = std::move(group->attr.id_mut());
    p += group->consumed;
  }
  if (!data) return inline_data::None{};
  return std::move(*data);
}

InlineData InlineDataReader::template_token(const InlineEvent& e) {
  auto token = templates::token_at(text_, e.start, ctx_.options.templates, false, template_closes_);
  if (!token) return inline_data::None{};
  return inline_data::Template{std::move(token->syntax), std::move(token->body),
                               std::move(token->name), token->kind};
}

InlineData InlineDataReader::math(const InlineEvent& e) const {
  const std::string_view construct = text_.substr(e.start, e.end - e.start);
  const std::string_view delimiter = math_delimiter(construct);
  std::string_view tex;
  if (construct.size() >= 2 * delimiter.size())
    tex = construct.substr(delimiter.size(), construct.size() - 2 * delimiter.size());
  if (delimiter == "$$") tex = unicode::trim(tex);
  return inline_data::Math{std::string(tex), delimiter};
}

InlineData InlineDataReader::raw(const InlineEvent& e) {
  auto span = code_span(text_, e.start, &backticks_);
  if (!span) return inline_data::None{};
  auto format = attrs::raw_attr(text_.substr(span->end));
  if (!format) return inline_data::None{};
  return inline_data::Raw{std::string(format->format),
                          std::move(span->code.get_if<Inline::Code>()->text)};
}

}  // namespace vedavi::inl
