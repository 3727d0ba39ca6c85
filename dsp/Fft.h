// Real FFT of lengths with small prime factors, in the half-complex layout.
//
// Layout of a spectrum of a length-n real signal: entry k holds Re X_k for k = 0 .. n/2, entry n -
// k holds Im X_k for k = 1 .. ceil(n/2) - 1; for even n entry n/2 is the real Nyquist value.
// Scaling: both directions multiply by 1/sqrt(n), so backward(forward(x)) = x and the circular
// convolution of two signals is sqrt(n) times the backward transform of the product of their
// spectra.
//
// Threads: a plan is scratch state; one plan must not be used by two threads at once.
// Allocation: fftp allocates nothing (in place included); fftp_once allocates and frees its tables.
// Results are bit-identical whether the call is in place or not, and among the scalar, SSE2 and AVX
// code; the sets with fused multiply-adds differ from those by rounding only.
#pragma once

#include <cstdint>

// Work arrays of a plan hold this many doubles; 2n + 15 must not exceed it.
constexpr int kFftPlanWorkLength = 133120;

enum FftDirection
{
  kFftForward = 0,  // real signal in, half-complex spectrum out
  kFftBackward = 1, // half-complex spectrum in, real signal out
};

// A cached set-up for one length. It does not record that length: its owner clears `initialised`
// whenever the length changes. Created by fftp_plan, released by fftp_plan_free (owner's
// responsibility).
//
// Twiddle tables are read-only and shared: every plan of the process set up for the same length
// and kind (real, or FftConvolveStereo's complex) points at one copy, made by the first plan that
// needs it and given up with the last plan holding it. Setting up never allocates (each plan brings
// room for one set when created), but it takes a process-wide mutex and, for a length no other
// plan holds, fills the tables (milliseconds at the largest lengths): the engine does it at reset
// with fftp_prepare, so that steady-state blocks find their plans set up.
struct FftPlan
{
  const double* master; // the shared twiddle tables of the length (null until set up)
  double* work;         // kFftPlanWorkLength doubles: transform scratch
  int32_t factors[64]; // n, number of factors, the factors (4, 2, 3, 5, 7, 9, ... order; a 2 first)
  int32_t initialised; // set once master holds the twiddles of the plan's length
  double* scratch;     // kFftPlanWorkLength doubles: second transform scratch
  const void* shared;  // the shared set master belongs to (one reference held)
  int32_t borrowsArrays; // work and scratch are another plan's (fftp_plan_sharing)
};

FftPlan* fftp_plan();
// A plan that transforms in `owner`'s work and scratch arrays instead of arrays of its own (its
// tables are its own to set up, as any plan's): for an owner's second plan of another length or
// kind that never transforms while the first does, such as one thread's, or two used under one
// lock. Free it before its owner. Null when owner is null or memory is short.
FftPlan* fftp_plan_sharing(FftPlan* owner);
void fftp_plan_free(FftPlan* plan); // lets go of the shared tables; frees only arrays of its own

// Sets the plan up for real transforms of length n (stereo: FftConvolveStereo's of length n) now,
// so that the next fftp (or FftConvolveStereo) of that length neither fills tables nor locks. The
// plan must not be in use on another thread. False when n does not fit a plan.
bool fftp_prepare(FftPlan* plan, int n, bool stereo = false);

// Forward: treat `source` as consumed (callers must not rely on its contents afterwards). Backward:
// `source` is left unchanged. source == destination is allowed. A negative n, or one with 2n + 15
// above kFftPlanWorkLength, writes one line to stderr and changes nothing. n = 0 and null pointers
// do nothing.
void fftp(double* source, double* destination, int n, int direction, FftPlan* plan);

// As fftp without a plan: sets up afresh and releases its work array before returning.
void fftp_once(double* source, double* destination, int n, int direction);

// Convolves the two channels of a stereo block with one real kernel through one complex transform
// of left + i right: out[c] = backward(forward(in[c]) * kernel) in fftp's terms, which is what fftp
// and HalfComplexMultiply give channel by channel, up to rounding. `kernel` is the kernel's
// half-complex spectrum (n values). out may be the same arrays as in. The plan holds the
// complex transform's tables: its owner clears `initialised` whenever n changes, as for fftp, and
// a plan that alternates between this and fftp sets itself up again at each change. Allocation:
// none. n below 2 or beyond a plan's arrays, or null pointers, do nothing.
void FftConvolveStereo(const double* const in[2], double* const out[2], const double* kernel, int n,
                       FftPlan* plan);

// Convolves a real block with one real kernel: out = backward(forward(in) * kernel) in fftp's
// terms, what fftp, HalfComplexMultiply and fftp give in turn, up to rounding (bit for bit on the
// sets without fused multiply-adds), with one pass over the spectrum fewer. `kernel` is the
// kernel's half-complex spectrum (n values). in is only read (unlike fftp's forward source); out
// may be in.
// The plan is fftp's (same set-up, same `initialised` rule). Allocation: none. n < 1, n beyond a
// plan's arrays, or null pointers do nothing.
void FftConvolveReal(const double* in, double* out, const double* kernel, int n, FftPlan* plan);

// c = a * b bin by bin in half-complex layout; c may alias a or b.
void HalfComplexMultiply(const double* a, const double* b, double* c, int n);

// Replaces a half-complex spectrum by magnitudes in place for bins 0 .. (n + 1)/2 - 1; the upper
// entries (including an even length's Nyquist value) keep their contents.
void HalfComplexMagnitude(double* p, int n);

// Instruction sets of the transforms, each including the ones before it. The best the processor
// has is used unless limited (tests and benchmarks compare them). Returns the set now in use.
enum FftInstructionSet
{
  kFftScalar = 0,
  kFftSse2 = 1,
  kFftAvx = 2,
  kFftFma = 3,    // AVX2 with fused multiply-add
  kFftAvx512 = 4, // AVX-512 F, VL and DQ with fused multiply-add
};
// The best set this processor supports.
int FftBestInstructionSet();
int FftSetInstructionSet(int set);

// True when a plan's arrays hold the set-up of length n (every n >= 1 with 2n + 15 <=
// kFftPlanWorkLength).
bool FftPlanTablesFit(int n);
