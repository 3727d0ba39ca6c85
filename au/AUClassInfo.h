// The class-info dictionary: the state an Audio Unit host saves with a song. Keys "version",
// "type", "subtype", "manufacturer" (32-bit integer numbers), "name" (a UTF-8 string) and "data"
// (the saved state). Pure functions over CoreFoundation values, so that the reader can be driven
// from arbitrary bytes; IPlugAU::GetClassInfo and SetClassInfo use them.
#pragma once

#include "au/AppleApi.h"

class StateChunk;

struct AUClassInfoFields
{
  SInt32 version = 0;
  SInt32 type = 0;
  SInt32 subtype = 0;
  SInt32 manufacturer = 0;
  char name[64] = {};          // at most 63 bytes of UTF-8
  const UInt8* data = nullptr; // inside the dictionary's "data" value; null when there is none
  CFIndex dataLength = 0;
};

// A new dictionary (the caller releases it). state may be null: then there is no "data" key.
CFMutableDictionaryRef WriteAUClassInfo(const ComponentDescription& description, SInt32 version,
                                        const char* name, const StateChunk* state);

// Reads the keys of a class-info dictionary. False when dictionary is not a dictionary, when one
// of the four numbers or the name is missing or of another type, or when the name is longer than
// 63 bytes. A missing or non-data "data" leaves fields->data null (the caller decides).
bool ReadAUClassInfo(CFPropertyListRef dictionary, AUClassInfoFields* fields);
