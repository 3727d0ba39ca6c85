// The response report of tarvex-render: what the plug-in's kernel really does for a setting.
//
// The measured side goes through the VST interface only: an impulse and noise are processed by the
// loaded plug-in and its reported latency is removed. The drawn curve is computed from the
// plug-in's parameter values (read back through the interface) with the curve functions of
// dsp/BandCurve, so the two can be compared. One thread; everything is owned by the call.
#pragma once

#include <complex>
#include <functional>
#include <string>
#include <vector>

class RenderPlugin;

struct ReportRequest
{
  double sampleRate = 44100.0;
  int block = 512;         // host block size in frames
  std::string picturePath; // PNG to write; empty for none
  std::string pluginPath;  // what the plug-in was loaded from; its font sheets are found beside it
  // Loads the plug-in into plug and opens it at the rate; with settings true also applies the
  // user's state file and --set options. False with a message in *error.
  std::function<bool(RenderPlugin& plug, double rate, bool settings, std::string* error)> setUp;
  // Writes bytes to path so that a failure leaves nothing behind. False with a message.
  std::function<bool(const std::string& path, const std::string& bytes, std::string* error)>
      writeFile;
};

// Lowest and highest sample rate the report accepts, in Hz.
constexpr double kReportMinRate = 8000.0;
constexpr double kReportMaxRate = 192000.0;

// Prints the report to standard output and writes the picture. 0, or 1 after a message on
// standard error (no picture is written then).
int RunReport(const ReportRequest& request);

// In-place radix-2 FFT of a power-of-two length, unscaled in both directions; the tools' own
// measurement transform, separate from the plug-in's.
void Fft(std::vector<std::complex<double>>& x, bool inverse);
