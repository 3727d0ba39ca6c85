// Graphics for the wrapper tests whose views only record how they were asked to open. Kept in its
// own translation unit: the graphics headers and the plug-in class headers are not included
// together.
#pragma once

#include <string>
#include <vector>

class IGraphics;
class IPlugBase;

// 752 x 576 graphics for plug; the caller hands it to AdoptGraphics, which takes ownership.
IGraphics* MakeRecordingGraphics(IPlugBase* plug);
// "cocoa", "carbon", "x11" or "close", in call order.
const std::vector<std::string>& ViewsOpened(IGraphics* graphics);
