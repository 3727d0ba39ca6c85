// Real FFT: an even length n runs as a complex transform of n / 2 points on the even and odd
// samples plus one split pass; an odd length runs as a complex transform of n points. The complex
// transform is a Stockham transform with radix-4, -2, -3 and -5 stages (merged in pairs into 6-,
// 8-, 9- and 10-point kernels) and a general stage for other primes, vectorised with SSE2
// everywhere and with AVX, AVX2 + FMA or AVX-512 where the processor has them (chosen at run time;
// scalar, SSE2 and AVX results are bit-identical, the fused multiply-add sets differ by rounding).
// AVX-512 runs the strided stages and the split passes on eight lanes (a cache line per vector)
// and the rest on four. The sets with fused multiply-adds run the shortest lengths of the engine's
// table through codelets (the same kernels with every size known when compiling), and 100, 180 and
// 240 as four real transforms side by side on the lanes. This file plans and dispatches; each set's
// kernels are compiled in a file of their own (FftSet*.cpp).
#include "dsp/Fft.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include <immintrin.h>

#include "dsp/FftStages.h"
#include "dsp/ZeroPages.h"

namespace
{
using namespace fftstages;

// Radices with their own kernels; any other radix is a prime >= 7 and runs the general stage.
bool HasKernel(int r)
{
  switch (r)
  {
  case 2:
  case 3:
  case 4:
  case 5:
  case 6:
  case 8:
  case 9:
  case 10:
    return true;
  default:
    return false;
  }
}

// Room for the tables of a plan: every n with 2n + 15 <= kFftPlanWorkLength fits (a test checks
// all).
constexpr ptrdiff_t kFftPlanTableLength = kFftPlanWorkLength + 2048;

// Rough cost per point of one stage of each kernel radix: a pass over the data (loads and stores)
// plus the butterfly's and the twiddles' arithmetic, in flop-like units; 2 and 3 weighted up from
// their arithmetic, as measured (a pass that does little work per load is slow for its flops).
int StageCost(int r)
{
  constexpr int kPass = 6;
  switch (r)
  {
  case 2:
    return kPass + 9;
  case 3:
    return kPass + 12;
  case 4:
    return kPass + 7;
  case 5:
    return kPass + 11;
  case 6:
    return kPass + 10;
  case 8:
    return kPass + 8;
  case 9:
    return kPass + 12;
  default: // 10
    return kPass + 12;
  }
}

// The kernels for 2^e2 3^e3 5^e5 points with the least total cost: every split of the factors into
// 10s, 6s, 9s, 3s, 5s and powers of two (8s, then a 4 or a 2) is tried.
int ChooseKernels(int e2, int e3, int e5, int* radix)
{
  int best = -1, bestCost = 0;
  int chosen[kMaxStages];
  for (int tens = 0; tens <= e2 && tens <= e5; ++tens)
    for (int sixes = 0; sixes <= e2 - tens && sixes <= e3; ++sixes)
      for (int eightsLess = 0; eightsLess <= 1; ++eightsLess)
      {
        int count = 0, cost = 0;
        int r[kMaxStages];
        const auto add = [&](int k, int times)
        {
          for (int i = 0; i < times; ++i) r[count++] = k, cost += StageCost(k);
        };
        const int twos = e2 - tens - sixes, threes = e3 - sixes;
        // 2^twos as 8s with a 4 or 2 left over, or (eightsLess) one 8 fewer and two 4s.
        int eights = twos / 3, rest = twos % 3;
        if (eightsLess)
        {
          if (eights == 0 || rest != 1) continue;
          --eights; // 8 * 2 becomes 4 * 4
          add(4, 2);
          rest = 0;
        }
        add(8, eights);
        if (rest == 2) add(4, 1);
        if (rest == 1) add(2, 1);
        add(10, tens);
        add(6, sixes);
        add(9, threes / 2);
        add(3, threes % 2);
        add(5, e5 - tens);
        if (best < 0 || cost < bestCost)
        {
          best = count, bestCost = cost;
          for (int i = 0; i < count; ++i) chosen[i] = r[i];
        }
      }
  if (best <= 0) return 0;
  // Order: a radix that is a multiple of 4 first (its outputs leave through register transposes and
  // later stages get strides of 4 or more), else the largest; then the others smallest first.
  int first = 0;
  for (int i = 0; i < best; ++i)
    if (chosen[i] % 4 == 0 && (chosen[first] % 4 != 0 || chosen[i] > chosen[first])) first = i;
  if (chosen[first] % 4 != 0)
    for (int i = 0; i < best; ++i)
      if (chosen[i] > chosen[first]) first = i;
  radix[0] = chosen[first];
  int count = 1;
  for (int i = 0; i < best; ++i)
    if (i != first) radix[count++] = chosen[i];
  for (int i = 1; i < count; ++i)
    for (int j = i; j > 1 && radix[j] < radix[j - 1]; --j)
    {
      const int t = radix[j];
      radix[j] = radix[j - 1];
      radix[j - 1] = t;
    }
  return count;
}

// Stages: the 2-, 3- and 5-smooth part of the length by ChooseKernels, then the other primes in
// increasing order.
void MakeStagePlan(int n, StagePlan* plan, bool complex = false)
{
  plan->n = n;
  plan->complex = complex;
  plan->even = !complex && n % 2 == 0;
  plan->length = plan->even ? n / 2 : n;
  int rest = plan->length;
  int e2 = 0, e3 = 0, e5 = 0;
  while (rest % 2 == 0) rest /= 2, ++e2;
  while (rest % 3 == 0) rest /= 3, ++e3;
  while (rest % 5 == 0) rest /= 5, ++e5;
  int count = ChooseKernels(e2, e3, e5, plan->radix);
  for (int p = 7; rest > 1; p += 2)
  {
    if (static_cast<int64_t>(p) * p > rest) p = rest;
    while (rest % p == 0) rest /= p, plan->radix[count++] = p;
  }
  plan->count = count;

  ptrdiff_t offset = 0;
  int N = plan->length;
  for (int i = 0; i < count; ++i)
  {
    const int r = plan->radix[i];
    const int M = N / r;
    plan->twiddleOffset[i] = offset;
    if (M > 1) offset += 2 * static_cast<ptrdiff_t>(r - 1) * M;
    plan->tableOffset[i] = offset;
    if (!HasKernel(r)) offset += 2 * static_cast<ptrdiff_t>(r);
    N = M;
  }
  plan->postOffset = offset;
  plan->postCount = plan->even ? plan->length / 2 + 1 : 0;
  offset += 2 * static_cast<ptrdiff_t>(plan->postCount);
  plan->tableLength = offset;
  plan->scale = 1.0 / std::sqrt(static_cast<double>(n));
}

// e^(-2 pi i t / N) in long double, rounded once.
void Twiddle(int64_t t, int64_t N, double* re, double* im)
{
  const long double angle = 6.283185307179586476925286766559L * static_cast<long double>(t % N) /
                            static_cast<long double>(N);
  *re = static_cast<double>(std::cos(angle));
  *im = static_cast<double>(-std::sin(angle));
}

void FillTables(const StagePlan& plan, double* tables)
{
  int N = plan.length;
  for (int i = 0; i < plan.count; ++i)
  {
    const int r = plan.radix[i];
    const int M = N / r;
    if (M > 1)
    {
      double* tw = tables + plan.twiddleOffset[i];
      for (int k = 1; k < r; ++k)
        for (int p = 0; p < M; ++p)
          Twiddle(static_cast<int64_t>(p) * k, N, &tw[(k - 1) * 2 * M + p],
                  &tw[(k - 1) * 2 * M + M + p]);
    }
    if (!HasKernel(r))
    {
      double* table = tables + plan.tableOffset[i];
      for (int t = 0; t < r; ++t)
      {
        double re, im;
        Twiddle(t, r, &re, &im);
        table[t] = re;
        table[r + t] = -im;
      }
    }
    N = M;
  }
  double* post = tables + plan.postOffset;
  for (int k = 0; k < plan.postCount; ++k)
  {
    double re, im;
    Twiddle(k, plan.n, &re, &im);
    post[k] = re;
    post[plan.postCount + k] = -im;
  }
}

// The factor list of the plan record: n, the number of factors, the factors. Trial factors 4, 2, 3,
// 5, then 7, 9, 11, ...; a 2 found after other factors moves to the front.
void FactorLength(int n, int32_t* factors)
{
  static const int kFirstTrials[4] = {4, 2, 3, 5};
  int rest = n, count = 0, trial = 0;
  for (int j = 0; rest > 1; ++j)
  {
    trial = j < 4 ? kFirstTrials[j] : trial + 2;
    while (rest % trial == 0)
    {
      rest /= trial;
      if (trial == 2 && count > 0)
      {
        for (int i = count; i > 0; --i) factors[2 + i] = factors[1 + i];
        factors[2] = 2;
      }
      else
      {
        factors[2 + count] = trial;
      }
      ++count;
    }
    if (trial > 5 && static_cast<int64_t>(trial) * trial > rest && rest > 1)
    {
      factors[2 + count++] = rest;
      rest = 1;
    }
  }
  factors[0] = n;
  factors[1] = count;
}

int DetectInstructionSet()
{
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx2") &&
      __builtin_cpu_supports("fma"))
    return kFftAvx512;
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return kFftFma;
  return __builtin_cpu_supports("avx") ? kFftAvx : kFftSse2;
}

