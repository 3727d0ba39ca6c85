#include "tests/au/AuTestHost.h"

#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace authost
{
// ---- the bundles ----

std::string BundleFolder()
{
  const char* dir = getenv("TARVEX_BINARY_DIR");
  std::string root = dir && *dir ? dir : TARVEX_TEST_BINARY_DIR;
  return root + "/Tarvex.component";
}

std::string BundleBinary()
{
  return BundleFolder() + "/Contents/x86_64-linux/Tarvex.so";
}

namespace
{
void* Library()
{
  static void* library = nullptr;
  if (!library)
  {
    // Keep the tests independent of a preferences file on this machine.
    if (!getenv("TARVEX_AU_TEST_CONFIG"))
    {
      static char configDir[] = "/tmp/tarvex-au-test-XXXXXX";
      if (mkdtemp(configDir))
      {
        setenv("XDG_CONFIG_HOME", configDir, 1);
        setenv("TARVEX_AU_TEST_CONFIG", configDir, 1);
        atexit([] { rmdir(configDir); }); // no test opens an editor, so nothing is written
      }
    }
    testcf::RegisterBundle("com.vennmoor.audiounit.Tarvex", BundleFolder().c_str());
    library = dlopen(BundleBinary().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) ADD_FAILURE() << "cannot load " << BundleBinary() << ": " << dlerror();
  }
  return library;
}

ComponentRoutineProcPtr Symbol(const char* name)
{
  void* library = Library();
  if (!library) return nullptr;
  void* symbol = dlsym(library, name);
  ComponentRoutineProcPtr entry = nullptr;
  memcpy(&entry, &symbol, sizeof(entry));
  if (!entry) ADD_FAILURE() << name << " is not exported";
  return entry;
}
} // namespace

ComponentRoutineProcPtr BundleEntry()
{
  return Symbol("Tarvex_Entry");
}

ComponentRoutineProcPtr BundleViewEntry()
{
  return Symbol("Tarvex_ViewEntry");
}

void AuHostTest::SetUp()
{
  testcf::ClearFaults();
  testcf::SetMainBundleIdentifier("com.vennmoor.au-test-host");
  Events().clear();
  FailComponentInfo(0);
  mLiveAtStart = testcf::LiveObjects();
}

void AuHostTest::TearDown()
{
  FailComponentInfo(0);
  EXPECT_EQ(testcf::LiveObjects(), mLiveAtStart) << "CoreFoundation objects left unreleased";
  EXPECT_EQ(testcf::Faults(), 0) << "CoreFoundation misused";
  for (const std::string& fault : testcf::FaultLog()) ADD_FAILURE() << fault;
}
} // namespace authost
