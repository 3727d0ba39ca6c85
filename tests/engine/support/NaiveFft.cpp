// Slow reference transform with the interface of engine/Fft.h: a direct DFT in long double. Linked
// only into tests that must not depend on the production transform.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/Fft.h"

FftPlan* fftp_plan()
{
  FftPlan* plan = static_cast<FftPlan*>(std::calloc(1, sizeof(FftPlan)));
  return plan;
}

void fftp_plan_free(FftPlan* plan)
{
  std::free(plan);
}

static void NaiveTransform(double* source, double* destination, int n, int direction)
{
  std::vector<long double> out(n, 0.0L);
  const long double pi = 3.141592653589793238462643383279502884L;
  const long double scale = 1.0L / std::sqrt(static_cast<long double>(n));
  if (direction == kFftForward)
  {
    for (int k = 0; k <= n / 2; ++k)
    {
      long double re = 0, im = 0;
      for (int j = 0; j < n; ++j)
      {
        const long double a = -2.0L * pi * ((static_cast<long long>(j) * k) % n) / n;
        re += source[j] * std::cos(a);
        im += source[j] * std::sin(a);
      }
      out[k] = re * scale;
      if (k > 0 && n - k > k) out[n - k] = im * scale;
    }
  }
  else
  {
    for (int j = 0; j < n; ++j)
    {
      long double sum = source[0];
      for (int k = 1; k < (n + 1) / 2; ++k)
      {
        const long double a = 2.0L * pi * ((static_cast<long long>(j) * k) % n) / n;
        sum += 2.0L * (source[k] * std::cos(a) - source[n - k] * std::sin(a));
      }
      if (n % 2 == 0) sum += source[n / 2] * ((j % 2) ? -1.0L : 1.0L);
      out[j] = sum * scale;
    }
  }
  for (int j = 0; j < n; ++j) destination[j] = static_cast<double>(out[j]);
}

void fftp(double* source, double* destination, int n, int direction, FftPlan*)
{
  if (n < 0)
  {
    std::fprintf(stderr, "fftp(): argument n = %d\n", n);
    return;
  }
  NaiveTransform(source, destination, n, direction);
}

void fftp_once(double* source, double* destination, int n, int direction)
{
  fftp(source, destination, n, direction, nullptr);
}

void HalfComplexMultiply(const double* a, const double* b, double* c, int n)
{
  c[0] = a[0] * b[0];
  for (int k = 1; k < (n + 1) / 2; ++k)
  {
    const double ar = a[k], ai = a[n - k], br = b[k], bi = b[n - k];
    c[k] = ar * br - ai * bi;
    c[n - k] = ai * br + ar * bi;
  }
  if (n % 2 == 0) c[n / 2] = a[n / 2] * b[n / 2];
}

void HalfComplexMagnitude(double* p, int n)
{
  p[0] = std::fabs(p[0]);
  for (int k = 1; k < (n + 1) / 2; ++k) p[k] = std::sqrt(p[k] * p[k] + p[n - k] * p[n - k]);
}
