// The uniforms that the light pass hands the main program: the light's view
// and projection, the first light's position, the camera position and the
// light-map switch, with their reports when a uniform is missing or wrong.
#include "PassTestSupport.h"

#include <map>

using namespace passtest;

namespace {

// Column-major 4 x 4 matrices, as OpenGL stores them.
struct SMatrix {
  double m[16];
  double& At(int row, int col) { return m[col * 4 + row]; }
  double At(int row, int col) const { return m[col * 4 + row]; }
};

SMatrix Identity() {
  SMatrix r{};
  for (int i = 0; i < 4; ++i) r.At(i, i) = 1;
  return r;
}

SMatrix operator*(const SMatrix& a, const SMatrix& b) {
  SMatrix r{};
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col)
      for (int k = 0; k < 4; ++k) r.At(row, col) += a.At(row, k) * b.At(k, col);
  return r;
}

SMatrix RotationX(double degrees) {
  SMatrix r = Identity();
  double c = std::cos(Radians(degrees)), s = std::sin(Radians(degrees));
  r.At(1, 1) = c;
  r.At(1, 2) = -s;
  r.At(2, 1) = s;
  r.At(2, 2) = c;
  return r;
}

SMatrix RotationY(double degrees) {
  SMatrix r = Identity();
  double c = std::cos(Radians(degrees)), s = std::sin(Radians(degrees));
  r.At(0, 0) = c;
  r.At(0, 2) = s;
  r.At(2, 0) = -s;
  r.At(2, 2) = c;
  return r;
}

SMatrix Translation(double x, double y, double z) {
  SMatrix r = Identity();
  r.At(0, 3) = x;
  r.At(1, 3) = y;
  r.At(2, 3) = z;
  return r;
}

// The light's view: its rotations, then its negated position; no object offset.
SMatrix LightView(const SLightObject& l) {
  return RotationX(l.ax) * RotationY(l.ay) * Translation(-l.x, -l.y, -l.z);
}

SMatrix LightFrustum(const SLightObject& l) {
  double r = l.width / 2.0, t = l.height / 2.0, n = l.near, f = l.far;
  SMatrix p{};
  p.At(0, 0) = n / r;
  p.At(1, 1) = n / t;
  p.At(2, 2) = -(f + n) / (f - n);
  p.At(2, 3) = -2 * f * n / (f - n);
  p.At(3, 2) = -1;
  return p;
}

// The uniforms and their types; a case may leave one out or retype it.
const char* const kUniformNames[5] = {"view", "proj", "lpos", "cpos", "lmap"};
const std::map<std::string, std::string> kUniformTypes = {
    {"view", "mat4"}, {"proj", "mat4"}, {"lpos", "vec3"}, {"cpos", "vec3"}, {"lmap", "int"}};

// A main program that reads every uniform it declares, so none is optimised away.
std::string UniformShader(const std::string& missing = "", const std::string& retyped = "",
                          const std::string& newType = "") {
  std::string declarations = "uniform sampler2D tex;\nuniform sampler2D sha;\n";
  std::string uses = "  vec4 v = vec4(0.0);\n";
  for (const char* name : kUniformNames) {
    if (name == missing) continue;
    std::string type = name == retyped ? newType : kUniformTypes.at(name);
    declarations += "uniform " + type + " " + name + ";\n";
    if (type == "mat4") uses += std::string("  v += ") + name + " * vec4(1.0);\n";
    if (type == "vec4") uses += std::string("  v += ") + name + ";\n";
    if (type == "vec3") uses += std::string("  v.xyz += ") + name + ";\n";
    if (type == "float") uses += std::string("  v += vec4(") + name + ");\n";
    if (type == "int") uses += std::string("  v += vec4(float(") + name + "));\n";
  }
  return declarations + "void main() {\n" + uses +
         "  gl_FragColor = texture2D(tex, gl_TexCoord[0].xy) + texture2D(sha, gl_TexCoord[0].xy) + v;\n}\n";
}

