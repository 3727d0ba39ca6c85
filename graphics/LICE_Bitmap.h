// 32-bit pixel bitmaps.
//
// Pixel layout: four bytes per pixel in memory order alpha, red, green, blue, not premultiplied (a
// little-endian 32-bit load of one pixel reads 0xBBGGRRAA). Row 0 is the top row; rows start
// RowSpan() pixels apart. Pixel storage starts on a 64-byte boundary.
//
// Threads: a bitmap is not locked; it belongs to the thread that draws the editor.
#pragma once

// Byte offsets of the channels inside one pixel.
enum
{
  LICE_PIXEL_A = 0,
  LICE_PIXEL_R = 1,
  LICE_PIXEL_G = 2,
  LICE_PIXEL_B = 3,
};

class LICE_IBitmap
{
public:
  virtual ~LICE_IBitmap() {}
  // First byte of the top row, or null when the bitmap has no storage.
  virtual unsigned char* PixelData() = 0;
  virtual int Width() = 0;
  virtual int Height() = 0;
  // Distance between row starts, in pixels (at least Width()).
  virtual int RowSpan() = 0;
  virtual bool IsBottomUp() = 0;
  // Returns true when the size changed. After a change the pixel contents are unspecified; a bitmap
  // whose storage could not be had reads as 0 x 0 with no pixels.
  virtual bool SetSize(int width, int height) = 0;
  // Platform drawing context sharing the pixels, or null.
  virtual void* DrawingContext() = 0;
};

// Pixels in an ordinary heap block. Storage never shrinks and grows with 25 % headroom.
class LICE_MemBitmap : public LICE_IBitmap
{
public:
  // lineAlign: rows are padded to a multiple of its lowest set bit, in pixels (at most 17).
  LICE_MemBitmap(int width = 0, int height = 0, int lineAlign = 4);
  ~LICE_MemBitmap() override;
  LICE_MemBitmap(const LICE_MemBitmap&) = delete;
  LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;

  unsigned char* PixelData() override;
  int Width() override { return mWidth; }
  int Height() override { return mHeight; }
  int RowSpan() override { return (mWidth + mAlignMask) & ~mAlignMask; }
  bool IsBottomUp() override { return false; }
  bool SetSize(int width, int height) override;
  void* DrawingContext() override { return nullptr; }

  // Usable bytes of the pixel block (test and diagnostics aid).
  int AllocatedBytes() const { return mAllocBytes; }

private:
  unsigned char* mBuffer = nullptr; // raw block, 63 bytes larger than mAllocBytes
  int mWidth = 0;
  int mHeight = 0;
  int mAllocBytes = 0;
  int mAlignMask = 0;
};

// Storage record behind a LICE_SysBitmap. On Linux it is only the raw block; there is no platform
// context.
struct LICE_SysContext
{
  unsigned char*
      block; // zero-filled, 63 bytes larger than the pixels so they can start 64-byte aligned
};

// The screen bitmap: zero-filled pixels whose row span is the allocated width, a multiple of 4
// pixels. Shrinking inside the allocation keeps the storage and the row span.
class LICE_SysBitmap : public LICE_IBitmap
{
public:
  LICE_SysBitmap(int width = 0, int height = 0);
  ~LICE_SysBitmap() override;
  LICE_SysBitmap(const LICE_SysBitmap&) = delete;
  LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

  unsigned char* PixelData() override { return mPixels; }
  int Width() override { return mWidth; }
  int Height() override { return mHeight; }
  int RowSpan() override { return mAllocWidth; }
  bool IsBottomUp() override { return false; }
  bool SetSize(int width, int height) override;
  // No platform drawing context on Linux.
  void* DrawingContext() override { return nullptr; }

private:
  void ReleaseContext();

  int mWidth = 0;
  int mHeight = 0;
  LICE_SysContext* mContext = nullptr; // owned
  unsigned char* mPixels = nullptr;
  int mAllocWidth = 0;
  int mAllocHeight = 0;
};
