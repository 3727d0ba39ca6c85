#include "graphics/LICE_Bitmap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
// Extra bytes of every raw block so that the pixels can start on the next 64-byte boundary.
constexpr int kAlignSlack = 63;

// Largest pixel block we hand out. Keeps need + 25 % + slack inside int arithmetic; a size beyond
// it is treated as a failed allocation.
constexpr int64_t kMaxPixelBytes = 0x60000000;

unsigned char* AlignTo64(unsigned char* p)
{
  const uintptr_t a = (reinterpret_cast<uintptr_t>(p) + 63) & ~static_cast<uintptr_t>(63);
  return reinterpret_cast<unsigned char*>(a);
}
} // namespace

LICE_MemBitmap::LICE_MemBitmap(int width, int height, int lineAlign)
{
  if (lineAlign > 1)
  {
    const int lowestBit = lineAlign & -lineAlign;
    mAlignMask = lowestBit - 1 > 16 ? 16 : lowestBit - 1;
  }
  if (width || height) SetSize(width, height);
}

LICE_MemBitmap::~LICE_MemBitmap()
{
  free(mBuffer);
}

unsigned char* LICE_MemBitmap::PixelData()
{
  return mBuffer ? AlignTo64(mBuffer) : nullptr;
}

bool LICE_MemBitmap::SetSize(int width, int height)
{
  if (width == mWidth && height == mHeight) return false;
  mWidth = width;
  mHeight = height;

  // A negative side would make the product positive again; it means no pixels.
  int64_t need = 0;
  if (width > 0 && height > 0) need = static_cast<int64_t>(RowSpan()) * height * 4;

  if (need > kMaxPixelBytes)
  {
    free(mBuffer);
    mBuffer = nullptr;
    mAllocBytes = 0;
  }
  else if (need > 0 && mBuffer)
  {
    if (mAllocBytes >= need) return true; // storage never shrinks
    mAllocBytes = static_cast<int>(need + need / 4);
    void* grown = realloc(mBuffer, static_cast<size_t>(mAllocBytes) + kAlignSlack);
    if (grown)
      mBuffer = static_cast<unsigned char*>(grown);
    else
    {
      free(mBuffer);
      mAllocBytes = static_cast<int>(need);
      mBuffer = static_cast<unsigned char*>(malloc(static_cast<size_t>(need) + kAlignSlack));
    }
  }
  else if (need > 0)
  {
    mAllocBytes = static_cast<int>(need);
    mBuffer = static_cast<unsigned char*>(malloc(static_cast<size_t>(need) + kAlignSlack));
  }
  else
  {
    free(mBuffer);
    mBuffer = nullptr;
    mAllocBytes = 0;
  }

  if (!mBuffer)
  {
    mAllocBytes = 0;
    mWidth = mHeight = 0;
  }
  return true;
}

LICE_SysBitmap::LICE_SysBitmap(int width, int height)
{
  SetSize(width, height);
}

LICE_SysBitmap::~LICE_SysBitmap()
{
  ReleaseContext();
}

void LICE_SysBitmap::ReleaseContext()
{
  if (mContext)
  {
    free(mContext->block);
    delete mContext;
    mContext = nullptr;
  }
  mPixels = nullptr;
}

bool LICE_SysBitmap::SetSize(int width, int height)
{
  if (width == mWidth && height == mHeight) return false;
  mWidth = width;
  mHeight = height;

  if (width > 0 && height > 0 && width <= mAllocWidth && height <= mAllocHeight && mPixels)
    return true; // shrink inside the allocation; the row span stays mAllocWidth

  ReleaseContext();
  if (width <= 0 || height <= 0)
  {
    // No storage for an empty or negative size; it reads as 0 x 0.
    mAllocWidth = mAllocHeight = 0;
    mWidth = mHeight = 0;
    return false;
  }
  mAllocWidth = (width + 3) & ~3;
  mAllocHeight = height;

  const int64_t bytes = static_cast<int64_t>(mAllocWidth) * mAllocHeight * 4;
  unsigned char* block = nullptr;
  if (bytes <= kMaxPixelBytes) block = static_cast<unsigned char*>(calloc(1, bytes + kAlignSlack));
  if (block) mContext = new LICE_SysContext{block};
  if (!mContext)
  {
    mWidth = mHeight = 0;
    mAllocWidth = mAllocHeight = 0;
    return true;
  }
  mPixels = AlignTo64(block);
  return true;
}
