// Per-instance record shared by the plug-in object, the engine and the editor, held in the
// process-wide instance table. Zero-filled when the table is created; the constructor sets afresh
// every field it uses.
//
// Flags are set by their writer and cleared by their reader. The audio thread and the editor reach
// shared arrays only under the engine's locks; the fields below marked (main) are touched only by
// host calls under the plug-in mutex and by the editor thread.
#pragma once

#include <cstdint>
#include <type_traits>

class IPlugBase;
class IGraphics;

struct InstanceState
{
  uint8_t inUse;   // slot taken; first field of the record
  IPlugBase* plug; // owning plug-in object

  // Change flags (1 set, 0 clear).
  int32_t paramsChanged;   // a kernel rebuild is pending
  int32_t editedInDisplay; // the pending change came from editing in the display
  int32_t resetRequested; // Resolution or Input Buffer Size changed; reset at the next process call

  // Editor view state (main).
  IGraphics* graphics;     // the editor's graphics object, null while there is none
  int32_t colourScheme;    // Colour parameter truncated to an integer
  double colourGain;       // Colour Gain parameter
  int32_t prefsFrameCount; // editor frames since the last change of a global setting
  int32_t prefsDirty;      // a preferences write is pending
  double revealTimer;      // display reveal animation; restarted by band parameter changes
  char labelLineText[512]; // text of the label line at the top of the editor
};

static_assert(
    std::is_trivial<InstanceState>::value,
    "the instance table is allocated zero-filled: InstanceState must stay a plain record");
