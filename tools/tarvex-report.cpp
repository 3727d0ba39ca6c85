#include "tools/tarvex-report.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "dsp/BandCurve.h"
#include "editor/BitmapFont.h"
#include "editor/Raster.h"
#include "tools/pictures/PngWrite.h"
#include "tools/tarvex-render-host.h"

namespace
{
const char* const kProgram = "tarvex-render";

void Fail(const std::string& message)
{
  fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
}

// ---- the plug-in's parameters as a host sees them ----

// Name, range and mapping shape of each parameter (value = min + normalised^shape * (max - min)).
struct ParamLayout
{
  const char* name;
  double min, max, shape;
};
const ParamLayout kParamLayout[] = {
    {"Band A on", 0, 1, 1},
    {"Band B on", 0, 1, 1},
    {"Band C on", 0, 1, 1},
    {"Band D on", 0, 1, 1},
    {"Band A gain", kCurveDbFloor, 60, 1},
    {"Band B gain", kCurveDbFloor, 60, 1},
    {"Band C gain", kCurveDbFloor, 60, 1},
    {"Band D gain", kCurveDbFloor, 60, 1},
    {"Band A freq", 0, 20000, 3},
    {"Band B freq", 0, 20000, 3},
    {"Band C freq", 0, 20000, 3},
    {"Band D freq", 0, 20000, 3},
    {"Band A slope", -100, 100, 1},
    {"Band B slope", -100, 100, 1},
    {"Band C slope", -100, 100, 1},
    {"Band D slope", -100, 100, 1},
    {"Transpose", -120, 120, 1},
    {"Overall Gain", -60, 60, 1},
    {"Gain Scale", -4, 4, 1},
    {"Colour", 0, 3, 1},
    {"Colour Gain", 0, 40, 4},
    {"Resolution", 0.2, 8, 1},
    {"Input Buffer Size", 0, 3, 2},
    {"Limiter", -30, 60, 1},
};
static_assert(sizeof(kParamLayout) / sizeof(kParamLayout[0]) == kParamCount,
              "one entry per parameter index (dsp/ParamIndex.h)");
// Default values of the curve parameters, as a fresh instance has them.
const double kDefaultBandFreq[kBandCount] = {80.0, 370.0, 1700.0, 8000.0};
constexpr double kDefaultBandGain = 1e-6;

bool CheckLayout(RenderPlugin& plug, std::string* error)
{
  bool same = plug.ParamCount() == kParamCount;
  for (int i = 0; same && i < kParamCount; ++i) same = plug.ParamName(i) == kParamLayout[i].name;
  if (!same) *error = "the plug-in's parameters are not Tarvex's: cannot draw its curve";
  return same;
}

// A parameter's value: the normalised value the plug-in hands out, mapped through the known range.
// Its display text is taken instead when it agrees within the float's rounding, since it then
// gives the decimal value that was typed exactly.
double ReadParamValue(RenderPlugin& plug, int index)
{
  const ParamLayout& p = kParamLayout[index];
  const double normalised = plug.Effect()->getParameter(plug.Effect(), index);
  const double mapped = p.min + std::pow(normalised, p.shape) * (p.max - p.min);
  const std::string text = plug.ParamDisplay(index);
  char* end = nullptr;
  const double shown = strtod(text.c_str(), &end);
  const double tolerance = 1e-6 * p.shape * (p.max - p.min); // a float carries 24 bits
  if (end != text.c_str() && std::fabs(shown - mapped) <= tolerance) return shown;
  return mapped;
}

// The plug-in's rule for its kernel length: 1025 taps at 44.1 kHz and Resolution 1, in proportion
// to the whole sample rate and the Resolution, odd.
int NominalKernelLength(double rate, double resolution)
{
  const long long k = (static_cast<long long>(rate) * 1025) / 44100;
  return static_cast<int>(k * resolution + 0.5) | 1;
}

// ---- the curve ----

struct Curve
{
  BandPoint bands[kBandCount];
  BandPoint sorted[kSortedPointCount];
  int n = 0;
};

// The curve the plug-in builds from these parameter values. The sorted list starts as the
// constructor leaves it (default bands), which matters only when every band is off.
Curve CurveFromParams(const double* values)
{
  Curve curve{};
  double defaults[kParamCount] = {};
  for (int b = 0; b < kBandCount; ++b)
  {
    defaults[kParamBandOn + b] = 1.0;
    defaults[kParamBandGain + b] = kDefaultBandGain;
    defaults[kParamBandFreq + b] = kDefaultBandFreq[b];
  }
  defaults[kParamGainScale] = 1.0;
  BandsFromParamValues(defaults, curve.bands);
  SetControlPoints(curve.sorted, SortBandPoints(curve.bands, curve.sorted));
  BandsFromParamValues(values, curve.bands);
  curve.n = SortBandPoints(curve.bands, curve.sorted);
  SetControlPoints(curve.sorted, curve.n);
  return curve;
}

// Linear amplitude of the curve at f Hz, as the kernel's bins sample it.
double CurveAmp(const Curve& c, double f)
{
  if (f < c.sorted[0].freq) return AmpFromCurveDb(c.sorted[0].gain);
  const double x = LogPos(f, 20.0, 20000.0);
  for (int i = 0; i <= c.n; ++i)
    if (f < c.sorted[i + 1].freq) return AmpFromCurveDb(EvalCurve(c.sorted, i, x));
  return AmpFromCurveDb(c.sorted[c.n + 1].gain);
}

constexpr double kDbFloor = -200.0; // silence in the printed and compared levels

double Db(double amplitude)
{
  return amplitude > 1e-10 ? 20.0 * std::log10(amplitude) : kDbFloor;
}

// ---- running signals through the plug-in ----

// Processes silence until pending resets and kernel rebuilds have run: the latency must stay put
// over more than one whole engine block (whose length is at most the latency).
bool Settle(RenderPlugin& plug, int block, int* latency, std::string* error)
{
  std::vector<double> planes(static_cast<size_t>(4 * block), 0.0);
  double* in[2] = {planes.data(), planes.data() + block};
  double* out[2] = {planes.data() + 2 * block, planes.data() + 3 * block};
  int settled = -1;
  for (int round = 0; round < 4 && settled != plug.Latency(); ++round)
  {
    settled = plug.Latency();
    for (long long done = 0; done < settled + 2LL * block; done += block)
      plug.Process(in, out, 2, block);
  }
  if (settled != plug.Latency())
  {
    *error = "the plug-in's latency does not settle";
    return false;
  }
  *latency = settled;
  return true;
}

// Processes one signal per channel followed by silence and returns per channel the output with
// the latency removed: out[c][k] answers input sample k, for k < signal length + tail.
bool Feed(RenderPlugin& plug, int block, const std::vector<double> signal[2], size_t tail,
          int latency, std::vector<double> out[2], std::string* error)
{
  std::vector<double> planes(static_cast<size_t>(4 * block), 0.0);
  double* in[2] = {planes.data(), planes.data() + block};
  double* res[2] = {planes.data() + 2 * block, planes.data() + 3 * block};
  const size_t length = signal[0].size() + tail;
  for (int c = 0; c < 2; ++c) out[c].assign(length, 0.0);
  const long long total = static_cast<long long>(length) + latency;
  for (long long pushed = 0; pushed < total; pushed += block)
  {
    for (int c = 0; c < 2; ++c)
      for (int s = 0; s < block; ++s)
      {
        const size_t k = static_cast<size_t>(pushed + s);
        in[c][s] = k < signal[c].size() ? signal[c][k] : 0.0;
      }
    plug.Process(in, res, 2, block);
    for (int s = 0; s < block; ++s)
    {
      const long long k = pushed + s - latency;
      if (k < 0 || k >= static_cast<long long>(length)) continue;
      for (int c = 0; c < 2; ++c) out[c][static_cast<size_t>(k)] = res[c][s];
    }
  }
  if (plug.Latency() != latency)
  {
    *error = "the plug-in changed its latency during the measurement";
    return false;
  }
  return true;
}

// The signals stay below the output limiter so that the plug-in works as a linear filter: its
// threshold in amplitude (the limiter is off from 999 up), at most full scale.
double QuietLevel(double limiterDb)
{
  return std::min(1.0, std::pow(10.0, 0.05 * limiterDb));
}

// Periodic noise of the given length (a power of two) with equal power in every bin from low to
// high Hz and random phases, scaled to the peak. Deterministic.
std::vector<double> PeriodicNoise(size_t length, double rate, double low, double high, double peak,
                                  uint64_t seed)
{
  std::vector<std::complex<double>> spectrum(length);
  for (size_t k = 1; k < length / 2; ++k)
  {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    const double f = static_cast<double>(k) * rate / static_cast<double>(length);
    if (f < low || f > high) continue;
    const double phase = 2.0 * M_PI * static_cast<double>(seed >> 11) / 9007199254740992.0;
    spectrum[k] = std::polar(1.0, phase);
    spectrum[length - k] = std::conj(spectrum[k]);
  }
  Fft(spectrum, true);
  double largest = 0.0;
  for (const auto& v : spectrum) largest = std::max(largest, std::fabs(v.real()));
  std::vector<double> noise(length);
  for (size_t i = 0; i < length; ++i) noise[i] = spectrum[i].real() * peak / largest;
  return noise;
}

// ---- measurement ----

// The pre-ring is read from the response smoothed by a Gaussian of 8 kHz (standard deviation in
// frequency; about 20 us in time, whose own spread reaches -60 dB within 0.08 ms). A one-sample
// impulse carries content up to the Nyquist frequency, so its raw peak grows with the sample rate
// while the ringing of a curve feature does not; smoothing both to the same band gives the same
// figures at 44.1, 48 and 96 kHz (the smoothing passes -3 dB at 6.7 kHz and -33 dB at 22 kHz).
constexpr double kSmoothingSigmaHz = 8000.0;
constexpr int kSmoothingPad = 64; // samples either side, more than the Gaussian's reach at 192 kHz

std::vector<double> SmoothedMagnitude(const std::vector<double>& taps, double rate)
{
  size_t size = 1;
  while (size < taps.size() + 2 * kSmoothingPad) size <<= 1;
  std::vector<std::complex<double>> x(size);
  for (size_t k = 0; k < taps.size(); ++k) x[k + kSmoothingPad] = taps[k];
  Fft(x, false);
  for (size_t k = 0; k < size; ++k)
  {
    const double bin = static_cast<double>(k <= size / 2 ? k : size - k);
    const double f = bin * rate / static_cast<double>(size);
    x[k] *= std::exp(-0.5 * (f / kSmoothingSigmaHz) * (f / kSmoothingSigmaHz)) / size;
  }
  Fft(x, true);
  std::vector<double> magnitude(taps.size() + 2 * kSmoothingPad);
  for (size_t k = 0; k < magnitude.size(); ++k) magnitude[k] = std::abs(x[k].real());
  return magnitude;
}

struct Measurement
{
  double rate = 0.0;
  double values[kParamCount] = {};
  int latency = 0;
  int kernelLength = 0;
  bool contained = true;    // no output outside the kernel's span
  std::vector<double> taps; // impulse response, centre (the latency) at index kernelLength / 2
  // Magnitude of the response smoothed to the audio band (see SmoothedMagnitude), centre at index
  // kernelLength / 2 + kSmoothingPad.
  std::vector<double> smoothed;
  double nullBand = 0.0; // residual of the flat setting, dB, noise within 20 Hz .. 20 kHz
  double nullFull = 0.0; // the same on noise up to the Nyquist frequency
  int flatLatency = 0;
  Curve curve;

