#include "tests/au/TestCoreFoundation.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace
{
enum TypeIDs : CFTypeID
{
  kDictionaryTypeID = 18,
  kNumberTypeID = 22,
  kStringTypeID = 7,
  kDataTypeID = 20,
  kArrayTypeID = 19,
  kBundleTypeID = 31,
  kURLTypeID = 29,
};

constexpr uint32_t kMagic = 0x43466f62; // marks live objects of ours
constexpr long kImmortal = 1L << 40;

struct Object
{
  explicit Object(CFTypeID t) : type(t) {}
  virtual ~Object() { magic = 0; }
  uint32_t magic = kMagic;
  CFTypeID type;
  long refs = 1;
};

struct Number : Object
{
  Number() : Object(kNumberTypeID) {}
  bool isFloat = false;
  int64_t integer = 0;
  double real = 0.0;
};
struct String : Object
{
  String() : Object(kStringTypeID) {}
  std::string text;
};
struct Data : Object
{
  Data() : Object(kDataTypeID) {}
  std::vector<UInt8> bytes;
};
struct Dictionary : Object
{
  Dictionary() : Object(kDictionaryTypeID) {}
  CFDictionaryKeyCallBacks keys = {};
  CFDictionaryValueCallBacks values = {};
  std::vector<std::pair<const void*, const void*>> items;
};
struct Array : Object
{
  Array() : Object(kArrayTypeID) {}
  CFArrayCallBacks callbacks = {};
  std::vector<const void*> items;
};
struct URL : Object
{
  URL() : Object(kURLTypeID) {}
  std::string path;
};
struct Bundle : Object
{
  Bundle() : Object(kBundleTypeID) { refs = kImmortal; }
  std::string identifier; // empty: no identifier
  std::string path;
  CFStringRef identifierString = nullptr;
};

struct World
{
  std::recursive_mutex mutex;
  long live = 0;
  std::vector<std::string> faults;
  std::map<std::string, String*> constants;
  std::map<std::string, Bundle*> bundles;
  std::map<std::string, Bundle*> mainBundles;
  Bundle* mainBundle = nullptr;
};

World& TheWorld()
{
  static World* world = new World; // lives until the process ends, as CoreFoundation does
  return *world;
}

void Fault(const char* what)
{
  World& w = TheWorld();
  std::lock_guard<std::recursive_mutex> lock(w.mutex);
  w.faults.push_back(what);
  fprintf(stderr, "test CoreFoundation: %s\n", what);
}

// The object behind ref when it is one of ours of the given type (0: any type); else a fault.
template <class T = Object> T* As(const void* ref, CFTypeID type, const char* function)
{
  if (!ref)
  {
    Fault((std::string(function) + " of NULL").c_str());
    return nullptr;
  }
  Object* object = static_cast<Object*>(const_cast<void*>(ref));
  if (object->magic != kMagic || object->refs <= 0)
  {
    Fault((std::string(function) + " of a freed or foreign object").c_str());
    return nullptr;
  }
  if (type && object->type != type)
  {
    Fault((std::string(function) + " of an object of another type").c_str());
    return nullptr;
  }
  return static_cast<T*>(object);
}

template <class T> T* Created(T* object)
{
  World& w = TheWorld();
  std::lock_guard<std::recursive_mutex> lock(w.mutex);
  ++w.live;
  return object;
}

bool ValidUtf8(const char* s)
{
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  while (*p)
  {
    int extra = *p < 0x80 ? 0 : (*p >> 5) == 6 ? 1 : (*p >> 4) == 14 ? 2 : (*p >> 3) == 30 ? 3 : -1;
    if (extra < 0) return false;
    ++p;
    for (int i = 0; i < extra; ++i, ++p)
      if ((*p & 0xC0) != 0x80) return false;
  }
  return true;
}

bool Equal(const void* a, const void* b)
{
  if (a == b) return true;
  const Object* x = As(a, 0, "CFEqual");
  const Object* y = As(b, 0, "CFEqual");
  if (!x || !y || x->type != y->type) return false;
  if (x->type == kStringTypeID)
    return static_cast<const String*>(x)->text == static_cast<const String*>(y)->text;
  if (x->type == kNumberTypeID)
  {
    const Number* m = static_cast<const Number*>(x);
    const Number* n = static_cast<const Number*>(y);
    return m->isFloat == n->isFloat && m->integer == n->integer && m->real == n->real;
  }
  if (x->type == kDataTypeID)
    return static_cast<const Data*>(x)->bytes == static_cast<const Data*>(y)->bytes;
  return false;
}

const void* RetainCallBack(CFAllocatorRef, const void* value)
{
  return CFRetain(value);
}
void ReleaseCallBack(CFAllocatorRef, const void* value)
{
  CFRelease(value);
}
Boolean EqualCallBack(const void* a, const void* b)
{
  return Equal(a, b);
}
CFOptionFlags HashCallBack(const void*)
{
  return 0;
}
} // namespace

