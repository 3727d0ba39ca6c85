#include "graphics/LICE_Resources.h"

#include "core/WDL_Mutex.h"
#include "core/WDL_PtrList.h"
#include "core/WDL_String.h"
#include "graphics/LICE_Bitmap.h"
#include "graphics/LICE_Png.h"

#include <cstring>
#include <dlfcn.h>
#include <strings.h>

namespace
{
struct BundleEntry
{
  WDL_String identifier;
  WDL_String folder; // empty: the bundle of our own module
};

// Identifier-to-folder registry. Lives until process exit.
// Index of the entry registered under identifier in a registry's list, -1 for none.
template <class Entry>
int IndexOfIdentifier(const WDL_PtrList<Entry>& entries, const char* identifier)
{
  for (int i = 0; i < entries.GetSize(); ++i)
    if (!strcmp(entries.Get(i)->identifier.Get(), identifier)) return i;
  return -1;
}

class BundleRegistry
{
public:
  BundleRegistry()
  {
    SetEntry(kTarvexVstBundleID, "");
    SetEntry(kTarvexAuBundleID, "");
  }
  ~BundleRegistry() { mEntries.Empty(true); }

  void SetEntry(const char* identifier, const char* folder)
  {
    WDL_MutexLock lock(&mMutex);
    const int i = IndexOf(identifier);
    if (i >= 0)
    {
      mEntries.Get(i)->folder.Set(folder);
      return;
    }
    BundleEntry* entry = new BundleEntry;
    entry->identifier.Set(identifier);
    entry->folder.Set(folder);
    mEntries.Add(entry);
  }
  void Remove(const char* identifier)
  {
    WDL_MutexLock lock(&mMutex);
    mEntries.Delete(IndexOf(identifier), true);
  }
  // Copies the folder of identifier; false when the identifier is not registered.
  bool Lookup(const char* identifier, WDL_String* folder)
  {
    WDL_MutexLock lock(&mMutex);
    const BundleEntry* entry = mEntries.Get(IndexOf(identifier));
    if (!entry) return false;
    folder->Set(entry->folder.Get());
    return true;
  }

private:
  int IndexOf(const char* identifier) const { return IndexOfIdentifier(mEntries, identifier); }

  WDL_Mutex mMutex;
  WDL_PtrList<BundleEntry> mEntries;
};

BundleRegistry& Registry()
{
  static BundleRegistry registry;
  return registry;
}

struct CacheEntry
{
  int id;
  LICE_IBitmap* bitmap; // owned, may be null
};

// The resource cache shared by every plug-in instance in the process.
class BitmapCache
{
public:
  ~BitmapCache()
  {
    for (int i = mEntries.GetSize() - 1; i >= 0; --i) delete mEntries.Get(i)->bitmap;
    mEntries.Empty(true);
  }
  LICE_IBitmap* Lookup(int id, bool* found)
  {
    WDL_MutexLock lock(&mMutex);
    for (int i = 0; i < mEntries.GetSize(); ++i)
    {
      const CacheEntry* entry = mEntries.Get(i);
      if (entry->id == id)
      {
        if (found) *found = true;
        return entry->bitmap;
      }
    }
    if (found) *found = false;
    return nullptr;
  }
  void Store(LICE_IBitmap* bitmap, int id)
  {
    WDL_MutexLock lock(&mMutex);
    if (!mEntries.Add(new CacheEntry{id, bitmap})) delete bitmap;
  }

private:
  WDL_Mutex mMutex;
  WDL_PtrList<CacheEntry> mEntries;
};

// Identifier-to-embedded-pictures registry. Lives until process exit.
struct EmbeddedBundle
{
  WDL_String identifier;
  const EmbeddedPicture* pictures;
  int count;
};
class EmbeddedRegistry
{
public:
  ~EmbeddedRegistry() { mEntries.Empty(true); }
  void Set(const char* identifier, const EmbeddedPicture* pictures, int count)
  {
    WDL_MutexLock lock(&mMutex);
    int i = IndexOf(identifier);
    if (!pictures || count <= 0)
    {
      mEntries.Delete(i, true);
      return;
    }
    EmbeddedBundle* entry = mEntries.Get(i);
    if (!entry)
    {
      entry = new EmbeddedBundle;
      entry->identifier.Set(identifier);
      mEntries.Add(entry);
    }
    entry->pictures = pictures;
    entry->count = count;
  }
  // The picture called name (length bytes) of identifier's bundle; false when there is none.
  bool Find(const char* identifier, const char* name, int length, EmbeddedPicture* out)
  {
    WDL_MutexLock lock(&mMutex);
    const EmbeddedBundle* entry = mEntries.Get(IndexOf(identifier));
    if (!entry) return false;
    for (int i = 0; i < entry->count; ++i)
    {
      const EmbeddedPicture& p = entry->pictures[i];
      if (p.name && static_cast<int>(strlen(p.name)) == length && !strncmp(p.name, name, length))
      {
        *out = p;
        return true;
      }
    }
    return false;
  }
  bool Has(const char* identifier)
  {
    WDL_MutexLock lock(&mMutex);
    return IndexOf(identifier) >= 0;
  }

private:
  int IndexOf(const char* identifier) const { return IndexOfIdentifier(mEntries, identifier); }
  WDL_Mutex mMutex;
  WDL_PtrList<EmbeddedBundle> mEntries;
};

EmbeddedRegistry& Embedded()
{
  static EmbeddedRegistry registry;
  return registry;
}

BitmapCache& Cache()
{
  static BitmapCache cache;
  return cache;
}

// Length of the directory part of path (up to, not including, the last '/'); -1 when there is none.
int DirectoryLength(const char* path, int length)
{
  for (int i = length - 1; i >= 0; --i)
    if (path[i] == '/') return i;
  return -1;
}
} // namespace

