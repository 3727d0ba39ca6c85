// Transform kernels, written once over a vector traits type T and included once per instruction
// set by that set's file (FftSet*.cpp), after its target pragma, inside an unnamed namespace that
// sees FftStages.h. Not a public header: it has no include guard and no includes of its own on
// purpose.
//
// T provides (see FftLanes.h): V (the vector type), W (lanes), Load/Store (unaligned), Splat,
// Reverse (lane order reversed), Deinterleave/Interleave (even and odd entries of 2W doubles) and
// Transpose (a W x W block of vectors). Every kernel performs the same operations in the same order
// whatever the lane count, so all instruction sets and the scalar tails give bit-identical results.
//
// Complex data are split: real parts in one array, imaginary parts in another. The complex
// transform is a decimation-in-frequency Stockham transform: stage i reads x, writes y, with N the
// sub-length still to transform, radix r, M = N / r and stride S = L / N:
//   a_j = x[q + S (p + j M)],  b_k = sum_j a_j e^(-2 pi i jk / r),  y[q + S (r p + k)] = b_k
//   w_N^(pk)
// for p < M, q < S. The twiddles of a stage (only stored when M > 1) are laid out per k = 1 .. r -
// 1 as M real parts then M imaginary parts.

template <class T> struct Complex
{
  typename T::V re, im;
};

template <class T> inline Complex<T> Add(Complex<T> a, Complex<T> b)
{
  return {a.re + b.re, a.im + b.im};
}
template <class T> inline Complex<T> Sub(Complex<T> a, Complex<T> b)
{
  return {a.re - b.re, a.im - b.im};
}
// a * w
template <class T> inline Complex<T> Mul(Complex<T> a, typename T::V wr, typename T::V wi)
{
  return {a.re * wr - a.im * wi, a.re * wi + a.im * wr};
}
// a - i b and a + i b
template <class T> inline Complex<T> SubI(Complex<T> a, Complex<T> b)
{
  return {a.re + b.im, a.im - b.re};
}
template <class T> inline Complex<T> AddI(Complex<T> a, Complex<T> b)
{
  return {a.re - b.im, a.im + b.re};
}

constexpr double kSin60 = 0.86602540378443864676;   // sin(2 pi / 3)
constexpr double kCos72 = 0.30901699437494742410;   // cos(2 pi / 5)
constexpr double kCos144 = -0.80901699437494742410; // cos(4 pi / 5)
constexpr double kSin72 = 0.95105651629515357212;   // sin(2 pi / 5)
constexpr double kSin144 = 0.58778525229247312917;  // sin(4 pi / 5)

// Forward DFT of R points, R in {2, 3, 4, 5}.
template <class T, int R>
[[gnu::always_inline]] inline void Butterfly(const Complex<T>* a, Complex<T>* b)
{
  using V = typename T::V;
  if constexpr (R == 2)
  {
    b[0] = Add(a[0], a[1]);
    b[1] = Sub(a[0], a[1]);
  }
  else if constexpr (R == 3)
  {
    const V half = T::Splat(0.5), sin60 = T::Splat(kSin60);
    Complex<T> sum = Add(a[1], a[2]);
    Complex<T> dif = Sub(a[1], a[2]);
    Complex<T> mid = {a[0].re - half * sum.re, a[0].im - half * sum.im};
    Complex<T> rot = {sin60 * dif.re, sin60 * dif.im};
    b[0] = Add(a[0], sum);
    b[1] = SubI(mid, rot);
    b[2] = AddI(mid, rot);
  }
  else if constexpr (R == 4)
  {
    Complex<T> t0 = Add(a[0], a[2]), t1 = Sub(a[0], a[2]);
    Complex<T> t2 = Add(a[1], a[3]), t3 = Sub(a[1], a[3]);
    b[0] = Add(t0, t2);
    b[2] = Sub(t0, t2);
    b[1] = SubI(t1, t3);
    b[3] = AddI(t1, t3);
  }
  else
  {
    static_assert(R == 5, "radix");
    const V c1 = T::Splat(kCos72), c2 = T::Splat(kCos144);
    const V s1 = T::Splat(kSin72), s2 = T::Splat(kSin144);
    Complex<T> t1 = Add(a[1], a[4]), t2 = Add(a[2], a[3]);
    Complex<T> t3 = Sub(a[1], a[4]), t4 = Sub(a[2], a[3]);
    b[0] = Add(a[0], Add(t1, t2));
    Complex<T> u1 = {a[0].re + c1 * t1.re + c2 * t2.re, a[0].im + c1 * t1.im + c2 * t2.im};
    Complex<T> u2 = {a[0].re + c2 * t1.re + c1 * t2.re, a[0].im + c2 * t1.im + c1 * t2.im};
    Complex<T> v1 = {s1 * t3.re + s2 * t4.re, s1 * t3.im + s2 * t4.im};
    Complex<T> v2 = {s2 * t3.re - s1 * t4.re, s2 * t3.im - s1 * t4.im};
    b[1] = SubI(u1, v1);
    b[4] = AddI(u1, v1);
    b[2] = SubI(u2, v2);
    b[3] = AddI(u2, v2);
  }
}

// Forward DFT of R1 * R2 points from DFTs of R1 and R2 points (Cooley-Tukey inside the butterfly):
// X_(k1 + R1 k2) = sum_j2 e^(-2 pi i j2 k2 / R2) w_R^(j2 k1) sum_j1 a_(R2 j1 + j2) e^(-2 pi i j1 k1
// / R1). Multiplications by -1 and -i are done exactly; the other roots come from kRootCos /
// kRootSin.
template <class T, int R1, int R2>
[[gnu::always_inline]] inline void Composite(const Complex<T>* a, Complex<T>* b)
{
  constexpr int R = R1 * R2;
  Complex<T> c[R];
#pragma GCC unroll 16
  for (int j2 = 0; j2 < R2; ++j2)
  {
    Complex<T> in[R1], out[R1];
#pragma GCC unroll 16
    for (int j1 = 0; j1 < R1; ++j1) in[j1] = a[R2 * j1 + j2];
    Butterfly<T, R1>(in, out);
#pragma GCC unroll 16
    for (int k1 = 0; k1 < R1; ++k1)
    {
      const int t = (j2 * k1) % R;
      Complex<T> v = out[k1];
      if (t == 0)
      {
      }
      else if (4 * t == R)
        v = {v.im, T::Splat(0.0) - v.re};
      else if (2 * t == R)
        v = {T::Splat(0.0) - v.re, T::Splat(0.0) - v.im};
      else if (4 * t == 3 * R)
        v = {T::Splat(0.0) - v.im, v.re};
      else
        v = Mul(v, T::Splat(kRootCos[R][t]), T::Splat(-kRootSin[R][t]));
      c[j2 * R1 + k1] = v;
    }
  }
#pragma GCC unroll 16
  for (int k1 = 0; k1 < R1; ++k1)
  {
    Complex<T> in[R2], out[R2];
#pragma GCC unroll 16
    for (int j2 = 0; j2 < R2; ++j2) in[j2] = c[j2 * R1 + k1];
    Butterfly<T, R2>(in, out);
#pragma GCC unroll 16
    for (int k2 = 0; k2 < R2; ++k2) b[k1 + R1 * k2] = out[k2];
  }
}

// Kernels of composite radix.
// Always inlined: the kernels are only fast with the butterfly's values kept in registers.
template <class T, int R>
[[gnu::always_inline]] inline void WideButterfly(const Complex<T>* a, Complex<T>* b)
{
  if constexpr (R <= 5)
    Butterfly<T, R>(a, b);
  else if constexpr (R == 6)
    Composite<T, 2, 3>(a, b);
  else if constexpr (R == 8)
    Composite<T, 2, 4>(a, b);
  else if constexpr (R == 9)
    Composite<T, 3, 3>(a, b);
  else
  {
    static_assert(R == 10, "radix");
    Composite<T, 2, 5>(a, b);
  }
}

// Calls step(i) for i = 0, Step, 2 Step, ... below count, or below Fixed when that is not 0: a
// count known when compiling, which makes the indices and strides inside constants. Not unrolled:
// unrolling gained nothing measurable and multiplied the code.
template <int Fixed, int Step, class Body>
[[gnu::always_inline]] inline void ForEachStep(int count, const Body& step)
{
  const int end = Fixed > 0 ? Fixed : count;
#pragma GCC unroll 1
  for (int i = 0; i < end; i += Step) step(i);
}

