// Element kinds, their categories, and the name tables of SVG and MathML content.
#include "html5/tree_builder_tags.h"

#include <array>
#include <string>
#include <unordered_map>

namespace html5 {
namespace {

constexpr std::string_view kHtmlNames[] = {
#define HTML5_KIND_NAME(id, name) name,
    HTML5_HTML_KINDS(HTML5_KIND_NAME)
#undef HTML5_KIND_NAME
};

// Open addressing over a small power-of-two table with a hash of the length and a few bytes:
// cheaper than a general string hash for the short names of HTML.
class KindTable {
 public:
  KindTable() {
    for (std::size_t i = 0; i < std::size(kHtmlNames); ++i) {
      std::size_t slot = hash(kHtmlNames[i]);
      while (slots_[slot].kind != Kind::Other) slot = (slot + 1) & kMask;
      slots_[slot] = {kHtmlNames[i], static_cast<Kind>(i)};
    }
  }
  Kind find(std::string_view name) const {
    if (name.empty() || name.size() > kLongest) return Kind::Other;
    for (std::size_t slot = hash(name);; slot = (slot + 1) & kMask) {
      const Slot& s = slots_[slot];
      if (s.kind == Kind::Other) return Kind::Other;
      if (s.name == name) return s.kind;
    }
  }

