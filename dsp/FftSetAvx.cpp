// The transform kernels compiled for AVX: four-lane stages, bit-identical to the SSE2 and scalar
// ones.
#include <cstddef>
#include <cstdint>

#include <immintrin.h>

#include "dsp/FftStages.h"

// After every include: only the kernels below are compiled for the set.
#pragma GCC target("avx")

namespace
{
using namespace fftstages;

#define TARVEX_FFT_WITH_AVX 1
#define TARVEX_FFT_CODELETS 0
#include "dsp/FftKernels.h"
#include "dsp/FftLanes.h"
} // namespace

const fftstages::SetKernels fftstages::kAvxKernels = KernelsOn<AvxLanes, Sse2Lanes, ScalarLane>();