// One stage of radix R, vectorised over q. Needs S >= W (the last group overlaps the one before; x
// and y are distinct, so recomputed lanes store the same values). FixedM and FixedS, when not 0,
// are M and S known when compiling (the arguments are then ignored).
template <class T, int R, int FixedM = 0, int FixedS = 0>
void StageStrided(int M, int S, const double* xr, const double* xi, double* yr, double* yi,
                  const double* tw)
{
  using V = typename T::V;
  constexpr int W = T::W;
  if constexpr (FixedM > 0) M = FixedM;
  if constexpr (FixedS > 0) S = FixedS;
  ForEachStep<FixedM, 1>(
      M, [&](int p) __attribute__((always_inline)) {
        V wr[R] = {}, wi[R] = {};
        if (M > 1)
#pragma GCC unroll 16
          for (int k = 1; k < R; ++k)
          {
            wr[k] = T::Splat(tw[(k - 1) * 2 * M + p]);
            wi[k] = T::Splat(tw[(k - 1) * 2 * M + M + p]);
          }
        ForEachStep<FixedS, W>(
            S, [&](int q0) __attribute__((always_inline)) {
              const int q = q0 + W <= S ? q0 : S - W;
              Complex<T> a[R], b[R];
#pragma GCC unroll 16
              for (int j = 0; j < R; ++j)
              {
                const int at = q + S * (p + j * M);
                a[j] = {T::Load(xr + at), T::Load(xi + at)};
              }
              WideButterfly<T, R>(a, b);
              if (M > 1)
#pragma GCC unroll 16
                for (int k = 1; k < R; ++k) b[k] = Mul(b[k], wr[k], wi[k]);
#pragma GCC unroll 16
              for (int k = 0; k < R; ++k)
              {
                const int at = q + S * (R * p + k);
                T::Store(yr + at, b[k].re);
                T::Store(yi + at, b[k].im);
              }
            });
      });
}

// Where the last stage writes for a backward transform: split complex data, or the caller's real
// signal times a scale (even length: imaginary then real parts interleaved; odd length: imaginary
// parts only), real and imaginary parts exchanged as BackwardReal needs.
enum LastOutput
{
  kSplitOutput,
  kInterleavedOutput,
  kRealOutput,
  kSeparateOutput, // split complex data into two arrays of the caller's
  kPairsOutput,    // unscaled (re, im) pairs into the stage's own output buffer, for the split pass
};

// The last stage (M = 1, no twiddles) of radix R writing the real signal or pairs; needs S >= W.
template <class T, int R, int Output, int FixedS = 0>
void StageLast(int S, const double* xr, const double* xi, double* out, typename T::V scale)
{
  constexpr int W = T::W;
  if constexpr (FixedS > 0) S = FixedS;
  ForEachStep<FixedS, W>(
      S, [&](int q0) __attribute__((always_inline)) {
        const int q = q0 + W <= S ? q0 : S - W;
        Complex<T> a[R], b[R];
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j) a[j] = {T::Load(xr + q + S * j), T::Load(xi + q + S * j)};
        WideButterfly<T, R>(a, b);
#pragma GCC unroll 16
        for (int k = 0; k < R; ++k)
        {
          const int at = q + S * k;
          if constexpr (Output == kPairsOutput)
          {
            typename T::V lo, hi;
            T::Interleave(b[k].re, b[k].im, &lo, &hi);
            T::Store(out + 2 * at, lo);
            T::Store(out + 2 * at + W, hi);
          }
          else if constexpr (Output == kInterleavedOutput)
          {
            typename T::V lo, hi;
            T::Interleave(b[k].im * scale, b[k].re * scale, &lo, &hi);
            T::Store(out + 2 * at, lo);
            T::Store(out + 2 * at + W, hi);
          }
          else
          {
            T::Store(out + at, b[k].im * scale);
          }
        }
      });
}

// Where the first stage reads: split complex data, or straight from the caller's real signal (even
// length: real and imaginary parts interleaved; odd length: imaginary parts zero).
enum FirstInput
{
  kSplitInput,
  kInterleavedInput,
  kRealInput,
  kSeparateInput, // split complex data from two arrays of the caller's
};

// The first stage (S = 1) of radix R, vectorised over p; needs M >= W. The outputs of one group are
// scattered with stride R. For the real inputs xr is the signal and xi is unused.
template <class T, int R, int Input = kSplitInput, int FixedM = 0>
void StageFirst(int M, const double* xr, const double* xi, double* yr, double* yi, const double* tw)
{
  constexpr int W = T::W;
  if constexpr (FixedM > 0) M = FixedM;
  ForEachStep<FixedM, W>(
      M, [&](int p0) __attribute__((always_inline)) {
        const int p = p0 + W <= M ? p0 : M - W;
        Complex<T> a[R], b[R];
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j)
        {
          const int at = p + j * M;
          if constexpr (Input == kSplitInput)
            a[j] = {T::Load(xr + at), T::Load(xi + at)};
          else if constexpr (Input == kRealInput)
            a[j] = {T::Load(xr + at), T::Splat(0.0)};
          else
            T::Deinterleave(T::Load(xr + 2 * at), T::Load(xr + 2 * at + W), &a[j].re, &a[j].im);
        }
        WideButterfly<T, R>(a, b);
        if (M > 1)
#pragma GCC unroll 16
          for (int k = 1; k < R; ++k)
            b[k] =
                Mul(b[k], T::Load(tw + (k - 1) * 2 * M + p), T::Load(tw + (k - 1) * 2 * M + M + p));
        if constexpr (R % W == 0 || (W == 4 && R % W == 2))
        {
      // Transposed W x W blocks: row l holds outputs k .. k + W - 1 of group member p + l.
#pragma GCC unroll 16
          for (int k = 0; k + W <= R; k += W)
          {
            typename T::V re[W], im[W];
#pragma GCC unroll 16
            for (int l = 0; l < W; ++l) re[l] = b[k + l].re, im[l] = b[k + l].im;
            T::Transpose(re);
            T::Transpose(im);
#pragma GCC unroll 16
            for (int l = 0; l < W; ++l)
            {
              T::Store(yr + R * (p + l) + k, re[l]);
              T::Store(yi + R * (p + l) + k, im[l]);
            }
          }
          if constexpr (R % W == 2)
          {
            // The last two outputs of each member as a pair: (b_k[l], b_(k+1)[l]) into row l.
            constexpr int k = R - 2;
            typename T::V lo, hi;
            T::Interleave(b[k].re, b[k + 1].re, &lo, &hi);
            T::StoreHalves(yr + R * p + k, yr + R * (p + 1) + k, lo);
            T::StoreHalves(yr + R * (p + 2) + k, yr + R * (p + 3) + k, hi);
            T::Interleave(b[k].im, b[k + 1].im, &lo, &hi);
            T::StoreHalves(yi + R * p + k, yi + R * (p + 1) + k, lo);
            T::StoreHalves(yi + R * (p + 2) + k, yi + R * (p + 3) + k, hi);
          }
        }
        else
        {
          alignas(32) double outRe[R][W], outIm[R][W];
#pragma GCC unroll 16
          for (int k = 0; k < R; ++k)
          {
            T::Store(outRe[k], b[k].re);
            T::Store(outIm[k], b[k].im);
          }
#pragma GCC unroll 16
          for (int l = 0; l < W; ++l)
#pragma GCC unroll 16
            for (int k = 0; k < R; ++k)
            {
              yr[R * (p + l) + k] = outRe[k][l];
              yi[R * (p + l) + k] = outIm[k][l];
            }
        }
      });
}

// One stage of an odd radix r >= 7, vectorised over q (S >= W), O(r^2) per group. `table` holds
// cos(2 pi t / r) for t < r, then sin(2 pi t / r).
template <class T>
void StageGeneral(int r, int M, int S, const double* xr, const double* xi, double* yr, double* yi,
                  const double* tw, const double* table)
{
  using V = typename T::V;
  constexpr int W = T::W;
  const int half = (r - 1) / 2;
  for (int p = 0; p < M; ++p)
    for (int q0 = 0; q0 < S; q0 += W)
    {
      const int q = q0 + W <= S ? q0 : S - W;
      auto load = [&](int j) -> Complex<T>
      {
        const int at = q + S * (p + j * M);
        return {T::Load(xr + at), T::Load(xi + at)};
      };
      auto store = [&](int k, Complex<T> b)
      {
        if (M > 1 && k > 0)
          b = Mul(b, T::Splat(tw[(k - 1) * 2 * M + p]), T::Splat(tw[(k - 1) * 2 * M + M + p]));
        const int at = q + S * (r * p + k);
        T::Store(yr + at, b.re);
        T::Store(yi + at, b.im);
      };
      const Complex<T> a0 = load(0);
      Complex<T> sum = a0;
      for (int j = 1; j < r; ++j) sum = Add(sum, load(j));
      store(0, sum);
      for (int k = 1; k <= half; ++k)
      {
        Complex<T> u = a0;
        Complex<T> v = {T::Splat(0.0), T::Splat(0.0)};
        for (int j = 1; j <= half; ++j)
        {
          const int t = static_cast<int>((static_cast<int64_t>(j) * k) % r);
          const V c = T::Splat(table[t]), s = T::Splat(table[r + t]);
          const Complex<T> aj = load(j), ar = load(r - j);
          const Complex<T> plus = Add(aj, ar), minus = Sub(aj, ar);
          u = {u.re + c * plus.re, u.im + c * plus.im};
          v = {v.re + s * minus.re, v.im + s * minus.im};
        }
        store(k, SubI(u, v));
        store(r - k, AddI(u, v));
      }
    }
}

