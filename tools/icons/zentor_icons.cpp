// zentor-icons DIR: draws the Windows program's ten window-class icons, its help
// cursor and its start-up logo and writes them into DIR as .ico, .cur and .BMP files
// (src/app/resources keeps the files it wrote; run it again after changing a picture).
// Each icon is a 32 x 32 picture in 16 colours: a frame in the window kind's colour
// with the kind's two letters; the cursor is the arrow with a question mark, in black
// and white; the logo is the product's name over what it is, in 16 colours.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 32;

// The 16 colours of the standard palette, as blue, green, red, 0.
const uint8_t kPalette[16][4] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},     {0, 128, 0, 0},   {0, 128, 128, 0},   {128, 0, 0, 0},   {128, 0, 128, 0},
    {128, 128, 0, 0},   {192, 192, 192, 0}, {128, 128, 128, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
    {255, 0, 0, 0},     {255, 0, 255, 0},   {255, 255, 0, 0}, {255, 255, 255, 0},
};
enum Colour : uint8_t { Black = 0, DarkRed = 1, DarkGreen = 2, Olive = 3, Navy = 4, Purple = 5, Teal = 6, Silver = 7,
                        Grey = 8, Red = 9, Green = 10, Yellow = 11, Blue = 12, Magenta = 13, Cyan = 14, White = 15 };

// 5 x 7 letters, one string of five characters per row, '#' for a set pixel.
struct Glyph {
  char letter;
  const char* rows[7];
};
const Glyph kGlyphs[] = {
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
    {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"}},
    {'g', {".....", ".####", "#...#", "#...#", ".####", "....#", ".###."}},
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'d', {"....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"}},
    {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}},
    {'s', {".....", ".....", ".####", "#....", ".###.", "....#", "####."}},
    {'n', {".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."}},
};

const Glyph* FindGlyph(char letter) {
  for (const Glyph& glyph : kGlyphs) {
    if (glyph.letter == letter) return &glyph;
  }
  return nullptr;
}

// A picture as palette indexes, row 0 at the top; `opaque` false leaves a pixel to the
// screen (the AND mask's 1).
struct Picture {
  uint8_t pixel[kSize][kSize] = {};
  bool opaque[kSize][kSize] = {};
  void Set(int x, int y, uint8_t colour) {
    if (x < 0 || y < 0 || x >= kSize || y >= kSize) return;
    pixel[y][x] = colour;
    opaque[y][x] = true;
  }
};

// A letter with each of its pixels drawn as a square of `scale` pixels.
template <typename Target>
void DrawLetter(Target& picture, char letter, int left, int top, uint8_t colour, int scale = 2) {
  const Glyph* glyph = FindGlyph(letter);
  if (glyph == nullptr) return;
  for (int row = 0; row < 7; ++row) {
    for (int column = 0; column < 5; ++column) {
      if (glyph->rows[row][column] != '#') continue;
      for (int dy = 0; dy < scale; ++dy) {
        for (int dx = 0; dx < scale; ++dx) picture.Set(left + column * scale + dx, top + row * scale + dy, colour);
      }
    }
  }
}

// A line of letters, centred across a picture of the width; a blank is a letter wide.
template <typename Target>
void DrawCentredText(Target& picture, int width, const char* text, int top, uint8_t colour, int scale) {
  const int count = static_cast<int>(std::strlen(text));
  const int advance = 6 * scale;
  const int left = (width - (count * advance - scale)) / 2;
  for (int i = 0; i < count; ++i) DrawLetter(picture, text[i], left + i * advance, top, colour, scale);
}

// A window: a title bar in the kind's colour over a white body holding the letters.
Picture DrawIcon(uint8_t colour, const char* letters) {
  Picture picture;
  for (int y = 1; y < 31; ++y) {
    for (int x = 1; x < 31; ++x) {
      const bool border = x == 1 || x == 30 || y == 1 || y == 30;
      picture.Set(x, y, border ? uint8_t{Black} : y < 7 ? colour : uint8_t{White});
    }
  }
  const int count = static_cast<int>(std::strlen(letters));
  const int width = count * 10 + (count - 1) * 2;
  for (int i = 0; i < count; ++i) DrawLetter(picture, letters[i], (kSize - width) / 2 + i * 12, 10, colour);
  return picture;
}

