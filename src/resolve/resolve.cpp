// Cross-references: token parsing, target kinds, reference groups and the target registry.
#include "resolve/resolve.h"

#include <algorithm>
#include <array>

#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi {

namespace {

constexpr std::array<std::string_view, 5> kTokenNames = {"page", "text", "leaf", "rel", "bare"};
constexpr RefToken kVariantTokens[] = {RefToken::Page, RefToken::Text, RefToken::Leaf,
                                       RefToken::Rel};

[[gnu::cold]] Failure target_not_found(std::string_view target) {
  return {"cross-reference target #" + std::string(target) +
          " not found (targets are headings, paragraphs, figures, tables, spans, and definition "
          "terms with ids)"};
}

[[gnu::cold]] Failure missing_number(std::string_view target) {
  return {"cross-reference #" + std::string(target) +
          " needs a number its target does not have; pass number_headings or use {ref=text}"};
}

// A caller of the registry may resolve a reference before recording what it needs (the
// exporter never does); these say which record is missing.
[[gnu::cold]] Failure missing_text(std::string_view target) {
  return {"cross-reference #" + std::string(target) + " needs a text its target does not have"};
}

[[gnu::cold]] Failure missing_caption_number(std::string_view target) {
  return {"cross-reference #" + std::string(target) +
          " needs a caption number its target does not have"};
}

[[gnu::cold]] Failure unknown_reference_type(std::string_view type) {
  return {"unknown reference type '" + std::string(type) +
          "'; pass reftypes= to define its prefix"};
}

// Calls `on_word` with each maximal run of characters that are not Unicode white space.
template <class OnWord>
void for_each_word(std::string_view s, OnWord on_word) {
  std::size_t word_begin = std::string_view::npos;
  for (std::size_t pos = 0; pos < s.size();) {
    const unsigned char byte = static_cast<unsigned char>(s[pos]);
    bool is_space;
    std::size_t len = 1;
    if (byte < 0x80) {
      is_space = unicode::is_white_space(byte);
    } else {
      const utf8::Decoded d = utf8::decode(s, pos);
      is_space = d.valid && unicode::is_white_space(d.cp);
      len = d.len;
    }
    if (is_space) {
      if (word_begin != std::string_view::npos) on_word(s.substr(word_begin, pos - word_begin));
      word_begin = std::string_view::npos;
    } else if (word_begin == std::string_view::npos) {
      word_begin = pos;
    }
    pos += len;
  }
  if (word_begin != std::string_view::npos) on_word(s.substr(word_begin));
}

}  // namespace

std::string_view ref_token_name(RefToken token) {
  return kTokenNames[static_cast<std::size_t>(token)];
}

std::optional<RefToken> ref_token_named(std::string_view word) {
  for (std::size_t i = 0; i < kTokenNames.size(); ++i) {
    if (kTokenNames[i] == word) return static_cast<RefToken>(i);
  }
  return std::nullopt;
}

Outcome<RefTokens> ref_tokens(std::optional<std::string_view> value) {
  RefTokens tokens;
  std::vector<std::string_view> unknown;
  for_each_word(value.value_or(std::string_view{}), [&](std::string_view word) {
    if (const auto token = ref_token_named(word)) {
      tokens.insert(*token);
    } else {
      unknown.push_back(word);
    }
  });
  if (!unknown.empty()) {
    std::sort(unknown.begin(), unknown.end());
    unknown.erase(std::unique(unknown.begin(), unknown.end()), unknown.end());
    return Failure{"unknown data-ref tokens: " + quoted_list(std::move(unknown))};
  }
  std::vector<std::string_view> variants;
  for (const RefToken token : kVariantTokens) {
    if (tokens.contains(token)) variants.push_back(ref_token_name(token));
  }
  if (variants.size() > 1) {
    return Failure{"conflicting data-ref tokens: " + quoted_list(std::move(variants))};
  }
  return tokens;
}

std::string_view ref_variant(RefTokens tokens) {
  for (const RefToken token : kVariantTokens) {
    if (tokens.contains(token)) return ref_token_name(token);
  }
  return "full";
}

std::optional<std::string_view> target_kind(std::string_view element_name) {
  static constexpr std::pair<std::string_view, std::string_view> kKinds[] = {
      {"p", "block"},        {"h1", "block"},       {"h2", "block"},  {"h3", "block"},
      {"h4", "block"},       {"h5", "block"},       {"h6", "block"},  {"table", "caption"},
      {"figure", "caption"}, {"span", "text"},      {"header", "text"}, {"dt", "text"},
      {"summary", "text"}};
  for (const auto& [name, kind] : kKinds) {
    if (name == element_name) return kind;
  }
  return std::nullopt;
}