// The first stage on T, or on the narrower Half when only Half's lanes divide R (its outputs then
// leave through register transposes instead of single stores). Four lanes and R = 6 or 10 stay on
// T: two transposed blocks or one, and pairs for the last two outputs.
// Wide, when it is wider than T and its lanes divide R, takes the stage whenever M allows: fewer,
// wider transposes.
template <class T, class Half, class Wide, int R, int Input, int FixedM = 0>
inline void FirstStage(int M, const double* xr, const double* xi, double* yr, double* yi,
                       const double* tw)
{
  if constexpr (Wide::W > T::W && R % Wide::W == 0)
    if (M >= Wide::W)
    {
      StageFirst<Wide, R, Input, FixedM>(M, xr, xi, yr, yi, tw);
      return;
    }
  if constexpr (R % T::W != 0 && !(T::W == 4 && R % T::W == 2) && Half::W > 1 && R % Half::W == 0)
    StageFirst<Half, R, Input, FixedM>(M, xr, xi, yr, yi, tw);
  else
    StageFirst<T, R, Input, FixedM>(M, xr, xi, yr, yi, tw);
}

// True when a loop over `count` values runs on Wide rather than T: Wide is wider and its vectors
// (the last one overlapping the one before) cover the values in no more of T's widths than T's own
// would; at 64 values or more always, since then a Wide vector is a whole cache line of a row.
template <class T, class Wide> constexpr bool RunsWide(int count)
{
  constexpr int W = T::W, WW = Wide::W;
  if (WW <= W || count < WW) return false;
  return count >= 64 || (count + WW - 1) / WW * (WW / W) <= (count + W - 1) / W;
}

// True when the last stage of `plan` runs the vector kernel StageLast on T (and so can write the
// caller's signal or pairs itself).
template <class T> bool LastStageFuses(const StagePlan& plan)
{
  const int lastRadix = plan.count > 1 ? plan.radix[plan.count - 1] : 0;
  return T::W > 1 && lastRadix > 0 && lastRadix <= 10 && lastRadix != 7 &&
         plan.length / lastRadix >= T::W;
}

// Runs every stage of `plan` on the split complex data in `first` (L real parts, then L imaginary
// parts), ping-ponging with `second`; returns the buffer that holds the result. Scalar is T with
// one lane.
template <class T, class Half, class Scalar, class Wide = T>
const double* RunStages(const StagePlan& plan, const double* tables, double* first, double* second,
                        const double* input = nullptr, int inputKind = kSplitInput,
                        double* output = nullptr, int outputKind = kSplitOutput, double scale = 1.0,
                        const double* inputIm = nullptr, double* outputIm = nullptr)
{
  constexpr int W = T::W;
  const int L = plan.length, I = ImagOffset(L);
  double* x = first;
  double* y = second;
  int N = L, S = 1;
  // A real input goes straight into the first stage when that runs the vector kernel; else it is
  // copied into `first` here.
  const int firstRadix = plan.count > 0 ? plan.radix[0] : 0;
  const bool fused = (inputKind == kInterleavedInput || inputKind == kRealInput) && W > 1 &&
                     firstRadix > 0 && firstRadix <= 10 && firstRadix != 7 && L / firstRadix >= W;
  if (inputKind == kInterleavedInput && !fused)
  {
    int j = 0;
    for (; j + W <= L; j += W)
    {
      typename T::V even, odd;
      T::Deinterleave(T::Load(input + 2 * j), T::Load(input + 2 * j + W), &even, &odd);
      T::Store(first + j, even);
      T::Store(first + I + j, odd);
    }
    for (; j < L; ++j)
    {
      first[j] = input[2 * j];
      first[I + j] = input[2 * j + 1];
    }
  }
  else if (inputKind == kRealInput && !fused)
  {
    for (int j = 0; j < L; ++j)
    {
      first[j] = input[j];
      first[I + j] = 0.0;
    }
  }
  // The last stage writes the caller's signal when it runs the vector kernel; else a pass does.
  const bool fusedOut = (outputKind == kInterleavedOutput || outputKind == kRealOutput ||
                         outputKind == kPairsOutput) &&
                        LastStageFuses<T>(plan);
  const typename T::V factor = T::Splat(scale);
  const typename Wide::V wideFactor = Wide::Splat(scale);
  for (int i = 0; i < plan.count; ++i)
  {
    const int r = plan.radix[i];
    const int M = N / r;
    const double* tw = tables + plan.twiddleOffset[i];
    const double *xr = x, *xi = x + I;
    double *yr = y, *yi = y + I;
    if (i == 0 && inputKind == kSeparateInput) xr = input, xi = inputIm;
    if (i == plan.count - 1 && outputKind == kSeparateOutput) yr = output, yi = outputIm;
    constexpr int H = Half::W;
    const bool firstKernel = W > 1 && S == 1 && M >= W;
    const bool wide = S >= W;
    const bool wider = RunsWide<T, Wide>(S);
    const bool halfFirst = H > 1 && S == 1 && M >= H;
    const bool halfWide = H > 1 && S >= H;
    switch (r)
    {
#define TARVEX_FFT_RADIX_CASE(R)                                                                   \
  case R:                                                                                          \
    if (i == plan.count - 1 && fusedOut && outputKind == kPairsOutput && wider)                    \
      StageLast<Wide, R, kPairsOutput>(S, xr, xi, y, wideFactor);                                  \
    else if (i == plan.count - 1 && fusedOut && outputKind == kPairsOutput)                        \
      StageLast<T, R, kPairsOutput>(S, xr, xi, y, factor);                                         \
    else if (i == plan.count - 1 && fusedOut && outputKind == kInterleavedOutput && wider)         \
      StageLast<Wide, R, kInterleavedOutput>(S, xr, xi, output, wideFactor);                       \
    else if (i == plan.count - 1 && fusedOut && outputKind == kInterleavedOutput)                  \
      StageLast<T, R, kInterleavedOutput>(S, xr, xi, output, factor);                              \
    else if (i == plan.count - 1 && fusedOut && wider)                                             \
      StageLast<Wide, R, kRealOutput>(S, xr, xi, output, wideFactor);                              \
    else if (i == plan.count - 1 && fusedOut)                                                      \
      StageLast<T, R, kRealOutput>(S, xr, xi, output, factor);                                     \
    else if (i == 0 && fused && inputKind == kInterleavedInput)                                    \
      FirstStage<T, Half, Wide, R, kInterleavedInput>(M, input, nullptr, yr, yi, tw);              \
    else if (i == 0 && fused)                                                                      \
      FirstStage<T, Half, Wide, R, kRealInput>(M, input, nullptr, yr, yi, tw);                     \
    else if (firstKernel)                                                                          \
      FirstStage<T, Half, Wide, R, kSplitInput>(M, xr, xi, yr, yi, tw);                            \
    else if (wider)                                                                                \
      StageStrided<Wide, R>(M, S, xr, xi, yr, yi, tw);                                             \
    else if (wide)                                                                                 \
      StageStrided<T, R>(M, S, xr, xi, yr, yi, tw);                                                \
    else if (halfFirst)                                                                            \
      StageFirst<Half, R>(M, xr, xi, yr, yi, tw);                                                  \
    else if (halfWide)                                                                             \
      StageStrided<Half, R>(M, S, xr, xi, yr, yi, tw);                                             \
    else                                                                                           \
      StageStrided<Scalar, R>(M, S, xr, xi, yr, yi, tw);                                           \
    break;
      TARVEX_FFT_RADIX_CASE(2)
      TARVEX_FFT_RADIX_CASE(3)
      TARVEX_FFT_RADIX_CASE(4)
      TARVEX_FFT_RADIX_CASE(5)
      TARVEX_FFT_RADIX_CASE(6)
      TARVEX_FFT_RADIX_CASE(8)
      TARVEX_FFT_RADIX_CASE(9)
      TARVEX_FFT_RADIX_CASE(10)
#undef TARVEX_FFT_RADIX_CASE
    default:
    {
      const double* table = tables + plan.tableOffset[i];
      if (wider)
        StageGeneral<Wide>(r, M, S, xr, xi, yr, yi, tw, table);
      else if (wide)
        StageGeneral<T>(r, M, S, xr, xi, yr, yi, tw, table);
      else
        StageGeneral<Scalar>(r, M, S, xr, xi, yr, yi, tw, table);
    }
    }
    double* t = x;
    x = y;
    y = t;
    N = M;
    S *= r;
  }
  if (outputKind == kInterleavedOutput && !fusedOut)
  {
    const double *outRe = x + I, *outIm = x;
    int j = 0;
    for (; j + W <= L; j += W)
    {
      typename T::V lo, hi;
      T::Interleave(T::Load(outRe + j) * factor, T::Load(outIm + j) * factor, &lo, &hi);
      T::Store(output + 2 * j, lo);
      T::Store(output + 2 * j + W, hi);
    }
    for (; j < L; ++j)
    {
      output[2 * j] = outRe[j] * scale;
      output[2 * j + 1] = outIm[j] * scale;
    }
  }
  else if (outputKind == kRealOutput && !fusedOut)
  {
    for (int j = 0; j < L; ++j) output[j] = x[I + j] * scale;
  }
  return x;
}

// Split pass of the forward transform for bins k .. k + W - 1 (lane l: bin k + l) and their
// partners (lane l: bin L - k - l), times h: X_k = E_k + w^k O_k with E, O the spectra of the even
// and odd samples (w = e^(-2 pi i / n)), from Z = E + i O. c and s: cosines and sines of w^k.
// Pairs: Z is (re, im) pairs at zr (zi unused).
template <class T> struct SplitBins
{
  typename T::V fr, fi; // bins k + l
  typename T::V gr, gi; // partners L - k - l
};

