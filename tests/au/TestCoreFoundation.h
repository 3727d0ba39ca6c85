// A small CoreFoundation for the Audio Unit test host: dictionaries, numbers, strings, data,
// arrays, bundles and URLs with reference counts, defined under Apple's names (au/apple/) so that
// the bundle imports them from the test process. Constant strings (CFSTR) and bundles live for the
// whole process; every other object is freed when its count drops to zero.
//
// Misuse that would crash or corrupt a real CoreFoundation (CFRelease of null, an object of the
// wrong type, a release too many, invalid UTF-8) is not fatal here: it is counted as a fault, so
// tests can require none. One thread at a time (a process-wide mutex guards the counters).
#pragma once

#include <string>
#include <vector>

#include "au/apple/CoreFoundation.h"

namespace testcf
{
// Objects created and not yet freed (constant strings and bundles excluded).
long LiveObjects();
// Misuses seen so far, and their descriptions.
long Faults();
std::vector<std::string> FaultLog();
void ClearFaults();

// The host application's main bundle identifier; null means no main bundle.
void SetMainBundleIdentifier(const char* identifier);
// Makes CFBundleGetBundleWithIdentifier(identifier) find a bundle at path.
void RegisterBundle(const char* identifier, const char* path);
std::string URLPath(CFURLRef url);

// Current reference count of an object (constant strings report a large number).
long RetainCount(CFTypeRef object);
std::string StringValue(CFTypeRef string); // "" for a non-string
CFIndex ArrayCount(CFArrayRef array);
const void* ArrayValue(CFArrayRef array, CFIndex index);
CFIndex DictionaryCount(CFDictionaryRef dictionary);
} // namespace testcf
