// Escaping of md text: a table of the characters that are always syntax, plus the few that are
// syntax only at a line start or before a particular neighbour.
#include "markdown/escape.h"

#include <array>
#include <cctype>
#include <cstdint>

#include "markdown/attrs.h"
#include "text/escape.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::markdown {
namespace {

using scan::is_ascii_alnum;
using scan::is_ascii_alpha;
using scan::is_ascii_digit;

constexpr std::array<bool, 256> make_always_escaped() {
  std::array<bool, 256> table{};
  for (unsigned char c : std::string_view("#$*+<=>\\]^_`|~")) table[c] = true;
  return table;
}
constexpr std::array<bool, 256> kAlwaysEscaped = make_always_escaped();

// Bytes that need a look at their neighbours before deciding.
constexpr std::array<bool, 256> make_contextual() {
  std::array<bool, 256> table{};
  for (unsigned char c : std::string_view("-&{:!.)[\n\r \t@\f\v")) table[c] = true;
  for (unsigned char c = '0'; c <= '9'; ++c) table[c] = true;
  for (unsigned char c : {0xC2, 0xE1, 0xE2, 0xE3}) table[c] = true;  // leads of white space
  return table;
}
constexpr std::array<bool, 256> kContextual = make_contextual();

bool is_space_like(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

std::size_t line_end(std::string_view text, std::size_t pos) {
  const std::size_t end = text.find('\n', pos);
  return end == std::string_view::npos ? text.size() : end;
}

// "&name;", "&#123;" or "&#x1F;" starting at `pos`: would read back as a character reference.
bool starts_reference(std::string_view text, std::size_t pos) {
  std::size_t i = pos + 1;
  if (i < text.size() && text[i] == '#') {
    ++i;
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex) ++i;
    const std::size_t digits = i;
    while (i < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[i])) != 0
                                   : is_ascii_digit(text[i]))) {
      ++i;
    }
    return i > digits && i < text.size() && text[i] == ';';
  }
  const std::size_t name = i;
  while (i < text.size() && is_ascii_alnum(text[i])) ++i;
  return i > name && is_ascii_alpha(text[name]) && i < text.size() && text[i] == ';';
}

// The rest of the line from `pos` holds only "-", spaces and tabs: a setext underline, a
// thematic break or an empty list item when it starts a line.
bool dashes_only(std::string_view text, std::size_t pos) {
  const std::size_t end = line_end(text, pos);
  for (std::size_t i = pos; i < end; ++i) {
    if (text[i] != '-' && text[i] != ' ' && text[i] != '\t') return false;
  }
  return true;
}

class TextEscaper {
 public:
  TextEscaper(std::string_view text, TextContext context, std::string& out)
      : text_(text), context_(context), out_(out), start_(out.size()), line_indent_(context.line_indent) {}

  void run() {
    std::size_t copied = 0;
    for (std::size_t i = 0; i < text_.size(); ++i) {
      const auto byte = static_cast<unsigned char>(text_[i]);
      if (!kAlwaysEscaped[byte] && !kContextual[byte]) {
        line_indent_ = 4;
        digits_ = 0;
        line_blank_ = false;
        continue;
      }
      out_.append(text_, copied, i - copied);
      copied = i;
      // The reader drops white space that opens a line: spaces and tabs are dropped here too,
      // and other white space (a no-break space) is kept as a character reference.
      if ((byte == ' ' || byte == '\t') && line_indent_ == 0 && i > 0 &&
          (text_[i - 1] == '\n' || text_[i - 1] == ' ' || text_[i - 1] == '\t')) {
        copied = i + 1;
        continue;
      }
      if (byte >= 0x80) {
        const auto decoded = utf8::decode(text_, i);
        if (at_line_start() && unicode::is_white_space(decoded.cp)) {
          out_ += char_reference(decoded.cp);
          copied = i + decoded.len;
        }
        i += decoded.len - 1;
        line_indent_ = 4;
        digits_ = 0;
        line_blank_ = false;
        continue;
      }
      if ((byte == '\f' || byte == '\v') && at_line_start()) {
        out_ += byte == '\f' ? "&#12;" : "&#11;";  // white space the reader drops there
        copied = i + 1;
        line_indent_ = 4;
        line_blank_ = false;
        continue;
      }
      if (byte == '\r') {
        out_ += "&#13;";  // the reader reads a carriage return as a line end
        copied = i + 1;
        line_indent_ = 4;
        line_blank_ = false;
        continue;
      }
      if (byte == '\n') {
        // Spaces and tabs that end a line are dropped by the reader (two spaces would even
        // make a break): they are left out here.
        while (out_.size() > start_ && (out_.back() == ' ' || out_.back() == '\t')) out_.pop_back();
      }
      if (byte == '\n' && context_.ends_parent &&
          text_.find_first_not_of(" \t\n", i) == std::string_view::npos) {
        copied = text_.size();  // white space that ends the block: the reader drops it
        break;
      }
      if (byte == '\n' && line_blank_) {
        // A blank line would end the paragraph: the line feed is written as a reference.
        out_ += "&#10;";
        copied = i + 1;
        line_indent_ = 4;
        line_blank_ = false;
        continue;
      }
      if (text_[i] == '[') {
        // "\\[" would open display math in bracket math mode, closed by any later "\\]" of the
        // paragraph (even one inside a code span): a reference is never syntax.
        out_ += "&#91;";
        copied = i + 1;
      } else if (needs_escape(i)) {
        out_ += '\\';
      }
      track_line(i);
    }
    out_.append(text_, copied, text_.size() - copied);
  }

