#include "gui/logo_bitmap.h"

#include <cstring>
#include <fstream>

#include "support/little_endian.h"

namespace zentor {
namespace {

using value_bytes::LoadU16;
using value_bytes::LoadU32;
using value_bytes::StoreU32;

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint16_t kBitmapType = 0x4D42;  // "BM"
constexpr uint32_t kMaxColors = 256;

// Where the picture's bytes come from: a buffer, or a file read piece by piece, so
// that a file claiming a huge picture is refused before anything of that size exists.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Exactly `count` bytes from `offset`; false when they are not all there.
  virtual bool ReadAt(uint64_t offset, uint8_t* target, size_t count) = 0;
};

class BufferSource final : public ByteSource {
 public:
  BufferSource(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(size) {}
  uint64_t Size() const override { return m_size; }
  bool ReadAt(uint64_t offset, uint8_t* target, size_t count) override {
    if (offset > m_size || count > m_size - offset) return false;
    if (count != 0) std::memcpy(target, m_bytes + offset, count);
    return true;
  }

 private:
  const uint8_t* m_bytes;
  uint64_t m_size;
};

class FileSource final : public ByteSource {
 public:
  explicit FileSource(const std::string& path) : m_in(path, std::ios::binary) {
    if (!m_in) return;
    m_in.seekg(0, std::ios::end);
    const std::streamoff end = m_in.tellg();
    m_size = end > 0 ? static_cast<uint64_t>(end) : 0;
  }
  bool IsOpen() const { return static_cast<bool>(m_in); }
  uint64_t Size() const override { return m_size; }
  bool ReadAt(uint64_t offset, uint8_t* target, size_t count) override {
    if (offset > m_size || count > m_size - offset) return false;
    m_in.clear();
    m_in.seekg(static_cast<std::streamoff>(offset));
    m_in.read(reinterpret_cast<char*>(target), static_cast<std::streamsize>(count));
    return static_cast<size_t>(m_in.gcount()) == count;
  }

 private:
  std::ifstream m_in;
  uint64_t m_size = 0;
};

// 1. The file header: "BM" and the offset of the bits (0: right after the colours).
// 2. The info header: at least 40 bytes, uncompressed, 1/4/8/24 bits, a 16-bit
//    width and a positive height; its colour count completed (2^bits when 0 and not
//    24 bits) and at most 256.
// 3. The image size is at least the rows the width and height need, so that the
//    painting never reads past the block; 0 is replaced by that size.
// 4. The colour table follows the whole info header in the file, which may be longer
//    than the 40 bytes kept (the block's header then says 40, so that what follows
//    it is the colour table).
// 5. Colour table and bits must lie inside the file; only then is the block made.
bool Parse(ByteSource& source, LogoBitmap* picture) {
  uint8_t fileHeader[kFileHeaderSize];
  uint8_t info[kBitmapInfoHeaderSize];
  if (!source.ReadAt(0, fileHeader, sizeof fileHeader) || LoadU16(fileHeader) != kBitmapType) return false;
  const uint32_t bitsFileOffset = LoadU32(fileHeader + 10);
  if (!source.ReadAt(kFileHeaderSize, info, sizeof info)) return false;

  const uint32_t headerSize = LoadU32(info);
  const int32_t width = static_cast<int32_t>(LoadU32(info + 4));
  const int32_t height = static_cast<int32_t>(LoadU32(info + 8));
  const uint16_t bitCount = LoadU16(info + 14);
  const uint32_t compression = LoadU32(info + 16);
  uint32_t imageSize = LoadU32(info + 20);
  uint32_t colors = LoadU32(info + 32);
  if (headerSize < kBitmapInfoHeaderSize || compression != 0) return false;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) return false;
  if (width < 1 || width > 0xFFFF || height < 1) return false;
  if (colors == 0 && bitCount != 24) colors = 1u << bitCount;
  if (colors > kMaxColors) return false;

