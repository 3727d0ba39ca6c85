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
