// Texture creation: the empty render target, and images read from BMP files.
#include "CpGl.h"  // glew.h must come before the other OpenGL headers

#include <GL/glu.h>
#include <SDL/SDL.h>

#include <cstring>
#include <iostream>
#include <vector>


namespace {

GLuint MakeRenderTarget(GLuint x, GLuint y) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, x, y, 0, GL_RGBA, GL_UNSIGNED_INT, nullptr);
  return name;
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
    std::memcpy(&tight[row * rowBytes], (const unsigned char*)converted->pixels + (size_t)row * converted->pitch,
                rowBytes);
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

GLuint UploadImage(GLuint x, GLuint y, const void* pixels) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, x, y, 0, GL_BGR, GL_UNSIGNED_BYTE, pixels);
  return name;
}

}  // namespace

GLuint CCpGl::LoadTexture(GLuint x, GLuint y, const char* TextName) {
  if (TextName[0] == '\0') return MakeRenderTarget(x, y);

  SDL_Surface* image = SDL_LoadBMP_RW(SDL_RWFromFile(TextName, "rb"), 1);
  if (!image) {
    std::cout << "Failed to load image\n";
    return 0;
  }

  std::vector<unsigned char> converted;
  bool asIs = FitsAsIs(image, x, y);
  // gluScaleImage reads the unpack settings, so alignment 1 must hold before it runs.
  GLint unpackAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
  if (!asIs) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (!ConvertToBgr(image, x, y, converted)) {
      glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);
      SDL_FreeSurface(image);
      std::cout << "Failed to load image\n";
      return 0;
    }
  }

  std::cout << "image loaded\n";
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (asIs) SDL_LockSurface(image);
  GLuint name = UploadImage(x, y, asIs ? image->pixels : converted.data());
  if (asIs) SDL_UnlockSurface(image);
  SDL_FreeSurface(image);
  return name;
}
