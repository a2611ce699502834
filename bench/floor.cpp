// The floor: the least code that does the viewer's work on the same files, so
// that its figures stand for what the driver and the memory system allow.
//
// One bulk read of World.obj, per-corner expansion with face normals, three
// buffer uploads; the same texture and the same two shader programs from the
// working directory; then every frame a depth-tested draw from the default
// light into a 1024 x 1024 RGBA8 texture with a depth renderbuffer, and a draw
// from the camera into the 640 x 480 window that samples it. It prints one
// line per frame, 1000 / milliseconds of work, as the viewer does, and paces
// frames 40 ms apart with a sleeping wait.
//
// --elements draws with glDrawElements over a client-side index array
// 0 .. N-1 instead of glDrawArrays, which measures what that array costs.
#include <GL/glew.h>
#include <SDL/SDL.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "vantrel-floor: %s\n", what);
  std::exit(1);
}

unsigned char* ReadFile(const char* name, size_t& size) {
  FILE* f = std::fopen(name, "rb");
  struct stat info;
  if (!f || fstat(fileno(f), &info) != 0) Fail("cannot open World.obj");
  size = (size_t)info.st_size;
  unsigned char* bytes = (unsigned char*)std::malloc(size + 1);
  if (!bytes || std::fread(bytes, 1, size, f) != size) Fail("cannot read World.obj");
  std::fclose(f);
  return bytes;
}

struct SMesh {
  float* pPositions;  // 3 per corner
  float* pTexCoords;  // 2 per corner
  float* pNormals;    // 3 per corner, the face normal
  long lCorners;
};

// Benchmark files only: the sections are assumed whole and the indices in range.
SMesh Expand(const unsigned char* file, size_t size) {
  int32_t v = 0, t = 0;
  std::memcpy(&v, file, 4);
  const float* vertices = (const float*)(file + 4);
  if (size < 8 + 12 * (size_t)v) Fail("World.obj is cut short");
  std::memcpy(&t, file + 4 + 12 * (size_t)v, 4);
  const uint32_t* indices = (const uint32_t*)(file + 8 + 12 * (size_t)v);
  if (v < 0 || t < 0 || size < 8 + 12 * (size_t)v + 12 * (size_t)t) Fail("World.obj is cut short");

  SMesh m;
  m.lCorners = 3L * t;
  m.pPositions = (float*)std::malloc(12 * m.lCorners + 1);
  m.pTexCoords = (float*)std::malloc(8 * m.lCorners + 1);
  m.pNormals = (float*)std::malloc(12 * m.lCorners + 1);
  for (long k = 0; k < m.lCorners; k += 3) {
    float* p = m.pPositions + 3 * k;
    for (int c = 0; c < 3; ++c) {
      uint32_t j = indices[k + c];
      std::memcpy(p + 3 * c, vertices + 3 * (size_t)j, 12);
      m.pTexCoords[2 * (k + c)] = (float)(j % 2);
      m.pTexCoords[2 * (k + c) + 1] = (float)(j % 3);
    }
    float a[3] = {p[3] - p[0], p[4] - p[1], p[5] - p[2]};
    float b[3] = {p[6] - p[3], p[7] - p[4], p[8] - p[5]};
    float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    float l = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    float s = l > 0 ? 1.0f / std::sqrt(l) : 0.0f;
    for (int c = 0; c < 3; ++c)
      for (int d = 0; d < 3; ++d) m.pNormals[3 * (k + c) + d] = n[d] * s;
  }
  return m;
}

void Upload(GLuint buffer, long bytes, const void* data) {
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, bytes, data, GL_STATIC_DRAW);
}

GLhandleARB Compile(const char* name, GLenum type) {
  size_t size = 0;
  char* text = (char*)ReadFile(name, size);
  text[size] = '\0';
  GLhandleARB shader = glCreateShaderObjectARB(type);
  glShaderSourceARB(shader, 1, (const GLcharARB**)&text, nullptr);
  glCompileShaderARB(shader);
  std::free(text);
  return shader;
}

GLhandleARB Link(GLhandleARB vertex, GLhandleARB fragment) {
  GLhandleARB program = glCreateProgramObjectARB();
  glAttachObjectARB(program, vertex);
  glAttachObjectARB(program, fragment);
  glLinkProgramARB(program);
  GLint linked = 0;
  glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
  if (!linked) Fail("a shader program does not link");
  return program;
}

GLuint LoadBmp(const char* name) {
  SDL_Surface* image = SDL_LoadBMP(name);
  if (!image) Fail("cannot load tex2.bmp");
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, image->w, image->h, 0, GL_BGR, GL_UNSIGNED_BYTE, image->pixels);
  SDL_FreeSurface(image);
  return texture;
}

