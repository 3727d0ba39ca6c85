// The VST build's entry points: "VSTPluginMain" and "main" (the same function under the name older
// Linux hosts look for). Any host thread; constructions are serialised by a process-wide mutex.
#include "core/Export.h"
#include "plugin/Tarvex.h"
#include "vst/IPlugVST.h"

static WDL_Mutex& EntryMutex()
{
  static WDL_Mutex mutex; // created on first use, kept until the process ends
  return mutex;
}

// Returns the new instance's AEffect (owned by the instance, destroyed by effClose), or null when
// no instance could be made.
TARVEX_EXPORT AEffect* VSTPluginMain(audioMasterCallback hostCallback)
{
  WDL_MutexLock lock(&EntryMutex());
  Tarvex<IPlugVST>* plug = CreateTarvex<IPlugVST>(IPlugVST::InstanceInfo{hostCallback});
  if (!plug) return nullptr;
  plug->EnsureOnePreset();
  AEffect* effect = plug->GetAEffect();
  if (effect->numPrograms < plug->NPresets()) effect->numPrograms = plug->NPresets();
  if (effect->numPrograms < 1) effect->numPrograms = 1;
  return effect;
}

// "main" cannot be declared with this signature in C++; the assembler name gives the export.
TARVEX_EXPORT AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback) __asm__("main");
AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback)
{
  return VSTPluginMain(hostCallback);
}
