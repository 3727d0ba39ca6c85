// The platform-neutral halves of the Audio Unit's two editor factories: the Cocoa view factory
// class (its Objective-C shell is au/mac/TarvexAuView.mm) and the Carbon view component.
//
// Threads: the host's main thread; no lock. Both only find the plug-in object behind an Audio Unit
// and ask its graphics object for a view; without a plug-in or graphics they open nothing.
#pragma once

#include "au/AppleApi.h"

class IPlugAU;

// The plug-in object behind unit, when unit is a component with this subtype and manufacturer
// (our own Audio Unit); null otherwise.
IPlugAU* PlugForAudioUnit(AudioUnit unit, OSType subtype, OSType manufacturer);

// What the Cocoa factory's uiViewForAudioUnit:withSize: returns: the graphics object's Cocoa view
// (no parent view) for our unit, or null. *plug receives the plug-in object (null without one).
void* OpenCocoaViewForAudioUnit(AudioUnit unit, OSType subtype, OSType manufacturer,
                                IPlugAU** plug);

// The Carbon view component entry: Open, Close and CarbonViewCreate.
ComponentResult IPlugAUCarbonViewEntry(ComponentParameters* params, void* storage);
