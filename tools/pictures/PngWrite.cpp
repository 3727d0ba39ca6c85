#include "tools/pictures/PngWrite.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

Picture::Picture(int32_t w, int32_t h, uint32_t fill)
    : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4)
{
  for (size_t i = 0; i < pixels.size(); i += 4)
    for (int c = 0; c < 4; ++c) pixels[i + c] = static_cast<uint8_t>(fill >> (8 * c));
}

namespace
{

// Everything png_* touches after setjmp lives here, so a longjmp back leaves no stale locals.
struct PngTarget
{
  FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
};

bool WriteRows(PngTarget& t, const Picture& picture, int colourType, int channels)
{
  if (setjmp(png_jmpbuf(t.png))) return false;
  png_init_io(t.png, t.file);
  png_set_compression_level(t.png, 9);
  png_set_filter(t.png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  png_set_IHDR(t.png, t.info, static_cast<png_uint_32>(picture.width),
               static_cast<png_uint_32>(picture.height), 8, colourType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(t.png, t.info);
  std::vector<png_byte> row(static_cast<size_t>(picture.width) * channels);
  for (int32_t y = 0; y < picture.height; ++y)
  {
    const uint8_t* p = &picture.pixels[static_cast<size_t>(y) * picture.width * 4];
    png_byte* out = row.data();
    for (int32_t x = 0; x < picture.width; ++x, p += 4)
    {
      if (channels == 1)
      {
        *out++ = p[1];
        continue;
      }
      *out++ = p[1];
      *out++ = p[2];
      *out++ = p[3];
      if (channels == 4) *out++ = p[0];
    }
    png_write_row(t.png, row.data());
  }
  png_write_end(t.png, t.info);
  return true;
}

} // namespace

namespace
{
// Encodes the picture into an open file; false on any failure. The file stays open.
bool WritePngToFile(std::FILE* file, const Picture& picture)
{
  if (picture.width <= 0 || picture.height <= 0) return false;
  bool opaque = true, grey = true;
  for (size_t i = 0; i < picture.pixels.size(); i += 4)
  {
    if (picture.pixels[i] != 255) opaque = false;
    if (picture.pixels[i + 1] != picture.pixels[i + 2] ||
        picture.pixels[i + 1] != picture.pixels[i + 3])
      grey = false;
  }
  const int colourType = !opaque ? PNG_COLOR_TYPE_RGB_ALPHA
                         : grey  ? PNG_COLOR_TYPE_GRAY
                                 : PNG_COLOR_TYPE_RGB;
  const int channels = !opaque ? 4 : grey ? 1 : 3;

  PngTarget t;
  t.file = file;
  t.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (t.png) t.info = png_create_info_struct(t.png);
  const bool ok = t.png && t.info && WriteRows(t, picture, colourType, channels);
  png_destroy_write_struct(t.png ? &t.png : nullptr, t.info ? &t.info : nullptr);
  return ok;
}
} // namespace

bool WritePng(const std::string& path, const Picture& picture)
{
  if (picture.width <= 0 || picture.height <= 0) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = WritePngToFile(file, picture);
  const bool closed = std::fclose(file) == 0;
  return ok && closed;
}

bool EncodePng(const Picture& picture, std::string* bytes)
{
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* file = open_memstream(&buffer, &size);
  if (!file) return false;
  const bool ok = WritePngToFile(file, picture);
  const bool closed = std::fclose(file) == 0;
  if (ok && closed) bytes->assign(buffer, size);
  std::free(buffer);
  return ok && closed;
}
