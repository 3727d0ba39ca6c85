// CoreFoundation as far as the Audio Unit wrapper uses it, for builds on systems without Apple's
// frameworks. Declarations only, under Apple's names, with Apple's values and 64-bit layouts: on
// Linux the host process defines these functions and data symbols and the bundle imports them
// when it is loaded. macOS builds include <CoreFoundation/CoreFoundation.h> instead
// (au/AppleApi.h).
//
// Imported: CFRetain, CFRelease, CFGetTypeID; CFDictionaryGetTypeID, CFNumberGetTypeID,
// CFStringGetTypeID, CFDataGetTypeID, CFArrayGetTypeID; CFDictionaryCreateMutable,
// CFDictionarySetValue, CFDictionaryGetValue; CFNumberCreate, CFNumberGetValue;
// CFStringCreateWithCString, CFStringGetCString, CFStringGetLength; CFDataCreate,
// CFDataGetBytePtr, CFDataGetLength; CFArrayCreate, CFArrayCreateMutable, CFArrayAppendValue;
// CFBundleGetMainBundle, CFBundleGetIdentifier, CFBundleGetBundleWithIdentifier,
// CFBundleCopyBundleURL; the data kCFAllocatorDefault, kCFTypeDictionaryKeyCallBacks,
// kCFTypeDictionaryValueCallBacks, kCFTypeArrayCallBacks; __CFStringMakeConstantString (CFSTR).
#pragma once

#if defined(__APPLE__)
#error "macOS builds use Apple's CoreFoundation framework"
#endif

#include <cstddef>
#include <cstdint>

extern "C"
{

  typedef unsigned char Boolean;
  typedef uint8_t UInt8;
  typedef uint16_t UInt16;
  typedef int16_t SInt16;
  typedef uint32_t UInt32;
  typedef int32_t SInt32;
  typedef uint64_t UInt64;
  typedef int64_t SInt64;
  typedef float Float32;
  typedef double Float64;

  typedef long CFIndex;
  typedef unsigned long CFTypeID;
  typedef unsigned long CFOptionFlags;
  typedef const void* CFTypeRef;
  typedef const void* CFPropertyListRef;
  typedef const struct __CFAllocator* CFAllocatorRef;
  typedef const struct __CFString* CFStringRef;
  typedef const struct __CFDictionary* CFDictionaryRef;
  typedef struct __CFDictionary* CFMutableDictionaryRef;
  typedef const struct __CFNumber* CFNumberRef;
  typedef const struct __CFData* CFDataRef;
  typedef const struct __CFArray* CFArrayRef;
  typedef struct __CFArray* CFMutableArrayRef;
  typedef struct __CFBundle* CFBundleRef;
  typedef const struct __CFURL* CFURLRef;

  typedef UInt32 CFStringEncoding;
  enum : CFStringEncoding
  {
    kCFStringEncodingUTF8 = 0x08000100,
  };

  typedef CFIndex CFNumberType;
  enum : CFIndex
  {
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat64Type = 6,
  };

  typedef const void* (*CFDictionaryRetainCallBack)(CFAllocatorRef allocator, const void* value);
  typedef void (*CFDictionaryReleaseCallBack)(CFAllocatorRef allocator, const void* value);
  typedef CFStringRef (*CFDictionaryCopyDescriptionCallBack)(const void* value);
  typedef Boolean (*CFDictionaryEqualCallBack)(const void* value1, const void* value2);
  typedef CFOptionFlags (*CFDictionaryHashCallBack)(const void* value);

  typedef struct
  {
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
    CFDictionaryHashCallBack hash;
  } CFDictionaryKeyCallBacks;

  typedef struct
  {
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
  } CFDictionaryValueCallBacks;

  typedef struct
  {
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
  } CFArrayCallBacks;

  extern const CFAllocatorRef kCFAllocatorDefault;
  extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
  extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;
  extern const CFArrayCallBacks kCFTypeArrayCallBacks;

  CFTypeRef CFRetain(CFTypeRef cf);
  void CFRelease(CFTypeRef cf);
  CFTypeID CFGetTypeID(CFTypeRef cf);

  CFTypeID CFDictionaryGetTypeID(void);
  CFTypeID CFNumberGetTypeID(void);
  CFTypeID CFStringGetTypeID(void);
  CFTypeID CFDataGetTypeID(void);
  CFTypeID CFArrayGetTypeID(void);

  CFMutableDictionaryRef
  CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                            const CFDictionaryKeyCallBacks* keyCallBacks,
                            const CFDictionaryValueCallBacks* valueCallBacks);
  void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value);
  const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key);

  CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType theType, const void* valuePtr);
  Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);

  CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr,
                                        CFStringEncoding encoding);
  Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                             CFStringEncoding encoding);
  CFIndex CFStringGetLength(CFStringRef theString);

  CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length);
  const UInt8* CFDataGetBytePtr(CFDataRef theData);
  CFIndex CFDataGetLength(CFDataRef theData);

  CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                           const CFArrayCallBacks* callBacks);
  CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                         const CFArrayCallBacks* callBacks);
  void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value);

  CFBundleRef CFBundleGetMainBundle(void);
  CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
  CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);
  CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);

  // CoreFoundation's own spelling of CFSTR where the compiler has no constant CF strings: a string
  // that lives as long as the process (never released by its users).
  CFStringRef __CFStringMakeConstantString(const char* cStr);

} // extern "C"

#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")

static_assert(sizeof(CFIndex) == 8, "64-bit layouts only");
static_assert(sizeof(CFDictionaryKeyCallBacks) == 48, "CFDictionaryKeyCallBacks");
static_assert(sizeof(CFDictionaryValueCallBacks) == 40, "CFDictionaryValueCallBacks");
static_assert(sizeof(CFArrayCallBacks) == 40, "CFArrayCallBacks");
