// The logo's picture reader over generated pictures, every truncation of them and
// hostile headers; the logo path and the centring arithmetic.
#include "gui/logo_bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "harness/session/console_session.h"
#include "support/little_endian.h"

namespace zentor {
namespace {

using value_bytes::LoadU32;
using value_bytes::StoreU16;
using value_bytes::StoreU32;

// A picture file as a paint program writes one: file header, an info header of
// `headerSize` bytes (the fields past 40 left zero), the colour table, a gap and the
// rows, each row's bytes numbered so that a misplaced read shows.
struct PictureSpec {
  int32_t width = 16;
  int32_t height = 8;
  uint16_t bits = 8;
  uint32_t colorsUsed = 0;      // the header's biClrUsed
  uint32_t tableColors = 256;   // entries actually written
  uint32_t headerSize = 40;
  bool zeroImageSize = false;
  bool zeroBitsOffset = false;  // bfOffBits 0: the bits follow the table directly
  uint32_t gap = 0;             // bytes between the table and the bits
};

uint32_t RowBytes(const PictureSpec& s) { return (uint32_t{s.bits} * static_cast<uint32_t>(s.width) + 31) / 32 * 4; }

std::vector<uint8_t> MakePicture(const PictureSpec& s) {
  const uint32_t tableBytes = 4 * s.tableColors;
  const uint32_t imageBytes = RowBytes(s) * static_cast<uint32_t>(s.height);
  const uint32_t bitsAt = 14 + s.headerSize + tableBytes + s.gap;
  std::vector<uint8_t> file(bitsAt + imageBytes, 0);
  StoreU16(file.data(), 0x4D42);
  StoreU32(file.data() + 2, static_cast<uint32_t>(file.size()));
  StoreU32(file.data() + 10, s.zeroBitsOffset ? 0 : bitsAt);
  uint8_t* info = file.data() + 14;
  StoreU32(info, s.headerSize);
  StoreU32(info + 4, static_cast<uint32_t>(s.width));
  StoreU32(info + 8, static_cast<uint32_t>(s.height));
  StoreU16(info + 12, 1);
  StoreU16(info + 14, s.bits);
  StoreU32(info + 20, s.zeroImageSize ? 0 : imageBytes);
  StoreU32(info + 32, s.colorsUsed);
  for (uint32_t i = 0; i < tableBytes; ++i) file[14 + s.headerSize + i] = static_cast<uint8_t>(0x80 + i * 7);
  for (uint32_t i = 0; i < imageBytes; ++i) file[bitsAt + i] = static_cast<uint8_t>(i * 13 + 1);
  return file;
}

bool Parse(const std::vector<uint8_t>& file, LogoBitmap* picture) {
  return ParseLogoBitmap(file.data(), file.size(), picture);
}

TEST(LogoBitmapTest, GeneratedPicturesKeepHeaderColoursAndBits) {
  struct Case {
    const char* name;
    PictureSpec spec;
    uint32_t colors;
    uint32_t rowBytes;
  };
  const Case cases[] = {
      {"8 bits, biClrUsed 0: a table of 256", {16, 8, 8, 0, 256}, 256, 16},
      {"8 bits, 16 colours used", {16, 8, 8, 16, 16}, 16, 16},
      {"4 bits", {10, 3, 4, 0, 16}, 16, 8},
      {"1 bit, width 33, no image size: 8 bytes a row", {33, 5, 1, 0, 2, 40, true}, 2, 8},
      {"24 bits without biClrUsed: no table", {7, 4, 24, 0, 0}, 0, 24},
      {"24 bits with a table of 4", {7, 4, 24, 4, 4}, 4, 24},
      {"a 124-byte header: the table follows it", {16, 2, 8, 2, 2, 124}, 2, 16},
      {"bits found by their offset past a gap", {16, 2, 8, 2, 2, 40, false, false, 10}, 2, 16},
      {"bits right after the table (offset 0)", {16, 2, 8, 2, 2, 40, false, true}, 2, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> file = MakePicture(c.spec);
    LogoBitmap picture;
    ASSERT_TRUE(Parse(file, &picture));
    EXPECT_EQ(picture.width, c.spec.width);
    EXPECT_EQ(picture.height, c.spec.height);
    EXPECT_EQ(picture.colorCount, c.colors);
    EXPECT_EQ(picture.bitsOffset, 40 + 4 * c.colors);
    const uint32_t imageBytes = c.rowBytes * static_cast<uint32_t>(c.spec.height);
    ASSERT_EQ(picture.block.size(), 40 + 4 * c.colors + imageBytes);
    // The kept header describes the block: 40 bytes, the completed counts.
    EXPECT_EQ(LoadU32(picture.block.data()), 40u);
    EXPECT_EQ(LoadU32(picture.block.data() + 20), imageBytes);
    EXPECT_EQ(LoadU32(picture.block.data() + 32), c.colors);
    const uint32_t tableAt = 14 + c.spec.headerSize;
    EXPECT_EQ(0, std::memcmp(picture.block.data() + 40, file.data() + tableAt, 4 * c.colors));
    const uint32_t bitsAt = tableAt + 4 * c.spec.tableColors + (c.spec.zeroBitsOffset ? 0 : c.spec.gap);
    EXPECT_EQ(0, std::memcmp(picture.block.data() + picture.bitsOffset, file.data() + bitsAt, imageBytes));
  }
}

TEST(LogoBitmapTest, EveryTruncationIsRefusedAndLeavesNoBlock) {
  const PictureSpec specs[] = {{16, 8, 8, 0, 256}, {7, 4, 24, 0, 0}, {16, 2, 8, 2, 2, 124}};
  for (const PictureSpec& spec : specs) {
    const std::vector<uint8_t> file = MakePicture(spec);
    for (size_t length = 0; length < file.size(); ++length) {
      SCOPED_TRACE("bits " + std::to_string(spec.bits) + ", " + std::to_string(length) + " of " +
                   std::to_string(file.size()) + " bytes");
      LogoBitmap picture;
      picture.block.assign(10, 1);
      EXPECT_FALSE(ParseLogoBitmap(file.data(), length, &picture));
      EXPECT_TRUE(picture.block.empty());
      EXPECT_EQ(picture.width, 0);
    }
  }
}

TEST(LogoBitmapTest, HostileHeadersAreRefused) {
  struct Case {
    const char* name;
    uint32_t offset;  // into the file
    uint32_t value;
    uint32_t size;    // 2 or 4
  };
  const Case cases[] = {
      {"not BM", 0, 0x4D43, 2},
      {"the older 12-byte core header", 14, 12, 4},
      {"a 39-byte header", 14, 39, 4},
      {"a header longer than the file", 14, 0x7FFFFFF0, 4},
      {"width 0", 18, 0, 4},
      {"negative width", 18, 0xFFFFFFF0, 4},
      {"width past 16 bits", 18, 0x10000, 4},
      {"height 0", 22, 0, 4},
      {"top-down (negative height)", 22, 0xFFFFFFF8, 4},
      {"a height whose rows overflow 32 bits", 22, 0x7FFFFFFF, 4},
      {"16 bits per pixel", 28, 16, 2},
      {"32 bits per pixel", 28, 32, 2},
      {"run-length compressed", 30, 1, 4},
      {"an image size smaller than the rows", 34, 15, 4},
      {"an image size past the file", 34, 0xFFFFFFF0, 4},
      {"257 colours", 46, 257, 4},
      {"a colour count that overflows when times 4", 46, 0x40000001, 4},
      {"bits offset past the file", 10, 0xFFFFFFFF, 4},
      {"bits offset leaving too few bytes", 10, 14 + 40 + 1024 + 1, 4},
  };
  const std::vector<uint8_t> good = MakePicture(PictureSpec{});
  LogoBitmap picture;
  ASSERT_TRUE(Parse(good, &picture));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> file = good;
    if (c.size == 2) StoreU16(file.data() + c.offset, static_cast<uint16_t>(c.value));
    else StoreU32(file.data() + c.offset, c.value);
    EXPECT_FALSE(Parse(file, &picture));
    EXPECT_TRUE(picture.block.empty());
  }
}

// Whatever a damaged file says, an accepted picture's block holds exactly what its
// header promises, so the painting never reads past it.
TEST(LogoBitmapTest, SeededDamageNeverGivesAnInconsistentBlock) {
  const uint32_t seed = 20261207;
  std::mt19937 random(seed);
  const std::vector<uint8_t> good = MakePicture(PictureSpec{24, 6, 4, 0, 16});
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> file = good;
    const int damages = 1 + static_cast<int>(random() % 4);
    for (int d = 0; d < damages; ++d) file[random() % 60] = static_cast<uint8_t>(random());
    LogoBitmap picture;
    if (!Parse(file, &picture)) continue;
    ++accepted;
    const uint32_t imageSize = LoadU32(picture.block.data() + 20);
    const uint64_t rows = (uint64_t{picture.bitCount} * picture.width + 31) / 32 * 4 * picture.height;
    ASSERT_GE(imageSize, rows) << "seed " << seed << " round " << round;
    ASSERT_EQ(picture.block.size(), 40 + 4 * uint64_t{picture.colorCount} + imageSize) << "seed " << seed;
    ASSERT_LE(picture.colorCount, 256u) << "seed " << seed;
  }
  EXPECT_GT(accepted, 0);
}

TEST(LogoBitmapTest, FilesAreReadLikeBuffersAndAMissingOneGivesNothing) {
  testing_support::ScratchDirectory dir("logo");
  const std::vector<uint8_t> file = MakePicture(PictureSpec{9, 3, 24, 0, 0});
  dir.Write(kLogoFileName, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
  const std::string path = dir.File(kLogoFileName);
  LogoBitmap fromFile;
  LogoBitmap fromBuffer;
  ASSERT_TRUE(ReadLogoBitmap(path, &fromFile));
  ASSERT_TRUE(Parse(file, &fromBuffer));
  EXPECT_EQ(fromFile.block, fromBuffer.block);
  EXPECT_FALSE(ReadLogoBitmap(dir.File("missing.bmp"), &fromFile));
  EXPECT_TRUE(fromFile.block.empty());
}

TEST(LogoBitmapTest, ThePathSitsBesideTheProgram) {
  EXPECT_EQ(BuildLogoPath("C:\\tools\\zentor.exe"), "C:\\tools\\ZENTORLG.BMP");
  EXPECT_EQ(BuildLogoPath("/opt/zentor/zentor"), "/opt/zentor/ZENTORLG.BMP");
  EXPECT_EQ(BuildLogoPath("zentor.exe"), "ZENTORLG.BMP");
  const std::string deep = "C:\\" + std::string(245, 'd') + "\\zentor.exe";  // directory of 249 characters
  EXPECT_EQ(BuildLogoPath(deep), deep.substr(0, 249) + "?");
  const std::string fits = "C:\\" + std::string(243, 'd') + "\\zentor.exe";  // 247 + 12 = 259
  EXPECT_EQ(BuildLogoPath(fits), fits.substr(0, 247) + kLogoFileName);
}

TEST(LogoBitmapTest, CentringRoundsColumnsAndStaysOnTheScreen) {
  struct Case {
    const char* name;
    int32_t width, height;
    int32_t expectX, expectY;
  };
  const Case cases[] = {
      {"a 300 x 200 picture on 1280 x 1024", 300, 200, 488, 412},
      {"x rounded to a multiple of 8", 301, 201, 488, 411},
      {"wider than the screen", 2000, 100, 0, 462},
      {"higher than the screen", 100, 3000, 592, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LayerPoint at = CenterOnScreen(c.width, c.height, 1280, 1024);
    EXPECT_EQ(at.x, c.expectX);
    EXPECT_EQ(at.y, c.expectY);
    EXPECT_EQ(at.x % 8, 0);
  }
  const LayerPoint over = CenterOverWindow(200, 100, LayerRect{900, 1100, 1000, 1280}, 1280, 1024);
  EXPECT_EQ(over.x, 1080);  // pushed back inside the right edge
  EXPECT_EQ(over.y, 900);
}

}  // namespace
}  // namespace zentor
