// The Mac's part in an Audio Unit host of our own: the Component Manager's instances and their
// storage, AudioUnitGetProperty and AudioUnitRender routed to the component entries it opened,
// AUEventListenerNotify recorded, and a signal-source unit to connect upstream. The functions are
// defined under Apple's names in the program, which is linked with -rdynamic so that a bundle
// loaded with dlopen imports them from there. No test framework: the fuzz targets use it too.
//
// One thread.
#pragma once

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
const ComponentDescription kTarvexDescription = {FourCC("aufx"), FourCC("Trvx"), FourCC("Vnmr"), 0,
                                                 0};
const ComponentDescription kTarvexViewDescription = {FourCC("auvw"), FourCC("Trvx"), FourCC("Vnmr"),
                                                     0, 0};

// ---- the Component Manager ----
// Opens an instance of a component: a new instance handle, then the entry's Open selector.
// Null (and *result set) when Open fails.
ComponentInstance OpenInstance(ComponentRoutineProcPtr entry,
                               const ComponentDescription& description,
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
int RenderCalls(AudioUnit unit);      // AudioUnitRender calls routed to unit
int GetPropertyCalls(AudioUnit unit); // AudioUnitGetProperty calls routed to unit

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

} // namespace authost
