// The memory a document tree lives in: an `Arena` that hands out memory by bumping a pointer and
// frees it all at once, and the types the tree is made of on top of it: `Str` (text) and
// `ArenaVector` (a growable list); model/document.h's `Boxed` holds one value out of line in it.
//
// A tree is built while an arena is current on the thread (`ArenaScope`); everything it allocates
// comes from that arena, so its nodes need no destructor and the whole tree goes in one reset.
// Values that do own heap memory (an attribute set's strings, the rare kinds that keep standard
// containers) are registered with the arena and destroyed at the reset. A document keeps a
// handle on its arena, so it stays valid however long it lives; an arena whose last handle goes
// is reset and kept warm for the thread's next tree, unless it grew past a high-water mark.
// Without a current arena (tests building nodes by hand), a thread-wide arena that is never reset
// takes the allocations.
#pragma once

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace vedavi {

class Arena {
 public:
  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  ~Arena();

  void* allocate(std::size_t bytes, std::size_t align) {
    auto p = (reinterpret_cast<std::uintptr_t>(cur_) + (align - 1)) & ~std::uintptr_t(align - 1);
    if (p + bytes > reinterpret_cast<std::uintptr_t>(end_)) return allocate_slow(bytes, align);
    cur_ = reinterpret_cast<char*>(p + bytes);
    return reinterpret_cast<void*>(p);
  }

  // Room for a list: at least `bytes` (updated to what may be used). A list that grows one
  // element at a time gets a power of two, reused from lists that grew out of their room before
  // when there is one; one whose size is known (`exact`) gets fresh room, no more than it asks for.
  // Inline: most lists are made at their size, whose room is a bump of the pointer.
  void* allocate_room(std::size_t& bytes, bool exact) {
    if (exact && bytes <= kLargeRoomBytes)
      return allocate(std::max(bytes, kSmallestRoom), alignof(std::max_align_t));
    return allocate_room_slow(bytes, exact);
  }
  // The least room a list is given.
  static constexpr std::size_t kSmallestRoom = 16;
  // Gives back a list's room, `bytes` of it in use (at most what it was given).
  void release_room(void* room, std::size_t bytes);

  // The bytes of `text` followed by `more`, where the text's own bytes are when they can grow in
  // place: the last allocation made, or the text last grown here (which got room to spare, so that
  // a text appended to again and again, as runs of text are joined, costs linear time).
  const char* append(std::string_view text, std::string_view more);

  // A copy of `text` in the arena (nullptr for an empty text).
  const char* copy(std::string_view text) {
    if (text.empty()) return nullptr;
    char* p = static_cast<char*>(allocate(text.size(), 1));
    std::memcpy(p, text.data(), text.size());
    return p;
  }

  // A `T` made in the arena; one that owns memory of its own is destroyed at the reset.
  template <class T, class... A>
  T* make(A&&... args) {
    void* p = allocate(sizeof(T), alignof(T));
    T* value = ::new (p) T(std::forward<A>(args)...);
    if constexpr (!std::is_trivially_destructible_v<T>) on_reset(+[](void* v) { static_cast<T*>(v)->~T(); }, value);
    return value;
  }

  // Destroys the registered values and empties the arena. Its blocks stay for the next tree when
  // all of them together are within `keep_bytes` (not 0); otherwise all are freed.
  void reset(std::size_t keep_bytes);
  // Destroys the registered values and empties the arena, keeping every block for what is made
  // next: for scratch memory cleared again and again, which then takes no block from the system
  // (whose pages would be faulted in afresh) once it has its size.
  void recycle();
  // Whether more than one block is in use.
  bool past_one_block() const { return blocks_ && blocks_->next; }
  // Bytes taken from the system, for tests and measurements.
  std::size_t reserved_bytes() const { return reserved_; }

  // Shared ownership by documents and scopes (atomic: a document may die on another thread).
  void retain() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
  // Drops one owner; the last one resets the arena and gives it back to the thread's warm slot
  // (or frees it).
  void release() noexcept;

 private:
  struct Block {
    Block* next;
    std::size_t size;  // usable bytes after the header
  };
  struct Cleanup {
    void (*destroy)(void*);
    void* value;
    Cleanup* next;
  };
  // A large list's room, taken from the system on its own and given back as soon as the list
  // outgrows it, as a std::vector's would be: a long list that grows by doubling leaves no trail
  // of old rooms behind in the arena.
  struct alignas(std::max_align_t) LargeRoom {
    Arena* owner;
    LargeRoom* prev;
    LargeRoom* next;
  };
  static constexpr std::size_t kLargeRoomBytes = std::size_t{64} << 10;
  static constexpr int kRoomClasses = 17;  // rooms up to kLargeRoomBytes

  // allocate_room of a large room or one for a growing list.
  void* allocate_room_slow(std::size_t& bytes, bool exact);

  void* allocate_slow(std::size_t bytes, std::size_t align);
  void on_reset(void (*destroy)(void*), void* value);
  // Destroys the registered values and lets go of the large rooms and list rooms.
  void clear_values();
  void add_block(std::size_t at_least);

  char* cur_ = nullptr;
  char* end_ = nullptr;
  // The text last grown by `append`, and the room it has.
  const char* grown_ = nullptr;
  std::size_t grown_size_ = 0;
  std::size_t grown_room_ = 0;
  Block* blocks_ = nullptr;  // in use, the current one first
  Block* spare_ = nullptr;   // kept by `recycle`, not in use again yet; largest first
  LargeRoom* large_ = nullptr;
  Cleanup* cleanups_ = nullptr;
  std::size_t reserved_ = 0;  // in use and spare
  std::size_t next_block_ = 0;
  void* free_room_[kRoomClasses] = {};
  std::atomic<std::uint32_t> refs_{0};
};

namespace arena_detail {
// The arena made current by the innermost scope on this thread; null outside any scope.
extern constinit thread_local Arena* t_current;
Arena& loose_arena();
}  // namespace arena_detail

// The arena this thread's trees are built in now (never null: the thread-wide one without a scope).
// Inline: most of a tree's allocations ask for it.
inline Arena& current_arena() {
  Arena* arena = arena_detail::t_current;
  return arena ? *arena : arena_detail::loose_arena();
}

// A shared owner of an arena.
class ArenaHandle {
 public:
  ArenaHandle() = default;
  explicit ArenaHandle(Arena* arena) : arena_(arena) {
    if (arena_) arena_->retain();
  }
  ArenaHandle(const ArenaHandle& other) : ArenaHandle(other.arena_) {}
  ArenaHandle(ArenaHandle&& other) noexcept : arena_(std::exchange(other.arena_, nullptr)) {}
  ArenaHandle& operator=(ArenaHandle other) noexcept {
    std::swap(arena_, other.arena_);
    return *this;
  }
  ~ArenaHandle() {
    if (arena_) arena_->release();
  }
  Arena* get() const { return arena_; }

 private:
  Arena* arena_ = nullptr;
};

// Makes an arena current on this thread while it lives: the current one when a scope is open
// already (a nested parse builds into its caller's arena), or else a fresh one (one of the
// thread's warm arenas when there is one).
class ArenaScope {
 public:
  ArenaScope();
  // A fresh arena even inside another scope: for a tree whose memory should go as soon as it is
  // done with, before the call that builds it ends. Nothing it holds may be moved into a longer
  // lived tree.
  struct Fresh {};
  explicit ArenaScope(Fresh);
  ArenaScope(const ArenaScope&) = delete;
  ArenaScope& operator=(const ArenaScope&) = delete;
  ~ArenaScope();
  // A handle on the scope's arena, for the document built in it.
  const ArenaHandle& handle() const { return handle_; }

 private:
  ArenaHandle handle_;
  Arena* saved_;
};

// Text in an arena: a string_view whose bytes the arena holds. Made from any text by copying it
// into the current arena; copies of a `Str` share the bytes, which never change.
class Str : public std::string_view {
 public:
  constexpr Str() noexcept = default;
  Str(const Str&) noexcept = default;
  Str& operator=(const Str&) noexcept = default;
  Str(std::string_view text) : std::string_view(copied(text)) {}
  Str(const std::string& text) : Str(std::string_view(text)) {}
  Str(const char* text) : Str(std::string_view(text)) {}
  Str& operator=(std::string_view text) { return *this = Str(text); }
  Str& operator=(const std::string& text) { return *this = Str(text); }
  Str& operator=(const char* text) { return *this = Str(text); }

  // A copy of `text` in `arena`, the current one: for hot paths that took it once already.
  static Str copied_into(Arena& arena, std::string_view text) {
    Str s;
    if (!text.empty()) static_cast<std::string_view&>(s) = std::string_view(arena.copy(text), text.size());
    return s;
  }
  // A view of existing bytes that outlive the tree (the source text), not copied.
  static Str borrowed(std::string_view text) {
    Str s;
    static_cast<std::string_view&>(s) = text;
    return s;
  }

  std::string_view view() const { return *this; }
  std::string str() const { return std::string(view()); }
  operator std::string() const { return str(); }

  // Appending grows the text in place when it is the arena's last allocation or the text last
  // grown there (see Arena::append); otherwise it copies.
  Str& append(std::string_view more);
  Str& operator+=(std::string_view more) { return append(more); }
  Str& operator+=(char c) { return append(std::string_view(&c, 1)); }
  void push_back(char c) { append(std::string_view(&c, 1)); }
  void clear() { *this = Str(); }
  // Shortening keeps the bytes; growing appends `fill`.
  void resize(std::size_t n, char fill = '\0') {
    if (n <= size()) {
      static_cast<std::string_view&>(*this) = substr(0, n);
    } else {
      append(std::string(n - size(), fill));
    }
  }
  Str& erase(std::size_t pos = 0, std::size_t n = npos) {
    n = std::min(n, size() - pos);
    if (pos == 0) {
      remove_prefix(n);
    } else if (pos + n == size()) {
      remove_suffix(n);
    } else {
      std::string kept(view());
      kept.erase(pos, n);
      *this = Str(kept);
    }
    return *this;
  }

  friend bool operator==(const Str& a, const Str& b) { return a.view() == b.view(); }
  friend bool operator==(const Str& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const Str& a, const std::string& b) { return a.view() == std::string_view(b); }
  friend bool operator==(const Str& a, const char* b) { return a.view() == std::string_view(b); }
  friend auto operator<=>(const Str& a, const Str& b) { return a.view() <=> b.view(); }

 private:
  static std::string_view copied(std::string_view text) {
    if (text.empty()) return {};
    return std::string_view(current_arena().copy(text), text.size());
  }
};

inline std::string operator+(const std::string& a, const Str& b) { return a + std::string(b.view()); }
inline std::string operator+(std::string&& a, const Str& b) { return std::move(a.append(b.view())); }
inline std::string operator+(const Str& a, const std::string& b) { return a.str() + b; }
inline std::string operator+(const Str& a, const char* b) { return a.str() + b; }
inline std::string operator+(const char* a, const Str& b) { return std::string(a) + b.str(); }
inline std::string operator+(char a, const Str& b) { return std::string(1, a) + b.str(); }
inline std::string operator+(const Str& a, char b) { return a.str() + b; }

// A list whose room comes from the current arena. Reads and grows like std::vector; its elements
// are never destroyed (they must need no destructor), and copying it copies them into the arena
// current at the time.
template <class T>
class ArenaVector {
 public:
  using value_type = T;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;
  using reference = T&;
  using const_reference = const T&;
  using pointer = T*;
  using const_pointer = const T*;
  using iterator = T*;
  using const_iterator = const T*;
  using reverse_iterator = std::reverse_iterator<iterator>;
  using const_reverse_iterator = std::reverse_iterator<const_iterator>;

  ArenaVector() noexcept = default;
  ArenaVector(ArenaVector&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  ArenaVector& operator=(ArenaVector&& other) noexcept {
    if (this != &other) {
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  ArenaVector(const ArenaVector& other) { assign(other.begin(), other.end()); }
  ArenaVector& operator=(const ArenaVector& other) {
    if (this != &other) {
      ArenaVector copy(other);
      swap(copy);
    }
    return *this;
  }
  ArenaVector(std::initializer_list<T> items) { assign(items.begin(), items.end()); }
  template <class It, class = typename std::iterator_traits<It>::iterator_category>
  ArenaVector(It first, It last) {
    assign(first, last);
  }
  explicit ArenaVector(size_type n) { resize(n); }
  // The `size` elements made in `room`, which holds `capacity`: memory of the current arena that
  // no other list uses, aligned as any list's room (alignof(std::max_align_t)). Many short lists
  // made together may share one allocation so; each slice is its list's own room from then on,
  // given back as any other when the list grows.
  ArenaVector(T* room, size_type size, size_type capacity) noexcept
      : data_(room), size_(std::uint32_t(size)), capacity_(std::uint32_t(capacity)) {}

  iterator begin() noexcept { return data_; }
  iterator end() noexcept { return data_ + size_; }
  const_iterator begin() const noexcept { return data_; }
  const_iterator end() const noexcept { return data_ + size_; }
  const_iterator cbegin() const noexcept { return data_; }
  const_iterator cend() const noexcept { return data_ + size_; }
  reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
  reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
  const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
  const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }

  size_type size() const noexcept { return size_; }
  size_type capacity() const noexcept { return capacity_; }
  bool empty() const noexcept { return size_ == 0; }
  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  T& operator[](size_type i) { return data_[i]; }
  const T& operator[](size_type i) const { return data_[i]; }
  T& front() { return data_[0]; }
  const T& front() const { return data_[0]; }
  T& back() { return data_[size_ - 1]; }
  const T& back() const { return data_[size_ - 1]; }

  void reserve(size_type n) {
    if (n > capacity_) grow_to(n, true);
  }
  // reserve in `arena`, which is the current one: for hot paths that took it once already
  // (reading the thread's current arena is a call in a shared library).
  void reserve(Arena& arena, size_type n) {
    if (n > capacity_) grow_to(arena, n, true);
  }
  void push_back(const T& value) { emplace_back(value); }
  void push_back(T&& value) { emplace_back(std::move(value)); }
  // Appends `n` elements copied from `items` (which must not lie in this list), growing as
  // push_back does.
  void append(const T* items, size_type n) {
    if (size_ + n > capacity_) grow_to(size_ + n, false);
    std::uninitialized_copy(items, items + n, data_ + size_);
    size_ += std::uint32_t(n);
  }
  template <class... A>
  T& emplace_back(A&&... args) {
    if (size_ == capacity_) {
      // The argument may live in this list: make the element before the room moves.
      T value(std::forward<A>(args)...);
      grow_to(size_ + 1, false);
      return *::new (data_ + size_++) T(std::move(value));
    }
    return *::new (data_ + size_++) T(std::forward<A>(args)...);
  }
  void pop_back() { --size_; }
  void clear() noexcept { size_ = 0; }
  void resize(size_type n) {
    reserve(n);
    for (size_type i = size_; i < n; ++i) ::new (data_ + i) T();
    size_ = n;
  }
  void swap(ArenaVector& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }
  void assign(size_type n, const T& value) {
    clear();
    reserve(n);
    for (size_type i = 0; i < n; ++i) emplace_back(value);
  }
  template <class It, class = typename std::iterator_traits<It>::iterator_category>
  void assign(It first, It last) {
    clear();
    if constexpr (std::is_base_of_v<std::forward_iterator_tag,
                                    typename std::iterator_traits<It>::iterator_category>)
      reserve(size_type(std::distance(first, last)));
    for (; first != last; ++first) emplace_back(*first);
  }

  iterator insert(const_iterator pos, T value) {
    const size_type at = size_type(pos - data_);
    emplace_back(std::move(value));
    std::rotate(data_ + at, data_ + size_ - 1, data_ + size_);
    return data_ + at;
  }
  template <class It, class = typename std::iterator_traits<It>::iterator_category>
  iterator insert(const_iterator pos, It first, It last) {
    const size_type at = size_type(pos - data_);
    const size_type old = size_;
    for (; first != last; ++first) emplace_back(*first);
    std::rotate(data_ + at, data_ + old, data_ + size_);
    return data_ + at;
  }
  iterator erase(const_iterator pos) { return erase(pos, pos + 1); }
  iterator erase(const_iterator first, const_iterator last) {
    T* from = data_ + (first - data_);
    T* to = data_ + (last - data_);
    T* out = std::move(to, data_ + size_, from);
    size_ = size_type(out - data_);
    return from;
  }

  friend bool operator==(const ArenaVector& a, const ArenaVector& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  void grow_to(size_type n, bool exact) { grow_to(current_arena(), n, exact); }
  void grow_to(Arena& arena, size_type n, bool exact) {
    static_assert(std::is_trivially_destructible_v<T>, "arena list elements are never destroyed");
    std::size_t bytes = (exact ? n : std::max(n, capacity_ ? size_type(capacity_) * 2 : size_type(1))) * sizeof(T);
    T* room = static_cast<T*>(arena.allocate_room(bytes, exact));
    for (size_type i = 0; i < size_; ++i) ::new (room + i) T(std::move(data_[i]));
    if (data_) arena.release_room(data_, capacity_ * sizeof(T));
    data_ = room;
    capacity_ = size_type(bytes / sizeof(T));
  }

  T* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;
};

}  // namespace vedavi