 private:
  static constexpr std::size_t kSize = 512, kMask = kSize - 1, kLongest = 10;
  struct Slot {
    std::string_view name;
    Kind kind = Kind::Other;
  };
  static std::size_t hash(std::string_view n) {
    auto b = [&n](std::size_t i) { return static_cast<std::size_t>(static_cast<unsigned char>(n[i])); };
    std::size_t h = n.size() * 131 + b(0) * 31 + b(n.size() - 1) * 7 + b(n.size() / 2) * 3;
    return (h ^ (h >> 5)) & kMask;
  }
  std::array<Slot, kSize> slots_{};
};

constexpr std::uint32_t kDefaultScope = kScopeDefault | kScopeListItem | kScopeButton;

constexpr std::array<std::uint32_t, kKindCount> kFlagTable = [] {
  std::array<std::uint32_t, kKindCount> t{};
  auto set = [&t](std::initializer_list<Kind> kinds, std::uint32_t flags) {
    for (Kind k : kinds) t[static_cast<std::size_t>(k)] |= flags;
  };
  using K = Kind;
  set({K::Address, K::Applet, K::Area, K::Article, K::Aside, K::Base, K::Basefont, K::Bgsound,
       K::Blockquote, K::Body, K::Br, K::Button, K::Caption, K::Center, K::Col, K::Colgroup,
       K::Dd, K::Details, K::Dir, K::Div, K::Dl, K::Dt, K::Embed, K::Fieldset, K::Figcaption,
       K::Figure, K::Footer, K::Form, K::Frame, K::Frameset, K::H1, K::H2, K::H3, K::H4, K::H5,
       K::H6, K::Head, K::Header, K::Hgroup, K::Hr, K::Html, K::Iframe, K::Img, K::Input,
       K::Keygen, K::Li, K::Link, K::Listing, K::Main, K::Marquee, K::Menu, K::Meta, K::Nav,
       K::Noembed, K::Noframes, K::Noscript, K::Object, K::Ol, K::P, K::Param, K::Plaintext,
       K::Pre, K::Script, K::Search, K::Section, K::Select, K::Source, K::Style, K::Summary,
       K::Table, K::Tbody, K::Td, K::Template, K::Textarea, K::Tfoot, K::Th, K::Thead, K::Title,
       K::Tr, K::Track, K::Ul, K::Wbr, K::Xmp, K::MathMi, K::MathMo, K::MathMn, K::MathMs,
       K::MathMtext, K::MathAnnotationXml, K::SvgForeignObject, K::SvgDesc, K::SvgTitle},
      kSpecial);
  set({K::A, K::B, K::Big, K::Code, K::Em, K::Font, K::I, K::Nobr, K::S, K::Small, K::Strike,
       K::Strong, K::Tt, K::U},
      kFormatting);
  set({K::Dd, K::Dt, K::Li, K::Optgroup, K::Option, K::P, K::Rb, K::Rp, K::Rt, K::Rtc},
      kImpliedEnd | kThoroughlyImpliedEnd);
  set({K::Caption, K::Colgroup, K::Tbody, K::Td, K::Tfoot, K::Th, K::Thead, K::Tr},
      kThoroughlyImpliedEnd);
  set({K::Applet, K::Caption, K::Html, K::Table, K::Td, K::Th, K::Marquee, K::Object,
       K::Template, K::Select, K::MathMi, K::MathMo, K::MathMn, K::MathMs, K::MathMtext,
       K::MathAnnotationXml, K::SvgForeignObject, K::SvgDesc, K::SvgTitle},
      kDefaultScope);
  set({K::Ol, K::Ul}, kScopeListItem);
  set({K::Button}, kScopeButton);
  set({K::Html, K::Table, K::Template}, kScopeTable);
  set({K::H1, K::H2, K::H3, K::H4, K::H5, K::H6}, kHeading);
  set({K::MathMi, K::MathMo, K::MathMn, K::MathMs, K::MathMtext}, kMathMlTextIntegration);
  set({K::B, K::Big, K::Blockquote, K::Body, K::Br, K::Center, K::Code, K::Dd, K::Div, K::Dl,
       K::Dt, K::Em, K::Embed, K::H1, K::H2, K::H3, K::H4, K::H5, K::H6, K::Head, K::Hr, K::I,
       K::Img, K::Li, K::Listing, K::Menu, K::Meta, K::Nobr, K::Ol, K::P, K::Pre, K::Ruby, K::S,
       K::Small, K::Span, K::Strong, K::Strike, K::Sub, K::Sup, K::Table, K::Tt, K::U, K::Ul,
       K::Var},
      kBreaksOutOfForeign);
  return t;
}();

// Mixed-case SVG names; the lower-case form is the key.
constexpr std::string_view kSvgTagNames[] = {
    "altGlyph", "altGlyphDef", "altGlyphItem", "animateColor", "animateMotion",
    "animateTransform", "clipPath", "feBlend", "feColorMatrix", "feComponentTransfer",
    "feComposite", "feConvolveMatrix", "feDiffuseLighting", "feDisplacementMap",
    "feDistantLight", "feDropShadow", "feFlood", "feFuncA", "feFuncB", "feFuncG", "feFuncR",
    "feGaussianBlur", "feImage", "feMerge", "feMergeNode", "feMorphology", "feOffset",
    "fePointLight", "feSpecularLighting", "feSpotLight", "feTile", "feTurbulence",
    "foreignObject", "glyphRef", "linearGradient", "radialGradient", "textPath",
};

constexpr std::string_view kSvgAttributeNames[] = {
    "attributeName", "attributeType", "baseFrequency", "baseProfile", "calcMode",
    "clipPathUnits", "diffuseConstant", "edgeMode", "filterUnits", "glyphRef",
    "gradientTransform", "gradientUnits", "kernelMatrix", "kernelUnitLength", "keyPoints",
    "keySplines", "keyTimes", "lengthAdjust", "limitingConeAngle", "markerHeight", "markerUnits",
    "markerWidth", "maskContentUnits", "maskUnits", "numOctaves", "pathLength",
    "patternContentUnits", "patternTransform", "patternUnits", "pointsAtX", "pointsAtY",
    "pointsAtZ", "preserveAlpha", "preserveAspectRatio", "primitiveUnits", "refX", "refY",
    "repeatCount", "repeatDur", "requiredExtensions", "requiredFeatures", "specularConstant",
    "specularExponent", "spreadMethod", "startOffset", "stdDeviation", "stitchTiles",
    "surfaceScale", "systemLanguage", "tableValues", "targetX", "targetY", "textLength",
    "viewBox", "viewTarget", "xChannelSelector", "yChannelSelector", "zoomAndPan",
};

using NameMap = std::unordered_map<std::string, std::string_view>;

template <std::size_t N>
NameMap* lower_case_map(const std::string_view (&names)[N]) {
  auto* map = new NameMap();
  for (std::string_view name : names) {
    std::string key(name);
    for (char& c : key) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    map->emplace(std::move(key), name);
  }
  return map;
}

struct ForeignAttribute {
  std::string_view source;  // as the tokenizer gives it
  std::string_view prefix;
  Namespace ns;
  std::string_view local;
};

constexpr ForeignAttribute kForeignAttributes[] = {
    {"xlink:actuate", "xlink", Namespace::XLink, "actuate"},
    {"xlink:arcrole", "xlink", Namespace::XLink, "arcrole"},
    {"xlink:href", "xlink", Namespace::XLink, "href"},
    {"xlink:role", "xlink", Namespace::XLink, "role"},
    {"xlink:show", "xlink", Namespace::XLink, "show"},
    {"xlink:title", "xlink", Namespace::XLink, "title"},
    {"xlink:type", "xlink", Namespace::XLink, "type"},
    {"xml:lang", "xml", Namespace::Xml, "lang"},
    {"xml:space", "xml", Namespace::Xml, "space"},
    {"xmlns", "", Namespace::Xmlns, "xmlns"},
    {"xmlns:xlink", "xmlns", Namespace::Xmlns, "xlink"},
};

}  // namespace

Kind html_kind(std::string_view local) {
  static const KindTable table;
  return table.find(local);
}

Kind element_kind(Namespace ns, std::string_view local) {
  switch (ns) {
    case Namespace::Html: return html_kind(local);
    case Namespace::MathMl:
      if (local == "mi") return Kind::MathMi;
      if (local == "mo") return Kind::MathMo;
      if (local == "mn") return Kind::MathMn;
      if (local == "ms") return Kind::MathMs;
      if (local == "mtext") return Kind::MathMtext;
      if (local == "annotation-xml") return Kind::MathAnnotationXml;
      return Kind::Other;
    case Namespace::Svg:
      if (local == "foreignObject") return Kind::SvgForeignObject;
      if (local == "desc") return Kind::SvgDesc;
      if (local == "title") return Kind::SvgTitle;
      return Kind::Other;
    default: return Kind::Other;
  }
}

std::uint32_t kind_flags(Kind kind) { return kFlagTable[static_cast<std::size_t>(kind)]; }

std::string_view adjust_svg_tag_name(std::string_view local) {
  static const NameMap* map = lower_case_map(kSvgTagNames);
  auto it = map->find(std::string(local));
  return it == map->end() ? local : it->second;
}

void adjust_svg_attributes(std::vector<Attribute>& attrs) {
  static const NameMap* map = lower_case_map(kSvgAttributeNames);
  for (Attribute& attr : attrs) {
    if (attr.name.ns != Namespace::None || !attr.name.prefix.empty()) continue;
    auto it = map->find(attr.name.local);
    if (it != map->end()) attr.name.local = std::string(it->second);
  }
}

void adjust_mathml_attributes(std::vector<Attribute>& attrs) {
  for (Attribute& attr : attrs) {
    if (attr.name.ns == Namespace::None && attr.name.local == "definitionurl") {
      attr.name.local = "definitionURL";
    }
  }
}

void adjust_foreign_attributes(std::vector<Attribute>& attrs) {
  for (Attribute& attr : attrs) {
    if (attr.name.ns != Namespace::None || !attr.name.prefix.empty()) continue;
    for (const ForeignAttribute& f : kForeignAttributes) {
      if (attr.name.local == f.source) {
        attr.name = QualName{std::string(f.prefix), f.ns, std::string(f.local)};
        break;
      }
    }
  }
}

bool ascii_iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace html5
