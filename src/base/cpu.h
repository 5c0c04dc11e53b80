// What the processor offers beyond the baseline the core is built for, asked once.
#pragma once

namespace vedavi::cpu {

#if defined(__x86_64__) && defined(__GNUC__)
// Whether 32-byte vector blocks (AVX2) run here: the scanners that have a version for them pick it
// by this.
bool has_wide_blocks();
#endif

}  // namespace vedavi::cpu