extern "C"
{

  const CFAllocatorRef kCFAllocatorDefault = nullptr;
  const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {
      0, RetainCallBack, ReleaseCallBack, nullptr, EqualCallBack, HashCallBack};
  const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {
      0, RetainCallBack, ReleaseCallBack, nullptr, EqualCallBack};
  const CFArrayCallBacks kCFTypeArrayCallBacks = {0, RetainCallBack, ReleaseCallBack, nullptr,
                                                  EqualCallBack};

  CFTypeRef CFRetain(CFTypeRef cf)
  {
    Object* object = As(cf, 0, "CFRetain");
    if (!object) return cf;
    std::lock_guard<std::recursive_mutex> lock(TheWorld().mutex);
    if (object->refs < kImmortal) ++object->refs;
    return cf;
  }

  void CFRelease(CFTypeRef cf)
  {
    Object* object = As(cf, 0, "CFRelease");
    if (!object) return;
    World& w = TheWorld();
    std::unique_lock<std::recursive_mutex> lock(w.mutex);
    if (object->refs >= kImmortal) return;
    if (--object->refs > 0) return;
    --w.live;
    lock.unlock();
    if (object->type == kDictionaryTypeID)
    {
      Dictionary* d = static_cast<Dictionary*>(object);
      for (auto& item : d->items)
      {
        if (d->keys.release) d->keys.release(nullptr, item.first);
        if (d->values.release) d->values.release(nullptr, item.second);
      }
    }
    else if (object->type == kArrayTypeID)
    {
      Array* a = static_cast<Array*>(object);
      for (const void* item : a->items)
        if (a->callbacks.release) a->callbacks.release(nullptr, item);
    }
    delete object;
  }

  CFTypeID CFGetTypeID(CFTypeRef cf)
  {
    const Object* object = As(cf, 0, "CFGetTypeID");
    return object ? object->type : 0;
  }

  CFTypeID CFDictionaryGetTypeID(void)
  {
    return kDictionaryTypeID;
  }
  CFTypeID CFNumberGetTypeID(void)
  {
    return kNumberTypeID;
  }
  CFTypeID CFStringGetTypeID(void)
  {
    return kStringTypeID;
  }
  CFTypeID CFDataGetTypeID(void)
  {
    return kDataTypeID;
  }
  CFTypeID CFArrayGetTypeID(void)
  {
    return kArrayTypeID;
  }

  CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex capacity,
                                                   const CFDictionaryKeyCallBacks* keyCallBacks,
                                                   const CFDictionaryValueCallBacks* valueCallBacks)
  {
    if (capacity < 0)
    {
      Fault("CFDictionaryCreateMutable with a negative capacity");
      return nullptr;
    }
    Dictionary* d = Created(new Dictionary);
    if (keyCallBacks) d->keys = *keyCallBacks;
    if (valueCallBacks) d->values = *valueCallBacks;
    return reinterpret_cast<CFMutableDictionaryRef>(static_cast<Object*>(d));
  }

  void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
  {
    Dictionary* d = As<Dictionary>(theDict, kDictionaryTypeID, "CFDictionarySetValue");
    if (!d) return;
    if (d->values.retain) d->values.retain(nullptr, value);
    for (auto& item : d->items)
    {
      const bool same = d->keys.equal ? d->keys.equal(item.first, key) : item.first == key;
      if (same)
      {
        if (d->values.release) d->values.release(nullptr, item.second);
        item.second = value;
        return;
      }
    }
    if (d->keys.retain) d->keys.retain(nullptr, key);
    d->items.emplace_back(key, value);
  }

  const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key)
  {
    const Dictionary* d = As<Dictionary>(theDict, kDictionaryTypeID, "CFDictionaryGetValue");
    if (!d) return nullptr;
    for (const auto& item : d->items)
      if (d->keys.equal ? d->keys.equal(item.first, key) : item.first == key) return item.second;
    return nullptr;
  }

  CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void* valuePtr)
  {
    if (!valuePtr)
    {
      Fault("CFNumberCreate of NULL");
      return nullptr;
    }
    Number n;
    switch (theType)
    {
    case kCFNumberSInt32Type:
    {
      int32_t v;
      memcpy(&v, valuePtr, 4);
      n.integer = v;
      break;
    }
    case kCFNumberSInt64Type:
      memcpy(&n.integer, valuePtr, 8);
      break;
    case kCFNumberFloat64Type:
      memcpy(&n.real, valuePtr, 8);
      n.isFloat = true;
      break;
    default:
      Fault("CFNumberCreate of an unknown number type");
      return nullptr;
    }
    Number* number = Created(new Number(n));
    return reinterpret_cast<CFNumberRef>(static_cast<Object*>(number));
  }

  Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr)
  {
    const Number* n = As<Number>(number, kNumberTypeID, "CFNumberGetValue");
    if (!n || !valuePtr) return false;
    switch (theType)
    {
    case kCFNumberSInt32Type:
    {
      const double real = n->isFloat ? n->real : static_cast<double>(n->integer);
      const int32_t v =
          real >= -2147483648.0 && real <= 2147483647.0 ? static_cast<int32_t>(real) : 0;
      memcpy(valuePtr, &v, 4);
      return n->isFloat ? real == v : n->integer == v; // lossy conversions answer false
    }
    case kCFNumberSInt64Type:
    {
      const int64_t v = n->isFloat ? static_cast<int64_t>(n->real) : n->integer;
      memcpy(valuePtr, &v, 8);
      return !n->isFloat;
    }
    case kCFNumberFloat64Type:
    {
      const double v = n->isFloat ? n->real : static_cast<double>(n->integer);
      memcpy(valuePtr, &v, 8);
      return true;
    }
    default:
      Fault("CFNumberGetValue of an unknown number type");
      return false;
    }
  }

  CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding)
  {
    if (!cStr)
    {
      Fault("CFStringCreateWithCString of NULL");
      return nullptr;
    }
    if (encoding != kCFStringEncodingUTF8)
    {
      Fault("CFStringCreateWithCString with an encoding other than UTF-8");
      return nullptr;
    }
    if (!ValidUtf8(cStr)) return nullptr; // as CoreFoundation does for undecodable bytes
    String* s = Created(new String);
    s->text = cStr;
    return reinterpret_cast<CFStringRef>(static_cast<Object*>(s));
  }

  Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                             CFStringEncoding encoding)
  {
    const String* s = As<String>(theString, kStringTypeID, "CFStringGetCString");
    if (!s || !buffer || bufferSize <= 0 || encoding != kCFStringEncodingUTF8) return false;
    if (static_cast<CFIndex>(s->text.size()) + 1 > bufferSize) return false;
    memcpy(buffer, s->text.c_str(), s->text.size() + 1);
    return true;
  }

  CFIndex CFStringGetLength(CFStringRef theString)
  {
    const String* s = As<String>(theString, kStringTypeID, "CFStringGetLength");
    if (!s) return 0;
    CFIndex units = 0; // UTF-16 code units
    for (unsigned char c : s->text)
    {
      if ((c & 0xC0) != 0x80) ++units;
      if ((c >> 3) == 30) ++units; // a 4-byte sequence is a surrogate pair
    }
    return units;
  }

  CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length)
  {
    if (length < 0 || (!bytes && length > 0))
    {
      Fault("CFDataCreate with a negative length or NULL bytes");
      return nullptr;
    }
    Data* d = Created(new Data);
    if (length > 0) d->bytes.assign(bytes, bytes + length);
    return reinterpret_cast<CFDataRef>(static_cast<Object*>(d));
  }

  const UInt8* CFDataGetBytePtr(CFDataRef theData)
  {
    const Data* d = As<Data>(theData, kDataTypeID, "CFDataGetBytePtr");
    return d && !d->bytes.empty() ? d->bytes.data() : nullptr;
  }

  CFIndex CFDataGetLength(CFDataRef theData)
  {
    const Data* d = As<Data>(theData, kDataTypeID, "CFDataGetLength");
    return d ? static_cast<CFIndex>(d->bytes.size()) : 0;
  }

  CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex numValues,
                           const CFArrayCallBacks* callBacks)
  {
    if (numValues < 0 || (!values && numValues > 0))
    {
      Fault("CFArrayCreate with a negative count or NULL values");
      return nullptr;
    }
    Array* a = Created(new Array);
    if (callBacks) a->callbacks = *callBacks;
    for (CFIndex i = 0; i < numValues; ++i)
    {
      if (a->callbacks.retain) a->callbacks.retain(nullptr, values[i]);
      a->items.push_back(values[i]);
    }
    return reinterpret_cast<CFArrayRef>(static_cast<Object*>(a));
  }

  CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex capacity,
                                         const CFArrayCallBacks* callBacks)
  {
    if (capacity < 0)
    {
      Fault("CFArrayCreateMutable with a negative capacity");
      return nullptr;
    }
    Array* a = Created(new Array);
    if (callBacks) a->callbacks = *callBacks;
    return reinterpret_cast<CFMutableArrayRef>(static_cast<Object*>(a));
  }

  void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value)
  {
    Array* a = As<Array>(theArray, kArrayTypeID, "CFArrayAppendValue");
    if (!a) return;
    if (a->callbacks.retain) a->callbacks.retain(nullptr, value);
    a->items.push_back(value);
  }

  CFBundleRef CFBundleGetMainBundle(void)
  {
    World& w = TheWorld();
    std::lock_guard<std::recursive_mutex> lock(w.mutex);
    return reinterpret_cast<CFBundleRef>(static_cast<Object*>(w.mainBundle));
  }

  CFStringRef CFBundleGetIdentifier(CFBundleRef bundle)
  {
    const Bundle* b = As<Bundle>(bundle, kBundleTypeID, "CFBundleGetIdentifier");
    return b ? b->identifierString : nullptr;
  }

  CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID)
  {
    const String* s = As<String>(bundleID, kStringTypeID, "CFBundleGetBundleWithIdentifier");
    if (!s) return nullptr;
    World& w = TheWorld();
    std::lock_guard<std::recursive_mutex> lock(w.mutex);
    auto it = w.bundles.find(s->text);
    return it == w.bundles.end() ? nullptr
                                 : reinterpret_cast<CFBundleRef>(static_cast<Object*>(it->second));
  }

  CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle)
  {
    const Bundle* b = As<Bundle>(bundle, kBundleTypeID, "CFBundleCopyBundleURL");
    if (!b) return nullptr;
    URL* url = Created(new URL);
    url->path = b->path;
    return reinterpret_cast<CFURLRef>(static_cast<Object*>(url));
  }

  CFStringRef __CFStringMakeConstantString(const char* cStr)
  {
    if (!cStr)
    {
      Fault("CFSTR of NULL");
      return nullptr;
    }
    World& w = TheWorld();
    std::lock_guard<std::recursive_mutex> lock(w.mutex);
    String*& s = w.constants[cStr];
    if (!s)
    {
      s = new String;
      s->text = cStr;
      s->refs = kImmortal;
    }
    return reinterpret_cast<CFStringRef>(static_cast<Object*>(s));
  }

} // extern "C"

