// The parameter table on its own: a plug-in object with Tarvex's identity and 24 parameters at
// their table defaults, and no engine, editor or preferences. Used where the table is needed
// without an instance (the Turtle writer, the control ports' starting values).
#pragma once

#include "core/IPlugNoHost.h"
#include "engine/TarvexParams.h"

class TarvexParamTable : public IPlugNoHost
{
public:
  TarvexParamTable()
      : IPlugNoHost(kTarvexParamCount, kTarvexChannelIO, kTarvexPresetCount, kTarvexEffectName,
                    kTarvexProductName, kTarvexMakerName, kTarvexVersion, kTarvexUniqueID,
                    kTarvexMakerID, kTarvexInitialLatency, 0, false, false)
  {
    InitTarvexParams(*this);
  }
};
