// Timings of the numbering and cross-reference services and of raw payload decoding.
// Build and run after building the core (build/dev):
//   g++ -O2 -std=c++20 -Isrc bench/numbering_bench.cpp build/dev/libvedavi_core.a -o /tmp/numbering_bench
//   /tmp/numbering_bench
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "resolve/heading_nums.h"
#include "resolve/raw_payload.h"
#include "resolve/resolve.h"

namespace {

template <class Body>
void measure(const char* name, double units, const char* unit, Body body) {
  body();  // warm up
  const auto start = std::chrono::steady_clock::now();
  int rounds = 0;
  double seconds = 0;
  do {
    body();
    ++rounds;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  } while (seconds < 0.5);
  std::printf("%-36s %10.1f %s/s\n", name, units * rounds / seconds, unit);
}

std::string base64_of(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i + 3 <= bytes.size(); i += 3) {
    const unsigned quad = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 |
                          (unsigned char)bytes[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(quad >> shift) & 63];
    if (out.size() % 78 == 76) out += "\r\n";
  }
  return out;
}

}  // namespace

int main() {
  using namespace vedavi;
  std::string text;
  while (text.size() < (1 << 20)) text += "Plain text payload with some words in it, and more. ";
  text.resize(3 << 18);
  const std::string encoded = base64_of(text);
  measure("decode_raw base64 (CRLF every 76)", double(encoded.size()) / 1e6, "MB", [&] {
    const RawPayload raw = decode_raw(encoded, "base64");
    if (!raw.payload) std::abort();
  });

  measure("ref_tokens \"page bare\"", 1.0, "M calls", [] {
    for (int i = 0; i < 1000000; ++i) {
      if (!ref_tokens(std::string_view("page bare"))) std::abort();
    }
  });

  constexpr int kTargets = 100000;
  std::vector<std::string> ids;
  for (int i = 0; i < kTargets; ++i) ids.push_back("sec-heading-number-" + std::to_string(i));
  measure("Resolver register + set_headnum", kTargets / 1e6, "M targets", [&] {
    Resolver resolver;
    for (const std::string& id : ids) {
      resolver.register_target(id, "block", id);
      resolver.set_headnum(id, "1.2.", "1.2.");
    }
  });

  Resolver resolver;
  for (const std::string& id : ids) {
    resolver.register_target(id, "block", id);
    resolver.set_headnum(id, "1.2.", "1.2.");
  }
  measure("Resolver check + prefix + core", kTargets / 1e6, "M refs", [&] {
    for (const std::string& id : ids) {
      if (resolver.check(id) || !resolver.prefix("", id, {}, false) || !resolver.core(id, {})) {
        std::abort();
      }
    }
  });

  measure("HeadingNums decimal advance + display", 1.0, "M headings", [] {
    Outcome<HeadingNums> nums = HeadingNums::named("decimal");
    for (int i = 0; i < 1000000; ++i) {
      const std::size_t level = 1 + i % 4;
      nums.value().advance(level);
      if (nums.value().display(level).empty()) std::abort();
    }
  });
}
