// Element kinds the tree builder tells apart, their categories, and the name adjustments of SVG and
// MathML content.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "html5/names.h"
#include "text/scan.h"

namespace html5 {

// Every HTML element the tree-construction rules name, then the foreign elements that bound scopes
// or act as integration points. `Other` is any element the rules do not name.
#define HTML5_HTML_KINDS(X)                                                                      \
  X(A, "a") X(Address, "address") X(Applet, "applet") X(Area, "area") X(Article, "article")        \
  X(Aside, "aside") X(B, "b") X(Base, "base") X(Basefont, "basefont") X(Bgsound, "bgsound")       \
  X(Big, "big") X(Blockquote, "blockquote") X(Body, "body") X(Br, "br") X(Button, "button")       \
  X(Caption, "caption") X(Center, "center") X(Code, "code") X(Col, "col")                         \
  X(Colgroup, "colgroup") X(Dd, "dd") X(Details, "details") X(Dialog, "dialog") X(Dir, "dir")      \
  X(Div, "div") X(Dl, "dl") X(Dt, "dt") X(Em, "em") X(Embed, "embed") X(Fieldset, "fieldset")     \
  X(Figcaption, "figcaption") X(Figure, "figure") X(Font, "font") X(Footer, "footer")             \
  X(Form, "form") X(Frame, "frame") X(Frameset, "frameset") X(H1, "h1") X(H2, "h2") X(H3, "h3")  \
  X(H4, "h4") X(H5, "h5") X(H6, "h6") X(Head, "head") X(Header, "header") X(Hgroup, "hgroup")    \
  X(Hr, "hr") X(Html, "html") X(I, "i") X(Iframe, "iframe") X(Image, "image") X(Img, "img")      \
  X(Input, "input") X(Keygen, "keygen") X(Li, "li") X(Link, "link") X(Listing, "listing")        \
  X(Main, "main") X(Marquee, "marquee") X(Math, "math") X(Menu, "menu") X(Meta, "meta")          \
  X(Nav, "nav") X(Nobr, "nobr") X(Noembed, "noembed") X(Noframes, "noframes")                     \
  X(Noscript, "noscript") X(Object, "object") X(Ol, "ol") X(Optgroup, "optgroup")                 \
  X(Option, "option") X(P, "p") X(Param, "param") X(Plaintext, "plaintext") X(Pre, "pre")        \
  X(Rb, "rb") X(Rp, "rp") X(Rt, "rt") X(Rtc, "rtc") X(Ruby, "ruby") X(S, "s")                    \
  X(Script, "script") X(Search, "search") X(Section, "section") X(Select, "select")             \
  X(Small, "small") X(Source, "source") X(Span, "span") X(Strike, "strike") X(Strong, "strong")  \
  X(Style, "style") X(Sub, "sub") X(Summary, "summary") X(Sup, "sup") X(Svg, "svg")              \
  X(Table, "table") X(Tbody, "tbody") X(Td, "td") X(Template, "template")                        \
  X(Textarea, "textarea") X(Tfoot, "tfoot") X(Th, "th") X(Thead, "thead") X(Title, "title")      \
  X(Tr, "tr") X(Track, "track") X(Tt, "tt") X(U, "u") X(Ul, "ul") X(Var, "var") X(Wbr, "wbr")    \
  X(Xmp, "xmp")

enum class Kind : std::uint8_t {
#define HTML5_KIND_ENUM(id, name) id,
  HTML5_HTML_KINDS(HTML5_KIND_ENUM)
#undef HTML5_KIND_ENUM
  // Foreign elements with a role in scopes or integration points.
  MathMi, MathMo, MathMn, MathMs, MathMtext, MathAnnotationXml,
  SvgForeignObject, SvgDesc, SvgTitle,
  Other,
};

inline constexpr std::size_t kKindCount = static_cast<std::size_t>(Kind::Other) + 1;

// The kind of an HTML element by its (lower-case) local name.
Kind html_kind(std::string_view local);
// The kind of an element of any namespace.
Kind element_kind(Namespace ns, std::string_view local);

// Category bits of a kind.
enum KindFlag : std::uint32_t {
  kSpecial = 1u << 0,
  kFormatting = 1u << 1,
  kImpliedEnd = 1u << 2,           // closed by "generate implied end tags"
  kThoroughlyImpliedEnd = 1u << 3,  // ... and by the thorough variant
  kScopeDefault = 1u << 4,         // bounds "in scope" (and list-item and button scope)
  kScopeListItem = 1u << 5,        // bounds "in list item scope" only: ol, ul
  kScopeButton = 1u << 6,          // bounds "in button scope" only: button
  kScopeTable = 1u << 7,           // bounds "in table scope": html, table, template
  kHeading = 1u << 8,
  kMathMlTextIntegration = 1u << 9,  // mi mo mn ms mtext
  kBreaksOutOfForeign = 1u << 10,  // start tags that leave SVG and MathML content
};

namespace detail {
inline constexpr std::uint32_t kDefaultScope = kScopeDefault | kScopeListItem | kScopeButton;

inline constexpr std::array<std::uint32_t, kKindCount> kFlagTable = [] {
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

}  // namespace detail

constexpr std::uint32_t kind_flags(Kind kind) { return detail::kFlagTable[static_cast<std::size_t>(kind)]; }
constexpr bool has_flag(Kind kind, KindFlag flag) { return (kind_flags(kind) & flag) != 0; }

// SVG element names in their mixed-case form ("foreignobject" -> "foreignObject"); the name itself
// when it has none.
std::string_view adjust_svg_tag_name(std::string_view local);
// Attribute name adjustments of foreign content, applied in place.
void adjust_svg_attributes(std::vector<Attribute>& attrs);
void adjust_mathml_attributes(std::vector<Attribute>& attrs);
void adjust_foreign_attributes(std::vector<Attribute>& attrs);

using vedavi::scan::ascii_iequals;

}  // namespace html5
