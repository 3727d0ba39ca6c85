// The Audio Unit test host for GoogleTest: the built bundle's entries and a fixture that checks
// that the CoreFoundation objects a test made are all released and that nothing misused them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/au/AuComponentHost.h"

namespace authost
{
// ---- the bundles ----
// The component entries of the built Audio Unit bundle; null with a failed assertion when the
// bundle cannot be loaded.
ComponentRoutineProcPtr BundleEntry();
ComponentRoutineProcPtr BundleViewEntry();
std::string BundleBinary();
std::string BundleFolder();

// Checks per test that every CoreFoundation object made during it was released and that nothing
// misused the test CoreFoundation.
class AuHostTest : public ::testing::Test
{
protected:
  void SetUp() override;
  void TearDown() override;
  long mLiveAtStart = 0;
};
} // namespace authost
