// Test-only doubles: a plug-in that records its host-facing calls, a graphics object that records
// presentation, prompts and resource loads, and a control that records what reaches it.
#pragma once

#include "core/IPlugBase.h"
#include "graphics/IControl.h"
#include "graphics/IGraphicsLinux.h"

#include <string>
#include <vector>

using Log = std::vector<std::string>;

// nParams parameters, each continuous 0..1 with step 0.001 unless a test sets them up otherwise.
class TestPlug : public IPlugBase
{
public:
  explicit TestPlug(int nParams = 4)
      : IPlugBase(nParams, "1-1 2-2", 0, "Test", "Test", "Test", 0x10000, 0x54657374, 0x54657374, 0,
                  0, false, false)
  {
    for (int i = 0; i < nParams; ++i) GetParam(i)->SetupContinuous("p", 0.0, 0.0, 1.0, 0.001);
  }
  void BeginInformHostOfParamChange(int index) override
  {
    log.push_back("begin " + std::to_string(index));
  }
  void InformHostOfParamChange(int index, double normalised) override
  {
    log.push_back("inform " + std::to_string(index));
    informed.push_back(normalised);
  }
  void EndInformHostOfParamChange(int index) override
  {
    log.push_back("end " + std::to_string(index));
  }
  void ParamChanged(int index) override { log.push_back("changed " + std::to_string(index)); }
  void RequestHostRefresh() override {}
  int HostSamplePosition() override { return 0; }
  double HostTempo() override { return 120.0; }
  void HostTimeSignature(int* n, int* d) override { *n = *d = 4; }
  void ResizeHostView(int, int) override {}
  void HostSetup() override {}
  bool EmitMidi(MidiMessage*) override { return false; }
  bool EmitMidiList(WDL_TypedBuf<MidiMessage>*) override { return false; }

  // Host gesture calls only (begin/end), in order.
  Log Gestures() const
  {
    Log out;
    for (const auto& entry : log)
      if (entry.rfind("begin", 0) == 0 || entry.rfind("end", 0) == 0) out.push_back(entry);
    return out;
  }

  Log log;
  std::vector<double> informed;
};

class RecordingGraphics : public IGraphicsLinux
{
public:
  RecordingGraphics(IPlugBase* plug, int width = 200, int height = 100, int fps = 60)
      : IGraphicsLinux(plug, width, height, fps)
  {
  }
  bool PresentToScreen(const IRECT& rect) override
  {
    presented.push_back(rect);
    return true;
  }
  void PromptUserInput(IControl* control, IParam* param) override
  {
    promptControl = control;
    promptParam = param;
  }
  LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) override
  {
    ++platformLoads;
    return IGraphicsLinux::LoadPlatformBitmap(id, name);
  }

  std::vector<IRECT> presented;
  IControl* promptControl = nullptr;
  IParam* promptParam = nullptr;
  int platformLoads = 0;
};

// Knob that logs every event as "<name> <event>" into a shared log.
class ProbeControl : public IKnobControl
{
public:
  ProbeControl(Log* log, const char* name, IPlugBase* plug, const IRECT& rect, int paramIdx = -1)
      : IKnobControl(plug, rect, paramIdx), mLog(log), mName(name)
  {
  }
  ~ProbeControl() override { Note("deleted"); }
  void OnMouseDown(int x, int y, const IMouseState& mods) override
  {
    Note("down");
    IKnobControl::OnMouseDown(x, y, mods);
  }
  void OnMouseUp(int, int, const IMouseState&) override { Note("up"); }
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseState& mods) override
  {
    Note("drag " + std::to_string(dX) + " " + std::to_string(dY));
    IKnobControl::OnMouseDrag(x, y, dX, dY, mods);
  }
  void OnMouseDoubleClick(int x, int y, const IMouseState& mods) override
  {
    Note("double");
    IKnobControl::OnMouseDoubleClick(x, y, mods);
  }
  void OnMouseWheel(int, int, const IMouseState&, int delta) override
  {
    Note("wheel " + std::to_string(delta));
  }
  void OnMouseOver(int, int, const IMouseState&) override { Note("over"); }
  void OnMouseOut() override { Note("out"); }
  void Draw(IGraphics*) override { Note("draw"); }

private:
  void Note(const std::string& event) { mLog->push_back(mName + " " + event); }
  Log* mLog;
  std::string mName;
};
