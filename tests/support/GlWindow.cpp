#include "GlWindow.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

void OpenGlWindow() {
  static bool opened = false;
  if (opened) return;
  setenv("SDL12COMPAT_OPENGL_SCALING", "0", 1);  // as the viewer does: framebuffer 0 is the window
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 0) << SDL_GetError();
  ASSERT_NE(SDL_SetVideoMode(640, 480, 0, SDL_OPENGL), nullptr) << SDL_GetError();
  ASSERT_EQ(glewInit(), (GLenum)GLEW_OK);
  opened = true;
}

std::vector<unsigned char> ReadWindowPixels() {
  std::vector<unsigned char> pixels(640 * 480 * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

Rgba WindowPixel(int x, int y) {
  unsigned char p[4] = {0, 0, 0, 0};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glReadBuffer(GL_BACK);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return Rgba{p[0], p[1], p[2], p[3]};
}

std::vector<unsigned char> ReadTexture(GLuint name, int* width, int* height) {
  GLint w = 0, h = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  std::vector<unsigned char> pixels((size_t)w * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  if (width) *width = w;
  if (height) *height = h;
  return pixels;
}