template <class T, bool Pairs>
inline SplitBins<T> SplitForwardBins(int k, int L, const double* zr, const double* zi,
                                     typename T::V c, typename T::V s, typename T::V h)
{
  using V = typename T::V;
  constexpr int W = T::W;
  const int mirror = L - k - W + 1; // lowest of the partner bins L - k - l
  V zrk, zik, zrm, zim;
  if constexpr (Pairs)
  {
    T::Deinterleave(T::Load(zr + 2 * k), T::Load(zr + 2 * k + W), &zrk, &zik);
    T::Deinterleave(T::Load(zr + 2 * mirror), T::Load(zr + 2 * mirror + W), &zrm, &zim);
  }
  else
  {
    zrk = T::Load(zr + k), zik = T::Load(zi + k);
    zrm = T::Load(zr + mirror), zim = T::Load(zi + mirror);
  }
  zrm = T::Reverse(zrm), zim = T::Reverse(zim);
  const V ar = zrk + zrm, ai = zik - zim;
  const V br = zrk - zrm, bi = zik + zim;
  const V pr = c * bi - s * br, pi = T::Splat(0.0) - (c * br + s * bi);
  return {(ar + pr) * h, (ai + pi) * h, (ar - pr) * h, (pi - ai) * h};
}

// SplitForwardBins stored in half-complex order.
template <class T, bool Pairs>
inline void SplitForward(int k, int n, int L, const double* zr, const double* zi,
                         const double* cosTable, const double* sinTable, double* dst,
                         typename T::V h)
{
  constexpr int W = T::W;
  const int mirror = L - k - W + 1;
  const SplitBins<T> x =
      SplitForwardBins<T, Pairs>(k, L, zr, zi, T::Load(cosTable + k), T::Load(sinTable + k), h);
  T::Store(dst + k, x.fr);
  T::Store(dst + n - k - W + 1, T::Reverse(x.fi));
  T::Store(dst + mirror, T::Reverse(x.gr));
  T::Store(dst + L + k, x.gi);
}

// Inverse of SplitForward without the halving for bins k + l (xr, xi) and their partners
// L - k - l (yr, yi): Z_k = (X_k + conj X_(L-k)) + i (X_k - conj X_(L-k)) w^(-k), stored with real
// and imaginary parts exchanged (zr receives imaginary parts' partner, see BackwardReal).
template <class T>
inline void SplitBackwardStore(int k, int L, typename T::V xr, typename T::V xi, typename T::V yr,
                               typename T::V yi, typename T::V c, typename T::V s, double* zr,
                               double* zi)
{
  using V = typename T::V;
  constexpr int W = T::W;
  const int mirror = L - k - W + 1;
  const V ar = xr + yr, ai = xi - yi;
  const V dr = xr - yr, di = xi + yi;
  const V orr = dr * c - di * s, oi = dr * s + di * c;
  T::Store(zr + k, ar - oi);
  T::Store(zi + k, ai + orr);
  T::Store(zr + mirror, T::Reverse(ar + oi));
  T::Store(zi + mirror, T::Reverse(orr - ai));
}

template <class T>
inline void SplitBackward(int k, int n, int L, const double* src, const double* cosTable,
                          const double* sinTable, double* zr, double* zi)
{
  constexpr int W = T::W;
  const int mirror = L - k - W + 1;
  SplitBackwardStore<T>(k, L, T::Load(src + k), T::Reverse(T::Load(src + n - k - W + 1)),
                        T::Reverse(T::Load(src + mirror)), T::Load(src + L + k),
                        T::Load(cosTable + k), T::Load(sinTable + k), zr, zi);
}

// Runs group(Lanes{}, k) over bins 1 .. last of a split pass in groups of bins k .. k + W - 1 on
// the lanes the split passes use: Wide when RunsWide says so, else T when last >= T's lanes, else
// one bin at a time. The last group of a width overlaps the one before it.
// FixedLast, when not 0, is `last` known when compiling.
template <class T, class Scalar, class Wide, int FixedLast = 0, class Group>
[[gnu::always_inline]] inline void ForEachSplitGroup(int last, const Group& group)
{
  constexpr int W = T::W;
  if constexpr (FixedLast > 0) last = FixedLast;
  const auto groups = [&](auto lanes) __attribute__((always_inline))
  {
    constexpr int V = decltype(lanes)::W;
    ForEachStep<FixedLast, V>(
        last, [&](int i) __attribute__((always_inline)) {
          group(lanes, i + V <= last ? i + 1 : last - V + 1);
        });
  };
  if constexpr (FixedLast > 0)
  {
    // Only the lanes in use are instantiated.
    if constexpr (RunsWide<T, Wide>(FixedLast))
      groups(Wide{});
    else if constexpr (FixedLast >= W)
      groups(T{});
    else
      groups(Scalar{});
  }
  else if (RunsWide<T, Wide>(last))
    groups(Wide{});
  else if (last >= W)
    groups(T{});
  else
    groups(Scalar{});
}

// The split pass of ForwardReal from Z (pairs, or split with imaginary parts at zi) into dst.
// FixedL, when not 0, is L known when compiling.
template <class T, class Scalar, class Wide, bool Pairs, int FixedL = 0>
void SplitForwardPass(const StagePlan& plan, const double* tables, const double* zr,
                      const double* zi, double* dst, double scale)
{
  const int n = FixedL > 0 ? 2 * FixedL : plan.n, L = FixedL > 0 ? FixedL : plan.length;
  const auto re = [&](int k) { return Pairs ? zr[2 * k] : zr[k]; };
  const auto im = [&](int k) { return Pairs ? zr[2 * k + 1] : zi[k]; };
  const double* cosTable = tables + plan.postOffset;
  const double* sinTable = cosTable + plan.postCount;
  const double h = 0.5 * scale;
  dst[0] = (re(0) + im(0)) * scale;
  dst[L] = (re(0) - im(0)) * scale;
  const int last = (L - 1) / 2; // bins 1 .. last pair with L - 1 .. L - last
  ForEachSplitGroup<T, Scalar, Wide, (FixedL - 1) / 2>(
      last,
      [&](auto lanes, int k)
      {
        using Lanes = decltype(lanes);
        SplitForward<Lanes, Pairs>(k, n, L, zr, zi, cosTable, sinTable, dst, Lanes::Splat(h));
      });
  if (L % 2 == 0 && L > 0)
  {
    const int k = L / 2;
    dst[k] = re(k) * scale;
    dst[n - k] = -im(k) * scale;
  }
}

// The split pass of BackwardReal: the half-complex spectrum at src into split data at z (real and
// imaginary parts exchanged) for the complex stages. FixedL, when not 0, is L known when compiling.
template <class T, class Scalar, class Wide, int FixedL = 0>
void SplitBackwardPass(const StagePlan& plan, const double* tables, const double* src, double* z)
{
  const int n = FixedL > 0 ? 2 * FixedL : plan.n, L = FixedL > 0 ? FixedL : plan.length;
  double* zr =
      z + ImagOffset(L); // exchanged: the real parts go where the stages read imaginary ones
  double* zi = z;
  const double* cosTable = tables + plan.postOffset;
  const double* sinTable = cosTable + plan.postCount;
  zr[0] = src[0] + src[L];
  zi[0] = src[0] - src[L];
  const int last = (L - 1) / 2;
  ForEachSplitGroup<T, Scalar, Wide, (FixedL - 1) / 2>(
      last, [&](auto lanes, int k)
      { SplitBackward<decltype(lanes)>(k, n, L, src, cosTable, sinTable, zr, zi); });
  if (L % 2 == 0 && L > 0)
  {
    const int k = L / 2;
    zr[k] = 2.0 * src[k];
    zi[k] = -2.0 * src[n - k];
  }
}

// Codelets: the real transforms of a few short even lengths (complex length L, radices R...) with
// every size known when compiling. At these lengths the general stages spend
// much of their time on run-time sizes (address arithmetic, loop control, lane choice); a codelet
// runs the same kernels on the same lanes in the same order, with the same tables.
template <int L, int... R> struct Codelet
{
  static constexpr int kLength = L;
  static constexpr int kCount = sizeof...(R);
  static constexpr int kRadix[kCount] = {R...};
  // The stride of stage i.
  static constexpr int Stride(int i)
  {
    int s = 1;
    for (int j = 0; j < i; ++j) s *= kRadix[j];
    return s;
  }
  // True when MakeStagePlan chose these stages for the plan.
  static bool Matches(const StagePlan& plan)
  {
    if (!plan.even || plan.length != L || plan.count != kCount) return false;
    for (int i = 0; i < kCount; ++i)
      if (plan.radix[i] != kRadix[i]) return false;
    return true;
  }
};

// A stage between the first and the last, on the lanes RunStages gives it.
template <class T, class Half, class Scalar, class Wide, int R, int M, int S>
[[gnu::always_inline]] inline void CodeletMiddleStage(const double* x, double* y, int I,
                                                      const double* tw)
{
  if constexpr (RunsWide<T, Wide>(S))
    StageStrided<Wide, R, M, S>(M, S, x, x + I, y, y + I, tw);
  else if constexpr (S >= T::W)
    StageStrided<T, R, M, S>(M, S, x, x + I, y, y + I, tw);
  else if constexpr (Half::W > 1 && S >= Half::W)
    StageStrided<Half, R, M, S>(M, S, x, x + I, y, y + I, tw);
  else
    StageStrided<Scalar, R, M, S>(M, S, x, x + I, y, y + I, tw);
}

