// Shader programs: building both from their files, and handing the main
// program the light pass's uniforms.
#include "CpGl.h"  // glew.h must come before the other OpenGL headers

#include <GL/glu.h>

#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

const int kLogSize = 2000;

// A folder opens for reading, but has no text and no usable size.
bool IsFolder(FILE* f) {
  struct stat info;
  return fstat(fileno(f), &info) == 0 && S_ISDIR(info.st_mode);
}

void WriteLabelledError(const char* label, GLenum e) {
  std::cout << label << (const char*)gluErrorString(e) << std::endl;
}

// Reads, compiles and reports one shader file; its compiler log is echoed
// and kept as a 2000-byte record in the debug log. Returns 0 when the file
// cannot be opened or the shader does not compile.
int CompileShaderFile(const char* file, GLenum type, GLhandleARB& shader, FILE* fDeb) {
  FILE* fIn = std::fopen(file, "r");
  if (fIn && IsFolder(fIn)) {
    std::fclose(fIn);
    fIn = nullptr;
  }
  if (!fIn) {
    std::cout << "Failed to open file " << file << "\n";
    return 0;
  }
  std::fseek(fIn, 0, SEEK_END);
  long size = std::ftell(fIn);
  std::fseek(fIn, 0, SEEK_SET);
  if (size < 0) size = 0;  // an unseekable file reads as an empty text
  std::vector<char> shaderSource((size_t)size + 1);
  int shaderLength = (int)std::fread(shaderSource.data(), 1, (size_t)size, fIn);
  std::fclose(fIn);

  shader = glCreateShaderObjectARB(type);
  shaderSource[shaderLength] = '\0';
  const GLcharARB* text = shaderSource.data();
  glShaderSourceARB(shader, 1, &text, nullptr);
  glCompileShaderARB(shader);

  GLint error = 0;
  glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &error);
  std::vector<char> errorLog(kLogSize, 0);
  GLsizei tempInt = 0;
  glGetInfoLogARB(shader, kLogSize, &tempInt, errorLog.data());

  std::printf("%s\n=======\n %d \n=======\n", shaderSource.data(), shaderLength);
  std::printf("%s", errorLog.data());
  if (fDeb) std::fwrite(errorLog.data(), 1, kLogSize, fDeb);

  if (error == 0) return 0;
  std::printf("prelink\n");
  return 1;
}

// A link is judged by the link status too: a failed link raises no OpenGL error.
int LinkProgram(GLhandleARB program) {
  glLinkProgramARB(program);
  GLenum e = glGetError();
  if (e != GL_NO_ERROR) {
    std::cout << "Link Error\n";
    WriteLabelledError("", e);
    return 0;
  }
  GLint linked = 0;
  glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
  if (!linked) {
    std::vector<char> log(kLogSize, 0);
    GLsizei length = 0;
    glGetInfoLogARB(program, kLogSize, &length, log.data());
    std::string text = log.data();
    if (text.empty() || text.back() != '\n') text += '\n';
    std::cout << "Link Error\n" << text << std::flush;
    return 0;
  }
  return 1;
}

int LoadShaderFiles(GLhandleARB& programObject, GLhandleARB& emptyShader, GLhandleARB& vertexShader,
                    GLhandleARB& fragmentShader, FILE* fDeb) {
  programObject = glCreateProgramObjectARB();
  emptyShader = glCreateProgramObjectARB();

  if (!CompileShaderFile("vshader.sh", GL_VERTEX_SHADER_ARB, vertexShader, fDeb)) return 0;
  glAttachObjectARB(emptyShader, vertexShader);
  glAttachObjectARB(programObject, vertexShader);
  GLenum e = glGetError();
  if (e != GL_NO_ERROR) {
    std::cout << "Attach Error\n";
    WriteLabelledError("", e);
    return 0;
  }

  if (!CompileShaderFile("emptyshader.sh", GL_FRAGMENT_SHADER_ARB, fragmentShader, fDeb)) return 0;
  glAttachObjectARB(emptyShader, fragmentShader);
  if (!LinkProgram(emptyShader)) return 0;

  if (!CompileShaderFile("shader.sh", GL_FRAGMENT_SHADER_ARB, fragmentShader, fDeb)) return 0;
  glAttachObjectARB(programObject, fragmentShader);
  if (!LinkProgram(programObject)) return 0;
  return 1;
}

// A missing uniform is reported on every look-up; its value is then sent to
// location -1, which OpenGL ignores.
GLint LocateUniform(GLhandleARB program, const char* name, const char* missingMessage) {
  GLint loc = glGetUniformLocation(program, name);
  if (loc == -1) std::cout << missingMessage;
  return loc;
}

void ReportPendingError(const char* label) {
  GLenum e = glGetError();
  if (e != GL_NO_ERROR) WriteLabelledError(label, e);
}

}  // namespace

int CCpGl::LoadShaders() {
  FILE* fDeb = std::fopen("debug.txt", "w");
  if (!fDeb) std::cout << "Error: cannot create debug.txt: shader logs are not kept\n";

  int built = LoadShaderFiles(programObject, emptyShader, vertexShader, fragmentShader, fDeb);
  if (built) std::printf("postlink\n");
  if (fDeb) std::fclose(fDeb);
  if (!built) return 0;

  std::cout << "tex\n";
  glUseProgramObjectARB(programObject);
  WriteGlErrorLine();
  GLint loc = LocateUniform(programObject, "tex", "aaaa ERROR!!!!!!!\n");

  std::cout << "sha\n";
  loc = LocateUniform(programObject, "sha", "baaa ERROR!!!!!!!\n");
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, pTextureArray[0]);
  glUniform1i(loc, 1);
  WriteGlErrorLine();
  return 1;
}

void CCpGl::PrepairShaders() {
  GLfloat mat[16];
  GLfloat vec3[3];

  GLint loc = LocateUniform(programObject, "view", "caaa ERROR!!!!!!!\n");
  glGetFloatv(GL_MODELVIEW_MATRIX, mat);
  glUniformMatrix4fv(loc, 1, GL_FALSE, mat);
  ReportPendingError("ModelView: ");

  loc = LocateUniform(programObject, "proj", "daaa ERROR!!!!!!!\n");
  glGetFloatv(GL_PROJECTION_MATRIX, mat);
  glUniformMatrix4fv(loc, 1, GL_FALSE, mat);
  ReportPendingError("Projection: ");

  loc = LocateUniform(programObject, "lpos", "eaaa ERROR!!!!!!!\n");
  vec3[0] = pLightObjectArray[0].x;
  vec3[1] = pLightObjectArray[0].y;
  vec3[2] = pLightObjectArray[0].z;
  glUniform3fv(loc, 1, vec3);
  ReportPendingError("lpos: ");

  loc = LocateUniform(programObject, "cpos", "faaa ERROR!!!!!!!\n");
  vec3[0] = sPos.x;
  vec3[1] = sPos.y;
  vec3[2] = sPos.z;
  glUniform3fv(loc, 1, vec3);
  ReportPendingError("cpos: ");

  loc = LocateUniform(programObject, "lmap", "gaaa ERROR!!!!!!!\n");
  glUniform1i(loc, lmap);
  ReportPendingError("lmap: ");
}