const int kBestInstructionSet = DetectInstructionSet();
std::atomic<int> gInstructionSet{kBestInstructionSet};

// The kernels of the instruction set in use.
const SetKernels& Kernels()
{
  switch (gInstructionSet.load(std::memory_order_relaxed))
  {
  case kFftAvx512:
    return kAvx512Kernels;
  case kFftFma:
    return kFmaKernels;
  case kFftAvx:
    return kAvxKernels;
  case kFftSse2:
    return kSse2Kernels;
  default:
    return kScalarKernels;
  }
}

// src -> dst in half-complex order or back, times 1 / sqrt(n). a and b hold 2L + kImagGap doubles
// each (the plan arrays and fftp_once's buffers have that room).
void Transform(const StagePlan& plan, const double* tables, const double* src, double* dst,
               int direction, double* a, double* b)
{
  const SetKernels& kernels = Kernels();
  (direction == kFftForward ? kernels.forward : kernels.backward)(plan, tables, src, dst,
                                                                  plan.scale, a, b);
}

void Stereo(const StagePlan& plan, const double* tables, const double* const* in,
            double* const* out, const double* kernel, double* a, double* b)
{
  Kernels().stereo(plan, tables, in, out, kernel, a, b);
}

// The real convolution of fftp's forward, HalfComplexMultiply and fftp's backward (even n).
void Convolve(const StagePlan& plan, const double* tables, const double* src, double* dst,
              const double* kernel, double* a, double* b)
{
  Kernels().convolve(plan, tables, src, dst, kernel, plan.scale, a, b);
}

