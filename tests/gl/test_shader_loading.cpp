// Building the two shader programs from vshader.sh, emptyshader.sh and
// shader.sh: what is printed, what debug.txt keeps, where a load stops, and
// the state a complete load leaves.
#include "PassTestSupport.h"

#include <sys/stat.h>

using namespace passtest;

namespace {

// Every fixture compiles with a warning, so each log, and so each debug.txt
// record, is non-empty and tells the three files apart.
const std::string kVertexSource = "#extension GL_VANTREL_vertex_note : warn\n" + std::string(kVertexShader);
const std::string kLightSource =
    "#extension GL_VANTREL_light_note : warn\n"
    "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n";
const std::string kSceneSource =
    "#extension GL_VANTREL_scene_note : warn\n"
    "uniform sampler2D tex;\n"
    "uniform sampler2D sha;\n"
    "void main() { gl_FragColor = texture2D(tex, gl_TexCoord[0].xy) + texture2D(sha, gl_TexCoord[0].xy); }\n";
const std::string kBrokenSource = "void main() { gl_FragColor = undeclared_value; }\n";
// Compiles, but cannot link: the function is declared and never defined.
const std::string kUnlinkableSource =
    "#extension GL_VANTREL_unlinkable_note : warn\n"
    "vec4 shade();\n"
    "void main() { gl_FragColor = shade(); }\n";
const std::string kAbsent = "<absent>";

std::string CompileLog(GLenum type, const std::string& source) {
  GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  char log[2000] = {0};
  glGetShaderInfoLog(shader, sizeof log, nullptr, log);
  glDeleteShader(shader);
  return log;
}

std::string LinkLog(const std::string& fragmentSource) {
  GLuint program = glCreateProgram();
  GLuint shaders[2] = {glCreateShader(GL_VERTEX_SHADER), glCreateShader(GL_FRAGMENT_SHADER)};
  const char* texts[2] = {kVertexSource.c_str(), fragmentSource.c_str()};
  for (int i = 0; i < 2; ++i) {
    glShaderSource(shaders[i], 1, &texts[i], nullptr);
    glCompileShader(shaders[i]);
    glAttachShader(program, shaders[i]);
  }
  glLinkProgram(program);
  GLint linked = 1;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  EXPECT_EQ(linked, 0) << "the fixture was meant not to link";
  char log[2000] = {0};
  glGetProgramInfoLog(program, sizeof log, nullptr, log);
  glDeleteProgram(program);
  return log;
}

// The source dump: the text up to its first NUL, then the count of bytes read.
std::string Dump(const std::string& bytes) {
  return std::string(bytes.c_str()) + "\n=======\n " + std::to_string(bytes.size()) + " \n=======\n";
}

const char* const kFileNames[3] = {"vshader.sh", "emptyshader.sh", "shader.sh"};
const GLenum kFileTypes[3] = {GL_VERTEX_SHADER, GL_FRAGMENT_SHADER, GL_FRAGMENT_SHADER};

class ShaderLoadTest : public testing::Test {
 protected:
  void SetUp() override {
    sFiles[0] = kVertexSource;
    sFiles[1] = kLightSource;
    sFiles[2] = kSceneSource;
    WriteFiles();
    gl = MakeRenderer();
  }

  void WriteFiles() {
    for (int i = 0; i < 3; ++i) {
      std::remove(kFileNames[i]);
      if (sFiles[i] != kAbsent) dir.Write(kFileNames[i], sFiles[i]);
    }
  }

  // Writes the fixture files (unless told not to) and runs the load; returns its result.
  int Load(bool write = true) {
    if (write) WriteFiles();
    int result = -1;
    output = CaptureOutput([&] { result = gl->LoadShaders(); });
    return result;
  }

  // What compiling file i prints, and "prelink" when it compiled.
  std::string Compiled(int i, bool ok = true) const {
    return Dump(sFiles[i]) + CompileLog(kFileTypes[i], sFiles[i]) + (ok ? "prelink\n" : "");
  }

  static std::string UniformTail(bool texFound, bool shaFound) {
    return std::string("postlink\ntex\nno error\n") + (texFound ? "" : "aaaa ERROR!!!!!!!\n") + "sha\n" +
           (shaFound ? "" : "baaa ERROR!!!!!!!\n") + "no error\n";
  }

  std::string CompleteOutput() const {
    return Compiled(0) + Compiled(1) + Compiled(2) + UniformTail(true, true);
  }

