// The Tarvex plug-in class, compiled once per wrapper: Tarvex<IPlugVST>, Tarvex<IPlugAU>,
// Tarvex<IPlugLV2>, Tarvex<IPlugCLAP>, and in tests Tarvex<IPlugTestWrapper>. A wrapper provides
// `InstanceInfo` (what it needs from its host at creation) and a constructor
// Wrapper(const InstanceInfo&, <the IPlugBase constructor arguments>).
//
// The class only glues the plug-in base to the DSP (dsp/, through its PlugDspHost), the instance
// layer (engine/) and the editor (editor/): the engine and its shared state are plain records and
// functions of those libraries.
#pragma once

#include <cstdio>
#include <cstring>

#include "core/IPlugBase.h"
#include "dsp/SharedFlags.h"
#include "dsp/TarvexEngine.h"
#include "editor/CreateEditor.h"
#include "engine/InstanceState.h"
#include "engine/InstanceTable.h"
#include "engine/Prefs.h"
#include "engine/TarvexParams.h"
#include "graphics/IGraphics.h"
#include "graphics/LICE_Resources.h"
#include "plugin/PlugDspHost.h"

// Bundle whose pictures the editor loads; other wrappers may name their own by specialisation.
template <class Wrapper> struct TarvexEditorBundle
{
  static constexpr const char* kID = kTarvexVstBundleID;
};

template <class Wrapper> class Tarvex : public Wrapper
{
public:
  using InstanceInfo = typename Wrapper::InstanceInfo;

  // Use CreateTarvex: it serialises constructions and refuses one when the instance table is full.
  explicit Tarvex(const InstanceInfo& info)
      : Wrapper(info, kTarvexParamCount, kTarvexChannelIO, kTarvexPresetCount, kTarvexEffectName,
                kTarvexProductName, kTarvexMakerName, kTarvexVersion, kTarvexUniqueID,
                kTarvexMakerID, kTarvexInitialLatency, 0, false, false),
        mDspHost(*this)
  {
    WDL_MutexLock lock(this->GetMutex());
    mInstanceNumber = TakeInstanceSlot(this, &mInstanceState);
    if (!mInstanceState) return; // only when constructed around CreateTarvex with a full table
    InitTarvexParams(*this);
    InitSlot();
    CreateEditor(*this, *mInstanceState, TarvexEditorBundle<Wrapper>::kID);
    mEngineReady = CreateEngine(mDspHost, mEngine, *mInstanceState);
    ReadPrefs(*this, *mInstanceState);
    this->PushParamsToEditor(); // the knobs start from the values read from the file
    // No view is open during construction: the knobs take them now.
    if (IGraphics* gui = this->GetGUI()) gui->ApplyParameterValues();
    if (mEngineReady)
    {
      ConfigureDsp(mDspHost, mEngine, *mInstanceState, 0,
                   this->GetParam(kParamInputBufferSize)->mValue,
                   this->GetParam(kParamResolution)->mValue);
    }
  }

  ~Tarvex() override
  {
    WDL_MutexLock lock(this->GetMutex());
    if (mInstanceState) DestroyEngine(mEngine, *mInstanceState);
    mDspHost.Attach(nullptr);
    ReleaseInstanceSlot(mInstanceState);
    mInstanceState = nullptr;
  }

  void HostReset() override
  {
    WDL_MutexLock lock(this->GetMutex());
    if (mInstanceState && mEngineReady) EngineHostReset(mDspHost, mEngine, *mInstanceState);
  }

  // Audio thread. Without an engine (no slot, or memory exhausted at construction) outputs silence.
  void ProcessFrames(double** inputs, double** outputs, int nFrames) override
  {
    if (mInstanceState && mEngineReady)
    {
      ProcessEngineFrames(mDspHost, mEngine, *mInstanceState, inputs, outputs, nFrames);
      return;
    }
    if (!outputs) return;
    for (int c = 0; c < this->NOutChannels() && nFrames > 0; ++c)
      if (outputs[c]) std::memset(outputs[c], 0, sizeof(double) * nFrames);
  }

  void ParamChanged(int index) override
  {
    WDL_MutexLock lock(this->GetMutex());
    if (mInstanceState) NoteParamChanged(*mInstanceState, *this, index);
  }

  void EditorOpened() override {}
  void EditorClosed() override {}

  // Host thread, mutex held: processing configured afresh for the current rate, Resolution and
  // Input Buffer Size, from silence, with its latency reported (CLAP's activate). Waits for an
  // editor frame in progress, so it belongs on the editor's own thread. Nothing without an engine.
  void ReconfigureDsp()
  {
    if (!EngineReady()) return;
    StoreFlag(mInstanceState->resetRequested, 0);
    ResetDsp(mDspHost, mEngine, *mInstanceState, 0, this->GetParam(kParamInputBufferSize)->mValue,
             this->GetParam(kParamResolution)->mValue);
  }
  // Any thread: the audio state is cleared at the start of the next process call, as after a change
  // of Resolution (the audio thread never waits for the editor's frame for it).
  void RequestDspReset()
  {
    if (EngineReady()) StoreFlag(mInstanceState->resetRequested, 1);
  }

  int InstanceNumber() const { return mInstanceNumber; }
  bool EngineReady() const { return mInstanceState && mEngineReady; }
  InstanceState* State() const { return mInstanceState; }
  TarvexEngine& Engine() { return mEngine; }

private:
  // Sets afresh every field of the slot that this instance uses (a reused slot keeps old values).
  void InitSlot()
  {
    InstanceState& s = *mInstanceState;
    mDspHost.Attach(&s);
    s.paramsChanged = 0;
    s.editedInDisplay = 0;
    s.resetRequested = 0;
    s.graphics = this->GetGUI();
    s.colourScheme = 0;
    s.colourGain = 1.0;
    s.prefsFrameCount = 0;
    s.prefsDirty = 0;
    s.revealTimer = 1e-7;
    s.selectedBand = 0;
    s.view = nullptr;
    snprintf(s.labelLineText, sizeof(s.labelLineText), "Instance #%d", mInstanceNumber);
  }

  int mInstanceNumber = -1;
  InstanceState* mInstanceState = nullptr;
  PlugDspHost mDspHost;
  TarvexEngine mEngine{};
  bool mEngineReady = false;
};

// Creates an instance under the process-wide factory mutex. Returns null (nothing leaked) when all
// kMaxInstances instance slots are taken.
template <class Wrapper> Tarvex<Wrapper>* CreateTarvex(const typename Wrapper::InstanceInfo& info)
{
  WDL_MutexLock lock(&TarvexFactoryMutex());
  if (!InstanceTableHasFreeSlot()) return nullptr;
  return new Tarvex<Wrapper>(info);
}