  int Half() const { return kernelLength / 2; }
  // Top of the compared band: 20 kHz, or at rates below 44.1 kHz the same share of the rate (the
  // kernel's zeroed Nyquist bin pulls the response down right below the Nyquist frequency).
  double Top() const { return std::min(20000.0, rate * 20000.0 / 44100.0); }
};

// Realised amplitude at f Hz: the magnitude of the impulse response's transform.
double RealisedAmp(const Measurement& m, double f)
{
  const std::complex<double> step = std::polar(1.0, -2.0 * M_PI * f / m.rate);
  std::complex<double> turn = std::polar(1.0, 2.0 * M_PI * f / m.rate * m.Half());
  std::complex<double> sum = 0.0;
  for (double tap : m.taps)
  {
    sum += tap * turn;
    turn *= step;
  }
  return std::abs(sum);
}

// Levels below this count as silence when the realised response is compared with the curve: a
// curve at "-INF" is followed where the response is below -120 dB.
constexpr double kSilenceDb = -120.0;

double DifferenceDb(double realisedDb, double curveDb)
{
  return std::max(realisedDb, kSilenceDb) - std::max(curveDb, kSilenceDb);
}

double DeviationDb(const Measurement& m, double f)
{
  return DifferenceDb(Db(RealisedAmp(m, f)), Db(CurveAmp(m.curve, f)));
}

bool MeasureImpulse(RenderPlugin& plug, int block, Measurement* m, std::string* error)
{
  // No tap of a kernel exceeds its largest gain, 1000 (+60 dB).
  const double amplitude = 0.5 * QuietLevel(m->values[kParamLimiter]) / 1000.0;
  int latency = 0;
  if (!Settle(plug, block, &latency, error)) return false;
  // The impulse goes in one latency late, so the whole response (L / 2 <= latency on each side)
  // lies inside the captured output.
  std::vector<double> signal[2], out[2];
  for (int c = 0; c < 2; ++c)
  {
    signal[c].assign(static_cast<size_t>(latency) + 1, 0.0);
    signal[c].back() = amplitude;
  }
  if (!Feed(plug, block, signal, static_cast<size_t>(latency) + 1, latency, out, error))
    return false;
  m->latency = latency;
  m->kernelLength = NominalKernelLength(m->rate, m->values[kParamResolution]);
  const int half = m->Half();
  m->taps.assign(static_cast<size_t>(m->kernelLength), 0.0);
  double inside = 0.0, outside = 0.0;
  for (size_t k = 0; k < out[0].size(); ++k)
  {
    const long long j = static_cast<long long>(k) - latency + half;
    const double v = out[0][k] / amplitude;
    if (j >= 0 && j < m->kernelLength)
    {
      m->taps[static_cast<size_t>(j)] = v;
      inside += v * v;
    }
    else
      outside += v * v;
  }
  // Rounding noise of the transforms lies near 1e-30 of the energy; anything more is response.
  m->contained = outside <= 1e-20 * inside;
  m->smoothed = SmoothedMagnitude(m->taps, m->rate);
  return true;
}

double ResidualDb(const std::vector<double>& in, const std::vector<double>& out, size_t from,
                  size_t to)
{
  double signal = 0.0, residual = 0.0;
  for (size_t k = from; k < to; ++k)
  {
    signal += in[k] * in[k];
    residual += (out[k] - in[k]) * (out[k] - in[k]);
  }
  return residual > 0.0 ? 10.0 * std::log10(residual / signal) : -400.0;
}

// Null test: a fresh instance with the default (flat) curve and this setting's global parameters,
// on three periods of noise; the middle one, whose output sees periodic input on both sides of
// the kernel, is compared with the input, latency removed.
bool MeasureNull(const ReportRequest& request, Measurement* m, std::string* error)
{
  RenderPlugin flat;
  if (!request.setUp(flat, m->rate, false, error) || !CheckLayout(flat, error)) return false;
  char text[64];
  for (int i = kCurveParamCount; i < kParamCount; ++i)
  {
    snprintf(text, sizeof(text), "%.17g", m->values[i]);
    flat.Dispatch(effString2Parameter, i, 0, text);
  }
  flat.Start();
  size_t period = 1;
  while (period < static_cast<size_t>(4 * m->kernelLength) || period < 32768) period <<= 1;
  // The flat kernel passes the noise at unit gain.
  const double peak = 0.25 * QuietLevel(m->values[kParamLimiter]);
  std::vector<double> signal[2] = {PeriodicNoise(period, m->rate, 20.0, m->Top(), peak, 0x6e756c6c),
                                   PeriodicNoise(period, m->rate, 0.0, m->rate, peak, 0x66756c6c)};
  for (auto& s : signal)
  {
    const std::vector<double> one = s;
    for (int copy = 0; copy < 2; ++copy) s.insert(s.end(), one.begin(), one.end());
  }
  std::vector<double> out[2];
  if (!Settle(flat, request.block, &m->flatLatency, error) ||
      !Feed(flat, request.block, signal, 0, m->flatLatency, out, error))
    return false;
  m->nullBand = ResidualDb(signal[0], out[0], period, 2 * period);
  m->nullFull = ResidualDb(signal[1], out[1], period, 2 * period);
  return true;
}

// ---- figures ----

// Frequencies of the table besides the bands: the third-octave series in steps of two thirds.
const double kTableFrequencies[] = {20,   31.5, 50,   80,   125,  200,   315,   500,  800,
                                    1250, 2000, 3150, 5000, 8000, 12500, 16000, 20000};
constexpr double kLowestScanned = 1.0; // Hz
constexpr int kScanStepsPerOctave = 48;

// Lowest frequency from which up to Top() the realised response stays within tolerance dB of the
// curve: scanned downwards in 1/48 octave, the crossing refined by bisection. 0 when it holds down
// to kLowestScanned, negative when it fails at the top already.
double LowerLimit(const Measurement& m, double tolerance)
{
  const double top = m.Top();
  double pass = top;
  if (std::fabs(DeviationDb(m, top)) > tolerance) return -1.0;
  for (int step = 1;; ++step)
  {
    const double f = top * std::pow(2.0, -static_cast<double>(step) / kScanStepsPerOctave);
    if (f < kLowestScanned) return 0.0;
    if (std::fabs(DeviationDb(m, f)) > tolerance)
    {
      double fail = f;
      for (int i = 0; i < 20; ++i)
      {
        const double mid = std::sqrt(pass * fail);
        (std::fabs(DeviationDb(m, mid)) > tolerance ? fail : pass) = mid;
      }
      return pass;
    }
    pass = f;
  }
}

// Pre-ring above thresholdDb of the peak: from the first sample of the smoothed response whose
// magnitude reaches it to the peak, in samples. This is where the response's peak-hold envelope
// (the running maximum of its magnitude) crosses the threshold and stays above it.
int PreRingOf(const std::vector<double>& e, double thresholdDb)
{
  const size_t peak = static_cast<size_t>(std::max_element(e.begin(), e.end()) - e.begin());
  const double level = e[peak] * std::pow(10.0, thresholdDb / 20.0);
  for (size_t k = 0; k < peak; ++k)
    if (e[k] >= level) return static_cast<int>(peak - k);
  return 0;
}

int PreRing(const Measurement& m, double thresholdDb)
{
  return PreRingOf(m.smoothed, thresholdDb);
}

// What a lone impulse reads at this rate: the smoothing's own spread, the floor of the figures.
int PreRingFloor(const Measurement& m, double thresholdDb)
{
  std::vector<double> impulse(m.taps.size(), 0.0);
  impulse[static_cast<size_t>(m.Half())] = 1.0;
  return PreRingOf(SmoothedMagnitude(impulse, m.rate), thresholdDb);
}

std::string FrequencyText(double f)
{
  char text[32];
  if (f >= 1000.0)
    snprintf(text, sizeof(text), "%.4g kHz", f / 1000.0);
  else
    snprintf(text, sizeof(text), "%.4g Hz", f);
  return text;
}

std::string DbText(double db)
{
  if (db <= kDbFloor) return "-inf";
  char text[32];
  snprintf(text, sizeof(text), "%+.2f", std::fabs(db) < 0.005 ? 0.0 : db); // no "-0.00"
  return text;
}

std::string LimitText(double f, double top)
{
  if (f < 0.0) return "nowhere (not even at " + FrequencyText(top) + ")";
  if (f == 0.0) return "from below " + FrequencyText(kLowestScanned) + " to " + FrequencyText(top);
  return "from " + FrequencyText(f) + " to " + FrequencyText(top);
}

struct Row
{
  double freq;
  char band; // 'A' .. 'D', or 0
};

std::vector<Row> TableRows(const Measurement& m)
{
  std::vector<Row> rows;
  for (int b = 0; b < kBandCount; ++b)
  {
    const BandPoint& p = m.curve.bands[b];
    if (p.on && p.freq > 0.0 && p.freq < 0.5 * m.rate)
      rows.push_back({p.freq, static_cast<char>('A' + b)});
  }
  // A fixed frequency is left out where a band's row stands (as 80 Hz beside band A at 80 Hz).
  const size_t bandRows = rows.size();
  for (double f : kTableFrequencies)
  {
    bool taken = f >= 0.5 * m.rate;
    for (size_t i = 0; i < bandRows; ++i) taken = taken || std::fabs(rows[i].freq - f) < 1e-3 * f;
    if (!taken) rows.push_back({f, 0});
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const Row& a, const Row& b) { return a.freq < b.freq; });
  return rows;
}

