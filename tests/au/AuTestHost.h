// An Audio Unit host of our own, playing the Mac's part for the Linux test bundle: the Component
// Manager's instances and their storage, AudioUnitGetProperty and AudioUnitRender routed to the
// component entries it opened, AUEventListenerNotify recorded, and a signal-source unit to connect
// upstream. The functions are defined under Apple's names in this executable, which is linked with
// -rdynamic so that the bundle, loaded with dlopen, imports them from here.
//
// One thread. Every test that uses it derives its fixture from AuHostTest, which checks that the
// CoreFoundation objects a test made are all released and that nothing misused them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "au/apple/AudioUnit.h"
#include "tests/au/TestCoreFoundation.h"

namespace authost
{
constexpr OSType FourCC(const char (&c)[5])
{
  return (OSType(uint8_t(c[0])) << 24) | (OSType(uint8_t(c[1])) << 16) |
         (OSType(uint8_t(c[2])) << 8) | OSType(uint8_t(c[3]));
}
const ComponentDescription kTarvexDescription = {FourCC("aufx"), FourCC("Trvx"), FourCC("Vnmr"),
                                                 0, 0};
const ComponentDescription kTarvexViewDescription = {FourCC("auvw"), FourCC("Trvx"),
                                                     FourCC("Vnmr"), 0, 0};

// ---- the Component Manager ----
// Opens an instance of a component: a new instance handle, then the entry's Open selector.
// Null (and *result set) when Open fails.
ComponentInstance OpenInstance(ComponentRoutineProcPtr entry, const ComponentDescription& description,
                               ComponentResult* result = nullptr);
// Close selector, then the handle is gone.
ComponentResult CloseInstance(ComponentInstance instance);
Handle StorageOf(ComponentInstance instance);
// While set, GetComponentInfo answers this error for every instance.
void FailComponentInfo(OSErr error);

// Calls the instance's entry with a selector and arguments packed as Apple's LP64 block.
ComponentResult CallEntry(ComponentRoutineProcPtr entry, Handle storage, ComponentInstance ci,
                          SInt16 what, const std::vector<long>& slots);
template <class T> long Slot(T value)
{
  long slot = 0;
  static_assert(sizeof(T) <= sizeof(long), "one slot per argument");
  memcpy(&slot, &value, sizeof(T));
  return slot;
}
ComponentRoutineProcPtr EntryOf(ComponentInstance instance);
template <class... A> ComponentResult Call(ComponentInstance ci, SInt16 what, A... args)
{
  return CallEntry(EntryOf(ci), StorageOf(ci), ci, what, {Slot(args)...});
}

// ---- AudioToolbox ----
struct RecordedEvent
{
  AudioUnitEventType type;
  AudioUnit unit;
  AudioUnitParameterID parameter;
  AudioUnitScope scope;
  AudioUnitElement element;
};
std::vector<RecordedEvent>& Events();
int RenderCalls(AudioUnit unit);          // AudioUnitRender calls routed to unit
int GetPropertyCalls(AudioUnit unit);     // AudioUnitGetProperty calls routed to unit

// ---- a signal-source unit to connect upstream ----
// Channel c at sample time t plays SourceSample(c, t).
float SourceSample(int channel, double sampleTime);
struct SourceOptions
{
  int channels = 2;
  bool fastDispatch = false; // answers FastDispatch for Render
  bool ownBuffers = true;    // fills buffers without memory with pointers of its own
  OSStatus renderStatus = noErr;
  bool refuseFormat = false; // StreamFormat answers an error
};
ComponentInstance OpenSource(const SourceOptions& options);
int SourceRenders(ComponentInstance source); // renders through either path

// ---- the bundles ----
// The component entries of the built Audio Unit bundle; null with a failed assertion when the
// bundle cannot be loaded.
ComponentRoutineProcPtr BundleEntry();
ComponentRoutineProcPtr BundleViewEntry();
std::string BundleBinary();
std::string BundleFolder();

// Checks per test that every CoreFoundation object made during it was released and that nothing
// misused the test CoreFoundation.
class AuHostTest : public ::testing::Test
{
protected:
  void SetUp() override;
  void TearDown() override;
  long mLiveAtStart = 0;
};
} // namespace authost
