// The alt text of the images of one text unit: the plain text of an image's bracket text read
// as inlines on its own. An image's reading also yields the alt texts of the images nested in
// it, which are kept for when their turn comes, so nested images are read once, not once per
// enclosing image.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "inline/parse.h"

namespace vedavi::inl {

class AltTexts {
 public:
  AltTexts(std::string_view text, const InlineContext& ctx) : text_(text), ctx_(ctx) {}

  // The alt text of the image whose Link or RefLink event is `image`. Images are asked for in
  // the order of their start, so an enclosing image is read before the images inside it.
  std::string alt_of(const InlineEvent& image);

 private:
  std::string_view text_;
  const InlineContext& ctx_;
  std::unordered_map<std::size_t, std::string> known_;  // by image start in the unit text
};

}  // namespace vedavi::inl
