// Link labels and link reference definitions.
#include "model/link_ref.h"

#include <array>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "model/line.h"
#include "text/entity.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi {
namespace {

// The character starting at byte `i`: an ASCII byte is a whole character, so only the others
// are decoded.
utf8::Decoded char_at(std::string_view text, std::size_t i) {
  const auto b = static_cast<unsigned char>(text[i]);
  if (b < 0x80) return utf8::Decoded{b, 1, true};
  return utf8::decode(text, i);
}

bool starts_with_white_space(std::string_view text) {
  return !text.empty() && line::is_white_space(char_at(text, 0).cp);
}

// Printable ASCII other than a backslash or a bracket: in a label such a byte is one non-blank
// character and nothing more.
constexpr std::array<bool, 256> kPlainLabelByte = [] {
  std::array<bool, 256> table{};
  for (int b = 0x21; b < 0x80; ++b) table[static_cast<std::size_t>(b)] = b != '\\' && b != '[' && b != ']';
  return table;
}();
bool is_plain_label_byte(char c) { return kPlainLabelByte[static_cast<unsigned char>(c)]; }

// What `valid_link_label` checks (brackets, length, blankness), read in the same pass that reads
// the label, so a label is never copied for it.
class LabelCheck {
 public:
  enum class Step { Continue, Close, Fail };

  // Reads from `pos` on (`pos < text.size()`): a run of plain bytes at once, else one character;
  // moves `pos` past what it read (the closing bracket included).
  Step read(std::string_view text, std::size_t& pos) {
    std::size_t end = pos;
    if (!escaped_) {
      while (end < text.size() && is_plain_label_byte(text[end])) ++end;
    }
    if (end == pos) {
      const utf8::Decoded d = char_at(text, pos);
      pos += d.len;
      return feed(d.cp);
    }
    chars_ += end - pos;
    pos = end;
    blank_ = false;
    return chars_ > attrs::kMaxLabelChars ? Step::Fail : Step::Continue;
  }
  // A line feed joining two lines of a label; it takes any pending escape.
  bool feed_line_break() {
    escaped_ = false;
    return ++chars_ <= attrs::kMaxLabelChars;
  }
  bool blank() const { return blank_; }

 private:
  Step feed(char32_t cp) {
    if (escaped_) {
      escaped_ = false;
      if (!line::is_white_space(cp)) blank_ = false;
    } else if (cp == '\\') {
      escaped_ = true;
      blank_ = false;
    } else if (cp == '[') {
      return Step::Fail;
    } else if (cp == ']') {
      return Step::Close;
    } else if (!line::is_white_space(cp)) {
      blank_ = false;
    }
    return ++chars_ > attrs::kMaxLabelChars ? Step::Fail : Step::Continue;
  }

