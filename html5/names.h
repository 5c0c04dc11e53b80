// Qualified names of elements and attributes: a namespace, an optional prefix and a local name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace html5 {

enum class Namespace : std::uint8_t { None, Html, Svg, MathMl, XLink, Xml, Xmlns };

std::string_view namespace_url(Namespace ns);  // "" for None

struct QualName {
  std::string prefix;  // "" when the name has none ("xlink" in xlink:href)
  Namespace ns = Namespace::None;
  std::string local;

  bool is(Namespace n, std::string_view l) const { return ns == n && local == l; }
  bool is_html(std::string_view l) const { return ns == Namespace::Html && local == l; }
  friend bool operator==(const QualName&, const QualName&) = default;
};

struct Attribute {
  QualName name;
  std::string value;
  friend bool operator==(const Attribute&, const Attribute&) = default;
};

}  // namespace html5
