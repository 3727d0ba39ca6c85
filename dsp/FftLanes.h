// Vector traits of the kernels in FftKernels.h, included by each instruction set's file
// (FftSet*.cpp) after its target pragma, so that every copy is compiled for that set. Not a public
// header: no include guard and no includes of its own on purpose.

struct ScalarLane
{
  using V = double;
  static constexpr int W = 1;
  static V Load(const double* p) { return *p; }
  static void Store(double* p, V v) { *p = v; }
  static V Splat(double x) { return x; }
  static V Reverse(V v) { return v; }
  static void Deinterleave(V lo, V hi, V* even, V* odd) { *even = lo, *odd = hi; }
  static void Interleave(V even, V odd, V* lo, V* hi) { *lo = even, *hi = odd; }
  static void Transpose(V*) {}
};

struct Sse2Lanes
{
  using V = __m128d;
  static constexpr int W = 2;
  static V Load(const double* p) { return _mm_loadu_pd(p); }
  static void Store(double* p, V v) { _mm_storeu_pd(p, v); }
  static V Splat(double x) { return _mm_set1_pd(x); }
  static V Reverse(V v) { return _mm_shuffle_pd(v, v, 1); }
  static void Deinterleave(V lo, V hi, V* even, V* odd)
  {
    *even = _mm_unpacklo_pd(lo, hi);
    *odd = _mm_unpackhi_pd(lo, hi);
  }
  static void Interleave(V even, V odd, V* lo, V* hi)
  {
    *lo = _mm_unpacklo_pd(even, odd);
    *hi = _mm_unpackhi_pd(even, odd);
  }
  // W x W block: lane l of row k becomes lane k of row l.
  static void Transpose(V* rows)
  {
    const V first = _mm_unpacklo_pd(rows[0], rows[1]), second = _mm_unpackhi_pd(rows[0], rows[1]);
    rows[0] = first;
    rows[1] = second;
  }
};

