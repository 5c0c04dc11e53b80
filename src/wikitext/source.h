// The text a conversion scans, with memoised searches: the next occurrence of a needle, the
// closer that balances a "{{", "{{{" or "[[", and the closer of a nested inline tag. Every
// answer is remembered by position, so retrying a failed search at each of many unclosed
// openers costs nothing after the first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vedavi::wikitext {

// Byte range [begin, end) of a Source's text.
struct Range {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t size() const { return end - begin; }
  bool empty() const { return begin >= end; }
};

// Just past the closing tag "</name>" that starts at `pos`: ASCII case ignored, and white space
// allowed before its ">" as HTML allows. None when no such closer starts there.
std::optional<std::size_t> closing_tag_end(std::string_view text, std::size_t pos,
                                           std::string_view name);
// The first such closer at or after `from`.
std::optional<Range> find_closing_tag(std::string_view text, std::string_view name,
                                      std::size_t from = 0);

// Fixed search targets; the last three are closing tags, matched by `closing_tag_end`.
enum class Needle : std::uint8_t {
  Gt, CommentOpen, CommentEnd, CloseBracket, Quote2, Quote3, Quote5, RefClose, MathClose,
  NowikiClose,
};
inline constexpr std::size_t kNeedleCount = 10;
std::string_view needle_text(Needle needle);

// The nesting constructs whose closers are found by balancing.
enum class Brace : std::uint8_t { Template = 0, Parameter = 1, Link = 2 };  // {{ {{{ [[
// The inline tags whose content runs to a balanced closer.
enum class NestTag : std::uint8_t { Span = 0, Small = 1, Sup = 2, Sub = 3 };

class Source {
 public:
  explicit Source(std::string_view text)
      : text_(text),
        brace_matches_(3, MatchMap(text.size() + 1)),
        tag_matches_(4, MatchMap(text.size() + 1)) {}
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;

  std::string_view text() const { return text_; }
  std::size_t size() const { return text_.size(); }
  std::string_view slice(Range range) const {
    return text_.substr(range.begin, range.end - range.begin);
  }
  bool starts_with(std::size_t pos, std::size_t limit, std::string_view prefix) const;
  // Same, ASCII case ignored.
  bool starts_with_fold(std::size_t pos, std::size_t limit, std::string_view prefix) const;

  // The first offset at or after `from` where the needle lies wholly before `limit`.
  std::optional<std::size_t> find(Needle needle, std::size_t from, std::size_t limit) {
    const auto found = find_range(needle, from, limit);
    if (!found) return std::nullopt;
    return found->begin;
  }
  // The same occurrence as a range: a closing tag may hold white space before its ">".
  std::optional<Range> find_range(Needle needle, std::size_t from, std::size_t limit);

  // Where the closer of `brace` starts when the construct's inside begins at `inside` and the
  // text ends at `limit`. Inside, each "{{{", "{{" and "[[" opens a construct of its own that
  // must close first; a closer that does not match the innermost open construct is text.
  std::optional<std::size_t> balanced(std::size_t inside, std::size_t limit, Brace brace);
  // The opener at `pos`, tested "{{{", "{{", "[[" in that order.
  std::optional<Brace> brace_at(std::size_t pos, std::size_t limit) const;
  // The first `separator` in the range outside every nested construct.
  std::optional<std::size_t> find_top(Range range, std::string_view separator);
  // The range cut at every such separator; always at least one piece.
  std::vector<Range> split_top(Range range, std::string_view separator);

  // The "</name>" that closes a tag whose content begins at `inside`: nested "<name" openers
  // (followed by white space, "/" or ">") each need their own closer first.
  std::optional<Range> tag_closer(NestTag tag, std::size_t inside, std::size_t limit);

 private:
  struct Found {
    std::size_t from = SIZE_MAX;  // the search that filled this started here
    std::size_t at = 0;           // first occurrence at or after `from`; SIZE_MAX for none
    std::size_t end = 0;          // just past it
  };
  // What a balancing scan learnt about one inside position: where its closer starts and ends,
  // or that none comes before `horizon`.
  struct Match {
    std::size_t closer = SIZE_MAX;
    std::size_t horizon = 0;  // just past the closer when there is one
  };
  struct Open {
    std::uint8_t kind;
    std::size_t inside;
  };
  // Inside position -> Match: the memo is read at every opener of every scan. Open addressing
  // while few positions are known; once the table would take more memory than one entry per
  // position of the text, a plain array indexed by position, which long runs of openers fill
  // in order and read in order.
  class MatchMap {
   public:
    explicit MatchMap(std::size_t key_limit) : key_limit_(key_limit) {}
    std::optional<Match> get(std::size_t inside) const;
    void set(std::size_t inside, Match match);

   private:
    // A Match in half the room; texts of 4 GiB and more keep the table.
    struct Packed {
      std::uint32_t closer = UINT32_MAX;
      std::uint32_t horizon = 0;
    };
    void grow();
    std::size_t key_limit_;  // every key is below it
    std::vector<std::pair<std::size_t, Match>> slots_;  // key SIZE_MAX: empty
    std::size_t used_ = 0;
    std::vector<Packed> by_position_;  // once not empty, it holds every entry
  };
  // A memoised answer for this inside position under `limit`: the closer or none (inner
  // optional); nothing when it must still be scanned.
  static std::optional<std::optional<Range>> recall(const MatchMap& map, std::size_t inside,
                                                   std::size_t limit);
  void fail_open(std::vector<MatchMap>& maps, std::size_t limit);
  std::optional<Range> scan_next(Needle needle, std::size_t from, std::size_t stop) const;

  std::string_view text_;
  std::array<Found, kNeedleCount> found_{};
  std::vector<MatchMap> brace_matches_;
  std::vector<MatchMap> tag_matches_;
  std::vector<Open> open_;  // the scan stack, kept to save allocations
};

}  // namespace vedavi::wikitext

namespace vedavi::wikitext {

// Texts made during a conversion (a template head without its comments, a block quote's
// paragraphs), each with its own Source; they live as long as the pool.
class SourcePool {
 public:
  Source& add(std::string text);

 private:
  struct Owned {
    explicit Owned(std::string owned) : text(std::move(owned)), source(text) {}
    std::string text;
    Source source;
  };
  std::vector<std::unique_ptr<Owned>> owned_;
};

// The range without the Unicode white space at its ends.
Range trim_range(const Source& source, Range range);

}  // namespace vedavi::wikitext
