// The transform kernels compiled for SSE2 (every x86-64 processor has it), and the same kernels on
// scalar lanes alone. The wider sets fall back to the next narrower one (and then to scalar code)
// for stages too short for their vectors; scalar, SSE2 and AVX give identical bits.
#include <cstddef>
#include <cstdint>

#include <immintrin.h>

#include "dsp/FftStages.h"

// After every include: only the kernels below are compiled for the set.

namespace
{
using namespace fftstages;

#define TARVEX_FFT_WITH_AVX 0
#define TARVEX_FFT_CODELETS 0
#include "dsp/FftKernels.h"
#include "dsp/FftLanes.h"

void Forward(const StagePlan& plan, const double* tables, const double* src, double* dst,
             double scale, double* a, double* b)
{
  ForwardReal<Sse2Lanes, ScalarLane, ScalarLane>(plan, tables, src, dst, scale, a, b);
}

void Backward(const StagePlan& plan, const double* tables, const double* src, double* dst,
              double scale, double* a, double* b)
{
  BackwardReal<Sse2Lanes, ScalarLane, ScalarLane>(plan, tables, src, dst, scale, a, b);
}

void ForwardScalar(const StagePlan& plan, const double* tables, const double* src, double* dst,
                   double scale, double* a, double* b)
{
  ForwardReal<ScalarLane, ScalarLane, ScalarLane>(plan, tables, src, dst, scale, a, b);
}

void BackwardScalar(const StagePlan& plan, const double* tables, const double* src, double* dst,
                    double scale, double* a, double* b)
{
  BackwardReal<ScalarLane, ScalarLane, ScalarLane>(plan, tables, src, dst, scale, a, b);
}

void Stereo(const StagePlan& plan, const double* tables, const double* const* in,
            double* const* out, const double* kernel, double* a, double* b)
{
  ConvolveStereo<Sse2Lanes, ScalarLane, ScalarLane>(plan, tables, in, out, kernel, a, b);
}

void StereoScalar(const StagePlan& plan, const double* tables, const double* const* in,
                  double* const* out, const double* kernel, double* a, double* b)
{
  ConvolveStereo<ScalarLane, ScalarLane, ScalarLane>(plan, tables, in, out, kernel, a, b);
}

void Convolve(const StagePlan& plan, const double* tables, const double* src, double* dst,
              const double* kernel, double scale, double* a, double* b)
{
  ConvolveReal<Sse2Lanes, ScalarLane, ScalarLane>(plan, tables, src, dst, kernel, scale, a, b);
}

void ConvolveScalar(const StagePlan& plan, const double* tables, const double* src, double* dst,
                    const double* kernel, double scale, double* a, double* b)
{
  ConvolveReal<ScalarLane, ScalarLane, ScalarLane>(plan, tables, src, dst, kernel, scale, a, b);
}
} // namespace

const fftstages::SetKernels fftstages::kSse2Kernels = {Forward, Backward, Stereo, Convolve};
const fftstages::SetKernels fftstages::kScalarKernels = {ForwardScalar, BackwardScalar,
                                                         StereoScalar, ConvolveScalar};
