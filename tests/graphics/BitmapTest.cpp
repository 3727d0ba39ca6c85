#include "graphics/LICE_Bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace
{
bool Aligned64(const void* p)
{
  return (reinterpret_cast<uintptr_t>(p) & 63) == 0;
}
} // namespace

TEST(MemBitmap, RowSpanAlignmentAndStorageReuse)
{
  LICE_MemBitmap bitmap(10, 3, 4);
  EXPECT_EQ(bitmap.Width(), 10);
  EXPECT_EQ(bitmap.Height(), 3);
  EXPECT_EQ(bitmap.RowSpan(), 12);
  EXPECT_GE(bitmap.AllocatedBytes(), 12 * 3 * 4);
  ASSERT_NE(bitmap.PixelData(), nullptr);
  EXPECT_TRUE(Aligned64(bitmap.PixelData()));
  EXPECT_FALSE(bitmap.IsBottomUp());
  EXPECT_EQ(bitmap.DrawingContext(), nullptr);

  EXPECT_FALSE(bitmap.SetSize(10, 3));
  unsigned char* before = bitmap.PixelData();
  EXPECT_TRUE(bitmap.SetSize(5, 3));
  EXPECT_EQ(bitmap.PixelData(), before); // never shrinks
  EXPECT_EQ(bitmap.RowSpan(), 8);
  EXPECT_EQ(bitmap.AllocatedBytes(), 144);

  // Growth takes 25 % headroom: 100 x 100 needs 40000 bytes.
  EXPECT_TRUE(bitmap.SetSize(100, 100));
  EXPECT_EQ(bitmap.AllocatedBytes(), 50000);
  EXPECT_TRUE(Aligned64(bitmap.PixelData()));
  // The whole block is writable (ASan checks the bound).
  bitmap.PixelData()[bitmap.AllocatedBytes() - 1] = 1;
  EXPECT_TRUE(bitmap.SetSize(110, 110)); // 48400 bytes fit in the headroom
  EXPECT_EQ(bitmap.AllocatedBytes(), 50000);
}

TEST(MemBitmap, AlignMaskFromLineAlign)
{
  LICE_MemBitmap unaligned(5, 1, 1);
  EXPECT_EQ(unaligned.RowSpan(), 5);
  LICE_MemBitmap eight(5, 1, 24); // lowest set bit of 24 is 8
  EXPECT_EQ(eight.RowSpan(), 8);
  LICE_MemBitmap empty;
  EXPECT_EQ(empty.PixelData(), nullptr);
  EXPECT_EQ(empty.Width(), 0);
}

TEST(MemBitmap, EmptyNegativeAndAbsurdSizesLeaveNoPixels)
{
  LICE_MemBitmap bitmap(8, 8, 4);
  EXPECT_TRUE(bitmap.SetSize(0, 0));
  EXPECT_EQ(bitmap.PixelData(), nullptr);
  EXPECT_EQ(bitmap.AllocatedBytes(), 0);

  EXPECT_TRUE(bitmap.SetSize(-4, -4)); // the product would be positive
  EXPECT_EQ(bitmap.PixelData(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);

  EXPECT_TRUE(bitmap.SetSize(100000, 100000)); // 40 GB: refused like a failed allocation
  EXPECT_EQ(bitmap.PixelData(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);

  EXPECT_TRUE(bitmap.SetSize(3, 3)); // usable again afterwards
  ASSERT_NE(bitmap.PixelData(), nullptr);
  EXPECT_EQ(bitmap.RowSpan(), 4);
}

TEST(SysBitmap, RowSpanIsAllocatedWidthRoundedToFour)
{
  LICE_SysBitmap screen(752, 576);
  EXPECT_EQ(screen.RowSpan(), 752);
  ASSERT_NE(screen.PixelData(), nullptr);
  EXPECT_TRUE(Aligned64(screen.PixelData()));
  EXPECT_EQ(screen.DrawingContext(), nullptr);

  LICE_SysBitmap bitmap(750, 10);
  EXPECT_EQ(bitmap.RowSpan(), 752);
  unsigned char* pixels = bitmap.PixelData();
  ASSERT_NE(pixels, nullptr);
  // Zero-filled over the whole allocation.
  int nonZero = 0;
  for (int i = 0; i < 752 * 10 * 4; ++i) nonZero += pixels[i] != 0;
  EXPECT_EQ(nonZero, 0);

  EXPECT_TRUE(bitmap.SetSize(700, 10));
  EXPECT_EQ(bitmap.PixelData(), pixels);
  EXPECT_EQ(bitmap.RowSpan(), 752);
  EXPECT_EQ(bitmap.Width(), 700);

  EXPECT_TRUE(bitmap.SetSize(800, 10)); // larger than the allocation: new storage
  EXPECT_EQ(bitmap.RowSpan(), 800);
  EXPECT_NE(bitmap.PixelData(), nullptr);

  EXPECT_FALSE(bitmap.SetSize(0, 0));
  EXPECT_EQ(bitmap.PixelData(), nullptr);
  EXPECT_FALSE(bitmap.SetSize(0, 0));
}

TEST(SysBitmap, NegativeAndAbsurdSizesLeaveNoPixels)
{
  LICE_SysBitmap bitmap(16, 16);
  EXPECT_FALSE(bitmap.SetSize(-8, -8));
  EXPECT_EQ(bitmap.PixelData(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);

  bitmap.SetSize(200000, 200000);
  EXPECT_EQ(bitmap.PixelData(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);

  EXPECT_TRUE(bitmap.SetSize(5, 2));
  EXPECT_NE(bitmap.PixelData(), nullptr);
  EXPECT_EQ(bitmap.RowSpan(), 8);
}