// Stage i and the ones after it. Forward: stage i reads the signal (i = 0) or buffers[(i + 1) % 2]
// and writes buffers[i % 2] (the last one split data: at these lengths the split pass reads those
// faster than pairs). Backward: stage i reads buffers[i % 2] and writes buffers[(i + 1) % 2], the
// last one dst.
template <class T, class Half, class Scalar, class Wide, class C, bool Forward, int i>
[[gnu::always_inline]] inline void CodeletStages(const StagePlan& plan, const double* tables,
                                                 const double* src, double* const* buffers,
                                                 double* dst, double scale)
{
  constexpr int L = C::kLength, R = C::kRadix[i], S = C::Stride(i), M = L / (S * R);
  constexpr int I = ImagOffset(L);
  const double* tw = tables + plan.twiddleOffset[i];
  const double* x = buffers[Forward ? (i + 1) % 2 : i % 2];
  double* y = buffers[Forward ? i % 2 : (i + 1) % 2];
  if constexpr (i == 0)
  {
    static_assert(M >= T::W, "the first stage runs the vector kernel");
    if constexpr (Forward)
      FirstStage<T, Half, Wide, R, kInterleavedInput, M>(M, src, nullptr, y, y + I, tw);
    else
      FirstStage<T, Half, Wide, R, kSplitInput, M>(M, x, x + I, y, y + I, tw);
  }
  else if constexpr (i + 1 < C::kCount)
  {
    CodeletMiddleStage<T, Half, Scalar, Wide, R, M, S>(x, y, I, tw);
  }
  else
  {
    static_assert(M == 1 && S >= T::W, "the last stage runs the vector kernel");
    if constexpr (Forward)
      CodeletMiddleStage<T, Half, Scalar, Wide, R, M, S>(x, y, I, tw);
    else if constexpr (RunsWide<T, Wide>(S))
      StageLast<Wide, R, kInterleavedOutput, S>(S, x, x + I, dst, Wide::Splat(scale));
    else
      StageLast<T, R, kInterleavedOutput, S>(S, x, x + I, dst, T::Splat(scale));
  }
  if constexpr (i + 1 < C::kCount)
    CodeletStages<T, Half, Scalar, Wide, C, Forward, i + 1>(plan, tables, src, buffers, dst, scale);
}

// ForwardReal or BackwardReal by codelet C when the plan is C's; false otherwise.
template <class T, class Half, class Scalar, class Wide, class C, bool Forward>
bool RunCodelet(const StagePlan& plan, const double* tables, const double* src, double* dst,
                double scale, double* a, double* b)
{
  if (!C::Matches(plan)) return false;
  constexpr int L = C::kLength;
  double* const buffers[2] = {a, b};
  if constexpr (Forward)
  {
    CodeletStages<T, Half, Scalar, Wide, C, true, 0>(plan, tables, src, buffers, dst, scale);
    const double* z = buffers[(C::kCount - 1) % 2];
    SplitForwardPass<T, Scalar, Wide, false, L>(plan, tables, z, z + ImagOffset(L), dst, scale);
  }
  else
  {
    SplitBackwardPass<T, Scalar, Wide, L>(plan, tables, src, a);
    CodeletStages<T, Half, Scalar, Wide, C, false, 0>(plan, tables, src, buffers, dst, scale);
  }
  return true;
}

// Real transforms of n = 4M (M = 25, 45 and 60: 5P with a P-point butterfly) as four real
// transforms of M points side by side on four lanes, then one radix-4 pass across the lanes. Lane r
// transforms x_r(m) = x[4m + r] (m < M), so the signal loads as it lies, with no deinterleaving;
// the real inputs make the first pass's butterflies real and the spectra Y_r Hermitian (Y_r(M - k)
// = conj Y_r(k)), so only k <= H = M / 2 is formed. Then X(k + Mq) = sum_r w^(rk) (-i)^(rq) Y_r(k)
// with w = e^(-2 pi i / n): for each four k a register transpose, three twiddles and a 4-point
// butterfly give four bins from each quarter of the spectrum, two of them as conjugates. Unlike the
// complex stages this wastes no lanes on odd factors and needs no split pass. The M-point
// transforms run as M = P * 5 by decimation in time: real 5-point butterflies over m = m1 + P m2,
// then P-point butterflies for k2 = 0, 1, 2 (3 and 4 are their conjugates).
//
// cos(2 pi j / n) for j = 0 .. M (a quarter wave), rounded from long double.
// clang-format off
constexpr double kQuarterCos100[26] = {
    1.0, 0.99802672842827156, 0.99211470131447788, 0.98228725072868872,
    0.96858316112863108, 0.95105651629515353, 0.92977648588825146, 0.90482705246601958,
    0.87630668004386358, 0.84432792550201508, 0.80901699437494745, 0.77051324277578925,
    0.72896862742141155, 0.68454710592868873, 0.63742398974868975, 0.58778525229247314,
    0.53582679497899666, 0.48175367410171527, 0.42577929156507266, 0.36812455268467797,
    0.30901699437494745, 0.24868988716485479, 0.18738131458572463, 0.12533323356430426,
    0.062790519529313374, 0.0};
constexpr double kQuarterCos180[46] = {
    1.0, 0.99939082701909576, 0.9975640502598242, 0.99452189536827329,
    0.99026806874157036, 0.98480775301220802, 0.97814760073380569, 0.97029572627599647,
    0.96126169593831889, 0.95105651629515353, 0.93969262078590843, 0.92718385456678742,
    0.91354545764260087, 0.89879404629916704, 0.88294759285892699, 0.8660254037844386,
    0.84804809615642596, 0.82903757255504174, 0.80901699437494745, 0.7880107536067219,
    0.76604444311897801, 0.74314482547739424, 0.71933980033865119, 0.69465837045899725,
    0.66913060635885824, 0.64278760968653936, 0.61566147532565829, 0.58778525229247314,
    0.55919290347074679, 0.5299192642332049, 0.5, 0.46947156278589075,
    0.4383711467890774, 0.40673664307580021, 0.37460659341591201, 0.34202014332566871,
    0.30901699437494745, 0.27563735581699916, 0.24192189559966773, 0.20791169081775934,
    0.17364817766693036, 0.13917310096006544, 0.10452846326765347, 0.069756473744125302,
    0.034899496702500969, 0.0};
constexpr double kQuarterCos240[61] = {
    1.0, 0.99965732497555726, 0.99862953475457383, 0.99691733373312796,
    0.99452189536827329, 0.99144486137381038, 0.98768834059513777, 0.98325490756395462,
    0.97814760073380569, 0.97236992039767656, 0.96592582628906831, 0.95881973486819305,
    0.95105651629515353, 0.94264149109217843, 0.93358042649720174, 0.92387953251128674,
    0.91354545764260087, 0.90258528434986063, 0.8910065241883679, 0.87881711266196538,
    0.8660254037844386, 0.85264016435409218, 0.83867056794542405, 0.8241261886220157,
    0.80901699437494745, 0.79335334029123517, 0.7771459614569709, 0.76040596560003093,
    0.74314482547739424, 0.72537437101228763, 0.70710678118654757, 0.68835457569375402,
    0.66913060635885824, 0.64944804833018366, 0.6293203910498375, 0.60876142900872066,
    0.58778525229247314, 0.56640623692483283, 0.54463903501502708, 0.52249856471594891,
    0.5, 0.47715876025960841, 0.4539904997395468, 0.43051109680829514,
    0.40673664307580021, 0.38268343236508978, 0.35836794954530027, 0.3338068592337709,
    0.30901699437494745, 0.28401534470392259, 0.25881904510252074, 0.23344536385590542,
    0.20791169081775934, 0.18223552549214744, 0.15643446504023087, 0.1305261922200516,
    0.10452846326765347, 0.078459095727844944, 0.052335956242943835, 0.026176948307873153,
    0.0};
// clang-format on

// cos and sin of 2 pi t / 4M for 0 <= t <= 2M, from the quarter wave.
template <int M> constexpr double QuarterCos(int t)
{
  static_assert(M == 25 || M == 45 || M == 60, "a quarter wave for M");
  const double* c = M == 25 ? kQuarterCos100 : M == 45 ? kQuarterCos180 : kQuarterCos240;
  return t <= M ? c[t] : -c[2 * M - t];
}
template <int M> constexpr double QuarterSin(int t)
{
  return t <= M ? QuarterCos<M>(M - t) : QuarterCos<M>(t - M);
}

// w^(rk) for r = 1 .. 3 and k = 0 .. H (rows padded to whole vectors), as loads over four k.
template <int M> struct QuarterTwiddles
{
  static constexpr int kRow = (M / 2 + 4) / 4 * 4;
  double re[3][kRow], im[3][kRow];
};
template <int M> constexpr QuarterTwiddles<M> MakeQuarterTwiddles()
{
  QuarterTwiddles<M> t{};
  for (int r = 1; r <= 3; ++r)
    for (int k = 0; k <= M / 2; ++k)
    {
      t.re[r - 1][k] = QuarterCos<M>(r * k);
      t.im[r - 1][k] = -QuarterSin<M>(r * k);
    }
  return t;
}
template <int M>
alignas(64) inline constexpr QuarterTwiddles<M> kQuarterTwiddles = MakeQuarterTwiddles<M>();

