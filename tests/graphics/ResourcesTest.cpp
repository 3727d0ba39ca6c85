#include "core/WDL_String.h"
#include "graphics/LICE_Bitmap.h"
#include "graphics/LICE_Resources.h"
#include "tests/graphics/PngTestFiles.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <sys/stat.h>

namespace
{
// A bundle folder <root>/Test.vst with Contents/Resources holding light.png (3 x 2) and a PNG file
// named light.jpg.
class BundleFixture : public ::testing::Test
{
protected:
  void SetUp() override
  {
    mRoot = mFolder.File("Test.vst");
    ASSERT_EQ(mkdir(mRoot.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((mRoot + "/Contents").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((mRoot + "/Contents/Resources").c_str(), 0755), 0);
    PngImage image;
    image.width = 3;
    image.height = 2;
    image.colourType = PNG_COLOR_TYPE_GRAY;
    image.rows = {{1, 2, 3}, {4, 5, 6}};
    ASSERT_TRUE(WritePng(mRoot + "/Contents/Resources/light.png", image));
    ASSERT_TRUE(WritePng(mRoot + "/Contents/Resources/light.jpg", image));
    RegisterBundleFolder(kId, mRoot.c_str());
  }
  void TearDown() override { RegisterBundleFolder(kId, nullptr); }

  static constexpr const char* kId = "com.example.test.Bundle";
  ScratchFolder mFolder;
  std::string mRoot;
};
} // namespace

TEST(BundleFolder, DerivedFromTheModulePath)
{
  WDL_String folder;
  EXPECT_TRUE(
      BundleFolderFromModulePath("/opt/x/Tarvex.vst/Contents/x86_64-linux/Tarvex.so", &folder));
  EXPECT_STREQ(folder.Get(), "/opt/x/Tarvex.vst");
  EXPECT_FALSE(BundleFolderFromModulePath("/usr/lib/libfoo.so", &folder));
  EXPECT_FALSE(BundleFolderFromModulePath("/a/Contentsx/arch/m.so", &folder));
  EXPECT_FALSE(BundleFolderFromModulePath("/Contents/arch/m.so", &folder)); // no bundle above
  EXPECT_FALSE(BundleFolderFromModulePath("/b/Contents//m.so", &folder));   // empty arch folder
  EXPECT_FALSE(BundleFolderFromModulePath("m.so", &folder));
  EXPECT_FALSE(BundleFolderFromModulePath("", &folder));
  EXPECT_FALSE(BundleFolderFromModulePath(nullptr, &folder));
  EXPECT_STREQ(folder.Get(), "/opt/x/Tarvex.vst"); // failures leave the output alone
}

TEST_F(BundleFixture, LooksUpTheLastComponentWithoutExtension)
{
  LICE_IBitmap* bitmap = LoadBitmapFromBundle(kId, "img/light.png");
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), 3);
  EXPECT_EQ(bitmap->Height(), 2);
  const unsigned char* p = bitmap->PixelData() + bitmap->RowSpan() * 4; // row 1, pixel 0
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 4);
  delete bitmap;

  bitmap = LoadBitmapFromBundle(kId, "deep/er/folders/light.PNG");
  EXPECT_NE(bitmap, nullptr);
  delete bitmap;

  // A name without a '.' is its own type: "png" is resource png of type png.
  ASSERT_EQ(rename((mRoot + "/Contents/Resources/light.png").c_str(),
                   (mRoot + "/Contents/Resources/png.png").c_str()),
            0);
  bitmap = LoadBitmapFromBundle(kId, "png");
  EXPECT_NE(bitmap, nullptr);
  delete bitmap;
}

