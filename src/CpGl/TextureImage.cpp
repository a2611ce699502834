#include "TextureImage.h"

#include <GL/glu.h>

#include <cstdint>
#include <cstring>

namespace {

uint32_t U16(const unsigned char* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }
uint32_t U32(const unsigned char* p) { return U16(p) | U16(p + 2) << 16; }

// What a BMP header says about the pixels that follow it.
struct SBmpSize {
  int64_t qwWidth;
  int64_t qwHeight;  // negative for top-down images
  uint32_t dwBitsPerPixel;
  uint32_t dwCompression;
};

// Reads the file header and the start of the info header (the older 12-byte
// one or any later one). Bytes past the end of a short file read as zeros, as
// SDL's loader reads them. Returns false when the file is no BMP at all: SDL
// then refuses it itself.
bool ReadBmpSize(SDL_RWops* source, SBmpSize& size) {
  unsigned char h[34];
  std::memset(h, 0, sizeof h);
  if (SDL_RWread(source, h, 1, sizeof h) < 2 || h[0] != 'B' || h[1] != 'M') return false;
  if (U32(h + 14) == 12) {
    size = SBmpSize{U16(h + 18), U16(h + 20), U16(h + 24), 0};
  } else {
    size = SBmpSize{(int32_t)U32(h + 18), (int32_t)U32(h + 22), U16(h + 28), U32(h + 30)};
  }
  return true;
}

// A claimed size SDL would allocate a surface for, however short the file.
bool IsTooLarge(const SBmpSize& s, int64_t fileBytes) {
  const int64_t w = s.qwWidth < 0 ? -s.qwWidth : s.qwWidth;
  const int64_t h = s.qwHeight < 0 ? -s.qwHeight : s.qwHeight;
  if (w > kMaxImageSide || h > kMaxImageSide || w * h > kMaxImagePixels) return true;
  // Uncompressed rows are stored in full, each padded to 4 bytes.
  const bool uncompressed = s.dwCompression == 0 || s.dwCompression == 3 || s.dwCompression == 6;
  const int64_t rowBytes = (w * s.dwBitsPerPixel + 31) / 32 * 4;
  return uncompressed && fileBytes >= 0 && rowBytes * h > fileBytes;
}

// 24-bit pixels whose bytes lie in memory as blue, green, red.
bool IsPackedBgr(const SDL_Surface* s) {
  const SDL_PixelFormat* f = s->format;
  return f->BytesPerPixel == 3 && f->Rmask == 0xff0000 && f->Gmask == 0x00ff00 && f->Bmask == 0x0000ff;
}

// The image can be uploaded as it lies: x tightly packed BGR pixels per row
// and at least y rows, so OpenGL reads only the image's own pixels.
bool FitsAsIs(const SDL_Surface* s, GLuint x, GLuint y) {
  return IsPackedBgr(s) && (GLuint)s->w == x && (GLuint)s->h >= y && (GLuint)s->pitch == x * 3;
}

// Any other image: SDL converts it to 24-bit BGR, then GLU scales the tight
// rows to x by y. Returns false when memory runs out.
bool ConvertToBgr(SDL_Surface* image, GLuint x, GLuint y, std::vector<unsigned char>& out) {
  SDL_PixelFormat bgr;
  std::memset(&bgr, 0, sizeof bgr);
  bgr.BitsPerPixel = 24;
  bgr.BytesPerPixel = 3;
  bgr.Rmask = 0xff0000;
  bgr.Gmask = 0x00ff00;
  bgr.Bmask = 0x0000ff;
  bgr.Rshift = 16;
  bgr.Gshift = 8;
  bgr.Bshift = 0;
  bgr.alpha = 255;
  SDL_Surface* converted = SDL_ConvertSurface(image, &bgr, SDL_SWSURFACE);
  if (!converted) return false;

  const size_t rowBytes = (size_t)converted->w * 3;
  std::vector<unsigned char> tight(rowBytes * (size_t)converted->h);
  SDL_LockSurface(converted);
  for (int row = 0; row < converted->h; ++row)
    std::memcpy(&tight[row * rowBytes],
                (const unsigned char*)converted->pixels + (size_t)row * converted->pitch, rowBytes);
  SDL_UnlockSurface(converted);

  out.assign((size_t)x * y * 3, 0);
  GLint packAlignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);  // gluScaleImage writes rows by the pack settings
  int status = gluScaleImage(GL_BGR, converted->w, converted->h, GL_UNSIGNED_BYTE, tight.data(), x, y,
                             GL_UNSIGNED_BYTE, out.data());
  glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
  SDL_FreeSurface(converted);
  return status == 0;
}

}  // namespace

SDL_Surface* LoadBmpImage(SDL_RWops* source) {
  if (!source) return SDL_LoadBMP_RW(source, 1);  // SDL reports the missing file
  const int64_t fileBytes = SDL_RWseek(source, 0, RW_SEEK_END);
  SDL_RWseek(source, 0, RW_SEEK_SET);
  SBmpSize size;
  if (ReadBmpSize(source, size) && IsTooLarge(size, fileBytes)) {
    SDL_SetError("the image's header claims %ld x %ld pixels", (long)size.qwWidth, (long)size.qwHeight);
    SDL_RWclose(source);
    return nullptr;
  }
  SDL_RWseek(source, 0, RW_SEEK_SET);
  return SDL_LoadBMP_RW(source, 1);
}

int PrepareTextureImage(SDL_Surface* image, GLuint x, GLuint y, std::vector<unsigned char>& converted,
                        bool& asIs) {
  asIs = FitsAsIs(image, x, y);
  if (asIs) return 1;
  // gluScaleImage reads the unpack settings, so alignment 1 must hold before it runs.
  GLint unpackAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (!ConvertToBgr(image, x, y, converted)) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);
    return 0;
  }
  return 1;
}
