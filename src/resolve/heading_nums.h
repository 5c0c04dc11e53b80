// Heading numbering: numbering schemes in the lvlText/numFmt vocabulary of Office Open XML
// numbering definitions, and the per-level counters that turn them into heading numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/outcome.h"

namespace vedavi {

enum class NumFormat : std::uint8_t { Decimal, LowerLetter, UpperLetter, LowerRoman, UpperRoman };

// The numFmt name of a format ("lowerRoman"), and the format of an exact (case-sensitive) name.
std::string_view num_format_name(NumFormat format);
std::optional<NumFormat> num_format_named(std::string_view name);

// Appends counter `n` written in `format`. Letter formats and Roman numerals of 0 are empty.
void append_formatted(std::uint32_t n, NumFormat format, std::string& out);

struct NumberingLevel {
  std::string lvl_text;  // "%2.%3.": "%" and a digit d stand for the counter of level d (1-based)
  NumFormat num_fmt;
};

// A (lvlText, numFmt) pair as callers spell a level.
using LevelSpec = std::pair<std::string, std::string>;

class HeadingNums {
 public:
  // Checks each level in order, its numFmt before its lvlText, and reports the first problem.
  static Outcome<HeadingNums> create(const std::vector<LevelSpec>& levels);
  // The built-in scheme "decimal" or "legal".
  static Outcome<HeadingNums> named(std::string_view name);

  std::size_t level_count() const { return levels_.size(); }
  const std::vector<NumberingLevel>& levels() const { return levels_; }
  const std::vector<std::uint32_t>& counters() const { return counters_; }

  // Counts a heading of level index `level`: its counter grows by one and every deeper counter
  // restarts at 0. A level beyond the scheme is not counted; returns whether it was.
  bool advance(std::size_t level);

  // The number shown at a heading of level index `level`; a reference to a level the scheme
  // lacks ("%0", or "%9" hidden behind "%%") shows as nothing. Empty beyond the scheme: callers
  // that take the level from outside check it with `check_level` first.
  std::string display(std::size_t level) const;
  // The display of `level` when its lvlText already holds the context ("%2"), else the displays
  // of every level from the first down to `level`, concatenated.
  std::string full(std::size_t level) const;

  // Nothing for a level inside the scheme, else the message that names the level.
  std::optional<Failure> check_level(std::size_t level) const;

 private:
  explicit HeadingNums(std::vector<NumberingLevel> levels)
      : levels_(std::move(levels)), counters_(levels_.size(), 0) {}

  void append_display(std::size_t level, std::string& out) const;

  std::vector<NumberingLevel> levels_;
  std::vector<std::uint32_t> counters_;
};

// The built-in schemes in order, "decimal" first, each as its (lvlText, numFmt) levels.
struct NamedScheme {
  std::string_view name;
  std::vector<LevelSpec> levels;
};
const std::vector<NamedScheme>& schemes();

}  // namespace vedavi
