#include "rgb_image.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

namespace zentor::wine_gui {
namespace {

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}
uint16_t Le16(const std::vector<uint8_t>& bytes, size_t at) { return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8)); }

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

bool ReadBmp(const std::string& path, RgbImage* image, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') {
    *error = path + ": not a BMP file";
    return false;
  }
  const uint32_t offset = Le32(bytes, 10);
  const int32_t width = static_cast<int32_t>(Le32(bytes, 18));
  const int32_t rawHeight = static_cast<int32_t>(Le32(bytes, 22));
  if (Le16(bytes, 28) != 24 || Le32(bytes, 30) != 0 || width <= 0 || width > 8192 || rawHeight == 0 ||
      rawHeight > 8192 || rawHeight < -8192) {
    *error = path + ": not an uncompressed 24-bit BMP";
    return false;
  }
  const int32_t height = rawHeight < 0 ? -rawHeight : rawHeight;
  const uint64_t stride = (static_cast<uint64_t>(width) * 3 + 3) & ~3ull;
  if (offset > bytes.size() || stride * static_cast<uint64_t>(height) > bytes.size() - offset) {
    *error = path + ": shorter than its header says";
    return false;
  }
  image->width = width;
  image->height = height;
  image->pixels.assign(static_cast<size_t>(width) * height * 3, 0);
  for (int32_t y = 0; y < height; ++y) {
    const int32_t row = rawHeight > 0 ? height - 1 - y : y;
    const uint8_t* source = bytes.data() + offset + stride * static_cast<uint64_t>(row);
    uint8_t* target = image->pixels.data() + static_cast<size_t>(y) * width * 3;
    for (int32_t x = 0; x < width; ++x) {
      target[x * 3] = source[x * 3 + 2];
      target[x * 3 + 1] = source[x * 3 + 1];
      target[x * 3 + 2] = source[x * 3];
    }
  }
  return true;
}

bool ReadPng(const std::string& path, RgbImage* image, std::string* error) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    *error = path + ": " + png.message;
    return false;
  }
  png.format = PNG_FORMAT_RGB;
  image->width = static_cast<int32_t>(png.width);
  image->height = static_cast<int32_t>(png.height);
  image->pixels.assign(PNG_IMAGE_SIZE(png), 0);
  if (!png_image_finish_read(&png, nullptr, image->pixels.data(), 0, nullptr)) {
    *error = path + ": " + png.message;
    png_image_free(&png);
    return false;
  }
  return true;
}

bool WritePng(const std::string& path, const RgbImage& image, std::string* error) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  if (!png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
    *error = path + ": " + png.message;
    return false;
  }
  return true;
}

int64_t CountDifferentPixels(const RgbImage& actual, const RgbImage& expected, const std::vector<MaskRect>& masks,
                             int32_t tolerance) {
  if (actual.width != expected.width || actual.height != expected.height) {
    return static_cast<int64_t>(actual.width) * actual.height + 1;
  }
  int64_t different = 0;
  for (int32_t y = 0; y < actual.height; ++y) {
    for (int32_t x = 0; x < actual.width; ++x) {
      bool masked = false;
      for (const MaskRect& mask : masks) masked = masked || (mask.top <= y && y < mask.bottom && mask.left <= x && x < mask.right);
      if (masked) continue;
      const size_t at = (static_cast<size_t>(y) * actual.width + x) * 3;
      for (int channel = 0; channel < 3; ++channel) {
        if (std::abs(actual.pixels[at + channel] - expected.pixels[at + channel]) > tolerance) {
          ++different;
          break;
        }
      }
    }
  }
  return different;
}

}  // namespace zentor::wine_gui