TEST_F(BundleFixture, RefusesOtherTypesUnknownBundlesAndMissingFiles)
{
  EXPECT_EQ(LoadBitmapFromBundle(kId, "img/light.jpg"),
            nullptr); // the file exists but is not asked for
  EXPECT_EQ(LoadBitmapFromBundle(kId, nullptr), nullptr);
  EXPECT_EQ(LoadBitmapFromBundle(kId, "png"), nullptr);     // resource png.png is not there
  EXPECT_EQ(LoadBitmapFromBundle(kId, "img/png"), nullptr); // no '.': the whole name is no "png"
  EXPECT_EQ(LoadBitmapFromBundle(kId, "img/.png"), nullptr);
  EXPECT_EQ(LoadBitmapFromBundle(kId, "img/knob.png"), nullptr);
  EXPECT_EQ(LoadBitmapFromBundle("com.example.unknown", "img/light.png"), nullptr);
  EXPECT_EQ(LoadBitmapFromBundle("", "img/light.png"), nullptr);
  EXPECT_EQ(LoadBitmapFromBundle(nullptr, "img/light.png"), nullptr);

  RegisterBundleFolder(kId, "");
  EXPECT_EQ(LoadBitmapFromBundle(kId, "img/light.png"), nullptr); // registration removed
}

TEST(BundleFolder, OwnModuleOutsideABundleIsNotFound)
{
  // The test executable does not sit in a bundle, so its identifier finds no folder.
  RegisterModuleBundleID("com.example.test.Module");
  WDL_String folder;
  EXPECT_FALSE(FindBundleFolder("com.example.test.Module", &folder));
  EXPECT_EQ(LoadBitmapFromBundle(kTarvexVstBundleID, "img/light.png"), nullptr);
}

TEST(BitmapCache, FirstEntryWinsAndFailuresAreRemembered)
{
  bool found = true;
  EXPECT_EQ(LookupCachedBitmap(9001, &found), nullptr);
  EXPECT_FALSE(found);

  LICE_MemBitmap* first = new LICE_MemBitmap(2, 2, 4);
  LICE_MemBitmap* second = new LICE_MemBitmap(3, 3, 4);
  StoreCachedBitmap(first, 9001);
  StoreCachedBitmap(second, 9001);
  EXPECT_EQ(LookupCachedBitmap(9001, &found), first);
  EXPECT_TRUE(found);

  StoreCachedBitmap(nullptr, 9002);
  found = false;
  EXPECT_EQ(LookupCachedBitmap(9002, &found), nullptr);
  EXPECT_TRUE(found);
  EXPECT_EQ(LookupCachedBitmap(9003), nullptr);
}

// A bundle whose pictures are built into the binary: decoded from memory by resource name, no
// folder needed; a name it lacks is refused rather than looked for on disk, and removing the table
// leaves the identifier unknown.
TEST_F(BundleFixture, EmbeddedPicturesDecodeFromMemory)
{
  const std::vector<uint8_t> bytes = ReadBytes(mRoot + "/Contents/Resources/light.png");
  ASSERT_FALSE(bytes.empty());
  const EmbeddedPicture table[] = {
      {"light", bytes.data(), static_cast<unsigned long>(bytes.size())},
      {"broken", bytes.data(), 10}};
  constexpr const char* kEmbedded = "com.example.test.Embedded";
  RegisterEmbeddedPictures(kEmbedded, table, 2);
  LICE_IBitmap* bitmap = LoadBitmapFromBundle(kEmbedded, "img/light.png");
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), 3);
  EXPECT_EQ(bitmap->Height(), 2);
  EXPECT_EQ(bitmap->PixelData()[bitmap->RowSpan() * 4 + 1], 4); // row 1, pixel 0, as from the file
  delete bitmap;
  EXPECT_EQ(LoadBitmapFromBundle(kEmbedded, "img/broken.png"), nullptr); // cut short
  EXPECT_EQ(LoadBitmapFromBundle(kEmbedded, "img/knob.png"), nullptr);
  EXPECT_EQ(LoadBitmapFromBundle(kEmbedded, "img/ligh.png"), nullptr); // names match whole
  // The same name in the folder bundle still comes from its folder.
  bitmap = LoadBitmapFromBundle(kId, "img/light.png");
  EXPECT_NE(bitmap, nullptr);
  delete bitmap;
  RegisterEmbeddedPictures(kEmbedded, nullptr, 0);
  EXPECT_EQ(LoadBitmapFromBundle(kEmbedded, "img/light.png"), nullptr);
}