  std::size_t chars_ = 0;
  bool escaped_ = false;
  bool blank_ = true;
};

// Each printable ASCII byte or space lowered; 0 for any other byte. The bracket-free table also
// has 0 for "[", "]" and "\\".
constexpr std::array<char, 256> printable_lower_table(bool bracket_free) {
  std::array<char, 256> table{};
  for (int b = 0x20; b <= 0x7E; ++b)
    if (!bracket_free || (b != '\\' && b != '[' && b != ']'))
      table[static_cast<std::size_t>(b)] = static_cast<char>(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
  return table;
}
constexpr std::array<char, 256> kPrintableLower = printable_lower_table(false);
constexpr std::array<char, 256> kBracketFreeLower = printable_lower_table(true);

}  // namespace

bool attrs::plain_label_key(std::string_view label, std::string& key, bool bracket_free) {
  if (label.empty() || label.front() == ' ' || label.back() == ' ') return false;
  const std::array<char, 256>& lower = bracket_free ? kBracketFreeLower : kPrintableLower;
  key.resize(label.size());
  char previous = 'a';
  for (std::size_t i = 0; i < label.size(); ++i) {
    const char lowered = lower[static_cast<unsigned char>(label[i])];
    if (lowered == 0 || (lowered == ' ' && previous == ' ')) return false;
    key[i] = previous = lowered;
  }
  return true;
}

namespace {

// The key of a label made only of ASCII bytes: white-space runs collapsed and trimmed, A-Z
// lowered. Lowercasing maps each ASCII byte on its own, whatever surrounds it, so this equals
// the Unicode route below without decoding. Gives nothing at the first byte past ASCII.
std::optional<std::string> normalize_ascii_label(std::string_view label) {
  std::string key;
  // Most labels are printable words between single spaces: their key is the label lowered.
  if (attrs::plain_label_key(label, key, false)) return key;
  key.resize(label.size());
  std::size_t length = 0;
  for (const char ch : label) {
    const auto b = static_cast<unsigned char>(ch);
    if (b > ' ' && b < 0x80) {
      key[length++] = static_cast<char>(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
    } else if (b >= 0x80) {
      return std::nullopt;
    } else if (line::is_ascii_white_space(b)) {
      // Only separators are spaces in the key: a run gives one, a leading run none.
      if (length != 0 && key[length - 1] != ' ') key[length++] = ' ';
    } else {
      key[length++] = ch;  // a control character stays as it is
    }
  }
  if (length != 0 && key[length - 1] == ' ') --length;  // a trailing run gives none
  key.resize(length);
  return key;
}

// The key of any label: decoded character by character, lowered with the Unicode mappings
// (which look at neighbouring characters, e.g. for a word-final sigma).
std::string normalize_unicode_label(std::string_view label) {
  std::string collapsed;
  collapsed.reserve(label.size());
  std::size_t i = 0;
  bool pending_space = false;
  while (i < label.size()) {
    const utf8::Decoded d = utf8::decode(label, i);
    if (unicode::is_white_space(d.cp)) {
      pending_space = !collapsed.empty();
    } else {
      if (pending_space) collapsed += ' ';
      pending_space = false;
      collapsed.append(label, i, d.len);
    }
    i += d.len;
  }
  return unicode::to_lowercase(collapsed);
}

// ASCII bytes that a bare destination takes as they are: not white space, a control byte, a
// backslash, an angle bracket opener, a parenthesis or an ampersand (those are read one by one).
constexpr std::array<unsigned char, 256> kDestinationByte = [] {
  std::array<unsigned char, 256> table{};
  for (int b = 0x21; b < 0x80; ++b)
    if (b != '\\' && b != '<' && b != '(' && b != ')' && b != '&') table[static_cast<std::size_t>(b)] = 1;
  return table;
}();

// How many bytes from the start of `text` kDestinationByte takes, sixteen at a time where
// SSE2 is at hand.
std::size_t plain_destination_run(std::string_view text) {
  std::size_t i = 0;
#if defined(__SSE2__)
  while (i + 16 <= text.size()) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const auto is = [&](char c) { return _mm_cmpeq_epi8(chunk, _mm_set1_epi8(c)); };
    // Compared as signed bytes, those from 0x80 on are below 0x21 with the controls and space.
    __m128i stop = _mm_cmplt_epi8(chunk, _mm_set1_epi8(0x21));
    stop = _mm_or_si128(stop, _mm_or_si128(is('\\'), is('<')));
    // "(" and ")" (0x28, 0x29) at once, with their low bit set.
    stop = _mm_or_si128(stop, _mm_cmpeq_epi8(_mm_or_si128(chunk, _mm_set1_epi8(0x01)), _mm_set1_epi8(')')));
    stop = _mm_or_si128(stop, is('&'));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
    if (mask != 0) return i + static_cast<std::size_t>(std::countr_zero(mask));
    i += 16;
  }
#endif
  while (i < text.size() && kDestinationByte[static_cast<unsigned char>(text[i])] != 0) ++i;
  return i;
}

char32_t title_closer(char32_t opener) { return opener == '(' ? ')' : opener; }
bool is_title_opener(char c) { return c == '"' || c == '\'' || c == '('; }

// Looks for the unescaped closer of a title, one piece of text at a time.
class TitleCloseScan {
 public:
  explicit TitleCloseScan(char closer) : closer_(closer) {}
  // True once the closer has been seen in the text fed so far.
  bool feed(std::string_view text) {
    for (char c : text) {
      if (escaped_) escaped_ = false;
      else if (c == '\\') escaped_ = true;
      else if (c == closer_) return closed_ = true;
    }
    return closed_;
  }
  bool closed() const { return closed_; }

