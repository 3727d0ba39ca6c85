// An in-process VST 2.4 test host: loads the built bundle with dlopen, creates instances through
// VSTPluginMain with a callback that records every request, and answers the requests a plug-in
// makes (time information, product string, vendor version) from fields the tests set.
//
// One thread. Instances are closed (effClose) by the Instance destructor; the library stays loaded
// for the whole test program, as a host keeps it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "dsp/ParamIndex.h"
#include "vst/VstAbi.h"

namespace vsttest
{
struct Request
{
  int32_t opcode;
  int32_t index;
  VstIntPtr value;
  float opt;
};

// What the callback answers; reset by each Instance.
struct HostState
{
  std::vector<Request> requests;
  std::string productString = "Tarvex test host";
  VstIntPtr vendorVersion = 2400;
  VstTimeInfo timeInfo{};
  bool answerTime = true;
  int count(int32_t opcode) const
  {
    int n = 0;
    for (const Request& r : requests) n += r.opcode == opcode;
    return n;
  }
};

inline HostState& Host()
{
  static HostState state;
  return state;
}

inline VstIntPtr Callback(AEffect*, int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                          float opt)
{
  HostState& host = Host();
  host.requests.push_back({opcode, index, value, opt});
  switch (opcode)
  {
  case audioMasterVersion:
    return 2400;
  case audioMasterGetTime:
    return host.answerTime ? reinterpret_cast<VstIntPtr>(&host.timeInfo) : 0;
  case audioMasterGetProductString:
    if (ptr) snprintf(static_cast<char*>(ptr), 64, "%s", host.productString.c_str());
    return 1;
  case audioMasterGetVendorVersion:
    return host.vendorVersion;
  default:
    return 0;
  }
}

inline std::string BundleBinary()
{
  const char* dir = getenv("TARVEX_BINARY_DIR");
  std::string root = dir && *dir ? dir : TARVEX_TEST_BINARY_DIR;
  return root + "/Tarvex.vst/Contents/x86_64-linux/Tarvex.so";
}

// The entry point of the bundle, loaded once; null (with a failed assertion) if it cannot be.
inline VstPluginMainProc Entry(const char* name = "VSTPluginMain")
{
  static void* library = nullptr;
  if (!library)
  {
    // Keep the tests independent of a preferences file on this machine.
    static char configDir[] = "/tmp/tarvex-vst-test-XXXXXX";
    if (mkdtemp(configDir))
    {
      setenv("XDG_CONFIG_HOME", configDir, 1);
      atexit([] { rmdir(configDir); }); // empty: no test opens an editor, so nothing is written
    }
    library = dlopen(BundleBinary().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  }
  if (!library)
  {
    ADD_FAILURE() << "cannot load " << BundleBinary() << ": " << dlerror();
    return nullptr;
  }
  void* symbol = dlsym(library, name);
  VstPluginMainProc entry = nullptr;
  memcpy(&entry, &symbol, sizeof(entry));
  return entry;
}

// One plug-in instance.
class Instance
{
public:
  explicit Instance(bool clearRequests = true)
  {
    if (clearRequests) Host() = HostState();
    VstPluginMainProc entry = Entry();
    mEffect = entry ? entry(Callback) : nullptr;
  }
  ~Instance() { Close(); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  void Close()
  {
    if (mEffect) mEffect->dispatcher(mEffect, effClose, 0, 0, nullptr, 0.0f);
    mEffect = nullptr;
  }
  AEffect* operator->() const { return mEffect; }
  AEffect* get() const { return mEffect; }
  explicit operator bool() const { return mEffect != nullptr; }

  VstIntPtr Dispatch(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f)
  {
    return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
  }
  // effOpen, rate, block size, mains on: the order hosts use before processing.
  void Start(float rate = 44100.0f, int block = 512)
  {
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    Dispatch(effSetBlockSize, 0, block);
    Dispatch(effMainsChanged, 0, 1);
  }
  std::string Text(int32_t opcode, int index, size_t size = 256)
  {
    std::vector<char> text(size, '\x7f');
    text[0] = 0;
    Dispatch(opcode, index, 0, text.data());
    return std::string(text.data(), strnlen(text.data(), size));
  }

private:
  AEffect* mEffect = nullptr;
};

constexpr int kLatency44k = 2368; // B + L/2 with the default settings at 44.1 kHz
} // namespace vsttest
