#include "fast5ever/child_list.h"

#include <cstdint>
#include <limits>

#include "base/internal_error.h"

namespace fast5ever::dom {

void ChildList::grow(std::size_t needed) {
  // The counts are 32 bits wide; a list that long could not fit in memory as ids anyway.
  constexpr std::size_t kMax = std::numeric_limits<std::uint32_t>::max();
  if (needed > kMax) vedavi::internal_failure("dom: too many children for one node");
  const std::size_t doubled = std::size_t{capacity_} * 2;
  const std::size_t capacity = std::min(kMax, std::max<std::size_t>({needed, doubled, 4}));
  NodeId* block = new NodeId[capacity];
  std::copy(begin(), end(), block);
  if (on_heap()) delete[] heap_;
  heap_ = block;
  capacity_ = static_cast<std::uint32_t>(capacity);
}

}  // namespace fast5ever::dom
