// The transform kernels compiled for AVX2 with fused multiply-adds: a * b + c rounds once, so this
// set differs from the SSE2 and AVX ones (and from AVX-512) by rounding. Optimised in every build
// type: contraction into fused operations happens only when optimising, and the tests must see the
// rounding that ships. The engine's shortest lengths run through codelets here.
#include <cstddef>
#include <cstdint>

#include <immintrin.h>

#include "dsp/FftStages.h"

// After every include: only the kernels below are compiled for the set.
#pragma GCC target("avx2,fma")
#pragma GCC optimize("O3", "fp-contract=fast")

namespace
{
using namespace fftstages;

#define TARVEX_FFT_WITH_AVX 1
#define TARVEX_FFT_CODELETS 1
#include "dsp/FftKernels.h"
#include "dsp/FftLanes.h"
} // namespace

const fftstages::SetKernels fftstages::kFmaKernels = KernelsOn<AvxLanes, Sse2Lanes, ScalarLane>();
