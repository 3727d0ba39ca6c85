// Helpers of the editor tests: a Tarvex instance on the recording test wrapper whose editor finds
// its pictures in a bundle folder of the build tree, with mouse input sent through the graphics
// object's dispatch as a view would send it, and frames drawn through its redraw pass.
#pragma once

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "editor/Display.h"
#include "editor/EditorViewState.h"
#include "graphics/IGraphics.h"
#include "graphics/LICE_Bitmap.h"
#include "graphics/LICE_Resources.h"
#include "plugin/Tarvex.h"
#include "tests/support/IPlugTestWrapper.h"

using TestTarvex = Tarvex<IPlugTestWrapper>;

class EditorTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    char tmpl[] = "/tmp/tarvex-editor-XXXXXX";
    mPrefsFolder = mkdtemp(tmpl);
    setenv("XDG_CONFIG_HOME", mPrefsFolder.c_str(), 1);
    // Before the first instance: a picture that fails to load stays missing for the process.
    RegisterBundleFolder(kTarvexVstBundleID, TARVEX_TEST_BUNDLE);
    Recreate();
  }
  // A fresh instance in place of the current one.
  void Recreate()
  {
    plug.reset();
    mSamples = 0;
    plug.reset(CreateTarvex<IPlugTestWrapper>(IPlugTestWrapper::InstanceInfo{}));
    ASSERT_TRUE(plug);
    plug->ConnectInputs(0, 2, true);
    plug->ConnectOutputs(0, 2, true);
    ASSERT_NE(Graphics(), nullptr);
  }
  void TearDown() override
  {
    plug.reset();
    unlink((mPrefsFolder + "/Tarvex Preferences.dat").c_str());
    rmdir(mPrefsFolder.c_str());
    unsetenv("XDG_CONFIG_HOME");
  }

  InstanceState& State() { return *plug->State(); }
  IGraphics* Graphics() { return plug->GetGUI(); }
  double Param(int index) { return plug->GetParam(index)->mValue; }
  void SetParam(int index, double value)
  {
    plug->GetParam(index)->mValue = value;
    plug->ParamChanged(index);
  }

  // Redraw passes as the view's timer runs them.
  void DrawFrames(int n)
  {
    for (int i = 0; i < n; ++i) Graphics()->Draw(IRECT(0, 0, kEditorWidth, kEditorHeight));
  }

  // Exactly one full block of audio (a sine of freq Hz at amplitude amp, or silence), so the engine
  // runs the pending rebuild as it would for a host.
  void ProcessBlock(double freq = 0.0, double amp = 0.0)
  {
    const int n = plug->Engine().mBlockSize;
    std::vector<double> in(n), outL(n), outR(n);
    for (int i = 0; i < n; ++i)
      in[i] = amp * std::sin(2.0 * M_PI * freq * (mSamples + i) / 44100.0);
    mSamples += n;
    double* ins[2] = {in.data(), in.data()};
    double* outs[2] = {outL.data(), outR.data()};
    plug->ProcessFrames(ins, outs, n);
  }

  // Mouse input through the graphics object.
  void Down(int x, int y) { Graphics()->OnMouseDown(x, y, IMouseState{}); }
  void Drag(int x, int y) { Graphics()->OnMouseDrag(x, y, IMouseState{}); }
  void Up(int x, int y) { Graphics()->OnMouseUp(x, y, IMouseState{}); }
  void DoubleClick(int x, int y) { Graphics()->OnMouseDoubleClick(x, y, IMouseState{}); }
  void Over(int x, int y) { Graphics()->OnMouseOver(x, y, IMouseState{}); }
  // Press, drag to (x2, y2), release.
  void DragFromTo(int x1, int y1, int x2, int y2)
  {
    Down(x1, y1);
    Drag(x2, y2);
    Up(x2, y2);
  }

  std::string Label() { return State().labelLineText; }
  const uint8_t* Pixel(int x, int y)
  {
    LICE_IBitmap* b = Graphics()->GetDrawBitmap();
    return b->PixelData() + (static_cast<size_t>(y) * b->RowSpan() + x) * 4;
  }

  std::unique_ptr<TestTarvex> plug;

private:
  std::string mPrefsFolder;
  long mSamples = 0;
};