void RegisterBundleFolder(const char* identifier, const char* folder)
{
  if (!identifier) return;
  if (folder && *folder)
    Registry().SetEntry(identifier, folder);
  else
    Registry().Remove(identifier);
}

void RegisterEmbeddedPictures(const char* identifier, const EmbeddedPicture* pictures, int count)
{
  if (identifier) Embedded().Set(identifier, pictures, count);
}

void RegisterModuleBundleID(const char* identifier)
{
  if (identifier) Registry().SetEntry(identifier, "");
}

bool BundleFolderFromModulePath(const char* modulePath, WDL_String* folder)
{
  if (!modulePath || !folder) return false;
  const int archEnd = DirectoryLength(modulePath, static_cast<int>(strlen(modulePath)));
  if (archEnd <= 0) return false;
  const int contentsEnd = DirectoryLength(modulePath, archEnd);
  if (contentsEnd < 0) return false;
  const int rootEnd = DirectoryLength(modulePath, contentsEnd);
  const char* contents = modulePath + rootEnd + 1;
  if (archEnd - contentsEnd < 2 || contentsEnd - (rootEnd + 1) != 8 ||
      strncmp(contents, "Contents", 8))
    return false;
  if (rootEnd <= 0) return false; // the bundle cannot be the file-system root itself
  folder->Set(modulePath, rootEnd);
  return true;
}

bool FindBundleFolder(const char* identifier, WDL_String* folder)
{
  if (!identifier || !*identifier || !folder) return false;
  WDL_String registered;
  if (!Registry().Lookup(identifier, &registered)) return false;
  if (registered.GetLength())
  {
    folder->Set(registered.Get());
    return true;
  }
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&FindBundleFolder), &info) || !info.dli_fname) return false;
  return BundleFolderFromModulePath(info.dli_fname, folder);
}

LICE_IBitmap* LoadBitmapFromBundle(const char* identifier, const char* name)
{
  if (!name) return nullptr;
  const int length = static_cast<int>(strlen(name));
  int dot = length - 1;
  while (dot >= 0 && name[dot] != '.') --dot;
  if (strcasecmp(name + dot + 1, "png") != 0) return nullptr;

  // Resource name: last path component without its extension (the whole name when it has no '.').
  const int end = dot >= 0 ? dot : length;
  int start = end;
  while (start > 0 && name[start - 1] != '/') --start;
  if (end <= start) return nullptr;

  if (identifier && Embedded().Has(identifier))
  {
    EmbeddedPicture picture;
    if (!Embedded().Find(identifier, name + start, end - start, &picture)) return nullptr;
    return LoadPngFromMemory(picture.data, picture.size);
  }
  WDL_String path;
  if (!FindBundleFolder(identifier, &path)) return nullptr;
  path.Append("/Contents/Resources/");
  path.Append(name + start, end - start);
  path.Append(".png");
  return LoadPng(path.Get());
}

LICE_IBitmap* LookupCachedBitmap(int id, bool* found)
{
  return Cache().Lookup(id, found);
}

void StoreCachedBitmap(LICE_IBitmap* bitmap, int id)
{
  Cache().Store(bitmap, id);
}
