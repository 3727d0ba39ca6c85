// The transform kernels compiled for SSE2 (every x86-64 processor has it), and the same kernels on
// scalar lanes alone. The wider sets fall back to the next narrower one (and then to scalar code)
// for stages too short for their vectors; scalar, SSE2 and AVX give identical bits.
#include <cstddef>
#include <cstdint>

#include <immintrin.h>

#include "dsp/FftStages.h"

namespace
{
using namespace fftstages;

#define TARVEX_FFT_WITH_AVX 0
#define TARVEX_FFT_CODELETS 0
#include "dsp/FftKernels.h"
#include "dsp/FftLanes.h"
} // namespace

const fftstages::SetKernels fftstages::kSse2Kernels =
    KernelsOn<Sse2Lanes, ScalarLane, ScalarLane>();
const fftstages::SetKernels fftstages::kScalarKernels =
    KernelsOn<ScalarLane, ScalarLane, ScalarLane>();
