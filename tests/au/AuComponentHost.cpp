#include "tests/au/AuComponentHost.h"

#include <cmath>
#include <cstdlib>
#include <map>

namespace authost
{
namespace
{
struct InstanceRecord
{
  ComponentRoutineProcPtr entry = nullptr;
  ComponentDescription description = {};
  Handle storage = nullptr;
  int renders = 0;
  int getProperties = 0;
};

std::map<ComponentInstance, InstanceRecord*>& Instances()
{
  static std::map<ComponentInstance, InstanceRecord*> instances;
  return instances;
}

InstanceRecord* Find(ComponentInstance ci)
{
  auto it = Instances().find(ci);
  return it == Instances().end() ? nullptr : it->second;
}

OSErr gComponentInfoError = 0;
constexpr OSErr kInvalidComponentID = -3000;

// LP64 component block with room for the instance and eight arguments.
struct Block
{
  UInt8 flags;
  UInt8 paramSize;
  SInt16 what;
  UInt32 padding;
  long params[9];
};
static_assert(offsetof(Block, params) == offsetof(ComponentParameters, params), "block layout");
} // namespace

ComponentRoutineProcPtr EntryOf(ComponentInstance ci)
{
  InstanceRecord* record = Find(ci);
  return record ? record->entry : nullptr;
}

ComponentResult CallEntry(ComponentRoutineProcPtr entry, Handle storage, ComponentInstance ci,
                          SInt16 what, const std::vector<long>& slots)
{
  if (!entry) return badComponentSelector;
  Block block;
  memset(&block, 0, sizeof(block));
  block.what = what;
  block.paramSize = static_cast<UInt8>(sizeof(long) * slots.size());
  block.params[0] = reinterpret_cast<long>(ci);
  for (size_t i = 0; i < slots.size() && i < 8; ++i) block.params[i + 1] = slots[i];
  return entry(reinterpret_cast<ComponentParameters*>(&block), storage);
}

ComponentInstance OpenInstance(ComponentRoutineProcPtr entry,
                               const ComponentDescription& description, ComponentResult* result)
{
  InstanceRecord* record = new InstanceRecord;
  record->entry = entry;
  record->description = description;
  ComponentInstance ci = reinterpret_cast<ComponentInstance>(record);
  Instances()[ci] = record;
  const ComponentResult r = CallEntry(entry, nullptr, ci, kComponentOpenSelect, {});
  if (result) *result = r;
  if (r != noErr)
  {
    Instances().erase(ci);
    delete record;
    return nullptr;
  }
  return ci;
}

ComponentResult CloseInstance(ComponentInstance ci)
{
  InstanceRecord* record = Find(ci);
  if (!record) return kInvalidComponentID;
  const ComponentResult r =
      CallEntry(record->entry, record->storage, ci, kComponentCloseSelect, {});
  Instances().erase(ci);
  delete record;
  return r;
}

Handle StorageOf(ComponentInstance ci)
{
  InstanceRecord* record = Find(ci);
  return record ? record->storage : nullptr;
}

void FailComponentInfo(OSErr error)
{
  gComponentInfoError = error;
}

std::vector<RecordedEvent>& Events()
{
  static std::vector<RecordedEvent> events;
  return events;
}

int RenderCalls(AudioUnit unit)
{
  InstanceRecord* record = Find(unit);
  return record ? record->renders : 0;
}

int GetPropertyCalls(AudioUnit unit)
{
  InstanceRecord* record = Find(unit);
  return record ? record->getProperties : 0;
}

// ---- the signal source ----

float SourceSample(int channel, double sampleTime)
{
  // Two incommensurate sines per channel, peak below 0.5.
  const double t = sampleTime;
  return static_cast<float>(0.3 * std::sin(0.0137 * (channel + 1) * t) +
                            0.15 * std::sin(0.311 * t + channel));
}

namespace
{
struct Source
{
  SourceOptions options;
  int renders = 0;
  std::vector<float> buffers[2];
};

OSStatus RenderSource(Source* source, const AudioTimeStamp* timestamp, UInt32 frames,
                      AudioBufferList* list)
{
  ++source->renders;
  if (source->options.renderStatus != noErr) return source->options.renderStatus;
  for (UInt32 b = 0; b < list->mNumberBuffers && b < 2; ++b)
  {
    AudioBuffer& buffer = list->mBuffers[b];
    if (!buffer.mData)
    {
      if (!source->options.ownBuffers) continue; // a misbehaving upstream: no memory at all
      source->buffers[b].assign(frames, 0.0f);
      buffer.mData = source->buffers[b].data();
      buffer.mDataByteSize = frames * sizeof(float);
    }
    float* out = static_cast<float*>(buffer.mData);
    for (UInt32 s = 0; s < frames; ++s)
      out[s] = SourceSample(static_cast<int>(b), timestamp->mSampleTime + s);
  }
  return noErr;
}

OSStatus SourceRenderProc(void* storage, AudioUnitRenderActionFlags*, const AudioTimeStamp* ts,
                          UInt32, UInt32 frames, AudioBufferList* list)
{
  return RenderSource(static_cast<Source*>(storage), ts, frames, list);
}

template <class T> T SlotArg(const ComponentParameters* p, int i)
{
  T v;
  memcpy(&v, &p->params[i], sizeof(T));
  return v;
}

SourceOptions gNextSource;

ComponentResult SourceEntry(ComponentParameters* p, Handle storage)
{
  ComponentInstance ci = SlotArg<ComponentInstance>(p, 0);
  Source* source = reinterpret_cast<Source*>(storage);
  switch (p->what)
  {
  case kComponentOpenSelect:
    source = new Source;
    source->options = gNextSource;
    SetComponentInstanceStorage(ci, reinterpret_cast<Handle>(source));
    return noErr;
  case kComponentCloseSelect:
    delete source;
    return noErr;
  case kAudioUnitGetPropertySelect:
  {
    const AudioUnitPropertyID id = SlotArg<AudioUnitPropertyID>(p, 1);
    void* data = SlotArg<void*>(p, 4);
    UInt32* size = SlotArg<UInt32*>(p, 5);
    if (id == kAudioUnitProperty_StreamFormat && !source->options.refuseFormat)
    {
      if (*size < sizeof(AudioStreamBasicDescription)) return kAudio_ParamError;
      AudioStreamBasicDescription f = {44100.0,
                                       kAudioFormatLinearPCM,
                                       41,
                                       4,
                                       1,
                                       4,
                                       static_cast<UInt32>(source->options.channels),
                                       32,
                                       0};
      memcpy(data, &f, sizeof(f));
      *size = sizeof(f);
      return noErr;
    }
    if (id == kAudioUnitProperty_FastDispatch && source->options.fastDispatch &&
        SlotArg<AudioUnitElement>(p, 3) == kAudioUnitRenderSelect)
    {
      AudioUnitRenderProc proc = SourceRenderProc;
      memcpy(data, &proc, sizeof(proc));
      *size = sizeof(proc);
      return noErr;
    }
    return kAudioUnitErr_InvalidProperty;
  }
  case kAudioUnitRenderSelect:
    return RenderSource(source, SlotArg<const AudioTimeStamp*>(p, 2), SlotArg<UInt32>(p, 4),
                        SlotArg<AudioBufferList*>(p, 5));
  default:
    return badComponentSelector;
  }
}
} // namespace

ComponentInstance OpenSource(const SourceOptions& options)
{
  gNextSource = options;
  const ComponentDescription description = {FourCC("augn"), FourCC("Tsrc"), FourCC("Test"), 0, 0};
  return OpenInstance(SourceEntry, description);
}

int SourceRenders(ComponentInstance source)
{
  Source* s = reinterpret_cast<Source*>(StorageOf(source));
  return s ? s->renders : 0;
}

} // namespace authost