namespace testcf
{
long LiveObjects()
{
  World& w = TheWorld();
  std::lock_guard<std::recursive_mutex> lock(w.mutex);
  return w.live;
}

long Faults()
{
  World& w = TheWorld();
  std::lock_guard<std::recursive_mutex> lock(w.mutex);
  return static_cast<long>(w.faults.size());
}

std::vector<std::string> FaultLog()
{
  World& w = TheWorld();
  std::lock_guard<std::recursive_mutex> lock(w.mutex);
  return w.faults;
}

void ClearFaults()
{
  World& w = TheWorld();
  std::lock_guard<std::recursive_mutex> lock(w.mutex);
  w.faults.clear();
}

void SetMainBundleIdentifier(const char* identifier)
{
  World& w = TheWorld();
  std::lock_guard<std::recursive_mutex> lock(w.mutex);
  if (!identifier)
  {
    w.mainBundle = nullptr;
    return;
  }
  Bundle*& b = w.mainBundles[identifier]; // kept: bundles live as long as the process
  if (!b)
  {
    b = new Bundle;
    b->identifier = identifier;
    b->identifierString = __CFStringMakeConstantString(identifier);
  }
  w.mainBundle = b;
}

void RegisterBundle(const char* identifier, const char* path)
{
  World& w = TheWorld();
  std::lock_guard<std::recursive_mutex> lock(w.mutex);
  Bundle*& b = w.bundles[identifier];
  if (!b)
  {
    b = new Bundle;
    b->identifier = identifier;
    b->identifierString = __CFStringMakeConstantString(identifier);
  }
  b->path = path;
}

std::string URLPath(CFURLRef url)
{
  const URL* u = As<URL>(url, kURLTypeID, "URLPath");
  return u ? u->path : std::string();
}

long RetainCount(CFTypeRef object)
{
  const Object* o = As(object, 0, "RetainCount");
  return o ? o->refs : 0;
}

std::string StringValue(CFTypeRef string)
{
  if (!string || CFGetTypeID(string) != kStringTypeID) return std::string();
  return static_cast<const String*>(static_cast<const Object*>(string))->text;
}

CFIndex ArrayCount(CFArrayRef array)
{
  const Array* a = As<Array>(array, kArrayTypeID, "ArrayCount");
  return a ? static_cast<CFIndex>(a->items.size()) : 0;
}

const void* ArrayValue(CFArrayRef array, CFIndex index)
{
  const Array* a = As<Array>(array, kArrayTypeID, "ArrayValue");
  if (!a || index < 0 || index >= static_cast<CFIndex>(a->items.size())) return nullptr;
  return a->items[static_cast<size_t>(index)];
}

CFIndex DictionaryCount(CFDictionaryRef dictionary)
{
  const Dictionary* d = As<Dictionary>(dictionary, kDictionaryTypeID, "DictionaryCount");
  return d ? static_cast<CFIndex>(d->items.size()) : 0;
}
} // namespace testcf
