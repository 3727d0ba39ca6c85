// Per-instance record shared by the plug-in object, the engine and the editor, held in the
// process-wide instance table: the engine's DspState and the fields of the plug-in and its editor.
// Zero-filled when the table is created; the constructor sets afresh every field it uses.
//
// The fields marked (main) are written by host calls under the plug-in mutex and used by the
// editor thread, which draws without the mutex: the scalar ones are read and written with
// SharedFlags.h's atomic accesses.
#pragma once

#include <cstdint>
#include <type_traits>

#include "dsp/DspState.h"

class IPlugBase;
class IGraphics;
struct EditorViewState;

struct InstanceState : DspState
{
  uint8_t inUse;   // slot taken
  IPlugBase* plug; // owning plug-in object

  // Editor view state (main).
  IGraphics* graphics;     // the editor's graphics object, null while there is none
  int32_t colourScheme;    // Colour parameter truncated to an integer
  double colourGain;       // Colour Gain parameter
  int32_t prefsFrameCount; // editor frames since the last change of a global setting
  int32_t prefsDirty;      // a preferences write is pending
  double revealTimer;      // display reveal animation; restarted by band parameter changes

  // Editor thread.
  int32_t selectedBand; // 0 .. 3, the band the panel's knobs show; PlugDspHost sets their values
  // The display's own record, kept by its display control; null without an editor.
  EditorViewState* view;
};

static_assert(
    std::is_trivial<InstanceState>::value,
    "the instance table is allocated zero-filled: InstanceState must stay a plain record");