// ---- Apple's functions, as the bundle imports them ----
extern "C"
{

  void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage)
  {
    authost::InstanceRecord* record = authost::Find(aComponentInstance);
    if (record) record->storage = theStorage;
  }

  Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance)
  {
    authost::InstanceRecord* record = authost::Find(aComponentInstance);
    return record ? record->storage : nullptr;
  }

  OSErr GetComponentInfo(Component aComponent, ComponentDescription* cd, Handle, Handle, Handle)
  {
    if (authost::gComponentInfoError) return authost::gComponentInfoError;
    authost::InstanceRecord* record =
        authost::Find(reinterpret_cast<ComponentInstance>(aComponent));
    if (!record) return authost::kInvalidComponentID;
    if (cd) *cd = record->description;
    return noErr;
  }

  OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                AudioUnitElement inElement, void* outData, UInt32* ioDataSize)
  {
    authost::InstanceRecord* record = authost::Find(inUnit);
    if (!record) return authost::kInvalidComponentID;
    ++record->getProperties;
    return authost::CallEntry(record->entry, record->storage, inUnit, kAudioUnitGetPropertySelect,
                              {authost::Slot(inID), authost::Slot(inScope),
                               authost::Slot(inElement), authost::Slot(outData),
                               authost::Slot(ioDataSize)});
  }

  OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                           const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                           UInt32 inNumberFrames, AudioBufferList* ioData)
  {
    authost::InstanceRecord* record = authost::Find(inUnit);
    if (!record) return authost::kInvalidComponentID;
    ++record->renders;
    return authost::CallEntry(record->entry, record->storage, inUnit, kAudioUnitRenderSelect,
                              {authost::Slot(ioActionFlags), authost::Slot(inTimeStamp),
                               authost::Slot(inOutputBusNumber), authost::Slot(inNumberFrames),
                               authost::Slot(ioData)});
  }

  OSStatus AUEventListenerNotify(AUEventListenerRef, void*, const AudioUnitEvent* inEvent)
  {
    if (!inEvent) return kAudio_ParamError;
    const AudioUnitParameter& p = inEvent->mArgument.mParameter;
    authost::Events().push_back(
        {inEvent->mEventType, p.mAudioUnit, p.mParameterID, p.mScope, p.mElement});
    return noErr;
  }

} // extern "C"