// Lengths whose set-up does not fit a plan's arrays.
bool FitsPlan(int n)
{
  return 2 * static_cast<int64_t>(n) + 15 <= kFftPlanWorkLength;
}

// Twiddle tables are read-only once filled and depend on the length and the kind of transform
// alone, so every plan of the process with the same length and kind shares one set. A set lives in
// a block of its own: the header below, then room for the largest tables. Every plan brings one
// block when it is created and takes one away when it is freed; a set no plan holds any more goes
// back to the spare blocks. Each plan holds at most one set, so there are never more live sets than
// plans, and a plan that needs a new set always finds a spare block: setting up allocates nothing
// and can run at a reset on the audio thread.
struct SharedTables
{
  StagePlan stages;
  int refs;           // plans holding the set; 0 for a spare block
  SharedTables* next; // in gLiveTables or gSpareTables
  double* Tables() { return reinterpret_cast<double*>(this + 1); }
};
static_assert(sizeof(SharedTables) % alignof(double) == 0, "tables follow the header");
constexpr size_t kTableBlockBytes = sizeof(SharedTables) + sizeof(double) * kFftPlanTableLength;

std::mutex gTablesMutex;              // guards both lists and every refs
SharedTables* gLiveTables = nullptr;  // sets held by plans
SharedTables* gSpareTables = nullptr; // blocks no plan holds

