// Hand-off from the engine to the display: input capture on the audio thread, and the two analyses
// the display thread computes from it each frame (input spectrum, realised kernel response), each
// reduced to columns values stored in reverse column order (index columns - 1 - c for column c, 20
// Hz at c = 0).
#pragma once

struct DspState;

// Audio thread, under dspLock: writes the call's input into the capture rings while the display has
// drawn within the last second of audio, and advances samplesSinceDraw. channels is 1 or 2; with
// one the first input feeds both rings.
void CaptureInput(DspState& state, double* const* inputs, int frames, int channels);

// Display thread: spectrumColumns (left, right, sum) from the capture rings. Never waits for the
// audio thread: false (nothing changed, captureChanged still set) while processing holds dspLock.
// Call outside dspLock.
bool AnalyseCapture(DspState& state, int columns);

// Display thread: kernelColumns, the magnitude of the kernel in use per column, read under
// dspLock. Never waits for the audio thread: false (nothing changed, kernelChanged still set) while
// processing holds dspLock. Call outside dspLock.
bool KernelResponseColumns(DspState& state, int columns);

// Display thread, once per frame before the frame takes drawLock: after 16 frames without a process
// call, performs pending kernel rebuilds itself (under dspLock) and clears the spectrum once (the
// three spectrumColumns arrays, the capture spectra and a pending input analysis).
void RunDisplayIdleRule(DspState& state);