std::vector<float> ReadFloats(GLhandleARB program, const char* name, int count) {
  std::vector<float> values(16, -12345.0f);
  GLint loc = glGetUniformLocation(program, name);
  EXPECT_NE(loc, -1) << name;
  glGetUniformfv(program, loc, values.data());
  values.resize(count);
  return values;
}

int ReadInt(GLhandleARB program, const char* name) {
  GLint value = -12345;
  GLint loc = glGetUniformLocation(program, name);
  EXPECT_NE(loc, -1) << name;
  glGetUniformiv(program, loc, &value);
  return value;
}

void ExpectMatrix(const std::vector<float>& actual, const SMatrix& expected, const char* what) {
  ASSERT_EQ(actual.size(), 16u);
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(actual[i], expected.m[i], 1e-4 * (1 + std::fabs(expected.m[i]))) << what << " element " << i;
}

void ExpectVector(const std::vector<float>& actual, float x, float y, float z, const char* what) {
  EXPECT_EQ(actual, (std::vector<float>{x, y, z})) << what;
}

const std::vector<SVec> kQuadA = Square({0, 0, -2}, {1, 0, 0}, {0, 1, 0}, 0.5);
const std::vector<SVec> kQuadB = Square({0, 0, -4}, {1, 0, 0}, {0, 1, 0}, 0.5);

class ShaderUniformTest : public testing::Test {
 protected:
  // Two objects away from the origin, the camera moved, the switch on.
  void Build(const std::string& scene = UniformShader()) {
    SShaderFiles files;
    files.scene = scene;
    gl = MakeScene(dir, {kQuadA, kQuadB}, files);
    ASSERT_TRUE(gl);
    OneObjectPerQuad(*gl, 2);
    gl->pGraphicObjectArray[0].x = 1.5f;
    gl->pGraphicObjectArray[0].y = -2.0f;
    gl->pGraphicObjectArray[0].z = 3.0f;
    gl->pGraphicObjectArray[1].x = -4.0f;
    gl->pGraphicObjectArray[1].y = 5.0f;
    gl->pGraphicObjectArray[1].z = 6.0f;
    gl->sPos = Vector3f(10.0f, 20.5f, -30.0f);
    gl->lmap = 1;
  }

  std::string RenderLights() {
    return CaptureOutput([&] { gl->RenderLights(); });
  }

  ScratchDir dir;
  KeptPtr<TestGl> gl;
};

const SLightObject kFirstLight = MakeLight({3, -2, 7}, 25.0f, -40.0f, 0.4f, 0.3f, 0.5f, 50.0f);
const SLightObject kSecondLight = MakeLight({-8, 12, 1}, -15.0f, 130.0f, 0.25f, 0.6f, 2.0f, 300.0f);

TEST_F(ShaderUniformTest, LightPassSendsLightViewAndFrustumAndBothPositions) {
  Build();
  SetLights(*gl, {kFirstLight});
  EXPECT_EQ(RenderLights(), "");

  GLhandleARB p = gl->programObject;
  ExpectMatrix(ReadFloats(p, "view", 16), LightView(kFirstLight), "view");
  ExpectMatrix(ReadFloats(p, "proj", 16), LightFrustum(kFirstLight), "proj");
  ExpectVector(ReadFloats(p, "lpos", 3), 3, -2, 7, "lpos");
  ExpectVector(ReadFloats(p, "cpos", 3), 10.0f, 20.5f, -30.0f, "cpos");
  EXPECT_EQ(ReadInt(p, "lmap"), 1);
}

TEST_F(ShaderUniformTest, WithTwoLightsPositionIsTheFirstsAndMatricesTheLasts) {
  Build();
  gl->lmap = 0;
  SetLights(*gl, {kFirstLight, kSecondLight});
  EXPECT_EQ(RenderLights(), "");

  GLhandleARB p = gl->programObject;
  ExpectMatrix(ReadFloats(p, "view", 16), LightView(kSecondLight), "view");
  ExpectMatrix(ReadFloats(p, "proj", 16), LightFrustum(kSecondLight), "proj");
  ExpectVector(ReadFloats(p, "lpos", 3), 3, -2, 7, "lpos");
  EXPECT_EQ(ReadInt(p, "lmap"), 0);
}

