// Element kinds, their categories, and the name tables of SVG and MathML content.
#include "html5/tree_builder_tags.h"

#include <array>
#include <bit>
#include <cstring>
#include <string>
#include <unordered_map>

namespace html5 {
namespace {

constexpr std::string_view kHtmlNames[] = {
#define HTML5_KIND_NAME(id, name) name,
    HTML5_HTML_KINDS(HTML5_KIND_NAME)
#undef HTML5_KIND_NAME
};

// Open addressing over a small power-of-two table. A name of at most 16 bytes is packed into two
// words (zero-padded; tag names never hold U+0000), so a probe compares two integers.
class KindTable {
 public:
  constexpr KindTable() {
    for (std::size_t i = 0; i < std::size(kHtmlNames); ++i) {
      Key key = pack(kHtmlNames[i]);
      std::size_t slot = hash(key);
      while (slots_[slot].kind != Kind::Other) slot = (slot + 1) & kMask;
      slots_[slot] = {key, static_cast<Kind>(i)};
    }
  }
  constexpr Kind find(std::string_view name) const {
    if (name.empty() || name.size() > kLongest) return Kind::Other;
    Key key = pack(name);
    for (std::size_t slot = hash(key);; slot = (slot + 1) & kMask) {
      const Slot& s = slots_[slot];
      if (s.kind == Kind::Other) return Kind::Other;
      if (s.key.lo == key.lo && s.key.hi == key.hi) return s.kind;
    }
  }

 private:
  static constexpr std::size_t kSize = 512, kMask = kSize - 1, kLongest = 16;
  struct Key {
    std::uint64_t lo = 0, hi = 0;
  };
  struct Slot {
    Key key;
    Kind kind = Kind::Other;
  };
  // Built in registers from word loads: byte stores into a buffer read back as words would stall,
  // and a loop over the bytes costs more than the lookup itself.
  static constexpr Key pack(std::string_view name) {
    const char* p = name.data();
    const std::size_t n = name.size();
    if (std::is_constant_evaluated() || std::endian::native != std::endian::little) {
      Key key;
      for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t byte = static_cast<unsigned char>(p[i]);
        (i < 8 ? key.lo : key.hi) |= byte << (8 * (i & 7));
      }
      return key;
    }
    if (n <= 8) return {load_short(p, n), 0};
    return {load_short(p, 8), load_short(p + 8, n - 8)};
  }
  // The `n` bytes at `p` (1 to 8) as a little-endian word, zero-padded: two loads that overlap
  // in the middle, whose common bytes agree, so OR-ing them is exact.
  static std::uint64_t load_short(const char* p, std::size_t n) {
    if (n >= 4) {
      std::uint32_t head, tail;
      std::memcpy(&head, p, 4);
      std::memcpy(&tail, p + n - 4, 4);
      return head | static_cast<std::uint64_t>(tail) << (8 * (n - 4));
    }
    const std::uint64_t first = static_cast<unsigned char>(p[0]);
    const std::uint64_t middle = static_cast<unsigned char>(p[n / 2]);
    const std::uint64_t last = static_cast<unsigned char>(p[n - 1]);
    return first | middle << (8 * (n / 2)) | last << (8 * (n - 1));
  }
  static constexpr std::size_t hash(Key key) {
    std::uint64_t h = key.lo * 0x9E3779B97F4A7C15ull ^ key.hi * 0xC2B2AE3D27D4EB4Full;
    return static_cast<std::size_t>(h >> 40) & kMask;
  }
  std::array<Slot, kSize> slots_{};
};

// Built at compile time: no guard to test on each call, nor registers to save around it.
constexpr KindTable kKindTable;

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

Kind html_kind(std::string_view local) { return kKindTable.find(local); }

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

}  // namespace html5
