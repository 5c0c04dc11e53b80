#include "base/cpu.h"

namespace vedavi::cpu {

#if defined(__x86_64__) && defined(__GNUC__)
namespace {

// Asked once, as the module loads (the processor's features are read first: this may run before
// the runtime's own constructors).
const bool kHasWideBlocks = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();

}  // namespace

bool has_wide_blocks() { return kHasWideBlocks; }
#endif

}  // namespace vedavi::cpu