std::vector<GroupEntry> group_plan(const std::vector<std::string_view>& keys) {
  std::vector<GroupEntry> plan;
  const std::size_t n = keys.size();
  if (n == 0) return plan;
  // One distinct key exactly when every key equals the first.
  const bool mixed =
      std::any_of(keys.begin() + 1, keys.end(), [&](std::string_view key) { return key != keys[0]; });
  const bool plural = !mixed && n > 1;
  plan.reserve(n);
  plan.push_back({"", true, plural});
  for (std::size_t i = 1; i < n; ++i) {
    plan.push_back({i + 1 == n ? " and " : ", ", mixed, plural});
  }
  return plan;
}

std::string quoted_list(std::vector<std::string_view> words) {
  std::sort(words.begin(), words.end());
  std::string out = "[";
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) out += ", ";
    out += '\'';
    out += words[i];
    out += '\'';
  }
  out += ']';
  return out;
}

std::string_view reference_type(std::string_view target_id) {
  return target_id.substr(0, target_id.find('-'));
}

const std::vector<std::pair<std::string_view, RefTypeWords>>& default_reftypes() {
  static const std::vector<std::pair<std::string_view, RefTypeWords>> defaults = {
      {"sec", {"Section", "Sections"}}, {"fig", {"Figure", "Figures"}}, {"tbl", {"Table", "Tables"}}};
  return defaults;
}

Resolver::Resolver(const std::vector<std::pair<std::string, RefTypeWords>>& reftypes) {
  for (const auto& [type, words] : default_reftypes()) reftypes_.insert_or_assign(std::string(type), words);
  for (const auto& [type, words] : reftypes) reftypes_.insert_or_assign(type, words);
}

void Resolver::register_target(std::string_view id, std::optional<std::string_view> kind,
                               std::optional<std::string_view> text) {
  if (kind) kinds_.insert_or_assign(std::string(id), std::string(*kind));
  if (text) idtext_.insert_or_assign(std::string(id), std::string(*text));
}

void Resolver::set_headnum(std::string_view id, std::string display, std::string full) {
  headnums_.insert_or_assign(std::string(id), HeadNum{std::move(display), std::move(full)});
}

void Resolver::set_capnum(std::string_view id, std::string label, std::uint32_t n) {
  capnums_.insert_or_assign(std::string(id), CapNum{std::move(label), n});
}

const std::string* Resolver::kind_of(std::string_view target) const {
  const auto it = kinds_.find(target);
  return it == kinds_.end() ? nullptr : &it->second;
}

std::optional<Failure> Resolver::check(std::string_view target) const {
  if (kind_of(target)) return std::nullopt;
  return target_not_found(target);
}

Outcome<std::string> Resolver::prefix(std::string_view own_text, std::string_view target,
                                      RefTokens tokens, bool plural) const {
  if (!own_text.empty()) return std::string(own_text) + ' ';
  if (tokens.contains(RefToken::Bare)) return std::string();
  if (const std::string* kind = kind_of(target); kind && (*kind == "caption" || *kind == "text")) {
    return std::string();
  }
  const std::string_view type = reference_type(target);
  const auto it = reftypes_.find(type);
  if (it == reftypes_.end()) return unknown_reference_type(type);
  return (plural ? it->second.plural : it->second.singular) + ' ';
}

Outcome<std::string> Resolver::core(std::string_view target, RefTokens tokens) const {
  const std::string_view variant = ref_variant(tokens);
  const std::string* kind = kind_of(target);
  if (variant == "text" || (variant == "full" && kind && *kind == "text")) {
    const auto it = idtext_.find(target);
    if (it == idtext_.end()) return missing_text(target);
    return it->second;
  }
  if (kind && *kind == "caption") {
    const auto it = capnums_.find(target);
    if (it == capnums_.end()) return missing_caption_number(target);
    const CapNum& capnum = it->second;
    std::string number = std::to_string(capnum.n);
    if (tokens.contains(RefToken::Bare) || variant == "leaf" || variant == "rel") return number;
    return capnum.label + ' ' + number;
  }
  const auto it = headnums_.find(target);
  if (it == headnums_.end()) return missing_number(target);
  std::string number = variant == "leaf" ? it->second.display : it->second.full;
  if (!number.empty() && number.back() == '.') number.pop_back();
  return number;
}

}  // namespace vedavi