// A new plan's block, added to the spares. False when memory is short.
bool AddSpareBlock()
{
  void* p = AllocateZeroed(kTableBlockBytes);
  if (!p) return false;
  SharedTables* block = new (p) SharedTables{};
  std::lock_guard<std::mutex> lock(gTablesMutex);
  block->next = gSpareTables;
  gSpareTables = block;
  return true;
}

// A freed plan's block, taken from the spares (there is one: live sets <= plans left).
void RemoveSpareBlock()
{
  SharedTables* block = nullptr;
  {
    std::lock_guard<std::mutex> lock(gTablesMutex);
    block = gSpareTables;
    if (block) gSpareTables = block->next;
  }
  if (block) FreeZeroed(block, kTableBlockBytes);
}

// With gTablesMutex held: one holder fewer; a set left without holders becomes a spare block, its
// table pages handed back to the system (a spare costs no memory).
void ReleaseLocked(SharedTables* set)
{
  if (!set || --set->refs > 0) return;
  for (SharedTables** link = &gLiveTables; *link; link = &(*link)->next)
    if (*link == set)
    {
      *link = set->next;
      break;
    }
  DiscardPages(set->Tables(), sizeof(double) * kFftPlanTableLength);
  set->next = gSpareTables;
  gSpareTables = set;
}

// With gTablesMutex held: the set of n points (a complex transform when `complex`) with one more
// holder, filled into a spare block when no plan holds it yet. Null only if no block is spare.
SharedTables* AcquireLocked(int n, bool complex)
{
  for (SharedTables* set = gLiveTables; set; set = set->next)
    if (set->stages.n == n && set->stages.complex == complex)
    {
      ++set->refs;
      return set;
    }
  SharedTables* set = gSpareTables;
  if (!set) return nullptr;
  gSpareTables = set->next;
  MakeStagePlan(n, &set->stages, complex);
  FillTables(set->stages, set->Tables());
  set->refs = 1;
  set->next = gLiveTables;
  gLiveTables = set;
  return set;
}

// Points the plan at the shared set for n (complex or real) and marks it set up. The set it held
// is kept when it is the right one, else let go of first (so that its block can serve).
bool AttachTables(FftPlan* plan, int n, bool complex)
{
  SharedTables* held = static_cast<SharedTables*>(const_cast<void*>(plan->shared));
  if (!held || held->stages.n != n || held->stages.complex != complex)
  {
    std::lock_guard<std::mutex> lock(gTablesMutex);
    ReleaseLocked(held);
    held = AcquireLocked(n, complex);
    plan->shared = held;
    plan->master = held ? held->Tables() : nullptr;
  }
  if (!held)
  {
    plan->initialised = 0;
    return false;
  }
  FactorLength(n, plan->factors);
  plan->initialised = 1;
  return true;
}

// The plan's tables for n, set up first when the owner cleared `initialised` or the plan holds
// another length's or kind's.
SharedTables* PlanTables(FftPlan* plan, int n, bool complex)
{
  SharedTables* t = static_cast<SharedTables*>(const_cast<void*>(plan->shared));
  if (t && plan->initialised && t->stages.n == n && t->stages.complex == complex) return t;
  return AttachTables(plan, n, complex)
             ? static_cast<SharedTables*>(const_cast<void*>(plan->shared))
             : nullptr;
}

} // namespace

int FftSetInstructionSet(int set)
{
  if (set > kBestInstructionSet) set = kBestInstructionSet;
  if (set < kFftScalar) set = kFftScalar;
  gInstructionSet.store(set, std::memory_order_relaxed);
  return set;
}

