// What the micro benchmarks share: a timing loop and input builders. Header only, so each
// benchmark still compiles on its own command line (from the repository root, with -I.).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace bench {

// Runs `work` (which returns a number, kept so the work is not optimised away) for about 300 ms
// and prints the throughput over `bytes` per round.
template <typename Work>
void measure(const char* name, std::size_t bytes, Work work) {
  using Clock = std::chrono::steady_clock;
  std::size_t sink = 0;
  int rounds = 0;
  const auto start = Clock::now();
  auto now = start;
  do {
    sink += work();
    ++rounds;
    now = Clock::now();
  } while (now - start < std::chrono::milliseconds(300));
  const double seconds = std::chrono::duration<double>(now - start).count() / rounds;
  std::printf("%-40s %9.1f MB/s  %10.3f ms/round  (%zu)\n", name, bytes / seconds / 1e6,
              seconds * 1e3, sink % 10);
}

// `piece` repeated until the text holds at least `bytes` bytes.
inline std::string repeat_to_size(std::string_view piece, std::size_t bytes) {
  std::string out;
  while (out.size() < bytes) out += piece;
  return out;
}

// `piece` repeated `n` times.
inline std::string repeat_times(std::string_view piece, std::size_t n) {
  std::string out;
  out.reserve(piece.size() * n);
  for (std::size_t i = 0; i < n; ++i) out += piece;
  return out;
}

}  // namespace bench
