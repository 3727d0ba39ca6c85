// The editor part of the Tarvex construction: the graphics object with the display and the eleven
// panel knobs, the process-wide tables, fonts and pictures, and the view state of the slot.
//
// Threads: the plug-in's constructor, under the plug-in mutex; constructions are serialised by the
// factory mutex, which also guards the process-wide resources.
#pragma once

class IGraphics;
class IPlugBase;
struct InstanceState;

// Platform graphics object of the editor, 752 x 576 at 60 frames per second, that finds its
// pictures in the bundle with bundleID.
IGraphics* CreateEditorGraphics(IPlugBase* plug, int width, int height, int fps,
                                const char* bundleID);

// Builds the editor and hands it to the plug-in (AdoptGraphics). Leaves the label line text and
// revealTimer as the slot's set-up wrote them. The display draws its grid picture at its first
// frame.
void CreateEditor(IPlugBase& plug, InstanceState& state, const char* bundleID);