int FftBestInstructionSet()
{
  return kBestInstructionSet;
}

bool FftPlanTablesFit(int n)
{
  if (n < 1 || !FitsPlan(n)) return false;
  StagePlan plan;
  MakeStagePlan(n, &plan);
  return plan.tableLength <= kFftPlanTableLength;
}

FftPlan* fftp_plan()
{
  FftPlan* plan = static_cast<FftPlan*>(std::calloc(1, sizeof(FftPlan)));
  if (!plan) return nullptr;
  // Fresh zero pages: only what the lengths in use touch becomes resident. The tables are shared
  // (AttachTables).
  plan->work = static_cast<double*>(AllocateZeroed(sizeof(double) * kFftPlanWorkLength));
  plan->scratch = static_cast<double*>(AllocateZeroed(sizeof(double) * kFftPlanWorkLength));
  if (!plan->work || !plan->scratch || !AddSpareBlock())
  {
    FreeZeroed(plan->work, sizeof(double) * kFftPlanWorkLength);
    FreeZeroed(plan->scratch, sizeof(double) * kFftPlanWorkLength);
    std::free(plan);
    return nullptr;
  }
  return plan;
}

FftPlan* fftp_plan_sharing(FftPlan* owner)
{
  if (!owner) return nullptr;
  FftPlan* plan = static_cast<FftPlan*>(std::calloc(1, sizeof(FftPlan)));
  if (!plan) return nullptr;
  if (!AddSpareBlock())
  {
    std::free(plan);
    return nullptr;
  }
  plan->work = owner->work;
  plan->scratch = owner->scratch;
  plan->borrowsArrays = 1;
  return plan;
}

void fftp_plan_free(FftPlan* plan)
{
  if (!plan) return;
  {
    std::lock_guard<std::mutex> lock(gTablesMutex);
    ReleaseLocked(static_cast<SharedTables*>(const_cast<void*>(plan->shared)));
  }
  RemoveSpareBlock();
  if (!plan->borrowsArrays)
  {
    FreeZeroed(plan->work, sizeof(double) * kFftPlanWorkLength);
    FreeZeroed(plan->scratch, sizeof(double) * kFftPlanWorkLength);
  }
  std::free(plan);
}

void fftp(double* source, double* destination, int n, int direction, FftPlan* plan)
{
  if (n < 0 || !FitsPlan(n))
  {
    std::fprintf(stderr, "fftp(): argument n = %d\n", n);
    return;
  }
  if (n == 0 || !source || !destination || !plan) return;
  if (direction != kFftForward && direction != kFftBackward) return;
  if (n == 1)
  {
    destination[0] = source[0];
    return;
  }
  SharedTables* t = PlanTables(plan, n, false);
  if (!t) return;
  Transform(t->stages, t->Tables(), source, destination, direction, plan->work, plan->scratch);
}

void FftConvolveStereo(const double* const in[2], double* const out[2], const double* kernel, int n,
                       FftPlan* plan)
{
  if (n < 2 || !FitsPlan(n) || !in || !out || !kernel || !plan) return;
  if (!in[0] || !in[1] || !out[0] || !out[1]) return;
  SharedTables* t = PlanTables(plan, n, true);
  if (!t) return;
  Stereo(t->stages, t->Tables(), in, out, kernel, plan->work, plan->scratch);
}

void FftConvolveReal(const double* in, double* out, const double* kernel, int n, FftPlan* plan)
{
  if (n < 1 || !FitsPlan(n) || !in || !out || !kernel || !plan) return;
  if (n == 1)
  {
    out[0] = in[0] * kernel[0];
    return;
  }
  SharedTables* t = PlanTables(plan, n, false);
  if (!t) return;
  if (n % 2 == 0)
  {
    Convolve(t->stages, t->Tables(), in, out, kernel, plan->work, plan->scratch);
    return;
  }
  // Odd lengths have no split pass to fuse: the three steps as they are.
  Transform(t->stages, t->Tables(), in, out, kFftForward, plan->work, plan->scratch);
  HalfComplexMultiply(out, kernel, out, n);
  Transform(t->stages, t->Tables(), out, out, kFftBackward, plan->work, plan->scratch);
}

