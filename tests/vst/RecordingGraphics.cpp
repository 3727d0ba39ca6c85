#include "tests/vst/RecordingGraphics.h"

#include "graphics/IGraphics.h"

namespace
{
class RecordingGraphics : public IGraphics
{
public:
  explicit RecordingGraphics(IPlugBase* plug) : IGraphics(plug, 752, 576, 60) {}
  bool PresentToScreen(const IRECT&) override { return false; }
  void PromptUserInput(IControl*, IParam*) override {}
  // A view opens when the host gave a parent.
  void* OpenCocoaView(void* parent) override
  {
    mOpened.push_back("cocoa");
    return parent;
  }
  void* OpenCarbonView(void* window, void* parentControl) override
  {
    mOpened.push_back(parentControl ? "carbon with control" : "carbon");
    return window;
  }
  void* OpenX11View(void* parentWindow) override
  {
    mOpened.push_back("x11");
    return parentWindow;
  }
  void CloseView() override { mOpened.push_back("close"); }
  LICE_IBitmap* LoadPlatformBitmap(int, const char*) override { return nullptr; }
  std::vector<std::string> mOpened;
};
} // namespace

IGraphics* MakeRecordingGraphics(IPlugBase* plug)
{
  return new RecordingGraphics(plug);
}

const std::vector<std::string>& ViewsOpened(IGraphics* graphics)
{
  return static_cast<RecordingGraphics*>(graphics)->mOpened;
}