// The light's target: an RGBA8 colour texture and a depth renderbuffer.
GLuint MakeLightTarget(GLuint& texture) {
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1024, 1024, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  GLuint depth = 0, framebuffer = 0;
  glGenRenderbuffersEXT(1, &depth);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, 1024, 1024);
  glGenFramebuffersEXT(1, &framebuffer);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
  glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  return framebuffer;
}

void SetUniforms(GLhandleARB program) {
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  glUniformMatrix4fv(glGetUniformLocation(program, "view"), 1, GL_FALSE, m);
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  glUniformMatrix4fv(glGetUniformLocation(program, "proj"), 1, GL_FALSE, m);
  glUniform3f(glGetUniformLocation(program, "lpos"), -60.0f, 310.0f, 200.0f);
  glUniform3f(glGetUniformLocation(program, "cpos"), 0.0f, 0.0f, 0.0f);
  glUniform1i(glGetUniformLocation(program, "lmap"), 0);
}

}  // namespace

int main(int argc, char** argv) {
  bool elements = argc > 1 && std::strcmp(argv[1], "--elements") == 0;
  if (argc > 1 && !elements) {
    std::fprintf(stderr, "Usage: vantrel-floor [--elements]\n(run in a folder holding the viewer's files)\n");
    return argc == 2 && std::strcmp(argv[1], "--help") == 0 ? 0 : 1;
  }

  // The window is opened as the viewer opens it.
  setenv("SDL12COMPAT_OPENGL_SCALING", "0", 1);
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) != 0) Fail("SDL_Init failed");
  if (!SDL_SetVideoMode(640, 480, 8, SDL_OPENGL)) Fail("SDL_SetVideoMode failed");
  Uint32 time = SDL_GetTicks();
  if (glewInit() != GLEW_OK) Fail("glewInit failed");

  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);

  GLuint lightTexture = 0;
  GLuint framebuffer = MakeLightTarget(lightTexture);
  GLuint surfaceTexture = LoadBmp("tex2.bmp");

  size_t size = 0;
  unsigned char* file = ReadFile("World.obj", size);
  SMesh mesh = Expand(file, size);
  std::free(file);
  GLuint buffers[3];
  glGenBuffers(3, buffers);
  Upload(buffers[0], 12 * mesh.lCorners, mesh.pPositions);
  glVertexPointer(3, GL_FLOAT, 0, nullptr);
  Upload(buffers[1], 8 * mesh.lCorners, mesh.pTexCoords);
  glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
  Upload(buffers[2], 12 * mesh.lCorners, mesh.pNormals);
  glNormalPointer(GL_FLOAT, 0, nullptr);
  GLuint* indices = nullptr;
  if (elements) {
    indices = (GLuint*)std::malloc(4 * mesh.lCorners + 1);
    for (long k = 0; k < mesh.lCorners; ++k) indices[k] = (GLuint)k;
  }

  GLhandleARB vertex = Compile("vshader.sh", GL_VERTEX_SHADER_ARB);
  GLhandleARB lightProgram = Link(vertex, Compile("emptyshader.sh", GL_FRAGMENT_SHADER_ARB));
  GLhandleARB sceneProgram = Link(vertex, Compile("shader.sh", GL_FRAGMENT_SHADER_ARB));
  glUseProgramObjectARB(sceneProgram);
  glUniform1i(glGetUniformLocation(sceneProgram, "sha"), 1);

  for (;;) {
    SDL_Event event;
    while (SDL_PollEvent(&event))
      if (event.type == SDL_QUIT || (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE))
        return 0;

    // From the light into its target.
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glViewport(0, 0, 1024, 1024);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.1, 0.1, -0.1, 0.1, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(40.0f, 1, 0, 0);
    glRotatef(230.0f, 0, 1, 0);
    glTranslatef(60.0f, -310.0f, -200.0f);
    glUseProgramObjectARB(sceneProgram);
    SetUniforms(sceneProgram);
    glUseProgramObjectARB(lightProgram);
    if (elements)
      glDrawElements(GL_TRIANGLES, (GLsizei)mesh.lCorners, GL_UNSIGNED_INT, indices);
    else
      glDrawArrays(GL_TRIANGLES, 0, (GLsizei)mesh.lCorners);

    // From the camera into the window, sampling the light's target.
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glViewport(0, 0, 640, 480);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.1, 0.1, -0.1, 0.1, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glUseProgramObjectARB(sceneProgram);
    glActiveTextureARB(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, lightTexture);
    glActiveTextureARB(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, surfaceTexture);
    if (elements)
      glDrawElements(GL_TRIANGLES, (GLsizei)mesh.lCorners, GL_UNSIGNED_INT, indices);
    else
      glDrawArrays(GL_TRIANGLES, 0, (GLsizei)mesh.lCorners);
    SDL_GL_SwapBuffers();

    std::cout << 1000.0 / (double)(SDL_GetTicks() - time) << std::endl;
    Uint32 elapsed = SDL_GetTicks() - time;
    if (elapsed < 40) SDL_Delay(40 - elapsed);
    time = SDL_GetTicks();
  }
}
