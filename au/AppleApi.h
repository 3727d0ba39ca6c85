// Apple's interfaces for the Audio Unit wrapper: the real frameworks on macOS, our declarations of
// the same names elsewhere (au/apple/, used by the Linux test build).
#pragma once

#if defined(__APPLE__)
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>
#else
#include "au/apple/AudioUnit.h"
#include "au/apple/CoreFoundation.h"
#endif

// The Carbon view component's numbers under our own names: 64-bit SDKs no longer declare the
// Carbon view API, yet hosts still call its create selector on the view component.
constexpr SInt16 kTarvexCarbonViewCreateSelect = 0x0301;
constexpr OSType kTarvexCarbonViewComponentType = 0x61757677; // 'auvw'