  const uint64_t rowBytes = (static_cast<uint64_t>(bitCount) * static_cast<uint64_t>(width) + 31) / 32 * 4;
  const uint64_t neededImage = rowBytes * static_cast<uint64_t>(height);
  if (neededImage > UINT32_MAX) return false;
  if (imageSize == 0) imageSize = static_cast<uint32_t>(neededImage);
  if (imageSize < neededImage) return false;

  const uint64_t colorFileOffset = uint64_t{kFileHeaderSize} + headerSize;
  const uint64_t colorBytes = uint64_t{4} * colors;
  const uint64_t bitsAt = bitsFileOffset != 0 ? bitsFileOffset : colorFileOffset + colorBytes;
  const uint64_t fileSize = source.Size();
  if (colorFileOffset + colorBytes > fileSize || bitsAt > fileSize || imageSize > fileSize - bitsAt) return false;

  const uint64_t blockSize = uint64_t{kBitmapInfoHeaderSize} + colorBytes + imageSize;
  std::vector<uint8_t> block(static_cast<size_t>(blockSize));
  std::memcpy(block.data(), info, sizeof info);
  StoreU32(block.data(), kBitmapInfoHeaderSize);
  StoreU32(block.data() + 20, imageSize);
  StoreU32(block.data() + 32, colors);
  const size_t bitsOffset = kBitmapInfoHeaderSize + static_cast<size_t>(colorBytes);
  if (!source.ReadAt(colorFileOffset, block.data() + kBitmapInfoHeaderSize, static_cast<size_t>(colorBytes)) ||
      !source.ReadAt(bitsAt, block.data() + bitsOffset, imageSize)) {
    return false;
  }
  picture->block = std::move(block);
  picture->colorCount = colors;
  picture->bitsOffset = static_cast<uint32_t>(bitsOffset);
  picture->width = width;
  picture->height = height;
  picture->bitCount = bitCount;
  return true;
}

bool ParseInto(ByteSource& source, LogoBitmap* picture) {
  *picture = LogoBitmap{};
  if (Parse(source, picture)) return true;
  *picture = LogoBitmap{};
  return false;
}

}  // namespace

bool ParseLogoBitmap(const uint8_t* bytes, size_t size, LogoBitmap* picture) {
  BufferSource source(bytes, bytes != nullptr ? size : 0);
  return ParseInto(source, picture);
}

bool ReadLogoBitmap(const std::string& path, LogoBitmap* picture) {
  FileSource source(path);
  if (!source.IsOpen()) {
    *picture = LogoBitmap{};
    return false;
  }
  return ParseInto(source, picture);
}

std::string BuildLogoPath(const std::string& programPath) {
  const size_t separator = programPath.find_last_of("\\/");
  const std::string directory = separator == std::string::npos ? std::string() : programPath.substr(0, separator + 1);
  std::string path = directory + kLogoFileName;
  if (path.size() >= kMaxProgramPath) path = directory + "?";
  return path;
}

LayerPoint CenterOnScreen(int32_t width, int32_t height, int32_t screenWidth, int32_t screenHeight) {
  // Byte-aligned columns paint faster on planar displays; the rounding is kept.
  int32_t x = ((screenWidth - width) / 2 + 4) & ~7;
  int32_t y = (screenHeight - height) / 2;
  return LayerPoint{y < 0 ? 0 : y, x < 0 ? 0 : x};
}

LayerPoint CenterOverWindow(int32_t width, int32_t height, const LayerRect& other, int32_t screenWidth,
                            int32_t screenHeight) {
  int32_t x = other.left + ((other.right - other.left) - width) / 2;
  int32_t y = other.top + ((other.bottom - other.top) - height) / 2;
  if (x + width > screenWidth) x = screenWidth - width;
  if (y + height > screenHeight) y = screenHeight - height;
  return LayerPoint{y < 0 ? 0 : y, x < 0 ? 0 : x};
}

}  // namespace zentor
