// The transform kernels compiled for AVX-512 with fused multiply-adds (rounding as in
// FftSetFma.cpp): the strided stages and the split passes run on eight lanes (a cache line per
// vector), the rest on four; 32 vector registers keep the wide kernels' operands out of memory.
#include <cstddef>
#include <cstdint>

#include <immintrin.h>

#include "dsp/FftStages.h"

// After every include: only the kernels below are compiled for the set.
#pragma GCC target("avx2,fma,avx512f,avx512vl,avx512dq")
#pragma GCC optimize("O3", "fp-contract=fast")

namespace
{
using namespace fftstages;

#define TARVEX_FFT_WITH_AVX 1
// clang does not apply the target pragma above: there the eight-lane code needs AVX-512 enabled
// for the whole build, and without it this set runs the four-lane kernels (the fuzz build).
#if !defined(__clang__) || defined(__AVX512F__)
#define TARVEX_FFT_WITH_AVX512 1
#else
#define TARVEX_FFT_WITH_AVX512 0
#endif
#define TARVEX_FFT_CODELETS 1
#include "dsp/FftKernels.h"
#include "dsp/FftLanes.h"
} // namespace

const fftstages::SetKernels fftstages::kAvx512Kernels =
    KernelsOn<AvxLanes, Sse2Lanes, ScalarLane, Avx512Lanes>();
