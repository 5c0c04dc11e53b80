// Namespace URLs of qualified names.
#include "html5/names.h"

namespace html5 {

std::string_view namespace_url(Namespace ns) {
  switch (ns) {
    case Namespace::None: return "";
    case Namespace::Html: return "http://www.w3.org/1999/xhtml";
    case Namespace::Svg: return "http://www.w3.org/2000/svg";
    case Namespace::MathMl: return "http://www.w3.org/1998/Math/MathML";
    case Namespace::XLink: return "http://www.w3.org/1999/xlink";
    case Namespace::Xml: return "http://www.w3.org/XML/1998/namespace";
    case Namespace::Xmlns: return "http://www.w3.org/2000/xmlns/";
  }
  return "";
}

}  // namespace html5