  void ExpectRecords(int count) const {
    std::string debug = dir.Read("debug.txt");
    ASSERT_EQ(debug.size(), (size_t)count * 2000);
    for (int i = 0; i < count; ++i) {
      std::string log = CompileLog(kFileTypes[i], std::string(sFiles[i].c_str()));
      ASSERT_FALSE(log.empty()) << "fixture " << kFileNames[i] << " gives an empty log";
      EXPECT_EQ(debug.substr(i * 2000, log.size() + 1), log + '\0') << "record " << i;
    }
  }

  ScratchDir dir;
  KeptPtr<TestGl> gl;
  std::string sFiles[3];
  std::string output;
};

TEST_F(ShaderLoadTest, CompleteLoadPrintsEveryDumpLogAndMarkerAndKeepsThreeRecords) {
  dir.Write("debug.txt", std::string(9000, 'x'));  // an old log is replaced, not appended to
  ASSERT_EQ(Load(), 1);
  EXPECT_EQ(output, CompleteOutput());
  ExpectRecords(3);
}

TEST_F(ShaderLoadTest, LeavesMainProgramCurrentWithShaOnUnitOneHoldingTheRenderTarget) {
  glUseProgramObjectARB(0);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  ASSERT_EQ(Load(), 1);

  GLint current = 0, active = 0, unitOne = 0, sha = -1, tex = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &unitOne);
  glGetUniformiv(gl->programObject, glGetUniformLocation(gl->programObject, "sha"), &sha);
  glGetUniformiv(gl->programObject, glGetUniformLocation(gl->programObject, "tex"), &tex);
  EXPECT_EQ((GLhandleARB)current, gl->programObject);
  EXPECT_EQ(active, GL_TEXTURE1);
  EXPECT_EQ((GLuint)unitOne, gl->pTextureArray[0]);
  EXPECT_EQ(sha, 1);
  EXPECT_EQ(tex, 0);  // never assigned: unit 0
}

// A load that stops: which files were compiled, what follows their dumps,
// how many records debug.txt keeps.
struct SStopCase {
  const char* name;
  std::string files[3];
  int compiled;       // files whose dump is printed
  bool lastCompiles;  // whether the last of them printed "prelink"
  std::string tail;   // printed after the last dump; "@link" is the link log, ending in a newline
  int records;
};

void PrintTo(const SStopCase& c, std::ostream* os) { *os << c.name; }

class ShaderLoadStopTest : public ShaderLoadTest, public testing::WithParamInterface<SStopCase> {};

TEST_P(ShaderLoadStopTest, StopsAtFirstFailureWithItsReportAndRecords) {
  const SStopCase& c = GetParam();
  for (int i = 0; i < 3; ++i) sFiles[i] = c.files[i];
  dir.Write("debug.txt", "stale");
  ASSERT_EQ(Load(), 0);

  std::string expected;
  for (int i = 0; i < c.compiled; ++i) expected += Compiled(i, i + 1 < c.compiled || c.lastCompiles);
  std::string tail = c.tail;
  size_t link = tail.find("@link");
  if (link != std::string::npos) {
    std::string log = LinkLog(sFiles[c.compiled - 1]);
    ASSERT_FALSE(log.empty());
    tail.replace(link, 5, log.back() == '\n' ? log : log + "\n");
  }
  expected += tail;
  EXPECT_EQ(output, expected);
  ExpectRecords(c.records);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ShaderLoadStopTest,
    testing::Values(SStopCase{"MissingVertexShader",
                              {kAbsent, kLightSource, kSceneSource},
                              0,
                              false,
                              "Failed to open file vshader.sh\n",
                              0},
                    SStopCase{"BrokenVertexShader", {kBrokenSource, kAbsent, kAbsent}, 1, false, "", 1},
                    SStopCase{"MissingLightShader",
                              {kVertexSource, kAbsent, kSceneSource},
                              1,
                              true,
                              "Failed to open file emptyshader.sh\n",
                              1},
                    SStopCase{"BrokenLightShader", {kVertexSource, kBrokenSource, kAbsent}, 2, false, "", 2},
                    // An empty text is dumped with the count 0, and does not compile.
                    SStopCase{"EmptyLightShader", {kVertexSource, "", kAbsent}, 2, false, "", 2},
                    SStopCase{"UnlinkableLightShader",
                              {kVertexSource, kUnlinkableSource, kAbsent},
                              2,
                              true,
                              "Link Error\n@link",
                              2},
                    SStopCase{"MissingSceneShader",
                              {kVertexSource, kLightSource, kAbsent},
                              2,
                              true,
                              "Failed to open file shader.sh\n",
                              2},
                    SStopCase{
                        "BrokenSceneShader", {kVertexSource, kLightSource, kBrokenSource}, 3, false, "", 3},
                    SStopCase{"UnlinkableSceneShader",
                              {kVertexSource, kLightSource, kUnlinkableSource},
                              3,
                              true,
                              "Link Error\n@link",
                              3}),
    [](const testing::TestParamInfo<SStopCase>& info) { return std::string(info.param.name); });

