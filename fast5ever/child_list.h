// A node's child ids in order. Most nodes have no child or one (the text inside an inline
// element), so the first two ids live in the list itself and only longer lists take heap memory:
// a parse otherwise makes one allocation per parent.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace fast5ever::dom {

using NodeId = std::size_t;

class ChildList {
 public:
  using value_type = NodeId;
  using iterator = NodeId*;
  using const_iterator = const NodeId*;
  using reverse_iterator = std::reverse_iterator<iterator>;
  using const_reverse_iterator = std::reverse_iterator<const_iterator>;

  ChildList() noexcept {}
  ChildList(const ChildList& other) { insert(end(), other.begin(), other.end()); }
  ChildList(ChildList&& other) noexcept { take(other); }
  ChildList& operator=(const ChildList& other) {
    if (this != &other) {
      clear();
      insert(end(), other.begin(), other.end());
    }
    return *this;
  }
  ChildList& operator=(ChildList&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  ~ChildList() { release(); }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::size_t capacity() const { return capacity_; }

  NodeId* data() { return on_heap() ? heap_ : inline_; }
  const NodeId* data() const { return on_heap() ? heap_ : inline_; }
  iterator begin() { return data(); }
  iterator end() { return data() + size_; }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + size_; }
  const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
  const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }

  NodeId& operator[](std::size_t i) { return data()[i]; }
  NodeId operator[](std::size_t i) const { return data()[i]; }
  NodeId& front() { return data()[0]; }
  NodeId front() const { return data()[0]; }
  NodeId& back() { return data()[size_ - 1]; }
  NodeId back() const { return data()[size_ - 1]; }

  void push_back(NodeId id) {
    if (size_ == capacity_) grow(std::size_t{size_} + 1);
    data()[size_++] = id;
  }

  iterator insert(const_iterator at, NodeId id) { return insert(at, &id, &id + 1); }

  // `first`..`last` must not lie inside this list.
  template <class It>
  iterator insert(const_iterator at, It first, It last) {
    const std::size_t index = static_cast<std::size_t>(at - begin());
    const std::size_t count = static_cast<std::size_t>(std::distance(first, last));
    if (count == 0) return begin() + index;
    if (size_ + count > capacity_) grow(size_ + count);
    NodeId* place = data() + index;
    std::memmove(place + count, place, (size_ - index) * sizeof(NodeId));
    std::copy(first, last, place);
    size_ = static_cast<std::uint32_t>(size_ + count);
    return place;
  }

  iterator erase(const_iterator at) { return erase(at, at + 1); }
  iterator erase(const_iterator first, const_iterator last) {
    NodeId* from = begin() + (first - begin());
    const std::size_t count = static_cast<std::size_t>(last - first);
    std::memmove(from, from + count, static_cast<std::size_t>(end() - (from + count)) * sizeof(NodeId));
    size_ = static_cast<std::uint32_t>(size_ - count);
    return from;
  }

  // Keeps the capacity, as a vector's clear does.
  void clear() { size_ = 0; }

  void reserve(std::size_t wanted) {
    if (wanted > capacity_) grow(wanted);
  }

  friend bool operator==(const ChildList& a, const ChildList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  static constexpr std::uint32_t kInline = 2;

  bool on_heap() const { return capacity_ > kInline; }
  void grow(std::size_t needed);  // child_list.cpp
  void release() {
    if (on_heap()) delete[] heap_;
    size_ = 0;
    capacity_ = kInline;
  }
  // Takes `other`'s ids (and heap block) and leaves it empty; this list holds nothing of its own.
  void take(ChildList& other) noexcept {
    size_ = other.size_;
    capacity_ = other.capacity_;
    if (other.on_heap()) {
      heap_ = other.heap_;
    } else {
      std::copy(other.inline_, other.inline_ + other.size_, inline_);
    }
    other.size_ = 0;
    other.capacity_ = kInline;
  }

  union {
    NodeId inline_[kInline] = {};
    NodeId* heap_;
  };
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = kInline;
};

}  // namespace fast5ever::dom