// Real 5-point DFT of a[0 .. 4]: b0 (real), b1 and b2 (b3 and b4 are their conjugates); the
// arithmetic of Butterfly<T, 5> on zero imaginary parts, without the terms that vanish.
template <class T>
[[gnu::always_inline]] inline void RealButterfly5(const typename T::V* a, typename T::V* b0,
                                                  Complex<T>* b1, Complex<T>* b2)
{
  using V = typename T::V;
  const V c1 = T::Splat(kCos72), c2 = T::Splat(kCos144);
  const V s1 = T::Splat(kSin72), s2 = T::Splat(kSin144);
  const V t1 = a[1] + a[4], t2 = a[2] + a[3];
  const V t3 = a[1] - a[4], t4 = a[2] - a[3];
  *b0 = a[0] + (t1 + t2);
  *b1 = {a[0] + c1 * t1 + c2 * t2, T::Splat(-kSin72) * t3 - s2 * t4};
  *b2 = {a[0] + c2 * t1 + c1 * t2, s1 * t4 - s2 * t3};
}

// Real output of the inverse 5-point DFT of a Hermitian input: a0 (real), a1, a2, conj a2, conj a1;
// x[m] = a0 + 2 Re(a1 e^(2 pi i m / 5)) + 2 Re(a2 e^(4 pi i m / 5)).
template <class T>
[[gnu::always_inline]] inline void RealInverseButterfly5(typename T::V a0, Complex<T> a1,
                                                         Complex<T> a2, typename T::V* x)
{
  using V = typename T::V;
  const V c1 = T::Splat(2 * kCos72), c2 = T::Splat(2 * kCos144);
  const V s1 = T::Splat(2 * kSin72), s2 = T::Splat(2 * kSin144);
  const V p1 = a0 + c1 * a1.re + c2 * a2.re, q1 = s1 * a1.im + s2 * a2.im;
  const V p2 = a0 + c2 * a1.re + c1 * a2.re, q2 = s2 * a1.im - s1 * a2.im;
  x[0] = a0 + T::Splat(2.0) * (a1.re + a2.re);
  x[1] = p1 - q1;
  x[4] = p1 + q1;
  x[2] = p2 - q2;
  x[3] = p2 + q2;
}

template <class T> [[gnu::always_inline]] inline Complex<T> Conj(Complex<T> a)
{
  return {a.re, T::Splat(0.0) - a.im};
}

// a * conj w
template <class T>
[[gnu::always_inline]] inline Complex<T> MulConj(Complex<T> a, typename T::V wr, typename T::V wi)
{
  return {a.re * wr + a.im * wi, a.im * wr - a.re * wi};
}

// Bins K0 + l, M + K0 + l, 2M - K0 - l and M - K0 - l (lane l) from y[K0 .. K0 + 3] (lane r: Y_r),
// stored in half-complex order. Groups run in increasing K0: group 0 writes one value that group 4
// corrects (see below). For even M, k = M / 2 gives bins M / 2 and 3M / 2 twice each, from two
// quarters: equal but for rounding, and the later store stands.
template <class T, int M, int K0>
[[gnu::always_inline]] inline void QuarterCombine(const Complex<T>* y, double* dst)
{
  using V = typename T::V;
  constexpr int n = 4 * M;
  V re[4] = {y[K0].re, y[K0 + 1].re, y[K0 + 2].re, y[K0 + 3].re};
  V im[4] = {y[K0].im, y[K0 + 1].im, y[K0 + 2].im, y[K0 + 3].im};
  T::Transpose(re);
  T::Transpose(im);
  Complex<T> z[4], x[4];
  z[0] = {re[0], im[0]};
#pragma GCC unroll 4
  for (int r = 1; r < 4; ++r)
    z[r] = Mul(Complex<T>{re[r], im[r]}, T::Load(kQuarterTwiddles<M>.re[r - 1] + K0),
               T::Load(kQuarterTwiddles<M>.im[r - 1] + K0));
  Butterfly<T, 4>(z, x); // x[q]: bins k + Mq
  const V zero = T::Splat(0.0);
  // Bins k: real parts at k, imaginary parts at n - k. Bin 0 has none (n is past the end): group 0
  // stores lanes 0, 3, 2, 1 from n - 4 on, and group 4 then writes n - 4.
  T::Store(dst + K0, x[0].re);
  if constexpr (K0 == 0)
    T::Store(dst + n - 4, T::ReverseUpper3(x[0].im));
  else
    T::Store(dst + n - 3 - K0, T::Reverse(x[0].im));
  // Bins M + k.
  T::Store(dst + M + K0, x[1].re);
  T::Store(dst + 3 * M - 3 - K0, T::Reverse(x[1].im));
  // Bins 2M - k = conj X(2M + k): the imaginary parts first, so that bin 2M's real part (k = 0)
  // lands last on 2M.
  T::Store(dst + 2 * M + K0, zero - x[2].im);
  T::Store(dst + 2 * M - 3 - K0, T::Reverse(x[2].re));
  // Bins M - k = conj X(3M + k).
  T::Store(dst + M - 3 - K0, T::Reverse(x[3].re));
  T::Store(dst + 3 * M + K0, zero - x[3].im);
}

// The groups of four k from K0 on: 0, 4, 8, ..., the last one ending at H (and overlapping the one
// before it, which gives the same values again).
template <class T, int M, int K0 = 0>
[[gnu::always_inline]] inline void QuarterCombineAll(const Complex<T>* y, double* dst)
{
  constexpr int H = M / 2;
  QuarterCombine<T, M, (K0 + 3 <= H ? K0 : H - 3)>(y, dst);
  if constexpr (K0 + 4 <= H) QuarterCombineAll<T, M, K0 + 4>(y, dst);
}

// The forward P-point DFT on T's lanes (P = 5, 9 or 12).
template <class T, int P>
[[gnu::always_inline]] inline void QuarterButterfly(const Complex<T>* a, Complex<T>* b)
{
  if constexpr (P == 5)
    Butterfly<T, 5>(a, b);
  else if constexpr (P == 12)
    Composite<T, 4, 3>(a, b);
  else
    WideButterfly<T, P>(a, b);
}

// ForwardReal for n = 4M (see above), each value times `scale`. src may equal dst: every value is
// read before the first is written.
template <class T, int M> void QuarterForward(const double* src, double* dst, double scale)
{
  static_assert(T::W == 4, "four lanes: one per quarter");
  using V = typename T::V;
  constexpr int P = M / 5, H = M / 2;
  const V h = T::Splat(scale);
  // u(m1, k2) = sum_m2 x_r(m1 + P m2) e^(-2 pi i m2 k2 / 5), times w^(4 m1 k2).
  V u0[P];
  Complex<T> u1[P], u2[P];
#pragma GCC unroll 12
  for (int m1 = 0; m1 < P; ++m1)
  {
    V a[5];
#pragma GCC unroll 5
    for (int m2 = 0; m2 < 5; ++m2) a[m2] = T::Load(src + 4 * (m1 + P * m2)) * h;
    RealButterfly5<T>(a, &u0[m1], &u1[m1], &u2[m1]);
    if (m1 > 0)
    {
      u1[m1] = Mul(u1[m1], T::Splat(QuarterCos<M>(4 * m1)), T::Splat(-QuarterSin<M>(4 * m1)));
      u2[m1] = Mul(u2[m1], T::Splat(QuarterCos<M>(8 * m1)), T::Splat(-QuarterSin<M>(8 * m1)));
    }
  }
  // Y(k2 + 5 k1) = sum_m1 u(m1, k2) e^(-2 pi i m1 k1 / P); kept for k <= H, or as its conjugate
  // Y(M - k).
  Complex<T> y[H + 1], in[P], out[P];
#pragma GCC unroll 3
  for (int k2 = 0; k2 < 3; ++k2)
  {
    if (P == 5 && k2 == 0)
    {
      V b0;
      RealButterfly5<T>(u0, &b0, &out[1], &out[2]);
      out[0] = {b0, T::Splat(0.0)};
    }
    else
    {
#pragma GCC unroll 12
      for (int m1 = 0; m1 < P; ++m1)
        in[m1] = k2 == 0 ? Complex<T>{u0[m1], T::Splat(0.0)} : k2 == 1 ? u1[m1] : u2[m1];
      QuarterButterfly<T, P>(in, out);
    }
#pragma GCC unroll 12
    for (int k1 = 0; k1 < P; ++k1)
    {
      const int k = k2 + 5 * k1;
      if (k <= H)
        y[k] = out[k1];
      else if (k2 > 0)
        y[M - k] = Conj(out[k1]);
    }
  }
  QuarterCombineAll<T, M>(y, dst);
}

