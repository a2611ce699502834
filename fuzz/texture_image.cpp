// Fuzzes the image path of texture loading: BMP bytes read by LoadBmpImage
// (SDL's loader) from memory, then PrepareTextureImage, up to the texels glTexImage2D would
// read. gluScaleImage needs a current OpenGL context but no window, so the
// fuzzer makes one with EGL on Mesa's surfaceless platform.
//
// Input: two bytes choosing the texture size, then the BMP file's bytes.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "TextureImage.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "texture_image: %s (EGL error 0x%x)\n", what, eglGetError());
  std::abort();
}

void MakeOffscreenContext() {
  auto getPlatformDisplay = (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
  if (!getPlatformDisplay) Fail("no eglGetPlatformDisplayEXT");
  EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) Fail("no surfaceless display");
  if (!eglBindAPI(EGL_OPENGL_API)) Fail("no desktop OpenGL");
  // EGL_SURFACE_TYPE defaults to windows, which a surfaceless display has none of.
  const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                               EGL_NONE};
  EGLConfig config;
  EGLint count = 0;
  if (!eglChooseConfig(display, attributes, &config, 1, &count) || count < 1) Fail("no OpenGL config");
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
  if (context == EGL_NO_CONTEXT) Fail("no context");
  if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) Fail("cannot make it current");
}

// Sizes 1 to 64 keep runs fast; 255 stands for the viewer's 1024.
GLuint SizeFrom(unsigned char b) { return b == 255 ? 1024 : 1 + b % 64; }

// Reads every texel the upload would read, so a short buffer shows up.
unsigned Sum(const unsigned char* p, size_t n) {
  unsigned sum = 0;
  for (size_t i = 0; i < n; ++i) sum += p[i];
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  MakeOffscreenContext();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 2) return 0;
  const GLuint x = SizeFrom(data[0]), y = SizeFrom(data[1]);
  SDL_Surface* image = LoadBmpImage(SDL_RWFromConstMem(data + 2, (int)(size - 2)));
  if (!image) return 0;

  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  std::vector<unsigned char> converted;
  bool asIs = false;
  if (PrepareTextureImage(image, x, y, converted, asIs)) {
    const size_t texels = (size_t)x * y * 3;
    if (asIs) {
      SDL_LockSurface(image);
      volatile unsigned sum = Sum((const unsigned char*)image->pixels, texels);
      (void)sum;
      SDL_UnlockSurface(image);
    } else if (converted.size() != texels) {
      std::fprintf(stderr, "converted %zu bytes, want %zu\n", converted.size(), texels);
      std::abort();
    }
  } else {
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    if (alignment != 4) {
      std::fprintf(stderr, "a failed conversion left the unpack alignment at %d\n", alignment);
      std::abort();
    }
  }
  SDL_FreeSurface(image);
  return 0;
}
