// PNG resources inside plug-in bundles, and the process-wide cache of loaded resource bitmaps.
//
// Bundle layout on Linux: <bundle>/Contents/<arch>/<module>.so with pictures in
// <bundle>/Contents/Resources/. A bundle is known by its identifier: either registered with
// RegisterBundleFolder, or named as the bundle of our own module (RegisterModuleBundleID; the two
// Tarvex identifiers are preset), whose folder is found from the loaded module's own path.
//
// Threads: every function here may be called from any thread; the registry and the cache each hold
// their own process-wide mutex for the duration of one list operation.
#pragma once

class LICE_IBitmap;
class WDL_String;

constexpr const char* kTarvexVstBundleID = "com.vennmoor.vst.Tarvex";
constexpr const char* kTarvexAuBundleID = "com.vennmoor.audiounit.Tarvex";

// Resource bitmap handed out by the graphics object. Does not own the bitmap (the cache does). A
// resource that could not be loaded has a null mBitmap and zero size; users of such a ref draw
// nothing.
struct IBitmapRef
{
  LICE_IBitmap* mBitmap = nullptr;
  int mW = 0;
  int mH = 0;
  int mFrames = 1; // equal frames stacked vertically in the image
};

// Makes identifier name the bundle rooted at folder (the directory holding Contents/). A later call
// for the same identifier replaces the folder; a null or empty folder removes the registration.
void RegisterBundleFolder(const char* identifier, const char* folder);
// Makes identifier name the bundle that contains our own loaded module.
void RegisterModuleBundleID(const char* identifier);

// A picture built into a binary: its resource name (the file name without ".png") and its bytes.
struct EmbeddedPicture
{
  const char* name;
  const unsigned char* data;
  unsigned long size;
};
// Makes identifier name a bundle whose pictures are the count entries of pictures, which must stay
// valid (static data); LoadBitmapFromBundle then decodes from memory and needs no folder. A null
// table removes the registration.
void RegisterEmbeddedPictures(const char* identifier, const EmbeddedPicture* pictures, int count);

// Bundle root for a module at modulePath shaped <bundle>/Contents/<arch>/<file>; false otherwise.
bool BundleFolderFromModulePath(const char* modulePath, WDL_String* folder);
// Bundle root for identifier (registered folder first, then our own module); false when unknown.
bool FindBundleFolder(const char* identifier, WDL_String* folder);

// Decodes the picture for name from the bundle with identifier: "img/font/font10.png" is the
// resource font10 of type png, i.e. <bundle>/Contents/Resources/font10.png, or the embedded picture
// font10 of a bundle registered with RegisterEmbeddedPictures. Null for a name not
// ending in png, an unknown bundle, a missing file or a decode failure. The caller owns the result
// (a LICE_MemBitmap).
LICE_IBitmap* LoadBitmapFromBundle(const char* identifier, const char* name);

// Cache of resource bitmaps by id; the cache owns what it stores and frees it at process exit.
// A lookup returns the first entry for id (it may hold null: a resource that failed to load), and
// sets *found when there is an entry at all.
LICE_IBitmap* LookupCachedBitmap(int id, bool* found = nullptr);
void StoreCachedBitmap(LICE_IBitmap* bitmap, int id);
