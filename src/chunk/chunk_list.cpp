// Chunks held as a prefix and a stretch of the source, their texts made when asked for.
#include <utility>

#include "chunk/chunk.h"

namespace vedavi::chunk {

MdChunk ChunkList::chunk(std::size_t i) const {
  MdChunk out;
  const std::string_view head = prefix(i), tail = body(i);
  out.text.reserve(head.size() + tail.size());
  out.text += head;
  out.text += tail;
  out.is_body = parts_[i].start.is_body;
  out.level = parts_[i].start.level;
  return out;
}

std::vector<MdChunk> ChunkList::chunks() const {
  std::vector<MdChunk> out;
  out.reserve(size());
  for (std::size_t i = 0; i < size(); ++i) out.push_back(chunk(i));
  return out;
}

std::size_t ChunkList::add_prefix(std::string text) {
  if (text.empty()) return 0;
  prefixes_.push_back(std::move(text));
  return prefixes_.size() - 1;
}

}  // namespace vedavi::chunk