 private:
  bool at_line_start() const { return line_indent_ <= 3; }

  bool needs_escape(std::size_t i) {
    const char c = text_[i];
    if (kAlwaysEscaped[static_cast<unsigned char>(c)]) return true;
    switch (c) {
      case '-':
        return at_line_start() && ((i + 1 < text_.size() && is_space_like(text_[i + 1])) ||
                                   dashes_only(text_, i));
      case '&':
        return starts_reference(text_, i);
      case '{':
        // The "}" closing an attribute group may also come after the markup that follows, or
        // after the parent's end when the group would follow an element directly.
        return context_.before_inline || (i == 0 && context_.after_element) || closes_later(i);
      case ':':
        // "[^n]:" at a line start would read back as a footnote definition, and so would a
        // reference followed by "x]:" (a label may hold "]", escaped or not); "http:" and the
        // like would start a bare link, which the reader takes with any backslashes in it.
        return at_line_start() || (context_.after_note_ref && continues_note_label(i)) ||
               link_scheme_before(i);
      case '@':
        // An address would read back as a bare e-mail link.
        return i + 1 < text_.size() && !is_space_like(text_[i + 1]);
      case '!':
        return i + 1 == text_.size() && context_.before_link;
      case '.':
        return ordinal_before(i) || (i >= 3 && text_.substr(i - 3, 3) == "www");
      case ')':
        return ordinal_before(i);
      default:
        return false;
    }
  }

  // Whether the ":" at `i` of a text right after a note reference could end that reference's
  // label as a definition's "]:": at the text's start, or after a "]" with no white space before.
  // The text's first white space is found once, which keeps a run of "]:" linear.
  bool continues_note_label(std::size_t i) {
    if (i == 0) return true;
    if (text_[i - 1] != ']') return false;
    if (first_space_ == std::string_view::npos) {
      first_space_ = static_cast<std::size_t>(
          std::find_if(text_.begin(), text_.end(), [](char c) { return is_space_like(c); }) - text_.begin());
    }
    return i < first_space_;
  }

  // A "}" follows in the text, so an attribute group could start here. The position found is
  // reused until passed, which keeps a run of "{" linear.
  bool closes_later(std::size_t i) {
    if (next_close_ == kNoMore) return false;
    if (next_close_ == std::string_view::npos || next_close_ < i) {
      next_close_ = text_.find('}', i);
      if (next_close_ == std::string_view::npos) {
        next_close_ = kNoMore;
        return false;
      }
    }
    return true;
  }

  // A scheme the reader's bare links start with ends right before the ":" at `i`.
  bool link_scheme_before(std::size_t i) const {
    const auto ends_with = [&](std::string_view scheme) {
      if (i < scheme.size()) return false;
      for (std::size_t k = 0; k < scheme.size(); ++k) {
        if (std::tolower(static_cast<unsigned char>(text_[i - scheme.size() + k])) != scheme[k]) return false;
      }
      return true;
    };
    return ends_with("http") || ends_with("https") || ends_with("ftp") || ends_with("mailto") ||
           ends_with("xmpp");
  }

