#pragma once
// The screenshots of the GUI harness: the driver's BMP captures read into RGB
// pixels, written and read back as PNG baselines, and compared under masks with a
// small tolerance.

#include <cstdint>
#include <string>
#include <vector>

namespace zentor::wine_gui {

struct RgbImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // rows top to bottom, 3 bytes a pixel
};

// A rectangle left out of a comparison: top, left, bottom, right (exclusive).
struct MaskRect {
  int32_t top = 0;
  int32_t left = 0;
  int32_t bottom = 0;
  int32_t right = 0;
};

// An uncompressed 24-bit BMP (bottom-up or top-down); false with `error` set when the
// file is anything else or shorter than its header says.
bool ReadBmp(const std::string& path, RgbImage* image, std::string* error);
bool ReadPng(const std::string& path, RgbImage* image, std::string* error);
bool WritePng(const std::string& path, const RgbImage& image, std::string* error);

// Pixels outside the masks whose channels differ by more than `tolerance`; a size
// difference counts every pixel.
int64_t CountDifferentPixels(const RgbImage& actual, const RgbImage& expected, const std::vector<MaskRect>& masks,
                             int32_t tolerance);

}  // namespace zentor::wine_gui
