// seeds: words
// The numbering and cross-reference services, driven by the input's lines: reference tokens and
// variants, target kinds, group plans, heading-number schemes and counters, and a registry of
// targets asked for every reference. Results are valid UTF-8; failures are messages, never
// crashes.
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "resolve/heading_nums.h"
#include "resolve/resolve.h"

using namespace vedavi;

namespace {

void token_services(const std::vector<std::string_view>& lines) {
  for (std::string_view line : lines) {
    const Outcome<RefTokens> tokens = ref_tokens(line);
    if (tokens) fuzz::require(!ref_variant(tokens.value()).empty(), "every token set has a variant");
    else fuzz::require_utf8(tokens.message(), "token messages are valid UTF-8");
    (void)target_kind(line);
  }
  fuzz::require(group_plan(lines).size() == lines.size(), "one group entry per reference");
}

void heading_numbers(const std::vector<std::string_view>& lines, std::uint8_t knobs) {
  std::vector<LevelSpec> levels;
  for (std::size_t i = 0; i + 1 < lines.size() && levels.size() < 9; i += 2) {
    levels.emplace_back(std::string(lines[i]), std::string(lines[i + 1]));
  }
  Outcome<HeadingNums> nums = HeadingNums::create(levels);
  if (!nums) {
    fuzz::require_utf8(nums.message(), "scheme messages are valid UTF-8");
    return;
  }
  for (std::size_t step = 0; step < 40; ++step) {
    const std::size_t level = (step * 7 + knobs) % (nums.value().level_count() + 2);
    if (!nums.value().check_level(level)) nums.value().advance(level);
    fuzz::require_utf8(nums.value().display(level), "heading numbers are valid UTF-8");
    fuzz::require_utf8(nums.value().full(level), "full heading numbers are valid UTF-8");
  }
}

void registry(const std::vector<std::string_view>& lines, std::uint8_t knobs) {
  Resolver resolver;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view id = lines[i];
    const std::string_view next = lines[(i + 1) % lines.size()];
    resolver.register_target(id, (i + knobs) % 3 ? std::optional(next) : std::nullopt, next);
    if (i % 2) resolver.set_headnum(id, std::string(next), std::string(id));
    if (i % 3 == 0) resolver.set_capnum(id, std::string(next), std::uint32_t(i));
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Outcome<RefTokens> tokens = ref_tokens(lines[(i + knobs) % lines.size()]);
    const RefTokens chosen = tokens ? tokens.value() : RefTokens{};
    const Outcome<std::string> core = resolver.core(lines[i], chosen);
    fuzz::require_utf8(core ? core.value() : core.message(), "reference texts are valid UTF-8");
    const Outcome<std::string> prefix = resolver.prefix("own", lines[i], chosen, i % 2 != 0);
    fuzz::require_utf8(prefix ? prefix.value() : prefix.message(), "prefixes are valid UTF-8");
  }
}

}  // namespace

VEDAVI_FUZZ_TARGET(input) {
  const std::vector<std::string_view> lines = fuzz::lines_of(input.text, true);
  token_services(lines);
  heading_numbers(lines, input.knobs);
  registry(lines, input.knobs);
}
