// Writes uncompressed BMP files of 8 (palette), 16, 24 or 32 bits per pixel,
// stored bottom row first as BMPs usually are, rows padded to 4 bytes.
#ifndef VANTREL_TESTS_BMP_FILE_H
#define VANTREL_TESTS_BMP_FILE_H

#include <cstdint>
#include <vector>

struct Rgb {
  unsigned char r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// One picture: `pixels` holds `height` rows of `width`, the top row first.
struct SPicture {
  int width;
  int height;
  std::vector<Rgb> pixels;
  Rgb At(int x, int row) const { return pixels[(size_t)row * width + x]; }
};

inline void PutU16(std::vector<unsigned char>& out, uint32_t v) {
  out.push_back((unsigned char)v);
  out.push_back((unsigned char)(v >> 8));
}

inline void PutU32(std::vector<unsigned char>& out, uint32_t v) {
  PutU16(out, v & 0xffff);
  PutU16(out, v >> 16);
}

// The picture's distinct colours, at most 256 for an 8-bit file.
inline std::vector<Rgb> PaletteOf(const SPicture& p) {
  std::vector<Rgb> palette;
  for (const Rgb& c : p.pixels) {
    bool known = false;
    for (const Rgb& k : palette) known = known || k == c;
    if (!known) palette.push_back(c);
  }
  return palette;
}

inline unsigned char PaletteIndex(const std::vector<Rgb>& palette, Rgb c) {
  for (size_t i = 0; i < palette.size(); ++i)
    if (palette[i] == c) return (unsigned char)i;
  return 0;
}

// 16 bits are X1R5G5B5: colours keep their top five bits.
inline void PutPixel(std::vector<unsigned char>& out, int bitsPerPixel, const std::vector<Rgb>& palette,
                     Rgb c) {
  switch (bitsPerPixel) {
    case 8: out.push_back(PaletteIndex(palette, c)); break;
    case 16: PutU16(out, (uint32_t)((c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3))); break;
    case 24: out.insert(out.end(), {c.b, c.g, c.r}); break;
    default: out.insert(out.end(), {c.b, c.g, c.r, 0}); break;
  }
}

inline std::vector<unsigned char> MakeBmp(const SPicture& p, int bitsPerPixel) {
  const std::vector<Rgb> palette = bitsPerPixel == 8 ? PaletteOf(p) : std::vector<Rgb>();
  const uint32_t rowBytes = ((uint32_t)(p.width * bitsPerPixel + 31) / 32) * 4;
  const uint32_t pixelOffset = 14 + 40 + 4 * (uint32_t)palette.size();
  const uint32_t imageBytes = rowBytes * (uint32_t)p.height;

  std::vector<unsigned char> out{'B', 'M'};
  PutU32(out, pixelOffset + imageBytes);
  PutU32(out, 0);  // reserved
  PutU32(out, pixelOffset);
  PutU32(out, 40);  // BITMAPINFOHEADER
  PutU32(out, (uint32_t)p.width);
  PutU32(out, (uint32_t)p.height);  // positive: bottom row first
  PutU16(out, 1);                   // planes
  PutU16(out, (uint32_t)bitsPerPixel);
  PutU32(out, 0);  // no compression
  PutU32(out, imageBytes);
  PutU32(out, 2835);  // 72 dpi
  PutU32(out, 2835);
  PutU32(out, (uint32_t)palette.size());
  PutU32(out, 0);
  for (const Rgb& c : palette) out.insert(out.end(), {c.b, c.g, c.r, 0});
  for (int row = p.height - 1; row >= 0; --row) {
    const size_t start = out.size();
    for (int x = 0; x < p.width; ++x) PutPixel(out, bitsPerPixel, palette, p.At(x, row));
    out.resize(start + rowBytes, 0);
  }
  return out;
}

// A picture of at most 25 pixels whose every pixel differs from the others,
// and whose three channels differ within each pixel, so that a swapped
// channel, row or column shows.
inline SPicture DistinctPicture(int width, int height) {
  SPicture p{width, height, {}};
  for (int row = 0; row < height; ++row)
    for (int x = 0; x < width; ++x) {
      int i = row * width + x;
      p.pixels.push_back(
          Rgb{(unsigned char)(200 - 7 * i), (unsigned char)(20 + 9 * i), (unsigned char)(91 + 3 * i)});
    }
  return p;
}

inline SPicture SolidPicture(int width, int height, Rgb c) {
  return SPicture{width, height, std::vector<Rgb>((size_t)width * height, c)};
}

#endif
