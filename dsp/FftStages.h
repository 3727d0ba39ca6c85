// The plan of a real transform's stages and the kernels of each instruction set, shared by Fft.cpp
// (plans, tables, dispatch) and the files that compile the kernels once per set (FftSetSse2.cpp,
// FftSetAvx.cpp, FftSetFma.cpp, FftSetAvx512.cpp). Not a public header: only the FFT's own files
// include it.
#pragma once

#include <cstddef>

namespace fftstages
{

constexpr int kMaxStages = 40;

// How a length is transformed, derived from the length alone (so a plan needs to store only
// tables).
struct StagePlan
{
  int n;        // real length, or the complex length of a complex transform
  bool complex; // a complex transform of n points (no split pass)
  bool even;    // real n even: complex length n / 2 plus a split pass
  int length;   // complex length L
  int count;    // number of stages
  int radix[kMaxStages];
  ptrdiff_t twiddleOffset[kMaxStages]; // into the tables; unused when the stage's M is 1
  ptrdiff_t tableOffset[kMaxStages];   // cos/sin table of a general radix
  ptrdiff_t postOffset; // split-pass twiddles (even n): postCount cosines, postCount sines
  int postCount;
  ptrdiff_t tableLength; // doubles of tables in all
  double scale;          // 1 / sqrt(n)
};

// cos and sin of 2 pi t / R (t < R, R <= 10 or 12) for the composite kernels, rounded from long
// double.
inline constexpr double kRootCos[13][12] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {1, -0.5, -0.5, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {1, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {1, 0.30901699437494745, -0.80901699437494745, -0.80901699437494745, 0.30901699437494745, 0, 0,
     0, 0, 0, 0, 0},
    {1, 0.5, -0.5, -1, -0.5, 0.5, 0, 0, 0, 0, 0, 0},
    {1, 0.62348980185873348, -0.22252093395631439, -0.90096886790241915, -0.90096886790241915,
     -0.22252093395631439, 0.62348980185873348, 0, 0, 0, 0, 0},
    {1, 0.70710678118654757, 0, -0.70710678118654757, -1, -0.70710678118654757, 0,
     0.70710678118654757, 0, 0, 0, 0},
    {1, 0.76604444311897801, 0.17364817766693036, -0.5, -0.93969262078590843, -0.93969262078590843,
     -0.5, 0.17364817766693036, 0.76604444311897801, 0, 0, 0},
    {1, 0.80901699437494745, 0.30901699437494745, -0.30901699437494745, -0.80901699437494745, -1,
     -0.80901699437494745, -0.30901699437494745, 0.30901699437494745, 0.80901699437494745, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {1, 0.8660254037844386, 0.5, 0, -0.5, -0.8660254037844386, -1, -0.8660254037844386, -0.5, 0,
     0.5, 0.8660254037844386},
};
inline constexpr double kRootSin[13][12] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0.8660254037844386, -0.8660254037844386, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 1, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0.95105651629515353, 0.58778525229247314, -0.58778525229247314, -0.95105651629515353, 0, 0,
     0, 0, 0, 0, 0},
    {0, 0.8660254037844386, 0.8660254037844386, 0, -0.8660254037844386, -0.8660254037844386, 0, 0,
     0, 0, 0, 0},
    {0, 0.7818314824680298, 0.97492791218182362, 0.43388373911755812, -0.43388373911755812,
     -0.97492791218182362, -0.7818314824680298, 0, 0, 0, 0, 0},
    {0, 0.70710678118654757, 1, 0.70710678118654757, 0, -0.70710678118654757, -1,
     -0.70710678118654757, 0, 0, 0, 0},
    {0, 0.64278760968653936, 0.98480775301220802, 0.8660254037844386, 0.34202014332566871,
     -0.34202014332566871, -0.8660254037844386, -0.98480775301220802, -0.64278760968653936, 0, 0,
     0},
    {0, 0.58778525229247314, 0.95105651629515353, 0.95105651629515353, 0.58778525229247314, 0,
     -0.58778525229247314, -0.95105651629515353, -0.95105651629515353, -0.58778525229247314, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0.5, 0.8660254037844386, 1, 0.8660254037844386, 0.5, 0, -0.5, -0.8660254037844386, -1,
     -0.8660254037844386, -0.5},
};

// Split complex data of L points: real parts at 0 .. L - 1, imaginary parts from ImagOffset(L) on.
// The gap of one cache line keeps the two halves' rows out of the same cache sets when L is a
// multiple of a large power of two. A buffer of split data holds 2L + kImagGap doubles.
constexpr int kImagGap = 8;
constexpr int ImagOffset(int L)
{
  return L + kImagGap;
}

// One instruction set's transforms over a plan and its tables. src -> dst in half-complex order or
// back, times `scale`; a and b are work arrays of 2L + kImagGap doubles each. Stereo and Convolve:
// FftConvolveStereo's and FftConvolveReal's work. Any thread; no allocation, no locks.
struct SetKernels
{
  void (*forward)(const StagePlan& plan, const double* tables, const double* src, double* dst,
                  double scale, double* a, double* b);
  void (*backward)(const StagePlan& plan, const double* tables, const double* src, double* dst,
                   double scale, double* a, double* b);
  void (*stereo)(const StagePlan& plan, const double* tables, const double* const* in,
                 double* const* out, const double* kernel, double* a, double* b);
  void (*convolve)(const StagePlan& plan, const double* tables, const double* src, double* dst,
                   const double* kernel, double scale, double* a, double* b);
};

// Each is compiled for its own set and may run only where the processor has it.
extern const SetKernels kScalarKernels; // FftSetSse2.cpp
extern const SetKernels kSse2Kernels;   // FftSetSse2.cpp
extern const SetKernels kAvxKernels;    // FftSetAvx.cpp
extern const SetKernels kFmaKernels;    // FftSetFma.cpp
extern const SetKernels kAvx512Kernels; // FftSetAvx512.cpp

} // namespace fftstages