 private:
  char closer_;
  bool escaped_ = false;
  bool closed_ = false;
};

// Line access shared by the two kinds of line lists.
template <class Lines>
std::string_view line_at(const Lines& lines, std::size_t i) {
  return std::string_view(lines[i]);
}

std::size_t indentation(std::string_view line) {
  std::size_t columns = 0;
  for (char c : line) {
    if (c == ' ') ++columns;
    else if (c == '\t') columns += 4 - columns % 4;
    else break;
  }
  return columns;
}

template <class Lines>
std::optional<block::LinkRefTitleLines> title_lines(std::string_view first, const Lines& lines,
                                                    std::size_t next) {
  const std::string_view start = line::trim_start(first);
  if (start.empty() || !is_title_opener(start.front())) return std::nullopt;
  TitleCloseScan scan(static_cast<char>(title_closer(static_cast<unsigned char>(start.front()))));
  std::string text(first);
  scan.feed(start.substr(1));
  while (!scan.closed() && next < lines.size()) {
    const std::string_view following = line_at(lines, next);
    if (line::is_blank(following)) return std::nullopt;
    const std::size_t joined = text.size();
    text += '\n';
    text += line::trim_end(following);
    scan.feed(std::string_view(text).substr(joined));
    ++next;
  }
  auto title = block::scan_link_ref_title(text);
  if (!title) return std::nullopt;
  const std::size_t lead = text.size() - line::trim_start(text).size();
  return block::LinkRefTitleLines{entity::decode_entities(title->title),
                                  text.substr(lead + title->end), next};
}

struct DefinitionLabel {
  std::string label;      // backslashes kept, lines joined by line feeds
  std::size_t line;       // index of the line holding the closing bracket
  std::string_view rest;  // that line after the closing bracket
  bool blank;
};

// The label of a definition, from just after its opening bracket in line `index` (`text`) on,
// possibly over several lines. Each line's part is copied whole once the label is known to go on.
template <class Lines>
std::optional<DefinitionLabel> definition_label(const Lines& lines, std::size_t index,
                                                std::string_view text) {
  LabelCheck check;
  std::string label;
  std::size_t pos = 0;
  while (true) {
    if (pos >= text.size()) {
      if (index + 1 >= lines.size() || line::is_blank(line_at(lines, index + 1))) return std::nullopt;
      if (!check.feed_line_break()) return std::nullopt;
      label += text;
      label += '\n';
      ++index;
      text = line::trim_start(line_at(lines, index));
      pos = 0;
      continue;
    }
    const LabelCheck::Step step = check.read(text, pos);
    if (step == LabelCheck::Step::Fail) return std::nullopt;
    if (step == LabelCheck::Step::Close) {
      label.append(text, 0, pos - 1);  // without the closing bracket
      return DefinitionLabel{std::move(label), index, text.substr(pos), check.blank()};
    }
  }
}

// Whether line `start` exists and may open a definition as far as its first byte tells: most
// block starts begin with a printable byte other than "[", and are turned down without a call.
template <class Lines>
bool may_open_definition(const Lines& lines, std::size_t start) {
  if (start >= lines.size()) return false;
  const std::string_view first = line_at(lines, start);
  return first.empty() || first.front() == '[' || !line::is_plain_ascii(first.front());
}

template <class Lines>
std::optional<block::LinkRefDefinition> parse_definition(const Lines& lines, std::size_t start) {
  const std::size_t n = lines.size();
  if (start >= n) return std::nullopt;
  const std::string_view first = line_at(lines, start);
  if (indentation(first) > 3) return std::nullopt;
  const std::string_view opener = line::trim_start(first);
  if (!opener.starts_with("[") || opener.starts_with("[^")) return std::nullopt;
  auto label = definition_label(lines, start, opener.substr(1));
  if (!label) return std::nullopt;
  const std::string_view text = label->rest;
  if (text.empty() || text.front() != ':' || label->blank) return std::nullopt;
  std::size_t index = label->line;

  // The destination, on this line or the next.
  std::string_view dest_text = line::trim_start(text.substr(1));
  if (dest_text.empty()) {
    if (index + 1 >= n || line::is_blank(line_at(lines, index + 1))) return std::nullopt;
    ++index;
    dest_text = line::trim_start(line_at(lines, index));
  }
  const std::size_t next = index + 1;
  auto dest = block::scan_link_ref_destination(dest_text);
  if (!dest) return std::nullopt;
  const std::string_view after = dest_text.substr(dest->consumed);
  if (!after.empty() && !starts_with_white_space(after)) return std::nullopt;
  const std::string_view tail = line::trim_start(after);

  block::LinkRefDefinition result{std::move(label->label), LinkRef{std::move(dest->destination), {}, {}}, next};
  if (block::starts_definition_title(tail)) {
    auto title = title_lines(tail, lines, next);
    if (!title) return std::nullopt;
    auto attr = block::parse_link_ref_attrs(title->rest);
    if (!attr) return std::nullopt;
    result.def.title = std::move(title->title);
    result.def.attr = std::move(*attr);
    result.end = title->next;
  } else if (!tail.empty()) {
    auto attr = block::parse_link_ref_attrs(tail);
    if (!attr) return std::nullopt;
    result.def.attr = std::move(*attr);
  } else if (next < n && !line::is_blank(line_at(lines, next)) &&
             block::starts_definition_title(line_at(lines, next))) {
    // A title on the following line is optional: when it fails, the definition stands alone.
    if (auto title = title_lines(line::trim_start(line_at(lines, next)), lines, next + 1)) {
      if (auto attr = block::parse_link_ref_attrs(title->rest)) {
        result.def.title = std::move(title->title);
        result.def.attr = std::move(*attr);
        result.end = title->next;
      }
    }
  }
  return result;
}

}  // namespace

namespace attrs {

std::optional<LinkLabel> scan_link_label(std::string_view text) {
  if (text.size() < 2 || text.front() != '[') return std::nullopt;
  bool escaped = false;
  std::size_t chars = 0;
  for (std::size_t i = 1; i < text.size();) {
    const utf8::Decoded d = char_at(text, i);
    if (escaped) {
      escaped = false;
    } else if (d.cp == '\\') {
      escaped = true;
    } else if (d.cp == '[') {
      return std::nullopt;
    } else if (d.cp == ']') {
      return LinkLabel{std::string(text.substr(1, i - 1)), i + 1};
    }
    if (++chars > kMaxLabelChars) return std::nullopt;
    i += d.len;
  }
  return std::nullopt;
}

bool valid_link_label(std::string_view label, bool allow_blank) {
  if (label.empty()) return allow_blank;
  LabelCheck check;
  for (std::size_t i = 0; i < label.size();) {
    if (check.read(label, i) != LabelCheck::Step::Continue) return false;
  }
  return check.blank() ? allow_blank : true;
}

std::string normalize_label(std::string_view label) {
  if (auto key = normalize_ascii_label(label)) return std::move(*key);
  return normalize_unicode_label(label);
}

}  // namespace attrs

namespace block {

std::optional<LinkRefDefinition> parse_link_ref_at(std::span<const std::string_view> lines,
                                                   std::size_t start) {
  if (!may_open_definition(lines, start)) return std::nullopt;
  return parse_definition(lines, start);
}

std::optional<LinkRefDefinition> parse_link_ref_at(std::span<const std::string> lines,
                                                   std::size_t start) {
  if (!may_open_definition(lines, start)) return std::nullopt;
  return parse_definition(lines, start);
}

std::optional<LinkRefDefinition> read_link_ref_at(const line::SourceLines& lines, std::size_t start) {
  return parse_definition(lines, start);
}

std::optional<LinkRefDestination> scan_link_ref_destination(std::string_view text) {
  std::size_t taken = 0;
  std::string_view raw;
  if (text.starts_with("<")) {
    bool escaped = false;
    std::size_t i = 1;
    for (;; ++i) {
      if (i >= text.size() || (!escaped && text[i] == '\n')) return std::nullopt;
      if (escaped) escaped = false;
      else if (text[i] == '\\') escaped = true;
      else if (text[i] == '>') break;
    }
    raw = text.substr(1, i - 1);
    taken = i + 1;
  } else {
    // Bytes that only extend a bare destination are skipped a run at a time; the loop below
    // reads what stops the run (and the rest) as before.
    bool plain = true;  // no backslash and no "&" seen: the text is the destination as it stands
    std::size_t i = plain_destination_run(text);
    std::size_t depth = 0;
    while (i < text.size()) {
      const utf8::Decoded d = char_at(text, i);
      if (d.cp == '\\') {
        plain = false;
        i += d.len;
        if (i < text.size()) i += char_at(text, i).len;
        continue;
      }
      if (line::is_white_space(d.cp)) break;
      if (d.cp == '<') return std::nullopt;
      if (d.cp == '(') {
        ++depth;
      } else if (d.cp == ')') {
        if (depth == 0) break;
        --depth;
      } else if (d.cp == '&') {
        plain = false;
      }
      i += d.len;
    }
    if (depth != 0 || i == 0) return std::nullopt;
    raw = text.substr(0, i);
    taken = i;
    if (plain) return LinkRefDestination{std::string(raw), taken};
  }
  // Without a backslash there is nothing to unescape: the copy for it is skipped.
  std::string destination = raw.find('\\') == std::string_view::npos
                                ? entity::decode_entities(raw)
                                : entity::decode_entities(entity::unescape_backslash_punctuation(raw));
  return LinkRefDestination{std::move(destination), taken};
}

bool starts_definition_title(std::string_view text) {
  text = line::trim_start(text);
  return !text.empty() && is_title_opener(text.front());
}

bool has_closing_definition_title(std::string_view text) {
  text = line::trim_start(text);
  if (text.size() < 2 || !is_title_opener(text.front())) return false;
  TitleCloseScan scan(static_cast<char>(title_closer(static_cast<unsigned char>(text.front()))));
  return scan.feed(text.substr(1));
}

std::optional<LinkRefTitle> scan_link_ref_title(std::string_view text) {
  text = line::trim_start(text);
  if (text.empty() || !is_title_opener(text.front())) return std::nullopt;
  const char closer = static_cast<char>(title_closer(static_cast<unsigned char>(text.front())));
  std::string title;
  bool escaped = false;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (escaped) {
      escaped = false;
      if (!scan::is_ascii_punctuation(static_cast<unsigned char>(c))) title += '\\';
      title += c;
    } else if (c == '\\') {
      escaped = true;
    } else if (c == closer) {
      return LinkRefTitle{std::move(title), i + 1};
    } else {
      title += c;
    }
  }
  return std::nullopt;
}

std::optional<LinkRefTitleLines> scan_link_ref_title_lines(std::string_view first,
                                                           std::span<const std::string_view> lines,
                                                           std::size_t next) {
  return title_lines(first, lines, next);
}

std::optional<LinkRefTitleLines> scan_link_ref_title_lines(std::string_view first,
                                                           std::span<const std::string> lines,
                                                           std::size_t next) {
  return title_lines(first, lines, next);
}

std::optional<Attr> parse_link_ref_attrs(std::string_view text) {
  text = line::trim(text);
  if (text.empty()) return Attr{};
  auto group = attrs::parse_braced_attr(text);
  if (!group || !line::is_blank(text.substr(group->consumed))) return std::nullopt;
  return std::move(group->attr);
}

}  // namespace block
}  // namespace vedavi
