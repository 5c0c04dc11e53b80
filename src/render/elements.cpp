// Pieces of VEDAVI HTML shared by blocks and inlines: attribute lists, code-block openings,
// raw-payload script elements and template elements.
#include <string>

#include <array>

#include "text/escape.h"
#include "text/escape_scan.h"
#include "render/renderer.h"
#include "render/staged_out.h"
#include "text/unicode.h"

namespace vedavi {
namespace {

// A key that a browser would read as exactly one attribute name. Keys come from md attribute
// blocks and wikitext and may hold anything; one holding a quote, bracket, slash, equals sign,
// white space or control character could otherwise write live markup.
bool is_writable_attr_key(std::string_view key) {
  if (key.empty()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const auto byte = static_cast<unsigned char>(key[i]);
    if (byte <= 0x20 || byte == 0x7F) return false;
    switch (byte) {
      case '"': case '\'': case '<': case '>': case '/': case '=': return false;
      default: break;
    }
    // C1 controls (U+0080 to U+009F) are control characters too.
    if (byte == 0xC2 && i + 1 < key.size()) {
      const auto next = static_cast<unsigned char>(key[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return false;
    }
  }
  return true;
}

// The bytes a key may hold to be written by the staged writer: printable ASCII but for the ones
// is_writable_attr_key rejects. Other keys (with any byte from 0x80 up) take the general writer.
constexpr std::array<bool, 256> kPlainKeyByte = [] {
  std::array<bool, 256> plain{};
  for (int b = 0x21; b < 0x7F; ++b) plain[std::size_t(b)] = true;
  for (char c : std::string_view("\"'<>/=")) plain[static_cast<unsigned char>(c)] = false;
  return plain;
}();

bool is_plain_attr_key(std::string_view key) {
  if (key.empty()) return false;
  for (char c : key)
    if (!kPlainKeyByte[static_cast<unsigned char>(c)]) return false;
  return true;
}

bool starts_with_ascii_nocase(std::string_view text, std::size_t pos, std::string_view lower) {
  if (text.size() - pos < lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    char c = text[pos + i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

// Flattened: the appends of the pairs' markup become fixed-size stores rather than calls.
[[gnu::flatten]] void write_attrs(const Attr& attr, std::string& out) {
  if (attr.id()) {
    out += " id=\"";
    escape_attr(*attr.id(), out);
    out += '"';
  }
  if (!attr.classes().empty()) {
    out += " class=\"";
    for (std::size_t i = 0; i < attr.classes().size(); ++i) {
      if (i > 0) out += ' ';
      escape_attr(attr.classes()[i], out);
    }
    out += '"';
  }
  for (const auto& [key, value] : attr.pairs()) {
    if (key == "id" || key == "class" || !is_writable_attr_key(key)) continue;
    out += ' ';
    out += key;
    out += "=\"";
    escape_attr(value, out);
    out += '"';
  }
}

void write_attrs(const Attr& attr, StagedOut& out) {
  // Room is made for every pair at once, so that a pair found to need the general writer (a key
  // outside plain ASCII, a value with a byte to escape) can take back what was staged of the set.
  std::size_t size = 0;
  for (const auto& [key, value] : attr.pairs()) size += key.size() + value.size() + 4;
  if (attr.id() || !attr.classes().empty() || !out.make_room(size)) {
    write_attrs(attr, out.string());
    return;
  }
  StagedOut::Cursor at = out.cursor();
  for (const auto& [key, value] : attr.pairs()) {
    if (key == "id" || key == "class") continue;  // never written as pairs
    if (!is_plain_attr_key(key)) {
      write_attrs(attr, out.string());
      return;
    }
    at.put(' ');
    at.put(key);
    at.put("=\"");
    if (at.put_kept<escape_scan::Markup::Attr>(value) != value.size()) {
      write_attrs(attr, out.string());
      return;
    }
    at.put('"');
  }
  out.commit(at);
}

void append_code_block_open(const Attr& attr, const std::optional<Str>& lang,
                            std::string& out) {
  out += "<pre";
  attrs_html(attr, out);
  out += "><code";
  if (lang) {
    out += " class=\"language-";
    escape_attr(*lang, out);
    out += '"';
  }
  out += '>';
}

std::string code_block_open(const Attr& attr, const std::optional<Str>& lang) {
  std::string out;
  append_code_block_open(attr, lang, out);
  return out;
}

bool raw_data_needs_encoding(std::string_view payload) {
  for (std::size_t pos = payload.find('<'); pos != std::string_view::npos;
       pos = payload.find('<', pos + 1)) {
    if (payload.substr(pos).starts_with("<!--") ||
        starts_with_ascii_nocase(payload, pos, "<script") ||
        starts_with_ascii_nocase(payload, pos, "</script")) {
      return true;
    }
  }
  return false;
}

void raw_payload(std::string_view payload, std::string& out) {
  if (raw_data_needs_encoding(payload)) {
    escape_text(payload, out);
  } else {
    append_markup(payload, out);
  }
}

void raw_data_open(std::string_view format, std::string_view payload, std::string& out) {
  out += "<script type=\"application/vnd.vedavi.raw\" data-format=\"";
  escape_attr(format, out);
  out += '"';
  if (raw_data_needs_encoding(payload)) out += " data-encoding=\"html\"";
  out += '>';
}

void template_html(std::string_view syntax, std::string_view body, TemplateTokenKind kind,
                   std::string_view name, std::string& out) {
  out += "<template data-op=\"";
  escape_attr(syntax, out);
  out += ':';
  out += templates::kind_html_word(kind);
  out += "\">";
  escape_text(kind == TemplateTokenKind::Unknown ? unicode::trim(body) : name, out);
  out += "</template>";
}

}  // namespace vedavi
