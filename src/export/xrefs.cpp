// Steps 6 and 7: cross-reference groups and single links are found, then, by mode, rewritten to
// point at their target id or resolved into numbered text.
#include <unordered_set>

#include "export/exporter.h"

namespace vedavi::exporter {
namespace {

// The reference type a grouped link is planned by: its href after the first byte ("#" when it
// has none), cut before the first '-'.
std::string_view group_key(const Dom& dom, NodeId link) {
  const std::string_view href = dom.attr(link, "href").value_or("#");
  return reference_type(href.empty() ? href : href.substr(1));
}

// Appends `text` to `out` as a new text node unless it is empty.
void collect_text(Dom& dom, std::string_view text, std::vector<NodeId>& out) {
  if (!text.empty()) out.push_back(dom.create_text(text));
}

}  // namespace

void Exporter::find_refs() {
  std::unordered_set<NodeId> grouped;
  for (const NodeId element : elements_) {
    if (!dom_.attr(element, "data-refs")) continue;
    groups_.push_back(element);
    std::vector<NodeId>& links = group_links_.emplace_back();
    for (const NodeId child : dom_.node(element).children) {
      if (dom_.is_tag(child, "a")) links.push_back(child);
    }
    grouped.insert(links.begin(), links.end());
  }
  for (const NodeId element : elements_) {
    if (dom_.is_tag(element, "a") && dom_.attr(element, "data-ref") && !grouped.contains(element)) {
      singles_.push_back(element);
    }
  }
}

std::optional<Failure> Exporter::rewrite_refs() {
  if (options_.refs != RefsMode::Ids) return resolve_refs();
  // Nothing is looked up, so no reference needs a number: only a scheme given numbers headings.
  if (auto failure = number_headings({})) return failure;
  bake_ids();
  return std::nullopt;
}

void Exporter::bake_ids() {
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    const std::vector<NodeId>& links = group_links_[g];
    const std::vector<std::string_view> keys(links.size());
    const std::vector<GroupEntry> plan = group_plan(keys);
    std::vector<NodeId> collected;
    for (std::size_t i = 0; i < links.size() && i < plan.size(); ++i) {
      collect_text(dom_, plan[i].separator, collected);
      bake_id(links[i]);
      collected.push_back(links[i]);
    }
    replace_group_children(groups_[g], collected);
  }
  for (const NodeId link : singles_) bake_id(link);
}

std::optional<Failure> Exporter::resolve_refs() {
  const bool is_strict = options_.refs == RefsMode::Strict;
  std::vector<ParsedRef> parsed;
  const auto check = [&](NodeId link) -> std::optional<Failure> {
    Outcome<ParsedRef> ref = parse_ref(link);
    if (ref) {
      parsed.push_back(std::move(ref).value());
    } else if (is_strict) {
      return Failure{ref.message()};
    }
    return std::nullopt;
  };
  for (const std::vector<NodeId>& links : group_links_) {
    for (const NodeId link : links) {
      if (auto failure = check(link)) return failure;
    }
  }
  for (const NodeId link : singles_) {
    if (auto failure = check(link)) return failure;
  }
  if (auto failure = number_headings(parsed)) return failure;
  number_captions();

  // A reference that does not resolve ends a strict export; a lenient one keeps its link,
  // pointed at the target id, and warns.
  const auto resolve = [&](NodeId link, bool show_prefix, bool plural,
                           std::vector<NodeId>* collected) -> std::optional<Failure> {
    auto resolved = resolve_ref(link, show_prefix, plural);
    if (!resolved) {
      if (is_strict) return Failure{resolved.message()};
      warnings_.push_back(resolved.message());
      bake_id(link);
      return std::nullopt;
    }
    auto& [prefix, core] = resolved.value();
    if (collected == nullptr) {
      set_ref(link, prefix + core);
    } else {
      set_ref(link, core);
      collect_text(dom_, prefix, *collected);
    }
    return std::nullopt;
  };
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    const std::vector<NodeId>& links = group_links_[g];
    std::vector<std::string_view> keys;
    keys.reserve(links.size());
    for (const NodeId link : links) keys.push_back(group_key(dom_, link));
    const std::vector<GroupEntry> plan = group_plan(keys);
    std::vector<NodeId> collected;
    for (std::size_t i = 0; i < links.size() && i < plan.size(); ++i) {
      collect_text(dom_, plan[i].separator, collected);
      if (auto failure = resolve(links[i], plan[i].show_prefix, plan[i].plural, &collected)) {
        return failure;
      }
      collected.push_back(links[i]);
    }
    replace_group_children(groups_[g], collected);
  }
  for (const NodeId link : singles_) {
    if (auto failure = resolve(link, true, false, nullptr)) return failure;
  }
  return std::nullopt;
}

Outcome<ParsedRef> Exporter::parse_ref(NodeId link) const {
  ParsedRef ref{std::string(link_target(dom_, link)), {}};
  Outcome<RefTokens> tokens = ref_tokens(dom_.attr(link, "data-ref"));
  if (!tokens) return Failure{tokens.message()};
  ref.tokens = tokens.value();
  if (auto failure = resolver_.check(ref.target)) return std::move(*failure);
  return ref;
}

Outcome<std::pair<std::string, std::string>> Exporter::resolve_ref(NodeId link, bool show_prefix,
                                                                  bool plural) const {
  Outcome<ParsedRef> ref = parse_ref(link);
  if (!ref) return Failure{ref.message()};
  std::string prefix;
  if (show_prefix) {
    const std::string own = norm_text(dom_, link);
    Outcome<std::string> words = resolver_.prefix(own, ref.value().target, ref.value().tokens, plural);
    if (!words) return Failure{words.message()};
    prefix = std::move(words).value();
  }
  Outcome<std::string> core = resolver_.core(ref.value().target, ref.value().tokens);
  if (!core) return Failure{core.message()};
  return std::pair(std::move(prefix), std::move(core).value());
}

void Exporter::set_ref(NodeId link, std::string_view text) {
  dom_.clear_children(link);
  must(dom_.insert_before(link, dom_.create_text(text)));
  must(dom_.remove_attr(link, "data-ref"));
}

void Exporter::bake_id(NodeId link) {
  const std::string target(link_target(dom_, link));
  const std::string own = norm_text(dom_, link);
  dom_.clear_children(link);
  must(dom_.insert_before(link, dom_.create_text(own.empty() ? target : own + " " + target)));
  must(dom_.set_attr(link, "href", "#" + options_.id_prefix + target));
  must(dom_.set_attr(link, "class", "xref"));
  must(dom_.remove_attr(link, "data-ref"));
}

void Exporter::replace_group_children(NodeId group, const std::vector<NodeId>& collected) {
  must(dom_.remove_attr(group, "data-refs"));
  dom_.clear_children(group);
  for (const NodeId node : collected) must(dom_.insert_before(group, node));
}

}  // namespace vedavi::exporter
