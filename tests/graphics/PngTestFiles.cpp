#include "tests/graphics/PngTestFiles.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <unistd.h>

namespace
{
int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
  return remove(path);
}
} // namespace

ScratchFolder::ScratchFolder()
{
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarvex-graphics-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data())) mPath = buf.data();
}

ScratchFolder::~ScratchFolder()
{
  if (!mPath.empty()) nftw(mPath.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

bool WritePng(const std::string& path, const PngImage& image)
{
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png)))
  {
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, image.depth, image.colourType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < image.palette.size(); i += 3)
      palette.push_back(png_color{image.palette[i], image.palette[i + 1], image.palette[i + 2]});
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!image.paletteAlpha.empty())
      png_set_tRNS(png, info, image.paletteAlpha.data(),
                   static_cast<int>(image.paletteAlpha.size()), nullptr);
    if (image.hasColourKey)
    {
      png_color_16 key = {};
      key.gray = image.keyGrey;
      key.red = image.keyRed;
      key.green = image.keyGreen;
      key.blue = image.keyBlue;
      png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const auto& row : image.rows) rows.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  fclose(file);
  return ok;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
  std::vector<uint8_t> bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return bytes;
  int c;
  while ((c = fgetc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  fclose(file);
  return bytes;
}
