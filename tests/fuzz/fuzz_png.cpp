// The PNG loader on arbitrary file contents, both into a new bitmap and into a caller's target.
// A decoded image has a size inside the loader's limits and every pixel row is readable.
#include <memory>

#include "graphics/LICE_Bitmap.h"
#include "graphics/LICE_Png.h"
#include "tests/fuzz/FuzzSupport.h"

namespace
{
// Reads every pixel so that a row the loader did not really allocate shows up under the sanitizer.
unsigned SumPixels(LICE_IBitmap* bitmap)
{
  FUZZ_CHECK(bitmap->Width() > 0 && bitmap->Height() > 0);
  FUZZ_CHECK(bitmap->Width() <= kPngMaxSide && bitmap->Height() <= kPngMaxSide);
  FUZZ_CHECK(bitmap->RowSpan() >= bitmap->Width());
  const unsigned char* pixels = bitmap->PixelData();
  FUZZ_CHECK(pixels);
  unsigned sum = 0;
  for (int y = 0; y < bitmap->Height(); ++y)
  {
    const unsigned char* row = pixels + static_cast<size_t>(y) * bitmap->RowSpan() * 4;
    for (int x = 0; x < bitmap->Width() * 4; ++x) sum += row[x];
  }
  return sum;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string path = fuzz::WriteScratchFile("image.png", data, size);
  std::unique_ptr<LICE_IBitmap> made(LoadPng(path.c_str()));
  if (made) SumPixels(made.get());

  static LICE_MemBitmap target(3, 5, 4); // reused across inputs, as the cache reuses nothing
  LICE_IBitmap* into = LoadPng(path.c_str(), &target);
  FUZZ_CHECK(into == nullptr || into == &target);
  FUZZ_CHECK((into != nullptr) == (made != nullptr));
  if (into)
  {
    FUZZ_CHECK(target.Width() == made->Width() && target.Height() == made->Height());
    FUZZ_CHECK(SumPixels(&target) == SumPixels(made.get()));
  }
  return 0;
}
