// The rendering a refilled paragraph is checked against.
#include "chunk/wrap_check.h"

#include <array>
#include <vector>

#include "inline/parse.h"
#include "model/line.h"
#include "render/renderer.h"
#include "text/unicode.h"

namespace vedavi::chunk {
namespace {

// What a byte is to the normalisation: text, a space or tab, a line feed, or a tag's start.
enum ByteKind : unsigned char { kText = 0, kSpace = 1, kLineFeed = 2, kTag = 3 };

constexpr std::array<unsigned char, 256> kByteKinds = [] {
  std::array<unsigned char, 256> kinds{};
  kinds[' '] = kSpace;
  kinds['\t'] = kSpace;
  kinds['\n'] = kLineFeed;
  kinds['<'] = kTag;
  return kinds;
}();

// Bytes of inline constructs whose reading depends on the white space they hold or stand next to.
constexpr std::array<bool, 256> kReadsWhiteSpace = [] {
  std::array<bool, 256> bytes{};
  for (unsigned char c : std::string_view("`\\<[{^~$")) bytes[c] = true;
  return bytes;
}();

}  // namespace

std::string alike_rendering(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  bool in_code = false;
  bool pending_space = false;  // white space seen outside code, not yet written
  std::size_t i = 0;
  const std::size_t n = html.size();
  while (i < n) {
    // A run of bytes copied as they are: up to the next tag, or the next white space outside
    // code (a line feed inside).
    std::size_t end = i;
    if (in_code) {
      while (end < n && kByteKinds[static_cast<unsigned char>(html[end])] < kLineFeed) ++end;
    } else {
      while (end < n && kByteKinds[static_cast<unsigned char>(html[end])] == kText) ++end;
    }
    if (end > i) {
      if (pending_space && !out.empty()) out += ' ';
      pending_space = false;
      out.append(html, i, end - i);
      i = end;
      continue;
    }
    if (html[i] != '<') {
      in_code = false;
      pending_space = true;
      ++i;
      continue;
    }
    const std::string_view rest = html.substr(i);
    if (rest.starts_with("</")) {
      // Other white space at the end of an element reads as none too (the parser trims it from a
      // paragraph's last line, but not from a reverted list item's marker line).
      if (!in_code) out.resize(unicode::trim_end(out).size());
    } else if (pending_space && !out.empty()) {
      out += ' ';
    }
    pending_space = false;
    if (rest.starts_with("<code>") || rest.starts_with("<code "))
      in_code = true;
    else if (rest.starts_with("</code>"))
      in_code = false;
    out += '<';
    ++i;
  }
  return out;
}

bool may_read_white_space(std::string_view text) {
  for (char c : text)
    if (kReadsWhiteSpace[static_cast<unsigned char>(c)]) return true;
  return false;
}

namespace {

// Whether `text`, which lies outside the constructs a refill keeps whole, holds a byte that may read
// white space. A backslash and the byte it stands before (not a break space) read none: an escape,
// or a backslash and a character, whatever white space stands around them.
bool may_read_white_space_outside(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!kReadsWhiteSpace[c]) continue;
    if (c != '\\' || i + 1 == text.size() || text[i + 1] == ' ' || text[i + 1] == '\t' ||
        text[i + 1] == '\n')
      return true;
    ++i;
  }
  return false;
}

}  // namespace

bool reads_white_space_only_in_whole_constructs(std::string_view text, std::span<const InlineEvent> events) {
  std::size_t outside = 0;  // where the text after the last whole construct starts
  for (const InlineEvent& e : events) {
    if (e.kind != InlineEventKind::Code && e.kind != InlineEventKind::Link &&
        e.kind != InlineEventKind::Autolink)
      continue;
    if (e.end <= outside) continue;  // within a construct already passed (a code span in a link)
    if (e.start < outside || e.end > text.size()) return false;
    if (may_read_white_space_outside(text.substr(outside, e.start - outside))) return false;
    const std::string_view whole = text.substr(e.start, e.end - e.start);
    if (whole.find_first_of("\t\n") != std::string_view::npos) return false;
    outside = e.end;
  }
  return !may_read_white_space_outside(text.substr(outside));
}

std::string paragraph_rendering(std::span<const std::string_view> lines, const InlineScope& scope) {
  std::string text;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (k) text += '\n';
    text += line::trim_start(lines[k]);
  }
  const InlineContext ctx{scope.options, scope.links, scope.footnotes, nullptr, scope.buffers};
  return paragraph_rendering(inl::parse_inner(text, ctx));
}

std::string paragraph_rendering(std::span<const Inline> inlines) {
  std::string html = render_inlines(inlines);
  // An inline note shows only its reference in place, its text where the document's notes go:
  // that text counts too, followed by a link back as there, so that white space at its end counts
  // as it does before that link. Every list of the tree is visited once, in a fixed order.
  std::vector<std::span<const Inline>> lists{inlines};
  for (std::size_t next = 0; next < lists.size(); ++next) {
    const std::span<const Inline> list = lists[next];  // `lists` grows below
    for (const Inline& node : list) {
      const Inlines* children = node.children();
      if (children == nullptr) continue;
      if (node.get_if<Inline::Note>() != nullptr) {
        html += "\n<p>";
        html += render_inlines(*children);
        html += " <a></a></p>";
      }
      lists.emplace_back(*children);
    }
  }
  return alike_rendering(html);
}

}  // namespace vedavi::chunk