void PrintReport(const Measurement& m)
{
  const double ms = 1000.0 / m.rate;
  printf("response at %.0f Hz, Resolution %.2f, Input Buffer Size %.2f\n", m.rate,
         m.values[kParamResolution], m.values[kParamInputBufferSize]);
  printf("latency: %d samples (%.2f ms); kernel: %d taps (%.2f ms)\n", m.latency, m.latency * ms,
         m.kernelLength, m.kernelLength * ms);
  if (!m.contained)
    printf("warning: the measured response reaches beyond the kernel's %d taps\n", m.kernelLength);
  printf("%-16s %10s %10s %10s\n", "frequency", "curve", "realised", "difference");
  for (const Row& row : TableRows(m))
  {
    char name[40];
    snprintf(name, sizeof(name), "%s%s%c", FrequencyText(row.freq).c_str(),
             row.band ? " band " : "", row.band ? row.band : ' ');
    const double curve = Db(CurveAmp(m.curve, row.freq));
    const double realised = Db(RealisedAmp(m, row.freq));
    printf("%-16s %7s dB %7s dB %7s dB\n", name, DbText(curve).c_str(), DbText(realised).c_str(),
           DbText(DifferenceDb(realised, curve)).c_str());
  }
  const double top = m.Top();
  const double limit05 = LowerLimit(m, 0.5), limit1 = LowerLimit(m, 1.0);
  printf("within 0.5 dB of the curve %s\n", LimitText(limit05, top).c_str());
  printf("within 1 dB of the curve %s\n", LimitText(limit1, top).c_str());
  // Largest difference over the plotted range, on the scan grid.
  double worst = 0.0, worstAt = 20.0;
  for (int step = 0;; ++step)
  {
    const double f = 20.0 * std::pow(2.0, static_cast<double>(step) / kScanStepsPerOctave);
    if (f > top) break;
    const double d = std::fabs(DeviationDb(m, f));
    if (d > worst) worst = d, worstAt = f;
  }
  printf("largest difference from 20 Hz to %s: %.4f dB at %s\n", FrequencyText(top).c_str(), worst,
         FrequencyText(worstAt).c_str());
  const int pre60 = PreRing(m, -60.0), pre40 = PreRing(m, -40.0);
  printf("pre-ring above -60 dB of the peak: %.2f ms (%d samples); above -40 dB: %.2f ms (%d "
         "samples); a lone impulse reads %.2f and %.2f ms\n",
         pre60 * ms, pre60, pre40 * ms, pre40, PreRingFloor(m, -60.0) * ms,
         PreRingFloor(m, -40.0) * ms);
  printf("null test (flat curve, input delayed by %d samples): %.1f dB on noise from 20 Hz to "
         "%s, %.1f dB on noise up to %.0f Hz\n",
         m.flatLatency, m.nullBand, FrequencyText(m.Top()).c_str(), m.nullFull, 0.5 * m.rate);
}

