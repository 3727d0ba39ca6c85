// tarvex-snapshot end to end: runs the built tool on the view-test bundle (which draws a picture
// known from its parameter values) on the tool's own Xvfb, and on bad invocations.
#include <gtest/gtest.h>

#include <png.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/graphics/x11/ViewTestPicture.h"

using namespace viewtest;

namespace
{
struct Outcome
{
  int status = -1;
  std::string output; // standard output and error
};

// env: shell assignments before the command ("env -u DISPLAY" or "DISPLAY=:1").
Outcome Snapshot(const std::string& env, const std::string& args)
{
  const std::string command =
      env + " '" + std::string(TARVEX_TEST_BINARY_DIR) + "/tarvex-snapshot' " + args + " 2>&1";
  Outcome out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.output.append(buffer, n);
  const int status = pclose(pipe);
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

bool Exists(const std::string& path)
{
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string TempPath(const char* name)
{
  return std::string("/tmp/tarvex-snapshot-test-") + std::to_string(getpid()) + "-" + name;
}

// Runs the tool on the view-test bundle with Knob at 8 and the Gain knob dragged 32 editor pixels
// up (gearing 4 on 64 pixels: normalised 0.5 + 0.125), held for the shot, at scale: the PNG must
// be the known picture with each pixel a scale x scale block.
void ExpectTheDraggedPicture(int scale)
{
  const std::string out = TempPath(("shot" + std::to_string(scale) + ".png").c_str());
  unlink(out.c_str());
  const IRECT gain = GainRect();
  const int cx = (gain.L + gain.R) / 2, cy = (gain.T + gain.B) / 2;
  // Gesture coordinates are editor pixels at any scale.
  const Outcome r =
      Snapshot("env -u DISPLAY", "--plugin '" VIEWTEST_BUNDLE "' --set 'Knob=8' --settle 200 " +
                                     (scale != 1 ? "--scale " + std::to_string(scale) + " " : "") +
                                     "--hover 10,10 --drag " + std::to_string(cx) + "," +
                                     std::to_string(cy) + ":" + std::to_string(cx) + "," +
                                     std::to_string(cy - 32) + " '" + out + "'");
  ASSERT_EQ(r.status, 0) << r.output;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, out.c_str())) << image.message;
  ASSERT_EQ(image.width, static_cast<png_uint_32>(kWidth * scale));
  ASSERT_EQ(image.height, static_cast<png_uint_32>(kHeight * scale));
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  unlink(out.c_str());

  auto expected = [&](int x, int y) -> uint32_t
  {
    auto in = [&](const IRECT& rect)
    { return x >= rect.L && x < rect.R && y >= rect.T && y < rect.B; };
    if (in(KnobRect())) return ValuePixel(0.8, 0x20);
    if (in(ModeRect())) return ValuePixel(0.5, 0x40);
    if (in(RecorderRect())) return ValuePixel(0.0, 0x60);
    if (in(GainRect())) return ValuePixel(0.625, 0x80);
    return BackgroundPixel(x, y);
  };
  int mismatches = 0;
  for (int y = 0; y < kHeight * scale; ++y)
    for (int x = 0; x < kWidth * scale; ++x)
    {
      const unsigned char* p = &rgb[3 * (static_cast<size_t>(y) * kWidth * scale + x)];
      const uint32_t e = expected(x / scale, y / scale);
      // Exact: every value here is a whole level, and PNG is lossless.
      mismatches += p[0] != ((e >> 16) & 0xff) || p[1] != ((e >> 8) & 0xff) || p[2] != (e & 0xff);
    }
  EXPECT_EQ(mismatches, 0);
}

TEST(TarvexSnapshot, WritesTheEditorPictureWithTheDragHeld)
{
  ExpectTheDraggedPicture(1);
}

// --scale 2: the plug-in is told through GDK_SCALE, the picture is twice the size in both
// directions and the same gestures (in editor pixels) give the same picture.
TEST(TarvexSnapshot, WritesThePictureAtTwiceTheSize)
{
  ExpectTheDraggedPicture(2);
}

TEST(TarvexSnapshot, HelpTellsHowTheScaleReachesThePlugIn)
{
  const Outcome r = Snapshot("env -u DISPLAY", "--help");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("--scale N"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("GDK_SCALE"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("1504 x 1152"), std::string::npos) << r.output;
}

// Audio files of either channel count are played while the editor is open.
TEST(TarvexSnapshot, PlaysAnAudioFileWhileTheEditorIsOpen)
{
  for (int channels : {1, 2})
  {
    SCOPED_TRACE(channels);
    const std::string wav = TempPath("in.wav"), out = TempPath("file.png");
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = 48000;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(wav.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<short> samples(static_cast<size_t>(2400 * channels), 1000);
    ASSERT_EQ(sf_write_short(file, samples.data(), static_cast<sf_count_t>(samples.size())),
              static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    const Outcome r = Snapshot("env -u DISPLAY", "--plugin '" VIEWTEST_BUNDLE "' --settle 100 "
                                                 "--input '" +
                                                     wav + "' '" + out + "'");
    EXPECT_EQ(r.status, 0) << r.output;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_file(&image, out.c_str()));
    EXPECT_EQ(image.width, static_cast<png_uint_32>(kWidth));
    png_image_free(&image);
    unlink(out.c_str());
    unlink(wav.c_str());
  }
}

TEST(TarvexSnapshot, BadInvocationsFailClearlyAndWriteNothing)
{
  const std::string out = TempPath("bad.png");
  const std::string view = std::string("--plugin '") + VIEWTEST_BUNDLE + "' ";
  const struct
  {
    const char* name;
    std::string env, args;
    int status;
    const char* message;
  } cases[] = {
      {"unknown option", "env -u DISPLAY", "--frobnicate '" + out + "'", 2, "unknown option"},
      {"no output", "env -u DISPLAY", view, 2, "no output file"},
      {"not a png", "env -u DISPLAY", view + "/tmp/x.jpg", 2, "must be a .png"},
      {"bad drag", "env -u DISPLAY", "--drag 1,2:3 '" + out + "'", 2, "--drag: expected"},
      {"bad hover", "env -u DISPLAY", "--hover '1;2' '" + out + "'", 2, "--hover: expected"},
      {"scale 3", "env -u DISPLAY", view + "--scale 3 '" + out + "'", 2, "--scale: expected"},
      {"scale 0", "env -u DISPLAY", view + "--scale 0 '" + out + "'", 2, "--scale: expected"},
      {"scale abc", "env -u DISPLAY", view + "--scale abc '" + out + "'", 2, "--scale: expected"},
      {"scale 1.5", "env -u DISPLAY", view + "--scale 1.5 '" + out + "'", 2, "--scale: expected"},
      {"scale missing", "env -u DISPLAY", view + "'" + out + "' --scale", 2, "--scale needs"},
      {"missing bundle", "env -u DISPLAY", "--plugin /nonexistent/X.vst '" + out + "'", 1,
       "plug-in not found"},
      {"no editor", "env -u DISPLAY",
       std::string("--plugin '") + VIEWTEST_NO_EDITOR_BUNDLE + "' '" + out + "'", 1,
       "has no editor"},
      {"unknown parameter", "env -u DISPLAY", view + "--set 'Nope=1' '" + out + "'", 1,
       "unknown parameter"},
      {"unreadable input", "env -u DISPLAY", view + "--input /nonexistent.wav '" + out + "'", 1,
       "cannot read audio file"},
      {"no X server", "DISPLAY=:59999", view + "'" + out + "'", 1, "no X server"},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.name);
    unlink(out.c_str());
    const Outcome r = Snapshot(c.env, c.args);
    EXPECT_EQ(r.status, c.status) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_FALSE(Exists(out));
    EXPECT_FALSE(Exists(out + ".partial"));
  }
}
} // namespace
