#include "au/AUClassInfo.h"

#include <cmath>
#include <cstring>

#include "core/StateChunk.h"

namespace
{
void SetNumber(CFMutableDictionaryRef dictionary, CFStringRef key, SInt32 value)
{
  CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
  if (!number) return;
  CFDictionarySetValue(dictionary, key, number);
  CFRelease(number);
}

bool GetNumber(CFDictionaryRef dictionary, CFStringRef key, SInt32* value)
{
  CFTypeRef item = CFDictionaryGetValue(dictionary, key);
  if (!item || CFGetTypeID(item) != CFNumberGetTypeID()) return false;
  return CFNumberGetValue(static_cast<CFNumberRef>(item), kCFNumberSInt32Type, value) != 0;
}
} // namespace

CFMutableDictionaryRef WriteAUClassInfo(const ComponentDescription& description, SInt32 version,
                                        const char* name, const StateChunk* state)
{
  CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
      kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  if (!dictionary) return nullptr;
  SetNumber(dictionary, CFSTR("version"), version);
  SetNumber(dictionary, CFSTR("type"), static_cast<SInt32>(description.componentType));
  SetNumber(dictionary, CFSTR("subtype"), static_cast<SInt32>(description.componentSubType));
  SetNumber(dictionary, CFSTR("manufacturer"),
            static_cast<SInt32>(description.componentManufacturer));
  CFStringRef nameString =
      CFStringCreateWithCString(kCFAllocatorDefault, name ? name : "", kCFStringEncodingUTF8);
  if (nameString)
  {
    CFDictionarySetValue(dictionary, CFSTR("name"), nameString);
    CFRelease(nameString);
  }
  if (state)
  {
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, state->GetBytes(), state->Size());
    if (data)
    {
      CFDictionarySetValue(dictionary, CFSTR("data"), data);
      CFRelease(data);
    }
  }
  return dictionary;
}

bool ReadAUClassInfo(CFPropertyListRef dictionary, AUClassInfoFields* fields)
{
  if (!dictionary || !fields || CFGetTypeID(dictionary) != CFDictionaryGetTypeID()) return false;
  CFDictionaryRef dict = static_cast<CFDictionaryRef>(dictionary);
  *fields = AUClassInfoFields();
  if (!GetNumber(dict, CFSTR("version"), &fields->version) ||
      !GetNumber(dict, CFSTR("type"), &fields->type) ||
      !GetNumber(dict, CFSTR("subtype"), &fields->subtype) ||
      !GetNumber(dict, CFSTR("manufacturer"), &fields->manufacturer))
    return false;
  CFTypeRef name = CFDictionaryGetValue(dict, CFSTR("name"));
  if (!name || CFGetTypeID(name) != CFStringGetTypeID()) return false;
  if (!CFStringGetCString(static_cast<CFStringRef>(name), fields->name, sizeof(fields->name),
                          kCFStringEncodingUTF8))
    return false; // longer than 63 bytes
  fields->name[sizeof(fields->name) - 1] = 0;
  CFTypeRef data = CFDictionaryGetValue(dict, CFSTR("data"));
  if (data && CFGetTypeID(data) == CFDataGetTypeID())
  {
    const CFIndex length = CFDataGetLength(static_cast<CFDataRef>(data));
    const UInt8* bytes = CFDataGetBytePtr(static_cast<CFDataRef>(data));
    if (length >= 0 && (bytes || length == 0))
    {
      fields->data = bytes ? bytes : reinterpret_cast<const UInt8*>("");
      fields->dataLength = length;
    }
  }
  return true;
}
