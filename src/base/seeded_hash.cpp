// SipHash-1-3 keyed by a random process seed and a per-hasher counter.
#include "base/seeded_hash.h"

#include <atomic>
#include <random>

namespace vedavi {

namespace {

struct ProcessSeed {
  std::uint64_t k0;
  std::uint64_t k1;
};

const ProcessSeed& process_seed() {
  static const ProcessSeed seed = [] {
    std::random_device device;
    const auto draw = [&device] {
      return (static_cast<std::uint64_t>(device()) << 32) ^ static_cast<std::uint64_t>(device());
    };
    const std::uint64_t k0 = draw();
    return ProcessSeed{k0, draw()};
  }();
  return seed;
}

std::atomic<std::uint64_t> hasher_count{0};

inline std::uint64_t rotl(std::uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

struct SipState {
  std::uint64_t v0, v1, v2, v3;

  void round() {
    v0 += v1; v1 = rotl(v1, 13); v1 ^= v0; v0 = rotl(v0, 32);
    v2 += v3; v3 = rotl(v3, 16); v3 ^= v2;
    v0 += v3; v3 = rotl(v3, 21); v3 ^= v0;
    v2 += v1; v1 = rotl(v1, 17); v1 ^= v2; v2 = rotl(v2, 32);
  }
  void absorb(std::uint64_t m) {
    v3 ^= m;
    round();
    v0 ^= m;
  }
};

std::uint64_t load_le64(const unsigned char* p) {
  std::uint64_t m = 0;
  for (int i = 7; i >= 0; --i) m = (m << 8) | p[i];
  return m;
}

}  // namespace

SeededHash::SeededHash() {
  const ProcessSeed& seed = process_seed();
  k0_ = seed.k0;
  k1_ = seed.k1 + hasher_count.fetch_add(1, std::memory_order_relaxed);
}

std::size_t SeededHash::operator()(std::string_view s) const {
  SipState st{k0_ ^ 0x736f6d6570736575ULL, k1_ ^ 0x646f72616e646f6dULL,
              k0_ ^ 0x6c7967656e657261ULL, k1_ ^ 0x7465646279746573ULL};
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  const std::size_t whole = n & ~std::size_t{7};
  for (std::size_t i = 0; i < whole; i += 8) st.absorb(load_le64(p + i));
  std::uint64_t last = static_cast<std::uint64_t>(n) << 56;
  for (std::size_t i = whole; i < n; ++i) last |= static_cast<std::uint64_t>(p[i]) << (8 * (i - whole));
  st.absorb(last);
  st.v2 ^= 0xff;
  st.round();
  st.round();
  st.round();
  return static_cast<std::size_t>(st.v0 ^ st.v1 ^ st.v2 ^ st.v3);
}

}  // namespace vedavi
