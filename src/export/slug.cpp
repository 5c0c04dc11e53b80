// Slugs for generated heading ids.
#include "export/slug.h"

#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::exporter {

std::string default_slug(std::string_view folded_text) {
  const std::string lower = unicode::to_lowercase(unicode::trim(folded_text));
  std::string out;
  bool seen_alphabetic = false;
  for (std::size_t pos = 0; pos < lower.size();) {
    const utf8::Decoded c = utf8::decode(lower, pos);
    const std::string_view bytes = std::string_view(lower).substr(pos, c.len);
    pos += c.len;
    const bool is_alphabetic = unicode::is_alphabetic(c.cp);
    seen_alphabetic = seen_alphabetic || is_alphabetic;
    if (!seen_alphabetic) continue;  // leading digits and punctuation go
    if (unicode::is_alphanumeric(c.cp) || c.cp == '-' || c.cp == '.' || c.cp == '_') {
      out += bytes;
    } else if (unicode::is_white_space(c.cp)) {
      out += '-';
    }
  }
  return out.empty() ? std::string("section") : out;
}

std::string gh_slug(std::string_view text) {
  const std::string lower = unicode::to_lowercase(text);
  std::string out;
  for (std::size_t pos = 0; pos < lower.size();) {
    const utf8::Decoded c = utf8::decode(lower, pos);
    const std::string_view bytes = std::string_view(lower).substr(pos, c.len);
    pos += c.len;
    if (c.cp == ' ') {
      out += '-';
    } else if (c.cp == '-' || c.cp == '_' || c.cp == 0x200D || unicode::is_letter(c.cp) ||
               unicode::is_mark(c.cp) || unicode::is_number(c.cp)) {
      out += bytes;
    }
  }
  return out;
}

std::string SlugSeries::next(const std::string& slug) {
  auto [resume, is_new] = resume_at_.try_emplace(slug, 0);
  std::size_t n = resume->second;
  std::string candidate = n == 0 ? slug : slug + "-" + std::to_string(n);
  while (taken_.contains(candidate)) {
    ++n;
    candidate = slug + "-" + std::to_string(n);
  }
  resume->second = n;
  taken_.insert(candidate);
  return candidate;
}

}  // namespace vedavi::exporter
