// The Carbon editor view: a user-pane control driven by Carbon events, for hosts that ask for a
// Carbon view. Exists only in 32-bit builds (Carbon's HIView API has no 64-bit form); elsewhere
// Create returns null. Main thread only.
#pragma once

class IControl;
class IGraphicsMac;
class IParam;

class IGraphicsCarbon
{
public:
  // window: the host's WindowRef; parentControl: a ControlRef to embed in, or null.
  static IGraphicsCarbon* Create(IGraphicsMac* graphics, void* window, void* parentControl);
  ~IGraphicsCarbon();

  void* View() const { return mView; }
  void* Context() const { return mContext; }
  int OffsetX() const { return mOffsetX; }
  int OffsetY() const { return mOffsetY; }
  void PromptUserInput(IControl* control, IParam* param);
  // Closes an open prompt, applying its text first when apply is set.
  void EndUserInput(bool apply);

  // The event and timer callbacks; public for the C entry points in the implementation.
  IGraphicsMac* mGraphics = nullptr;
  bool mIsComposited = false;
  int mOffsetX = 0, mOffsetY = 0;
  void* mWindow = nullptr;
  void* mView = nullptr;
  void* mTimer = nullptr;
  void* mControlHandler = nullptr;
  void* mWindowHandler = nullptr;
  void* mContext = nullptr;
  void* mTextEntryView = nullptr;
  void* mTextEntryHandler = nullptr;
  IControl* mEdControl = nullptr;
  IParam* mEdParam = nullptr;

private:
  IGraphicsCarbon() = default;
};
