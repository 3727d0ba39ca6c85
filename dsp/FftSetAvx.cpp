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

void Forward(const StagePlan& plan, const double* tables, const double* src, double* dst,
             double scale, double* a, double* b)
{
  ForwardReal<AvxLanes, Sse2Lanes, ScalarLane>(plan, tables, src, dst, scale, a, b);
}

void Backward(const StagePlan& plan, const double* tables, const double* src, double* dst,
              double scale, double* a, double* b)
{
  BackwardReal<AvxLanes, Sse2Lanes, ScalarLane>(plan, tables, src, dst, scale, a, b);
}

void Stereo(const StagePlan& plan, const double* tables, const double* const* in,
            double* const* out, const double* kernel, double* a, double* b)
{
  ConvolveStereo<AvxLanes, Sse2Lanes, ScalarLane>(plan, tables, in, out, kernel, a, b);
}

void Convolve(const StagePlan& plan, const double* tables, const double* src, double* dst,
              const double* kernel, double scale, double* a, double* b)
{
  ConvolveReal<AvxLanes, Sse2Lanes, ScalarLane>(plan, tables, src, dst, kernel, scale, a, b);
}
} // namespace

const fftstages::SetKernels fftstages::kAvxKernels = {Forward, Backward, Stereo, Convolve};
