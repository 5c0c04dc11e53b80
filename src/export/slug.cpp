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

void SlugSeries::reserve(std::size_t ids) {
  ids_.reserve(ids);
  resume_at_.reserve(ids);
  std::size_t slot_count = 16;
  while (slot_count < ids * 2) slot_count *= 2;
  if (slot_count > slots_.size()) rehash(slot_count);
}

void SlugSeries::rehash(std::size_t slot_count) {
  std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(slot_count));
  const std::size_t mask = slot_count - 1;
  for (const Slot& slot : old) {
    if (slot.index == kEmpty) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].index != kEmpty) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

std::pair<std::size_t, bool> SlugSeries::find_or_add(std::string_view id) {
  if ((ids_.size() + 1) * 2 > slots_.size()) rehash(slots_.empty() ? 16 : slots_.size() * 2);
  const std::size_t hash = hash_(id);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  for (; slots_[i].index != kEmpty; i = (i + 1) & mask) {
    if (slots_[i].hash == hash && ids_[slots_[i].index] == id) return {slots_[i].index, false};
  }
  slots_[i] = Slot{hash, ids_.size()};
  ids_.emplace_back(id);
  resume_at_.push_back(0);
  return {ids_.size() - 1, true};
}

std::string SlugSeries::next(const std::string& slug) {
  const auto [index, is_new] = find_or_add(slug);
  if (is_new) return slug;
  // Taken: slug-n from where the last series of this slug stopped.
  std::size_t n = resume_at_[index];
  std::string candidate;
  do {
    ++n;
    candidate = slug + "-" + std::to_string(n);
  } while (!find_or_add(candidate).second);
  resume_at_[index] = n;
  return candidate;
}

}  // namespace vedavi::exporter
