// libFuzzer target: class-info dictionaries built around arbitrary bytes, restored into a Tarvex
// Audio Unit through its component entry, as a host restoring a song would.
//
// Input: byte 0 chooses the dictionary's shape (bit 0..5: leave out version, type, subtype,
// manufacturer, name, data; bit 6: another subtype; bit 7: the data as a string), byte 1 the
// length of the name taken from the bytes that follow; the rest is the "data" value.
//
// Checked on every input: the restore answers 0 or kAudioUnitErr_InvalidPropertyValue; a refused
// one changes no parameter; an accepted one leaves every parameter finite and within its bounds,
// and the saved state restores again to itself; every CoreFoundation object is released and none
// misused.
//
// Built by the fuzz tree (tests/fuzz/CMakeLists.txt) with the test host's Component Manager and
// CoreFoundation.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/ParamIndex.h"
#include "tests/au/AuComponentHost.h"

extern "C" ComponentResult Tarvex_Entry(ComponentParameters* params, Handle storage);

namespace
{

void Check(bool condition, const char* what)
{
  if (condition) return;
  fprintf(stderr, "fuzz_au_classinfo: %s\n", what);
  abort();
}

ComponentInstance Instance()
{
  static ComponentInstance ci = []
  {
    setenv("XDG_CONFIG_HOME", "/nonexistent-tarvex-fuzz", 1); // no preferences file
    ComponentResult result = 0;
    ComponentInstance opened =
        authost::OpenInstance(Tarvex_Entry, authost::kTarvexDescription, &result);
    Check(opened != nullptr, "the instance does not open");
    return opened;
  }();
  return ci;
}

std::vector<double> Params(ComponentInstance ci)
{
  std::vector<double> values(kParamCount);
  for (int i = 0; i < kParamCount; ++i)
  {
    float v = 0.0f;
    Check(authost::Call(ci, kAudioUnitGetParameterSelect, static_cast<UInt32>(i), 0u, 0u, &v) ==
              noErr,
          "GetParameter fails");
    values[static_cast<size_t>(i)] = v;
  }
  return values;
}

void Put(CFMutableDictionaryRef d, const char* key, CFTypeRef value)
{
  if (!value) return;
  CFStringRef k = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
  CFDictionarySetValue(d, k, value);
  CFRelease(k);
  CFRelease(value);
}

CFTypeRef Number(SInt32 value)
{
  return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
}

ComponentResult Restore(ComponentInstance ci, CFPropertyListRef dictionary)
{
  return authost::Call(ci, kAudioUnitSetPropertySelect, kAudioUnitProperty_ClassInfo, 0u, 0u,
                       &dictionary, static_cast<UInt32>(sizeof(dictionary)));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  ComponentInstance ci = Instance();
  const long liveAtStart = testcf::LiveObjects();
  const uint8_t shape = size > 0 ? data[0] : 0;
  size_t nameLength = size > 1 ? data[1] : 0;
  size_t offset = size > 2 ? 2 : size;
  if (nameLength > size - offset) nameLength = size - offset;
  const std::string name(reinterpret_cast<const char*>(data) + offset, nameLength);
  offset += nameLength;

  CFMutableDictionaryRef d = CFDictionaryCreateMutable(
      kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  if (!(shape & 1)) Put(d, "version", Number(0x10000));
  if (!(shape & 2)) Put(d, "type", Number(static_cast<SInt32>(authost::FourCC("aufx"))));
  if (!(shape & 4))
    Put(d, "subtype", Number(static_cast<SInt32>(authost::FourCC(shape & 64 ? "Othr" : "Trvx"))));
  if (!(shape & 8)) Put(d, "manufacturer", Number(static_cast<SInt32>(authost::FourCC("Vnmr"))));
  if (!(shape & 16))
    Put(d, "name",
        CFStringCreateWithCString(kCFAllocatorDefault, name.c_str(), kCFStringEncodingUTF8));
  if (!(shape & 32))
  {
    if (shape & 128)
      Put(d, "data", CFStringCreateWithCString(kCFAllocatorDefault, "data", kCFStringEncodingUTF8));
    else
      Put(d, "data",
          CFDataCreate(kCFAllocatorDefault, data + offset, static_cast<CFIndex>(size - offset)));
  }

  const std::vector<double> before = Params(ci);
  const ComponentResult result = Restore(ci, d);
  CFRelease(d);
  Check(result == noErr || result == kAudioUnitErr_InvalidPropertyValue, "unexpected status");
  const std::vector<double> after = Params(ci);
  if (result != noErr)
    Check(after == before, "a refused dictionary changed the parameters");
  else
  {
    for (int i = 0; i < kParamCount; ++i)
    {
      AudioUnitParameterInfo info;
      UInt32 infoSize = sizeof(info);
      Check(authost::Call(ci, kAudioUnitGetPropertySelect, kAudioUnitProperty_ParameterInfo, 0u,
                          static_cast<UInt32>(i), &info, &infoSize) == noErr,
            "ParameterInfo fails");
      CFRelease(info.cfNameString);
      if (info.unitName) CFRelease(info.unitName);
      const double v = after[static_cast<size_t>(i)];
      Check(std::isfinite(v) && v >= info.minValue && v <= info.maxValue,
            "a restored parameter is outside its bounds");
    }
    // What the unit saves now restores to itself.
    CFPropertyListRef saved = nullptr;
    UInt32 savedSize = sizeof(saved);
    Check(authost::Call(ci, kAudioUnitGetPropertySelect, kAudioUnitProperty_ClassInfo, 0u, 0u,
                        &saved, &savedSize) == noErr,
          "ClassInfo cannot be saved");
    Check(Restore(ci, saved) == noErr, "the saved ClassInfo is refused");
    CFRelease(saved);
    Check(Params(ci) == after, "the saved ClassInfo restores to something else");
  }
  Check(testcf::LiveObjects() == liveAtStart, "CoreFoundation objects left unreleased");
  Check(testcf::Faults() == 0, "CoreFoundation misused");
  return 0;
}