// The inverse of QuarterCombine for lanes k = K0 + l: from the half-complex spectrum, the bins
// X(k + Mq), then Y_r(k) = w^(-rk) sum_q X(k + Mq) i^(rq), transposed into y[K0 .. K0 + 3]
// (lane r).
template <class T, int M, int K0>
[[gnu::always_inline]] inline void QuarterSeparate(const double* src, Complex<T>* y)
{
  using V = typename T::V;
  constexpr int n = 4 * M;
  const V zero = T::Splat(0.0);
  Complex<T> x[4], f[4];
  // Bins k: bin 0 has no imaginary part (src[n] is past the end).
  x[0].re = T::Load(src + K0);
  if constexpr (K0 == 0)
    x[0].im = T::ZeroLane0(T::ReverseUpper3(T::Load(src + n - 4)));
  else
    x[0].im = T::Reverse(T::Load(src + n - 3 - K0));
  x[1] = {T::Load(src + M + K0), T::Reverse(T::Load(src + 3 * M - 3 - K0))};
  // Bins 2M + k = conj X(2M - k); bin 2M is real (src[2M] holds its real part).
  x[2] = {T::Reverse(T::Load(src + 2 * M - 3 - K0)), zero - T::Load(src + 2 * M + K0)};
  if constexpr (K0 == 0) x[2].im = T::ZeroLane0(x[2].im);
  // Bins 3M + k = conj X(M - k).
  x[3] = {T::Reverse(T::Load(src + M - 3 - K0)), zero - T::Load(src + 3 * M + K0)};
  Butterfly<T, 4>(x, f); // sum_q X(k + Mq) i^(rq) is f[(4 - r) % 4]
  V re[4] = {f[0].re}, im[4] = {f[0].im};
#pragma GCC unroll 4
  for (int r = 1; r < 4; ++r)
  {
    const Complex<T> v = MulConj(f[4 - r], T::Load(kQuarterTwiddles<M>.re[r - 1] + K0),
                                 T::Load(kQuarterTwiddles<M>.im[r - 1] + K0));
    re[r] = v.re, im[r] = v.im;
  }
  T::Transpose(re);
  T::Transpose(im);
#pragma GCC unroll 4
  for (int l = 0; l < 4; ++l) y[K0 + l] = {re[l], im[l]};
}

template <class T, int M, int K0 = 0>
[[gnu::always_inline]] inline void QuarterSeparateAll(const double* src, Complex<T>* y)
{
  constexpr int H = M / 2;
  QuarterSeparate<T, M, (K0 + 3 <= H ? K0 : H - 3)>(src, y);
  if constexpr (K0 + 4 <= H) QuarterSeparateAll<T, M, K0 + 4>(src, y);
}

// BackwardReal for n = 4M, the inverse of QuarterForward step by step, each value times `scale`.
// src is only read; it may equal dst: every value is read before the first is written.
template <class T, int M> void QuarterBackward(const double* src, double* dst, double scale)
{
  static_assert(T::W == 4, "four lanes: one per quarter");
  using V = typename T::V;
  constexpr int P = M / 5, H = M / 2;
  Complex<T> y[H + 1];
  QuarterSeparateAll<T, M>(src, y);
  // Lane r: x_r(m1 + P m2) = sum_k2 e^(2 pi i m2 k2 / 5) e^(2 pi i m1 k2 / M) v(m1, k2) with
  // v(m1, k2) = sum_k1 Y_r(k2 + 5 k1) e^(2 pi i m1 k1 / P); v(m1, 0) is real, and k2 = 3, 4 are
  // the conjugates of 2, 1 once twiddled.
  V v0[P];
  Complex<T> v1[P], v2[P], in[P], out[P];
#pragma GCC unroll 3
  for (int k2 = 0; k2 < 3; ++k2)
  {
    if (P == 5 && k2 == 0)
    {
      RealInverseButterfly5<T>(y[0].re, y[5], y[10], v0);
      continue;
    }
#pragma GCC unroll 12
    for (int k1 = 0; k1 < P; ++k1)
    {
      const int k = k2 + 5 * k1;
      in[k1] = k <= H ? y[k] : Conj(y[M - k]);
    }
    // The inverse P-point DFT is the forward one with outputs 1 .. P - 1 reversed.
    QuarterButterfly<T, P>(in, out);
#pragma GCC unroll 12
    for (int m1 = 0; m1 < P; ++m1)
    {
      const Complex<T> v = out[(P - m1) % P];
      if (k2 == 0)
        v0[m1] = v.re;
      else if (k2 == 1)
        v1[m1] = v;
      else
        v2[m1] = v;
    }
  }
  const V h = T::Splat(scale);
#pragma GCC unroll 12
  for (int m1 = 0; m1 < P; ++m1)
  {
    if (m1 > 0)
    {
      v1[m1] = MulConj(v1[m1], T::Splat(QuarterCos<M>(4 * m1)), T::Splat(-QuarterSin<M>(4 * m1)));
      v2[m1] = MulConj(v2[m1], T::Splat(QuarterCos<M>(8 * m1)), T::Splat(-QuarterSin<M>(8 * m1)));
    }
    V x[5];
    RealInverseButterfly5<T>(v0[m1], v1[m1], v2[m1], x);
#pragma GCC unroll 5
    for (int m2 = 0; m2 < 5; ++m2) T::Store(dst + 4 * (m1 + P * m2), x[m2] * h);
  }
}

// ForwardReal or BackwardReal by the quarter transforms of n = 4M when the plan is a real one of
// that length; false otherwise.
template <class T, int M, bool Forward>
bool RunQuarter(const StagePlan& plan, const double* src, double* dst, double scale)
{
  if (!plan.even) return false;
  if constexpr (Forward)
    QuarterForward<T, M>(src, dst, scale);
  else
    QuarterBackward<T, M>(src, dst, scale);
  return true;
}

// The codelets: the engine's shortest lengths, n = 100 to 500, where the general path runs at about
// FFTW's speed (bench-fft); n = 100, 180 and 240 by their quarters (QuarterForward). Only in the
// sets with fused multiply-adds (TARVEX_FFT_CODELETS): each costs some 30 KB of code per set, and
// the older sets keep the general path.
template <class T, class Half, class Scalar, class Wide, bool Forward>
bool RunCodelets(const StagePlan& plan, const double* tables, const double* src, double* dst,
                 double scale, double* a, double* b)
{
  if constexpr (!TARVEX_FFT_CODELETS || T::W != 4)
    return false;
  else
    switch (plan.length)
    {
    case 50: // n = 100
      return RunQuarter<T, 25, Forward>(plan, src, dst, scale);
    case 90: // n = 180
      return RunQuarter<T, 45, Forward>(plan, src, dst, scale);
    case 120: // n = 240
      return RunQuarter<T, 60, Forward>(plan, src, dst, scale);
    case 160:
      return RunCodelet<T, Half, Scalar, Wide, Codelet<160, 8, 4, 5>, Forward>(plan, tables, src,
                                                                               dst, scale, a, b);
    case 200:
      return RunCodelet<T, Half, Scalar, Wide, Codelet<200, 8, 5, 5>, Forward>(plan, tables, src,
                                                                               dst, scale, a, b);
    case 250:
      return RunCodelet<T, Half, Scalar, Wide, Codelet<250, 10, 5, 5>, Forward>(plan, tables, src,
                                                                                dst, scale, a, b);
    default:
      return false;
    }
}

// Forward transform of a real signal of length n into half-complex order, each value times `scale`.
// `a` and `b` hold 2L + kImagGap doubles each; src may equal dst. When the last stage runs the
// vector kernel it leaves Z as pairs: its rows then take half as many cache lines, which matters
// when the stride is a multiple of a large power of two and the rows share cache sets.
template <class T, class Half, class Scalar, class Wide = T>
void ForwardReal(const StagePlan& plan, const double* tables, const double* src, double* dst,
                 double scale, double* a, double* b)
{
  const int n = plan.n, L = plan.length;
  if (RunCodelets<T, Half, Scalar, Wide, true>(plan, tables, src, dst, scale, a, b)) return;
  if (plan.even)
  {
    if (LastStageFuses<T>(plan))
    {
      const double* z = RunStages<T, Half, Scalar, Wide>(plan, tables, a, b, src, kInterleavedInput,
                                                         nullptr, kPairsOutput);
      SplitForwardPass<T, Scalar, Wide, true>(plan, tables, z, nullptr, dst, scale);
    }
    else
    {
      const double* z =
          RunStages<T, Half, Scalar, Wide>(plan, tables, a, b, src, kInterleavedInput);
      SplitForwardPass<T, Scalar, Wide, false>(plan, tables, z, z + ImagOffset(L), dst, scale);
    }
  }
  else
  {
    const double* z = RunStages<T, Half, Scalar, Wide>(plan, tables, a, b, src, kRealInput);
    const double *zr = z, *zi = z + ImagOffset(n);
    dst[0] = zr[0] * scale;
    for (int k = 1; 2 * k < n; ++k)
    {
      dst[k] = zr[k] * scale;
      dst[n - k] = zi[k] * scale;
    }
  }
}

// Backward transform of a half-complex spectrum of length n into a real signal, each value times
// `scale`. The inverse complex transform is the forward one with real and imaginary parts exchanged
// on the way in and out. src is only read; it may equal dst.
template <class T, class Half, class Scalar, class Wide = T>
void BackwardReal(const StagePlan& plan, const double* tables, const double* src, double* dst,
                  double scale, double* a, double* b)
{
  const int n = plan.n;
  if (RunCodelets<T, Half, Scalar, Wide, false>(plan, tables, src, dst, scale, a, b)) return;
  if (plan.even)
  {
    SplitBackwardPass<T, Scalar, Wide>(plan, tables, src, a);
    RunStages<T, Half, Scalar, Wide>(plan, tables, a, b, nullptr, kSplitInput, dst,
                                     kInterleavedOutput, scale);
  }
  else
  {
    double* zr = a + ImagOffset(n);
    double* zi = a;
    zr[0] = src[0];
    zi[0] = 0.0;
    for (int k = 1; 2 * k < n; ++k)
    {
      zr[k] = src[k];
      zi[k] = src[n - k];
      zr[n - k] = src[k];
      zi[n - k] = -src[n - k];
    }
    RunStages<T, Half, Scalar, Wide>(plan, tables, a, b, nullptr, kSplitInput, dst, kRealOutput,
                                     scale);
  }
}