TEST_F(ShaderLoadTest, SourceIsCutAtNulForDumpAndCompilerButCountShowsBytesRead) {
  // The garbage after the NUL would not compile if the compiler saw it.
  sFiles[0] = kVertexSource + std::string(1, '\0') + "this is not GLSL {{{";
  ASSERT_EQ(Load(), 1);
  EXPECT_EQ(output.substr(0, Dump(sFiles[0]).size()), std::string(kVertexSource) + "\n=======\n " +
                                                          std::to_string(kVertexSource.size() + 21) +
                                                          " \n=======\n");
  EXPECT_EQ(output, CompleteOutput());
}

struct SUniformCase {
  const char* name;
  std::string scene;
  bool texFound;
  bool shaFound;
};

void PrintTo(const SUniformCase& c, std::ostream* os) { *os << c.name; }

class ShaderLoadUniformTest : public ShaderLoadTest, public testing::WithParamInterface<SUniformCase> {};

TEST_P(ShaderLoadUniformTest, MissingSamplerIsReportedAndLoadSucceeds) {
  sFiles[2] = GetParam().scene;
  ASSERT_EQ(Load(), 1);
  EXPECT_EQ(output,
            Compiled(0) + Compiled(1) + Compiled(2) + UniformTail(GetParam().texFound, GetParam().shaFound));
}

INSTANTIATE_TEST_SUITE_P(
    Samplers, ShaderLoadUniformTest,
    testing::Values(SUniformCase{"NoSha",
                                 "#extension GL_VANTREL_scene_note : warn\n"
                                 "uniform sampler2D tex;\n"
                                 "void main() { gl_FragColor = texture2D(tex, gl_TexCoord[0].xy); }\n",
                                 true, false},
                    SUniformCase{"ShaDeclaredButUnused",
                                 "#extension GL_VANTREL_scene_note : warn\n"
                                 "uniform sampler2D tex;\n"
                                 "uniform sampler2D sha;\n"
                                 "void main() { gl_FragColor = texture2D(tex, gl_TexCoord[0].xy); }\n",
                                 true, false},
                    SUniformCase{"NoTex",
                                 "#extension GL_VANTREL_scene_note : warn\n"
                                 "uniform sampler2D sha;\n"
                                 "void main() { gl_FragColor = texture2D(sha, gl_TexCoord[0].xy); }\n",
                                 false, true},
                    SUniformCase{"NoSamplers",
                                 "#extension GL_VANTREL_scene_note : warn\n"
                                 "void main() { gl_FragColor = vec4(1.0); }\n",
                                 false, false}),
    [](const testing::TestParamInfo<SUniformCase>& info) { return std::string(info.param.name); });

TEST_F(ShaderLoadTest, UncreatableDebugLogIsReportedOnceAndLoadGoesOn) {
  std::remove("debug.txt");
  ASSERT_EQ(mkdir("debug.txt", 0755), 0);
  ASSERT_EQ(Load(), 1);
  size_t lineEnd = output.find('\n');
  ASSERT_NE(lineEnd, std::string::npos);
  EXPECT_NE(output.substr(0, lineEnd).find("debug.txt"), std::string::npos) << output;
  EXPECT_EQ(output.substr(lineEnd + 1), CompleteOutput());
}

TEST_F(ShaderLoadTest, FolderInPlaceOfShaderFileCannotBeOpened) {
  sFiles[2] = kAbsent;
  WriteFiles();
  ASSERT_EQ(mkdir("shader.sh", 0755), 0);
  ASSERT_EQ(Load(false), 0);
  EXPECT_EQ(output, Compiled(0) + Compiled(1) + "Failed to open file shader.sh\n");
}

}  // namespace