  // A list number stands at the line start directly before `i`: "12." or "3)" would open an
  // ordered list.
  bool ordinal_before(std::size_t i) const { return digits_ > 0 && digits_ <= 9 && digits_at_start_; }

  void track_line(std::size_t i) {
    const char c = text_[i];
    if (c == '\n') {
      line_indent_ = 0;
      digits_ = 0;
      line_blank_ = true;
      return;
    }
    if (c == ' ' || c == '\t') {
      if (c == ' ' && line_indent_ <= 3) {
        ++line_indent_;
        return;
      }
    } else {
      line_blank_ = false;
    }
    if (is_ascii_digit(c)) {
      if (digits_ == 0) digits_at_start_ = at_line_start();
      ++digits_;
      line_indent_ = 4;
      return;
    }
    digits_ = 0;
    line_indent_ = 4;
  }

  std::string_view text_;
  TextContext context_;
  std::string& out_;
  std::size_t start_;  // where this text's output begins
  int line_indent_;  // spaces since the line start, 4 once anything else was written
  std::size_t digits_ = 0;
  bool digits_at_start_ = false;
  bool line_blank_ = false;  // a line feed was written and nothing but spaces and tabs since
  static constexpr std::size_t kNoMore = std::string_view::npos - 1;
  std::size_t next_close_ = std::string_view::npos;
  std::size_t first_space_ = std::string_view::npos;  // npos until looked for, then the offset (or the size)
};

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool delimited_text_fits(std::string_view text, char mark) {
  if (text.empty() || text.back() == '\\' || text.find(mark) != std::string_view::npos) {
    return false;
  }
  // "^[" opens an inline note, never a superscript.
  if (mark == '^' && text.front() == '[') return false;
  for (std::size_t i = 0; i < text.size();) {
    const auto decoded = utf8::decode(text, i);
    if (unicode::is_white_space(decoded.cp)) return false;
    i += decoded.len;
  }
  return true;
}

void escape_markdown(std::string_view text, TextContext context, std::string& out) {
  TextEscaper(text, context, out).run();
}

std::string escape_target(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    if (url_percent_encodes(byte)) {
      percent_encode_byte(byte, out);
      continue;
    }
    // A character reference would be decoded: its "&" is escaped.
    if (c == '(' || c == ')' || (c == '&' && starts_reference(text, i))) out += '\\';
    out += c;
  }
  return out;
}

std::string char_reference(char32_t cp) {
  return "&#" + std::to_string(static_cast<std::uint32_t>(cp)) + ';';
}

std::string escape_title(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    // A line end is written as a reference: the title would go on on a line of its own, whose
    // leading white space the reader drops and which may open a block ("# ", "- ", a blank line).
    if (c == '\n' || c == '\r') {
      out += c == '\n' ? "&#10;" : "&#13;";
      continue;
    }
    // "<" too: "<!--" or a tag there would be read as HTML before the link; and parentheses,
    // which the reader balances across the title when it looks for the link's end. An "&" that
    // starts a reference would be decoded.
    if (c == '\\' || c == '"' || c == '<' || c == '(' || c == ')' || (c == '&' && starts_reference(text, i))) {
      out += '\\';
    }
    out += c;
  }
  return out;
}

void code_span(std::string_view text, bool in_table_cell, std::string& out) {
  const std::string fence(longest_run(text, '`') + 1, '`');
  // Content of spaces only is kept whole by the reader, so padding it would grow it each round.
  const bool all_spaces = text.find_first_not_of(' ') == std::string_view::npos;
  const bool padded = !text.empty() && !all_spaces &&
                      (text.front() == '`' || text.front() == ' ' || text.back() == '`' ||
                       text.back() == ' ');
  out += fence;
  if (padded) out += ' ';
  for (char c : text) {
    if (c == '|' && in_table_cell) out += '\\';
    out += c;
  }
  if (padded) out += ' ';
  out += fence;
}

std::string unescape_fragment(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = hex_value(text[i + 1]);
      const int low = hex_value(text[i + 2]);
      if (high >= 0 && low >= 0) {
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    bytes += text[i];
  }
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto decoded = utf8::decode(bytes, i);
    utf8::encode(decoded.cp, out);
    i += decoded.len;
  }
  return out;
}

}  // namespace vedavi::markdown
