// Per-sample loops compiled twice, for AVX2 and for the baseline, the better one chosen when the
// library loads (an ifunc resolver). Only where the toolchain and the loader support it (GCC or
// Clang on x86-64 Linux); elsewhere the baseline alone. Results are the same on both: the loops
// that use it do exact operations only (copies, comparisons, maxima, and single additions).
#pragma once

#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__)
#define TARVEX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TARVEX_VECTOR_CLONES
#endif
