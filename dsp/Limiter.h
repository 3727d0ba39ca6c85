// Output peak limiter: instant attack, 2.3 s hold, 2.3 s raised-cosine release. Audio thread, under
// the instance's dsp lock. One envelope and one timer serve all channels.
#pragma once

// Threshold in linear amplitude for a Limiter value in dB; at 999 or more the limiter is off.
double LimiterThreshold(double limiterDb);

// envelope: linear amplitude the gain reduction is computed from; time: seconds since the envelope
// was last raised or restarted; light: largest overshoot above the threshold since the display
// decayed it. Limits frames samples of each of the channels output arrays in place, frame by frame,
// channel 0 first. Does nothing when threshold >= 999 (or is NaN). Non-finite samples are replaced
// by silence and leave the envelope and the light alone.
void ApplyLimiter(double* const* outputs, int channels, int frames, double threshold,
                  double sampleRate, double& envelope, double& time, double& light);