// ---- picture ----

constexpr int kPictureWidth = 800;
constexpr int kPictureHeight = 640;

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b)
{
  return 0xFFu | r << 8 | g << 16 | b << 24;
}
const uint32_t kBackground = Rgb(24, 26, 30);
const uint32_t kPlotBackground = Rgb(14, 15, 18);
const uint32_t kGridColour = Rgb(52, 56, 64);
const uint32_t kTextColour = Rgb(200, 204, 212);
const uint32_t kCurveColour = Rgb(255, 190, 60);
const uint32_t kRealisedColour = Rgb(80, 200, 255);
const uint32_t kMarkColour = Rgb(230, 90, 90);

struct Fonts
{
  BitmapFont* font = nullptr;
  ~Fonts() { FreeBitmapFont(font); }
};

bool ReadSheet(const std::string& path, int* width, int* height, std::vector<uint8_t>* pixels)
{
  png_image image;
  memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_ARGB; // bytes alpha, red, green, blue: the raster's layout
  pixels->resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels->data(), 0, nullptr))
  {
    png_image_free(&image);
    return false;
  }
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return true;
}

bool IsFile(const std::string& path)
{
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The font sheets: the plug-in bundle's Resources folder first, then the source tree's.
bool LoadFonts(const std::string& pluginPath, Fonts* fonts, std::string* error)
{
  std::vector<std::string> folders;
  const std::string binary = ResolvePluginBinary(pluginPath);
  const size_t slash = binary.find_last_of('/');
  if (slash != std::string::npos) folders.push_back(binary.substr(0, slash) + "/../Resources");
#ifdef TARVEX_FONT_DIR
  folders.push_back(TARVEX_FONT_DIR);
#endif
  for (const std::string& folder : folders)
  {
    const std::string glyphs = folder + "/font11.png", limits = folder + "/font11_limits.png";
    if (!IsFile(glyphs) || !IsFile(limits)) continue;
    int gw = 0, gh = 0, lw = 0, lh = 0;
    std::vector<uint8_t> g, l;
    if (!ReadSheet(glyphs, &gw, &gh, &g) || !ReadSheet(limits, &lw, &lh, &l) || gw != lw ||
        gh != lh)
      continue;
    fonts->font = BuildBitmapFont(gw, gh, g.data(), gw, l.data(), lw, -3);
    if (fonts->font) return true;
  }
  *error = "cannot find the font sheets (font11.png) for the picture beside the plug-in";
  return false;
}

struct Canvas
{
  Picture picture;
  const BitmapFont* font;

  void Fill(int x0, int y0, int x1, int y1, uint32_t colour)
  {
    for (int y = std::max(0, y0); y < std::min(picture.height, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(picture.width, x1); ++x)
        for (int c = 0; c < 4; ++c) picture.At(x, y)[c] = static_cast<uint8_t>(colour >> (8 * c));
  }
  void Line(double x0, double y0, double x1, double y1, double softness, uint32_t colour)
  {
    DrawLineAA(picture.pixels.data(), picture.width, picture.height, x0, y0, x1, y1, softness,
               colour, kLineBlend);
  }
  void Text(int x, int y, int flags, const std::string& text, uint32_t colour)
  {
    TextLine* line = CreateTextLine(font, x, y, flags);
    if (!line) return;
    SetTextLineText(line, text.c_str());
    DrawTextLine(line, picture.pixels.data(), colour, picture.width, picture.height);
    FreeTextLine(line);
  }
};

struct Frame
{
  int left, top, right, bottom;
  double Width() const { return right - left; }
  double Height() const { return bottom - top; }
};

// Polyline through the points, cut where a value is missing (NaN). Rows are held within the frame
// rows top .. bottom; a segment with both ends held at the same edge is left out.
void Polyline(Canvas& canvas, const std::vector<double>& xs, const std::vector<double>& ys,
              double top, double bottom, double softness, uint32_t colour)
{
  auto held = [&](double y) { return std::min(std::max(y, top), bottom); };
  for (size_t i = 1; i < xs.size(); ++i)
  {
    const double y0 = ys[i - 1], y1 = ys[i];
    if (!std::isfinite(y0) || !std::isfinite(y1)) continue;
    if ((y0 > bottom && y1 > bottom) || (y0 < top && y1 < top)) continue;
    canvas.Line(xs[i - 1], held(y0), xs[i], held(y1), softness, colour);
  }
}

void DrawResponse(Canvas& canvas, const Measurement& m, const Frame& f)
{
  canvas.Fill(f.left, f.top, f.right, f.bottom, kPlotBackground);
  const int columns = static_cast<int>(f.Width());
  std::vector<double> xs(static_cast<size_t>(columns) + 1), curve(xs.size()), real(xs.size());
  double lowest = 0.0, highest = 0.0;
  for (int c = 0; c <= columns; ++c)
  {
    const double freq = 20.0 * std::pow(1000.0, static_cast<double>(c) / columns);
    xs[static_cast<size_t>(c)] = f.left + c;
    const bool audible = freq < 0.5 * m.rate;
    curve[static_cast<size_t>(c)] = Db(CurveAmp(m.curve, freq));
    real[static_cast<size_t>(c)] = audible ? Db(RealisedAmp(m, freq)) : NAN;
    for (double v : {curve[static_cast<size_t>(c)], real[static_cast<size_t>(c)]})
      if (std::isfinite(v) && v > kDbFloor)
        lowest = std::min(lowest, v), highest = std::max(highest, v);
  }
  // dB range: the levels shown with a margin, in 6 dB steps, at least -12 .. +12, at most 72 dB.
  double top = std::max(12.0, 6.0 * std::ceil((highest + 2.0) / 6.0));
  double bottom = std::min(-12.0, 6.0 * std::floor((lowest - 2.0) / 6.0));
  bottom = std::max(bottom, top - 72.0);
  const double step = top - bottom > 36.0 ? 12.0 : 6.0;
  auto row = [&](double db) { return f.bottom - (db - bottom) / (top - bottom) * f.Height(); };
  char label[32];
  for (double db = bottom; db <= top + 1e-9; db += step)
  {
    const double y = row(db);
    canvas.Fill(f.left, static_cast<int>(y), f.right, static_cast<int>(y) + 1,
                db == 0.0 ? Rgb(90, 96, 108) : kGridColour);
    snprintf(label, sizeof(label), "%+.0f", db);
    canvas.Text(f.left - 6, static_cast<int>(y) - 7, kTextAlignRight, db == 0.0 ? "0" : label,
                kTextColour);
  }
  const double ticks[] = {20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000};
  const char* names[] = {"20", "50", "100", "200", "500", "1k", "2k", "5k", "10k", "20k"};
  for (int t = 0; t < 10; ++t)
  {
    const int x = f.left + static_cast<int>(std::lround(LogPos(ticks[t], 20.0, 20000.0) * columns));
    canvas.Fill(x, f.top, x + 1, f.bottom, kGridColour);
    canvas.Text(x, f.bottom + 4, 0, names[t], kTextColour);
  }
  for (auto& v : curve) v = row(std::max(v, bottom - 1.0));
  for (auto& v : real) v = std::isfinite(v) ? row(std::max(v, bottom - 1.0)) : NAN;
  // The curve wide and the realised response narrow on top of it: where they agree the curve
  // shows as a rim.
  Polyline(canvas, xs, curve, f.top, f.bottom, 3.2, kCurveColour);
  Polyline(canvas, xs, real, f.top, f.bottom, 1.2, kRealisedColour);
  canvas.Text(f.right - 8, f.top + 6, kTextAlignRight, "curve", kCurveColour);
  canvas.Text(f.right - 8, f.top + 22, kTextAlignRight, "realised", kRealisedColour);
  canvas.Text(f.left + 8, f.top + 6, kTextAlignLeft, "dB", kTextColour);
  canvas.Text(f.right, f.bottom + 20, kTextAlignRight, "Hz", kTextColour);
}

void DrawEnvelope(Canvas& canvas, const Measurement& m, const Frame& f)
{
  canvas.Fill(f.left, f.top, f.right, f.bottom, kPlotBackground);
  const double ms = 1000.0 / m.rate;
  // Time span: the kernel's half length either side of the peak, rounded up to a whole ms.
  const double span = std::max(1.0, std::ceil(m.Half() * ms * 1.05));
  const double bottom = -120.0;
  const std::vector<double>& e = m.smoothed;
  const double peak = *std::max_element(e.begin(), e.end());
  const long long centre = m.Half() + kSmoothingPad;
  auto column = [&](double t) { return f.left + (t + span) / (2.0 * span) * f.Width(); };
  auto row = [&](double db) { return f.top + db / bottom * f.Height(); };
  char label[32];
  for (double db = 0.0; db >= bottom; db -= 20.0)
  {
    const int y = static_cast<int>(row(db));
    const bool marked = db == -40.0 || db == -60.0;
    canvas.Fill(f.left, y, f.right, y + 1, marked ? Rgb(92, 60, 60) : kGridColour);
    snprintf(label, sizeof(label), "%.0f", db);
    canvas.Text(f.left - 6, y - 7, kTextAlignRight, label, kTextColour);
  }
  const double tick = span > 40.0   ? 20.0
                      : span > 20.0 ? 10.0
                      : span > 8.0  ? 5.0
                      : span > 4    ? 2.0
                                    : 1.0;
  for (double t = -std::floor(span / tick) * tick; t <= span + 1e-9; t += tick)
  {
    const int x = static_cast<int>(std::lround(column(t)));
    canvas.Fill(x, f.top, x + 1, f.bottom, kGridColour);
    snprintf(label, sizeof(label), "%.0f", t);
    canvas.Text(x, f.bottom + 4, 0, label, kTextColour);
  }
  // Peak envelope: the largest smoothed magnitude within 0.1 ms of each pixel column.
  const int columns = static_cast<int>(f.Width());
  std::vector<double> xs, ys;
  for (int c = 0; c < columns; ++c)
  {
    const double t0 = -span + 2.0 * span * c / columns, t1 = -span + 2.0 * span * (c + 1) / columns;
    long long k0 = static_cast<long long>(std::ceil((t0 - 0.1) / ms)) + centre;
    long long k1 = static_cast<long long>(std::ceil((t1 + 0.1) / ms)) + centre;
    if (k1 <= k0) k1 = k0 + 1;
    double largest = 0.0;
    bool any = false;
    for (long long k = k0; k < k1; ++k)
    {
      if (k < 0 || k >= static_cast<long long>(e.size())) continue;
      largest = std::max(largest, e[static_cast<size_t>(k)]);
      any = true;
    }
    const double db = any && peak > 0.0 ? Db(largest / peak) : kDbFloor;
    xs.push_back(f.left + c + 0.5);
    ys.push_back(row(std::max(db, bottom)));
  }
  Polyline(canvas, xs, ys, f.top, f.bottom, 1.3, kRealisedColour);
  for (double threshold : {-60.0, -40.0})
  {
    const double x = column(-PreRing(m, threshold) * ms);
    canvas.Line(x, row(threshold) - 6, x, row(threshold) + 6, 1.2, kMarkColour);
  }
  canvas.Text(f.left + 8, f.top + 6, kTextAlignLeft, "dB of the peak", kTextColour);
  canvas.Text(f.right, f.bottom + 20, kTextAlignRight, "ms from the peak", kTextColour);
}

Picture DrawReport(const Measurement& m, const BitmapFont* font)
{
  BuildEdgeTable();
  BuildGaussTable();
  Canvas canvas{Picture(kPictureWidth, kPictureHeight, kBackground), font};
  const double ms = 1000.0 / m.rate;
  char text[200];
  snprintf(text, sizeof(text),
           "Tarvex at %.0f Hz, Resolution %.2f: latency %d samples (%.2f ms), kernel %d taps",
           m.rate, m.values[kParamResolution], m.latency, m.latency * ms, m.kernelLength);
  canvas.Text(16, 8, kTextAlignLeft, text, kTextColour);
  DrawResponse(canvas, m, Frame{56, 32, 784, 352});
  const int pre60 = PreRing(m, -60.0), pre40 = PreRing(m, -40.0);
  snprintf(text, sizeof(text),
           "impulse response envelope: pre-ring %.2f ms above -60 dB, %.2f ms above -40 dB",
           pre60 * ms, pre40 * ms);
  canvas.Text(16, 392, kTextAlignLeft, text, kTextColour);
  DrawEnvelope(canvas, m, Frame{56, 414, 784, 606});
  return canvas.picture;
}
} // namespace

void Fft(std::vector<std::complex<double>>& x, bool inverse)
{
  const size_t n = x.size();
  for (size_t i = 1, j = 0; i < n; ++i)
  {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1)
  {
    const double angle = (inverse ? 2.0 : -2.0) * M_PI / static_cast<double>(len);
    for (size_t i = 0; i < n; i += len)
      for (size_t k = 0; k < len / 2; ++k)
      {
        const std::complex<double> w = std::polar(1.0, angle * static_cast<double>(k));
        const std::complex<double> a = x[i + k], b = x[i + k + len / 2] * w;
        x[i + k] = a + b;
        x[i + k + len / 2] = a - b;
      }
  }
}

int RunReport(const ReportRequest& request)
{
  std::string error;
  Fonts fonts;
  if (!request.picturePath.empty() && !LoadFonts(request.pluginPath, &fonts, &error))
  {
    Fail(error);
    return 1;
  }
  Measurement m;
  m.rate = request.sampleRate;
  {
    RenderPlugin plug;
    if (!request.setUp(plug, m.rate, true, &error) || !CheckLayout(plug, &error))
    {
      Fail(error);
      return 1;
    }
    for (int i = 0; i < kParamCount; ++i) m.values[i] = ReadParamValue(plug, i);
    m.curve = CurveFromParams(m.values);
    plug.Start();
    if (!MeasureImpulse(plug, request.block, &m, &error))
    {
      Fail(error);
      return 1;
    }
  }
  if (!MeasureNull(request, &m, &error))
  {
    Fail(error);
    return 1;
  }
  PrintReport(m);
  if (request.picturePath.empty()) return 0;
  std::string bytes;
  if (!EncodePng(DrawReport(m, fonts.font), &bytes))
  {
    Fail("cannot encode the picture");
    return 1;
  }
  if (!request.writeFile(request.picturePath, bytes, &error))
  {
    Fail(error);
    return 1;
  }
  printf("picture: %s (%d x %d)\n", request.picturePath.c_str(), kPictureWidth, kPictureHeight);
  return 0;
}
