// The arena: blocks of memory taken from the system in growing sizes, bumped through, and kept
// warm at a reset for the next tree on the thread, up to a limit.
#include "model/arena.h"

#include <bit>
#include <cstdlib>

namespace vedavi {
using arena_detail::t_current;
namespace {

constexpr std::size_t kFirstBlockBytes = std::size_t{64} << 10;
constexpr std::size_t kLargestStepBytes = std::size_t{64} << 20;
// An arena whose last owner goes keeps its blocks, up to this size in all, for the next tree on
// the thread; a thread that once built a huge tree does not hold its memory for good. Under
// AddressSanitizer nothing is kept, so that a tree read after its arena went is reported.
#if defined(__SANITIZE_ADDRESS__)
#define VEDAVI_ARENA_KEEPS_NOTHING 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEDAVI_ARENA_KEEPS_NOTHING 1
#endif
#endif
#ifdef VEDAVI_ARENA_KEEPS_NOTHING
constexpr std::size_t kKeepBytes = 0;
#else
constexpr std::size_t kKeepBytes = std::size_t{8} << 20;
#endif

}  // namespace

// The thread's arena for the trees built outside any scope: never reset, freed with the thread.
// Held by pointer: the module's thread-locals must stay few bytes in all, or the loader gives
// them no room beside the program's own, and every read of one becomes a call into it.
Arena& arena_detail::loose_arena() {
  thread_local std::unique_ptr<Arena> arena;
  if (!arena) arena = std::make_unique<Arena>();
  return *arena;
}

constinit thread_local Arena* arena_detail::t_current = nullptr;

namespace {

// The thread's reset arenas, waiting for the next scopes: a call and the document it builds take
// one each, so that both find their memory in place the next time.
struct WarmArenas {
  static constexpr std::size_t kMax = 4;
  Arena* arenas[kMax] = {};
  std::size_t count = 0;
  ~WarmArenas() {
    while (count) delete arenas[--count];
  }
  Arena* take() { return count ? arenas[--count] : new Arena(); }
  bool give(Arena* arena) {
    if (count == kMax) return false;
    arenas[count++] = arena;
    return true;
  }
};
thread_local WarmArenas t_warm;

// The class of rooms of at least 2^k bytes: a request of `bytes` looks in the class that
// rounds it up, a room given back goes to the class that rounds it down.
int class_up(std::size_t bytes) { return std::bit_width(std::max(bytes, Arena::kSmallestRoom) - 1); }
int class_down(std::size_t bytes) { return std::bit_width(bytes) - 1; }

}  // namespace


Arena::~Arena() {
  reset(0);
}

void Arena::add_block(std::size_t at_least) {
  // A spare block that is large enough serves first: its pages are resident already.
  Block** spare = &spare_;
  while (*spare && (*spare)->size < at_least) spare = &(*spare)->next;
  Block* block = *spare;
  if (block) {
    *spare = block->next;
  } else {
    const std::size_t size = std::max({at_least, next_block_, kFirstBlockBytes});
    block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (!block) throw std::bad_alloc();
    block->size = size;
    reserved_ += size;
    next_block_ = std::min(reserved_, kLargestStepBytes);
  }
  block->next = blocks_;
  blocks_ = block;
  cur_ = reinterpret_cast<char*>(block + 1);
  end_ = cur_ + block->size;
}

void* Arena::allocate_slow(std::size_t bytes, std::size_t align) {
  add_block(bytes + align);
  return allocate(bytes, align);
}

void* Arena::allocate_room_slow(std::size_t& bytes, bool exact) {
  if (bytes > kLargeRoomBytes) {
    auto* room = static_cast<LargeRoom*>(std::malloc(sizeof(LargeRoom) + bytes));
    if (!room) throw std::bad_alloc();
    *room = LargeRoom{this, nullptr, large_};
    if (large_) large_->prev = room;
    large_ = room;
    return room + 1;
  }
  // A list whose size is known is made once and seldom grows: it takes fresh room (see
  // allocate_room), and the rooms given back serve the lists that grow.
  if (exact) return allocate(std::max(bytes, kSmallestRoom), alignof(std::max_align_t));
  const int k = class_up(bytes);
  if (void* room = free_room_[k]) {
    std::memcpy(&free_room_[k], room, sizeof(void*));
    bytes = std::size_t{1} << k;
    return room;
  }
  bytes = std::size_t{1} << k;
  return allocate(bytes, alignof(std::max_align_t));
}

void Arena::release_room(void* room, std::size_t bytes) {
  // Rooms are large exactly when their size is: a large room's list uses all of it, and a small
  // room's size is a power of two up to the limit, or its list's exact size.
  if (bytes > kLargeRoomBytes) {
    LargeRoom* large = static_cast<LargeRoom*>(room) - 1;
    Arena* owner = large->owner;
    if (large->prev) large->prev->next = large->next;
    else owner->large_ = large->next;
    if (large->next) large->next->prev = large->prev;
    std::free(large);
    return;
  }
  if (bytes < kSmallestRoom) return;
  const int k = class_down(bytes);
  // Only this arena's own room is kept for reuse: a list built in another arena that grows here
  // leaves its old room where it was.
  bool own = false;
  for (const Block* block = blocks_; block && !own; block = block->next) {
    const char* begin = reinterpret_cast<const char*>(block + 1);
    own = static_cast<const char*>(room) >= begin && static_cast<const char*>(room) < begin + block->size;
  }
  if (!own) return;
  std::memcpy(room, &free_room_[k], sizeof(void*));
  free_room_[k] = room;
}

void Arena::on_reset(void (*destroy)(void*), void* value) {
  auto* cleanup = static_cast<Cleanup*>(allocate(sizeof(Cleanup), alignof(Cleanup)));
  *cleanup = Cleanup{destroy, value, cleanups_};
  cleanups_ = cleanup;
}

void Arena::clear_values() {
  // Values registered later may refer to earlier ones, never the other way: newest first.
  for (Cleanup* c = cleanups_; c; c = c->next) c->destroy(c->value);
  cleanups_ = nullptr;
  while (large_) std::free(std::exchange(large_, large_->next));
  grown_ = nullptr;
  grown_size_ = grown_room_ = 0;
  std::fill(std::begin(free_room_), std::end(free_room_), nullptr);
}

void Arena::recycle() {
#ifdef VEDAVI_ARENA_KEEPS_NOTHING
  reset(0);
#else
  clear_values();
  cur_ = end_ = nullptr;
  for (Block* block = blocks_; block;) {
    Block* next = block->next;
    Block** at = &spare_;
    while (*at && (*at)->size >= block->size) at = &(*at)->next;
    block->next = *at;
    *at = block;
    block = next;
  }
  blocks_ = nullptr;
#endif
}

void Arena::reset(std::size_t keep_bytes) {
  if (keep_bytes != 0 && reserved_ <= keep_bytes) {
    // The next tree on the thread finds every block in place, the largest in use: one as large
    // as this one takes no memory from the system, whose pages would be faulted in afresh.
    recycle();
    if (spare_) {
      blocks_ = std::exchange(spare_, spare_->next);
      blocks_->next = nullptr;
      cur_ = reinterpret_cast<char*>(blocks_ + 1);
      end_ = cur_ + blocks_->size;
    }
    return;
  }
  // A tree that outgrew the limit keeps nothing: its blocks would stand resident beside whatever
  // the call makes next (md2vedavi's output, above all), and a call that large pays little for
  // taking its memory afresh.
  clear_values();
  for (Block* list : {blocks_, spare_}) {
    while (list) std::free(std::exchange(list, list->next));
  }
  blocks_ = spare_ = nullptr;
  cur_ = end_ = nullptr;
  reserved_ = next_block_ = 0;
}

void Arena::release() noexcept {
  if (refs_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  reset(kKeepBytes);
  // A current arena always has an owner: the scope that made it current.
  assert(t_current != this);
  if (!t_warm.give(this)) delete this;
}

const char* Arena::append(std::string_view text, std::string_view more) {
  const std::size_t size = text.size() + more.size();
  char* at = const_cast<char*>(text.data());
  // Bytes past a text's end belong to no text that shares its start: another text with the same
  // bytes is never longer than the one that grew last, so writing there changes none of them.
  if (!text.empty() && text.data() + text.size() == cur_ && more.size() <= std::size_t(end_ - cur_)) {
    cur_ += more.size();
  } else if (!text.empty() && text.data() == grown_ && text.size() == grown_size_ && size <= grown_room_) {
  } else {
    const std::size_t room = std::max<std::size_t>(2 * size, 32);
    at = static_cast<char*>(allocate(room, 1));
    std::memcpy(at, text.data(), text.size());
    grown_ = at;
    grown_room_ = room;
  }
  std::memcpy(at + text.size(), more.data(), more.size());
  if (at == grown_) grown_size_ = size;
  return at;
}

Str& Str::append(std::string_view more) {
  if (more.empty()) return *this;
  const std::size_t size = this->size() + more.size();
  static_cast<std::string_view&>(*this) = std::string_view(current_arena().append(view(), more), size);
  return *this;
}

ArenaScope::ArenaScope() : saved_(t_current) {
  if (t_current) {
    handle_ = ArenaHandle(t_current);
  } else {
    handle_ = ArenaHandle(t_warm.take());
    t_current = handle_.get();
  }
}

ArenaScope::ArenaScope(Fresh) : handle_(t_warm.take()), saved_(t_current) { t_current = handle_.get(); }

ArenaScope::~ArenaScope() { t_current = saved_; }

}  // namespace vedavi