#if TARVEX_FFT_WITH_AVX
struct AvxLanes
{
  using V = __m256d;
  static constexpr int W = 4;
  static V Load(const double* p) { return _mm256_loadu_pd(p); }
  static void Store(double* p, V v) { _mm256_storeu_pd(p, v); }
  static V Splat(double x) { return _mm256_set1_pd(x); }
  static V Reverse(V v) { return _mm256_permute_pd(_mm256_permute2f128_pd(v, v, 1), 5); }
  static void Deinterleave(V lo, V hi, V* even, V* odd)
  {
    const V first = _mm256_permute2f128_pd(lo, hi, 0x20),
            second = _mm256_permute2f128_pd(lo, hi, 0x31);
    *even = _mm256_unpacklo_pd(first, second);
    *odd = _mm256_unpackhi_pd(first, second);
  }
  static void Interleave(V even, V odd, V* lo, V* hi)
  {
    const V first = _mm256_unpacklo_pd(even, odd), second = _mm256_unpackhi_pd(even, odd);
    *lo = _mm256_permute2f128_pd(first, second, 0x20);
    *hi = _mm256_permute2f128_pd(first, second, 0x31);
  }
  static void Transpose(V* rows)
  {
    const V t0 = _mm256_unpacklo_pd(rows[0], rows[1]), t1 = _mm256_unpackhi_pd(rows[0], rows[1]);
    const V t2 = _mm256_unpacklo_pd(rows[2], rows[3]), t3 = _mm256_unpackhi_pd(rows[2], rows[3]);
    rows[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
    rows[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
    rows[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
    rows[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
  }
  // Lane 0 cleared: 0, v1, v2, v3.
  static V ZeroLane0(V v) { return _mm256_blend_pd(v, _mm256_setzero_pd(), 1); }
  // Lane 0 kept, lanes 1 .. 3 reversed: v0, v3, v2, v1.
  static V ReverseUpper3(V v) { return _mm256_blend_pd(v, _mm256_permute2f128_pd(v, v, 1), 0xa); }
  // Lanes 0 and 1 to `low`, lanes 2 and 3 to `high`.
  static void StoreHalves(double* low, double* high, V v)
  {
    _mm_storeu_pd(low, _mm256_castpd256_pd128(v));
    _mm_storeu_pd(high, _mm256_extractf128_pd(v, 1));
  }
};
#endif

#if TARVEX_FFT_WITH_AVX512
// Eight lanes: one vector is one 64-byte cache line. Used for the strided stages, where a row of q
// shorter than a line would be read and written half a line at a time, and for first stages of
// radix 8.
struct Avx512Lanes
{
  using V = __m512d;
  static constexpr int W = 8;
  static V Load(const double* p) { return _mm512_loadu_pd(p); }
  static void Store(double* p, V v) { _mm512_storeu_pd(p, v); }
  static V Splat(double x) { return _mm512_set1_pd(x); }
  static V Reverse(V v)
  {
    return _mm512_permutex2var_pd(v, _mm512_set_epi64(0, 1, 2, 3, 4, 5, 6, 7), v);
  }
  static void Deinterleave(V lo, V hi, V* even, V* odd)
  {
    *even = _mm512_permutex2var_pd(lo, _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0), hi);
    *odd = _mm512_permutex2var_pd(lo, _mm512_set_epi64(15, 13, 11, 9, 7, 5, 3, 1), hi);
  }
  static void Interleave(V even, V odd, V* lo, V* hi)
  {
    *lo = _mm512_permutex2var_pd(even, _mm512_set_epi64(11, 3, 10, 2, 9, 1, 8, 0), odd);
    *hi = _mm512_permutex2var_pd(even, _mm512_set_epi64(15, 7, 14, 6, 13, 5, 12, 4), odd);
  }
  // 8 x 8 block: pairs of rows interleaved, then 128-bit lanes 0 and 2 (0x88) or 1 and 3 (0xdd)
  // of two vectors gathered twice.
  static void Transpose(V* rows)
  {
    V t[8], u[8];
    // Masked forms with a full mask and a defined pass-through value: the same instructions as the
    // plain intrinsics, whose undefined pass-through GCC 12 reports as used uninitialised.
    constexpr __mmask8 kAll = 0xff;
    for (int k = 0; k < 8; k += 2)
    {
      // columns 0, 2, 4, 6 of rows k, k + 1, then columns 1, 3, 5, 7
      t[k] = _mm512_mask_unpacklo_pd(rows[k], kAll, rows[k], rows[k + 1]);
      t[k + 1] = _mm512_mask_unpackhi_pd(rows[k], kAll, rows[k], rows[k + 1]);
    }
    for (int h = 0; h < 8; h += 4)
      for (int odd = 0; odd < 2; ++odd)
      {
        u[h + odd] = _mm512_mask_shuffle_f64x2(t[h + odd], kAll, t[h + odd], t[h + 2 + odd],
                                               0x88); // columns 0, 4
        u[h + 2 + odd] = _mm512_mask_shuffle_f64x2(t[h + odd], kAll, t[h + odd], t[h + 2 + odd],
                                                   0xdd); // columns 2, 6
      }
    // u[h + 2 a + odd] holds columns 4 b + 2 a + odd for b = 0, 1 of rows h .. h + 3.
    for (int c = 0; c < 4; ++c)
    {
      rows[c] = _mm512_mask_shuffle_f64x2(u[c], kAll, u[c], u[4 + c], 0x88);
      rows[4 + c] = _mm512_mask_shuffle_f64x2(u[c], kAll, u[c], u[4 + c], 0xdd);
    }
  }
};
#elif TARVEX_FFT_WITH_AVX
// Without eight-lane code (see FftSetAvx512.cpp) the wide kernels are the four-lane ones.
using Avx512Lanes = AvxLanes;
#endif
