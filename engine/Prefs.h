// The preferences file shared by every instance on the machine: the five global settings
// (Resolution, Input Buffer Size under the key "Delay", Limiter, Colour scheme, Colour gain).
//
// Location: on Linux "$XDG_CONFIG_HOME/Tarvex Preferences.dat", or "$HOME/.config/Tarvex
// Preferences.dat" when XDG_CONFIG_HOME is unset or empty; on macOS "/Library/Preferences/Tarvex
// Preferences.dat". A missing, unreadable or unwritable file is silently skipped. Instances share
// no lock for the file.
#pragma once

#include <string>

class IPlugBase;
struct InstanceState;

// Path of the preferences file; empty when no location can be derived (no HOME).
std::string PrefsFilePath();

// Reads the file into parameters 19 to 23 (clamped to their bounds, not rounded, no change
// notification), then sets the slot's colourScheme and colourGain from them. Host thread, under the
// plug-in mutex.
void ReadPrefs(IPlugBase& plug, InstanceState& state);

// Writes the five settings; creates the folder when it is missing. The file is replaced whole (a
// new file renamed over it), so readers never see it half-written. Takes no lock: the editor thread
// calls it with nothing held that processing needs. Returns false when nothing was written.
bool WritePrefs(const IPlugBase& plug);

// Editor thread, once per drawn frame and before the frame takes any lock: counts frames since the
// last change of a global setting (host threads restart the count) and writes the file 40 frames
// after it. Returns true when it wrote.
bool TickPrefsDebounce(InstanceState& state);