TEST_F(ShaderUniformTest, NothingIsSentWithoutALightOrWithoutAnObject) {
  for (bool noLight : {true, false}) {
    SCOPED_TRACE(noLight ? "no light" : "no object");
    Build();
    if (noLight)
      SetLights(*gl, {});
    else
      gl->iGraphicObjectCount = 0;
    EXPECT_EQ(RenderLights(), "");
    ExpectMatrix(ReadFloats(gl->programObject, "view", 16), SMatrix{}, "view");
    ExpectVector(ReadFloats(gl->programObject, "cpos", 3), 0, 0, 0, "cpos");
    EXPECT_EQ(ReadInt(gl->programObject, "lmap"), 0);
  }
}

struct SMissingCase {
  const char* uniform;
  const char* message;
};

void PrintTo(const SMissingCase& c, std::ostream* os) { *os << c.uniform; }

class ShaderUniformMissingTest : public ShaderUniformTest,
                                 public testing::WithParamInterface<SMissingCase> {};

// One light and two objects: two calls, so two reports and nothing else.
TEST_P(ShaderUniformMissingTest, IsReportedOncePerCall) {
  Build(UniformShader(GetParam().uniform));
  SetLights(*gl, {kFirstLight});
  std::string message = GetParam().message;
  EXPECT_EQ(RenderLights(), message + message);
  EXPECT_EQ(CaptureOutput([&] { gl->PrepairShaders(); }), message);
}

INSTANTIATE_TEST_SUITE_P(
    Uniforms, ShaderUniformMissingTest,
    testing::Values(SMissingCase{"view", "caaa ERROR!!!!!!!\n"}, SMissingCase{"proj", "daaa ERROR!!!!!!!\n"},
                    SMissingCase{"lpos", "eaaa ERROR!!!!!!!\n"}, SMissingCase{"cpos", "faaa ERROR!!!!!!!\n"},
                    SMissingCase{"lmap", "gaaa ERROR!!!!!!!\n"}),
    [](const testing::TestParamInfo<SMissingCase>& info) { return std::string(info.param.uniform); });

struct SRetypedCase {
  const char* uniform;
  const char* type;
  const char* report;
};

void PrintTo(const SRetypedCase& c, std::ostream* os) { *os << c.uniform << " as " << c.type; }

class ShaderUniformRetypedTest : public ShaderUniformTest,
                                 public testing::WithParamInterface<SRetypedCase> {};

TEST_P(ShaderUniformRetypedTest, ErrorIsReportedRightAfterItsUniform) {
  Build(UniformShader("", GetParam().uniform, GetParam().type));
  SetLights(*gl, {kFirstLight});
  std::string report = GetParam().report;
  EXPECT_EQ(RenderLights(), report + report);
}

INSTANTIATE_TEST_SUITE_P(Uniforms, ShaderUniformRetypedTest,
                         testing::Values(SRetypedCase{"view", "vec4", "ModelView: invalid operation\n"},
                                         SRetypedCase{"proj", "vec3", "Projection: invalid operation\n"},
                                         SRetypedCase{"lpos", "vec4", "lpos: invalid operation\n"},
                                         SRetypedCase{"cpos", "float", "cpos: invalid operation\n"},
                                         SRetypedCase{"lmap", "float", "lmap: invalid operation\n"}),
                         [](const testing::TestParamInfo<SRetypedCase>& info) {
                           return std::string(info.param.uniform);
                         });

TEST_F(ShaderUniformTest, ErrorPendingBeforeTheCallIsReportedUnderTheFirstLabel) {
  Build();
  SetLights(*gl, {kFirstLight});
  glUseProgramObjectARB(gl->programObject);
  glEnable(0x7fff);  // no such capability
  EXPECT_EQ(CaptureOutput([&] { gl->PrepairShaders(); }), "ModelView: invalid enumerant\n");
}

}  // namespace