bool fftp_prepare(FftPlan* plan, int n, bool stereo)
{
  if (!plan || n < 1 || !FitsPlan(n) || (stereo && n < 2)) return false;
  return AttachTables(plan, n, stereo);
}

void fftp_once(double* source, double* destination, int n, int direction)
{
  if (n < 0)
  {
    std::fprintf(stderr, "fftp(): argument n = %d\n", n);
    return;
  }
  if (n == 0 || !source || !destination) return;
  if (direction != kFftForward && direction != kFftBackward) return;
  if (n == 1)
  {
    destination[0] = source[0];
    return;
  }
  StagePlan stages;
  MakeStagePlan(n, &stages);
  const size_t buffer = 2 * static_cast<size_t>(stages.length) + kImagGap;
  const size_t doubles = static_cast<size_t>(stages.tableLength) + 2 * buffer;
  double* work = static_cast<double*>(std::calloc(doubles, sizeof(double)));
  if (!work)
  {
    std::fprintf(stderr, "Error 0x0000002E: calloc() failed for wsave (size %lld B)\n",
                 static_cast<long long>(doubles * sizeof(double)));
    return;
  }
  FillTables(stages, work);
  double* a = work + stages.tableLength;
  Transform(stages, work, source, destination, direction, a, a + buffer);
  std::free(work);
}

namespace
{
__attribute__((target("avx"))) inline __m256d ReverseLanes(__m256d v)
{
  return _mm256_permute_pd(_mm256_permute2f128_pd(v, v, 1), 5);
}

// Bins k .. k + 3 and their imaginary parts at n - k - 3 .. n - k, four lanes at a time, for k from
// 1 while the four bins stay below n / 2. Each product rounds as the scalar loop's does (separate
// multiplies and adds: the AVX set has no fused operations), so the results are identical. Every
// group reads its bins before writing them, so c may alias a or b. Returns the next k.
__attribute__((target("avx"))) int MultiplyBinsAvx(const double* a, const double* b, double* c,
                                                   int n)
{
  int k = 1;
  for (; 2 * (k + 3) < n; k += 4)
  {
    // The imaginary parts run backwards in memory: reverse them into bin order.
    const __m256d ar = _mm256_loadu_pd(a + k), br = _mm256_loadu_pd(b + k);
    const __m256d ai = ReverseLanes(_mm256_loadu_pd(a + n - k - 3));
    const __m256d bi = ReverseLanes(_mm256_loadu_pd(b + n - k - 3));
    const __m256d re = _mm256_sub_pd(_mm256_mul_pd(ar, br), _mm256_mul_pd(ai, bi));
    const __m256d im = _mm256_add_pd(_mm256_mul_pd(ai, br), _mm256_mul_pd(ar, bi));
    _mm256_storeu_pd(c + k, re);
    _mm256_storeu_pd(c + n - k - 3, ReverseLanes(im));
  }
  return k;
}
} // namespace

void HalfComplexMultiply(const double* a, const double* b, double* c, int n)
{
  if (n < 1 || !a || !b || !c) return;
  c[0] = a[0] * b[0];
  int k = 1;
  if (gInstructionSet.load(std::memory_order_relaxed) >= kFftAvx) k = MultiplyBinsAvx(a, b, c, n);
  for (; 2 * k < n; ++k)
  {
    const double ar = a[k], ai = a[n - k], br = b[k], bi = b[n - k];
    c[k] = ar * br - ai * bi;
    c[n - k] = ai * br + ar * bi;
  }
  if (n % 2 == 0) c[n / 2] = a[n / 2] * b[n / 2];
}

void HalfComplexMagnitude(double* p, int n)
{
  if (n < 1 || !p) return;
  p[0] = std::fabs(p[0]);
  for (int k = 1; k < (n + 1) / 2; ++k) p[k] = std::sqrt(p[k] * p[k] + p[n - k] * p[n - k]);
}
