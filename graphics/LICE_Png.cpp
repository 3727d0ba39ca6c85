#include "graphics/LICE_Png.h"

#include "graphics/LICE_Bitmap.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace
{
// Errors unwind to the setjmp in DecodePng; nothing is printed.
void SilentError(png_structp png, png_const_charp)
{
  png_longjmp(png, 1);
}
void SilentWarning(png_structp, png_const_charp) {}

// Everything the failure path must release, kept outside the frame that calls setjmp.
struct PngReadState
{
  FILE* file;
  png_structp png;
  png_infop info;
  png_bytep* rows;       // malloc'd row pointers
  LICE_IBitmap* created; // bitmap made here when the caller gave no target
};

// Reads header and pixels; returns the bitmap or null. Only plain data lives in this frame, so the
// non-local return from libpng skips no destructor.
LICE_IBitmap* DecodePng(PngReadState* st, LICE_IBitmap* target)
{
  png_structp png = st->png;
  png_infop info = st->info;
  if (setjmp(png_jmpbuf(png))) return nullptr;

  png_init_io(png, st->file);
  // Refuse absurd headers before libpng or we allocate anything for the rows.
  png_set_user_limits(png, kPngMaxSide, kPngMaxSide);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colourType, nullptr, nullptr, nullptr);
  if (static_cast<long long>(width) * height > kPngMaxPixels) return nullptr;

  const bool hasTransparencyChunk = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (hasTransparencyChunk) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (depth < 8) png_set_packing(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(png);
  // A transparency chunk gives an alpha channel too (palette, grey or RGB with tRNS), which must be
  // moved in front like a real one; a filler there would leave the rows in red, green, blue, alpha.
  if ((colourType & PNG_COLOR_MASK_ALPHA) || hasTransparencyChunk)
    png_set_swap_alpha(png);
  else
    png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  // Every path above must end in four bytes per pixel; anything else would overrun the rows.
  if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) return nullptr;

  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  LICE_IBitmap* bitmap = target;
  if (bitmap)
    bitmap->SetSize(w, h);
  else
    bitmap = st->created = new LICE_MemBitmap(w, h, 4);
  unsigned char* pixels = bitmap->PixelData();
  if (bitmap->Width() != w || bitmap->Height() != h || !pixels || bitmap->RowSpan() < w)
    return nullptr;

  st->rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * static_cast<size_t>(h)));
  if (!st->rows) return nullptr;
  const long long rowBytes = static_cast<long long>(bitmap->RowSpan()) * 4;
  for (int i = 0; i < h; ++i)
  {
    const int row = bitmap->IsBottomUp() ? h - 1 - i : i;
    st->rows[i] = pixels + row * rowBytes;
  }
  png_read_image(png, st->rows);
  return bitmap;
}
} // namespace

namespace
{
// Decodes from an open file, which it closes.
LICE_IBitmap* DecodeFile(FILE* file, LICE_IBitmap* target)
{
  PngReadState st = {};
  st.file = file;
  st.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
  if (st.png) st.info = png_create_info_struct(st.png);
  LICE_IBitmap* result = nullptr;
  if (st.png && st.info) result = DecodePng(&st, target);
  if (st.png) png_destroy_read_struct(&st.png, st.info ? &st.info : nullptr, nullptr);
  fclose(st.file);
  free(st.rows);
  if (!result) delete st.created;
  return result;
}
} // namespace

LICE_IBitmap* LoadPng(const char* path, LICE_IBitmap* target)
{
  if (!path || !*path) return nullptr;
  FILE* file = fopen(path, "rb");
  return file ? DecodeFile(file, target) : nullptr;
}

LICE_IBitmap* LoadPngFromMemory(const void* data, size_t size)
{
  if (!data || size == 0) return nullptr;
  // A read-only stream over the bytes, so the file path and this one decode alike.
  FILE* file = fmemopen(const_cast<void*>(data), size, "rb");
  return file ? DecodeFile(file, nullptr) : nullptr;
}

LICE_IBitmap* LoadPngIfNamed(const char* path, bool checkName, LICE_IBitmap* target)
{
  if (!path) return nullptr;
  if (checkName)
  {
    const char* p = path;
    while (*p) ++p;
    while (p > path && *p != '.' && *p != '/' && *p != '\\') --p;
    if (strcasecmp(p, ".png") != 0) return nullptr;
  }
  return LoadPng(path, target);
}