void PutU16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

// The icon resource image: the info header (twice the height, for the two masks),
// the colour table, the colour bits and the AND mask, rows bottom up.
std::vector<uint8_t> ImageBits(const Picture& picture, int bitsPerPixel) {
  std::vector<uint8_t> image;
  const int colours = 1 << bitsPerPixel;
  const int colourRow = kSize * bitsPerPixel / 8;
  const int maskRow = kSize / 8;
  PutU32(image, 40);
  PutU32(image, kSize);
  PutU32(image, kSize * 2);
  PutU16(image, 1);
  PutU16(image, static_cast<uint32_t>(bitsPerPixel));
  PutU32(image, 0);
  PutU32(image, static_cast<uint32_t>((colourRow + maskRow) * kSize));
  for (int i = 0; i < 4; ++i) PutU32(image, 0);
  for (int i = 0; i < colours; ++i) {
    const int index = bitsPerPixel == 1 ? (i == 0 ? Black : White) : i;
    image.insert(image.end(), kPalette[index], kPalette[index] + 4);
  }
  for (int y = kSize - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(colourRow), 0);
    for (int x = 0; x < kSize; ++x) {
      const uint8_t value = picture.opaque[y][x] ? picture.pixel[y][x] : 0;
      if (bitsPerPixel == 4) {
        row[x / 2] |= static_cast<uint8_t>(value << (x % 2 == 0 ? 4 : 0));
      } else if (value == White) {
        row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    }
    image.insert(image.end(), row.begin(), row.end());
  }
  for (int y = kSize - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(maskRow), 0);
    for (int x = 0; x < kSize; ++x) {
      if (!picture.opaque[y][x]) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    image.insert(image.end(), row.begin(), row.end());
  }
  return image;
}

// An .ico (type 1) or .cur (type 2, the hot spot in place of planes and bit count)
// file of one image.
std::vector<uint8_t> IconFile(const Picture& picture, bool cursor, int hotX, int hotY) {
  const int bits = cursor ? 1 : 4;
  const std::vector<uint8_t> image = ImageBits(picture, bits);
  std::vector<uint8_t> file;
  PutU16(file, 0);
  PutU16(file, cursor ? 2 : 1);
  PutU16(file, 1);
  file.push_back(kSize);
  file.push_back(kSize);
  file.push_back(static_cast<uint8_t>(cursor ? 2 : 16));
  file.push_back(0);
  PutU16(file, static_cast<uint32_t>(cursor ? hotX : 1));
  PutU16(file, static_cast<uint32_t>(cursor ? hotY : bits));
  PutU32(file, static_cast<uint32_t>(image.size()));
  PutU32(file, 22);
  file.insert(file.end(), image.begin(), image.end());
  return file;
}

// The help cursor: the arrow, and a question mark beside it.
Picture DrawHelpCursor() {
  static const char* const kShape[] = {
      "B...............................", "BB..............................", "BWB.............................",
      "BWWB............................", "BWWWB...........................", "BWWWWB..........................",
      "BWWWWWB.........................", "BWWWWWWB........................", "BWWWWWWWB.......................",
      "BWWWWWWWWB......................", "BWWWWWBBBBB.....................", "BWWBWWB.........................",
      "BWB.BWWB........................", "BB..BWWB........................", "B....BWWB.......................",
      ".....BWWB.......................", "......BB........................",
  };
  static const char* const kQuestion[] = {
      ".BBBBB.", "BWWWWWB", "BWBBBWB", "BBB.BWB", "...BWWB", "..BWWB.", "..BWB..", "..BBB..", "..BWB..", "..BBB..",
  };
  Picture picture;
  for (int y = 0; y < 17; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const char c = kShape[y][x];
      if (c != '.') picture.Set(x, y, c == 'B' ? Black : White);
    }
  }
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 7; ++x) {
      const char c = kQuestion[y][x];
      if (c != '.') picture.Set(13 + x, 2 + y, c == 'B' ? Black : White);
    }
  }
  return picture;
}

