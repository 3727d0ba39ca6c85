// The command-line host's side of the VST 2.4 interface: loads a plug-in bundle with dlopen, calls
// its entry point with our audioMaster callback and drives it through the dispatcher, exactly as a
// host application does. Knows nothing of the plug-in's internals.
//
// One thread; one loaded plug-in per RenderPlugin. Not copyable: it owns the library handle and the
// plug-in instance, closed (effClose, dlclose) by Close or the destructor.
#pragma once

#include <string>
#include <vector>

#include "vst/VstAbi.h"

class RenderPlugin
{
public:
  RenderPlugin() = default;
  ~RenderPlugin() { Close(); }
  RenderPlugin(const RenderPlugin&) = delete;
  RenderPlugin& operator=(const RenderPlugin&) = delete;

  // A bundle folder (X.vst, whose binary is X.vst/Contents/x86_64-linux/X.so) or a .so file.
  // False with a message naming the problem.
  bool Load(const std::string& path, std::string* error);
  void Close();

  AEffect* Effect() const { return mEffect; }
  VstIntPtr Dispatch(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);

  // effOpen, sample rate, block size; then Start/Stop toggle effMainsChanged.
  void Open(double sampleRate, int blockSize);
  void Start();
  void Stop();
  bool Started() const { return mStarted; }
  // The delay reported in initialDelay, in samples (never negative).
  int Latency() const;

  int ParamCount() const { return mEffect ? mEffect->numParams : 0; }
  std::string ParamName(int index);
  std::string ParamDisplay(int index);
  std::string ParamLabel(int index);
  // Index of the parameter whose name matches case-insensitively (surrounding blanks ignored), or
  // -1.
  int FindParam(const std::string& name);

  // The program chunk (index 1) as the plug-in hands it out; empty when it gives none.
  std::vector<unsigned char> GetProgramChunk();
  bool SetProgramChunk(const std::vector<unsigned char>& bytes);

  // Processes `frames` samples per channel of deinterleaved double buffers; uses
  // processDoubleReplacing when the plug-in can, else processReplacing through float copies.
  void Process(double** inputs, double** outputs, int nChannels, int frames);
  // Processes `frames` samples per channel of the host's own float buffers through
  // processReplacing, with no copies on the host's side.
  void ProcessFloat(float** inputs, float** outputs, int frames);

  // Host state the callback reports; written by the callback (same thread).
  double mSampleRate = 44100.0;
  int mBlockSize = 512;
  double mSamplePosition = 0.0;
  int mIOChangedCount = 0;

private:
  static VstIntPtr HostCallback(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                                void* ptr, float opt);

  void* mLibrary = nullptr;
  AEffect* mEffect = nullptr;
  bool mOpened = false;
  bool mStarted = false;
  VstTimeInfo mTimeInfo{};
  std::vector<float> mFloatScratch;
};

// Path of the plug-in binary inside a bundle folder, or the path itself when it is a file.
std::string ResolvePluginBinary(const std::string& path);

// Applies one "NAME=VALUE" setting (NAME as FindParam matches it; VALUE a number in the parameter's
// units or one of its display texts) through effString2Parameter. False with a message when the
// name is unknown or the value cannot be read.
bool ApplySetting(RenderPlugin& plug, const std::string& setting, std::string* error);

// True when both texts are equal ignoring ASCII case.
bool SameTextIgnoringCase(const std::string& a, const std::string& b);
