// Texture creation: the empty render target, and images read from BMP files.
#include "CpGl.h"  // glew.h must come before the other OpenGL headers

#include <SDL/SDL.h>

#include <iostream>
#include <vector>

#include "TextureImage.h"

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

  SDL_Surface* image = LoadBmpImage(SDL_RWFromFile(TextName, "rb"));
  if (!image) {
    std::cout << "Failed to load image\n";
    return 0;
  }

  std::vector<unsigned char> converted;
  bool asIs = false;
  if (!PrepareTextureImage(image, x, y, converted, asIs)) {
    SDL_FreeSurface(image);
    std::cout << "Failed to load image\n";
    return 0;
  }

  std::cout << "image loaded\n";
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (asIs) SDL_LockSurface(image);
  GLuint name = UploadImage(x, y, asIs ? image->pixels : converted.data());
  if (asIs) SDL_UnlockSurface(image);
  SDL_FreeSurface(image);
  return name;
}