// The start-up logo: the name in large letters on navy within a white rule, and what
// the program is below it.
struct LogoPicture {
  static constexpr int kWidth = 256;
  static constexpr int kHeight = 96;
  uint8_t pixel[kHeight][kWidth] = {};
  void Set(int x, int y, uint8_t colour) {
    if (x >= 0 && y >= 0 && x < kWidth && y < kHeight) pixel[y][x] = colour;
  }
};

LogoPicture DrawLogo() {
  LogoPicture picture;
  for (int y = 0; y < LogoPicture::kHeight; ++y) {
    for (int x = 0; x < LogoPicture::kWidth; ++x) {
      const bool rule = (x >= 4 && x < LogoPicture::kWidth - 4 && (y == 4 || y == LogoPicture::kHeight - 5)) ||
                        (y >= 4 && y < LogoPicture::kHeight - 4 && (x == 4 || x == LogoPicture::kWidth - 5));
      picture.Set(x, y, rule ? uint8_t{White} : uint8_t{Navy});
    }
  }
  DrawCentredText(picture, LogoPicture::kWidth, "ZENTOR", 14, Yellow, 5);
  for (int x = 48; x < LogoPicture::kWidth - 48; ++x) picture.Set(x, 56, Cyan);
  DrawCentredText(picture, LogoPicture::kWidth, "NLM DEBUGGER", 64, White, 2);
  return picture;
}

// An uncompressed 4-bit Windows bitmap file of the picture, rows bottom up.
std::vector<uint8_t> BitmapFile(const LogoPicture& picture) {
  constexpr uint32_t kColours = 16;
  constexpr uint32_t kRow = (LogoPicture::kWidth * 4 + 31) / 32 * 4;
  constexpr uint32_t kBitsAt = 14 + 40 + kColours * 4;
  std::vector<uint8_t> file;
  PutU16(file, 0x4D42);
  PutU32(file, kBitsAt + kRow * LogoPicture::kHeight);
  PutU32(file, 0);
  PutU32(file, kBitsAt);
  PutU32(file, 40);
  PutU32(file, LogoPicture::kWidth);
  PutU32(file, LogoPicture::kHeight);
  PutU16(file, 1);
  PutU16(file, 4);
  PutU32(file, 0);
  PutU32(file, kRow * LogoPicture::kHeight);
  PutU32(file, 0);
  PutU32(file, 0);
  PutU32(file, kColours);
  PutU32(file, 0);
  for (const auto& entry : kPalette) file.insert(file.end(), entry, entry + 4);
  for (int y = LogoPicture::kHeight - 1; y >= 0; --y) {
    std::vector<uint8_t> row(kRow, 0);
    for (int x = 0; x < LogoPicture::kWidth; ++x) {
      row[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(picture.pixel[y][x] << (x % 2 == 0 ? 4 : 0));
    }
    file.insert(file.end(), row.begin(), row.end());
  }
  return file;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zentor-icons DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  struct Icon {
    const char* file;
    uint8_t colour;
    const char* letters;
  };
  const Icon icons[] = {
      {"avrkw.ico", Navy, "Z"},      {"source.ico", DarkGreen, "Sr"}, {"cmd.ico", Black, "Cm"},
      {"reg.ico", DarkRed, "Rg"},    {"watch.ico", Purple, "Wa"},     {"memory.ico", Teal, "Me"},
      {"modules.ico", Olive, "Md"},  {"locals.ico", Blue, "Lo"},      {"callstack.ico", Grey, "Cs"},
      {"insp.ico", Magenta, "In"},
  };
  for (const Icon& icon : icons) {
    if (!WriteFile(dir + "/" + icon.file, IconFile(DrawIcon(icon.colour, icon.letters), false, 0, 0))) {
      std::fprintf(stderr, "zentor-icons: cannot write %s/%s\n", dir.c_str(), icon.file);
      return 1;
    }
  }
  if (!WriteFile(dir + "/help.cur", IconFile(DrawHelpCursor(), true, 0, 0))) {
    std::fprintf(stderr, "zentor-icons: cannot write %s/help.cur\n", dir.c_str());
    return 1;
  }
  if (!WriteFile(dir + "/ZENTORLG.BMP", BitmapFile(DrawLogo()))) {
    std::fprintf(stderr, "zentor-icons: cannot write %s/ZENTORLG.BMP\n", dir.c_str());
    return 1;
  }
  return 0;
}