// The spectral multiply of ConvolveStereo: z holds a complex spectrum Z (real parts, then the n
// imaginary parts); the kernel's spectrum K is Hermitian, given by its half-complex layout
// (K_k = kernel[k] + i kernel[n - k], K_(n-k) = conj K_k). Writes Z K times scale back into z with
// real and imaginary parts exchanged, ready for the inverse transform.
template <class T>
void MultiplyHermitianExchanged(double* z, int n, const double* kernel, double scale)
{
  using V = typename T::V;
  constexpr int W = T::W;
  double* zr = z;
  double* zi = z + ImagOffset(n);
  {
    const double k0 = kernel[0] * scale, r = zr[0], i = zi[0];
    zr[0] = i * k0;
    zi[0] = r * k0;
  }
  const V s = T::Splat(scale);
  int k = 1;
  // Bins k .. k + W - 1 with their partners n - k - W + 1 .. n - k, while the two runs stay apart.
  for (; k + W - 1 < n - k - W + 1; k += W)
  {
    const int m = n - k - W + 1;
    const V kr = T::Load(kernel + k) * s, ki = T::Reverse(T::Load(kernel + m)) * s;
    const V ar = T::Load(zr + k), ai = T::Load(zi + k);
    const V br = T::Reverse(T::Load(zr + m)), bi = T::Reverse(T::Load(zi + m));
    // Z_k K_k and Z_(n-k) conj K_k, stored exchanged.
    T::Store(zi + k, ar * kr - ai * ki);
    T::Store(zr + k, ai * kr + ar * ki);
    T::Store(zi + m, T::Reverse(br * kr + bi * ki));
    T::Store(zr + m, T::Reverse(bi * kr - br * ki));
  }
  for (; 2 * k < n; ++k)
  {
    const int m = n - k;
    const double kr = kernel[k] * scale, ki = kernel[m] * scale;
    const double ar = zr[k], ai = zi[k], br = zr[m], bi = zi[m];
    zi[k] = ar * kr - ai * ki;
    zr[k] = ai * kr + ar * ki;
    zi[m] = br * kr + bi * ki;
    zr[m] = bi * kr - br * ki;
  }
  if (n % 2 == 0)
  {
    const double kn = kernel[n / 2] * scale, r = zr[n / 2], i = zi[n / 2];
    zr[n / 2] = i * kn;
    zi[n / 2] = r * kn;
  }
}

// Stereo convolution with a real kernel in one complex transform of n points (plan.complex):
// Z = DFT(left + i right); Y = IDFT(Z K) / n has the left result as real part and the right one as
// imaginary part. The inverse runs as the forward stages on exchanged parts. a and b hold 2n +
// kImagGap doubles each; in may equal out.
template <class T, class Half, class Scalar, class Wide = T>
void ConvolveStereo(const StagePlan& plan, const double* tables, const double* const* in,
                    double* const* out, const double* kernel, double* a, double* b)
{
  const int n = plan.length;
  double* z = const_cast<double*>(RunStages<T, Half, Scalar, Wide>(
      plan, tables, a, b, in[0], kSeparateInput, nullptr, kSplitOutput, 1.0, in[1]));
  MultiplyHermitianExchanged<Wide>(z, n, kernel, 1.0 / n);
  double* other = z == a ? b : a;
  RunStages<T, Half, Scalar, Wide>(plan, tables, z, other, nullptr, kSplitInput, out[1],
                                   kSeparateOutput, 1.0, nullptr, out[0]);
}

// For bins k .. k + W - 1 and their partners L - k ...: SplitForward's spectrum, times the kernel's
// half-complex spectrum as HalfComplexMultiply does, then SplitBackward, with the same operations
// in the same order as the three passes, without storing the spectrum in between. Writes to outR /
// outI, which must not overlap Z (the last group may overlap the one before it). Pairs: Z is (re,
// im) pairs at zr (zi unused).
template <class T, bool Pairs>
inline void SplitMultiplySplit(int k, int n, int L, const double* zr, const double* zi,
                               const double* cosTable, const double* sinTable, const double* kernel,
                               typename T::V h, double* outR, double* outI)
{
  using V = typename T::V;
  constexpr int W = T::W;
  const int mirror = L - k - W + 1;
  const V c = T::Load(cosTable + k), s = T::Load(sinTable + k);
  const SplitBins<T> x = SplitForwardBins<T, Pairs>(k, L, zr, zi, c, s, h);
  const V kr = T::Load(kernel + k), ki = T::Reverse(T::Load(kernel + n - k - W + 1));
  const V mr = T::Reverse(T::Load(kernel + mirror)), mi = T::Load(kernel + L + k);
  SplitBackwardStore<T>(k, L, x.fr * kr - x.fi * ki, x.fi * kr + x.fr * ki, x.gr * mr - x.gi * mi,
                        x.gi * mr + x.gr * mi, c, s, outR, outI);
}

// SplitForwardPass, the product with the kernel and BackwardReal's split pass in one pass, from Z
// (pairs, or split with imaginary parts at zi) into outR / outI (exchanged, as BackwardReal stores
// them), on the same lanes as those passes.
template <class T, class Scalar, class Wide, bool Pairs>
void SplitMultiplySplitPass(const StagePlan& plan, const double* tables, const double* zr,
                            const double* zi, const double* kernel, double scale, double* outR,
                            double* outI)
{
  const int n = plan.n, L = plan.length;
  const auto re = [&](int k) { return Pairs ? zr[2 * k] : zr[k]; };
  const auto im = [&](int k) { return Pairs ? zr[2 * k + 1] : zi[k]; };
  const double* cosTable = tables + plan.postOffset;
  const double* sinTable = cosTable + plan.postCount;
  const double h = 0.5 * scale;
  {
    const double x0 = (re(0) + im(0)) * scale * kernel[0];
    const double xL = (re(0) - im(0)) * scale * kernel[L];
    outR[0] = x0 + xL;
    outI[0] = x0 - xL;
  }
  const int last = (L - 1) / 2;
  ForEachSplitGroup<T, Scalar, Wide>(last,
                                     [&](auto lanes, int k)
                                     {
                                       using Lanes = decltype(lanes);
                                       SplitMultiplySplit<Lanes, Pairs>(
                                           k, n, L, zr, zi, cosTable, sinTable, kernel,
                                           Lanes::Splat(h), outR, outI);
                                     });
  if (L % 2 == 0 && L > 0)
  {
    const int k = L / 2;
    const double fr = re(k) * scale, fi = -im(k) * scale;
    const double kr = kernel[k], ki = kernel[n - k];
    outR[k] = 2.0 * (fr * kr - fi * ki);
    outI[k] = -2.0 * (fi * kr + fr * ki);
  }
}

// Circular convolution of a real signal of even length n with a kernel given by its half-complex
// spectrum: what ForwardReal (times `scale`), the bin-by-bin product and BackwardReal (times
// `scale`) give, with the forward split pass, the product and the backward split pass fused into
// one pass. a and b hold 2L + kImagGap doubles each; src may equal dst.
template <class T, class Half, class Scalar, class Wide = T>
void ConvolveReal(const StagePlan& plan, const double* tables, const double* src, double* dst,
                  const double* kernel, double scale, double* a, double* b)
{
  const int L = plan.length;
  const double* z;
  double* next;
  if (LastStageFuses<T>(plan))
  {
    z = RunStages<T, Half, Scalar, Wide>(plan, tables, a, b, src, kInterleavedInput, nullptr,
                                         kPairsOutput);
    next = z == a ? b : a;
    SplitMultiplySplitPass<T, Scalar, Wide, true>(plan, tables, z, nullptr, kernel, scale,
                                                  next + ImagOffset(L), next);
  }
  else
  {
    z = RunStages<T, Half, Scalar, Wide>(plan, tables, a, b, src, kInterleavedInput);
    next = z == a ? b : a;
    SplitMultiplySplitPass<T, Scalar, Wide, false>(plan, tables, z, z + ImagOffset(L), kernel,
                                                   scale, next + ImagOffset(L), next);
  }
  RunStages<T, Half, Scalar, Wide>(plan, tables, next, const_cast<double*>(z), nullptr, kSplitInput,
                                   dst, kInterleavedOutput, scale);
}

// A set's entry points: the kernels above on lanes T, with Half and Scalar for what is too short
// for T, and Wide where wider vectors pay.
template <class T, class Half, class Scalar, class Wide = T> constexpr SetKernels KernelsOn()
{
  return {ForwardReal<T, Half, Scalar, Wide>, BackwardReal<T, Half, Scalar, Wide>,
          ConvolveStereo<T, Half, Scalar, Wide>, ConvolveReal<T, Half, Scalar, Wide>};
}
