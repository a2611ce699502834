// Vector math: difference, cross product and Rescale's squared-length rule.
#include <gtest/gtest.h>

#include <cmath>

#include "CpGl.h"
#include "TestSupport.h"

namespace {

struct RescaleCase {
  const char* name;
  Vector3f in;
  float f;
  Vector3f expected;  // NaN components mean "expect NaN"
  bool message;
};

void ExpectComponent(float expected, float actual, const char* which) {
  if (std::isnan(expected))
    EXPECT_TRUE(std::isnan(actual)) << which;
  else
    EXPECT_NEAR(expected, actual, 1e-5) << which;
}

class RescaleTest : public testing::TestWithParam<RescaleCase> {};

TEST_P(RescaleTest, SetsLengthToRootOfArgumentInPlace) {
  const RescaleCase& c = GetParam();
  Vector3f v = c.in;
  Vector3f result(0, 0, 0);
  std::string out = CaptureOutput([&] { result = v.Rescale(c.f); });
  EXPECT_EQ(out, c.message ? "Error: div 0 in Vector3d::Rescale()\n" : "");
  ExpectComponent(c.expected.x, result.x, "x");
  ExpectComponent(c.expected.y, result.y, "y");
  ExpectComponent(c.expected.z, result.z, "z");
  // The vector itself holds the same value as the returned copy.
  ExpectComponent(c.expected.x, v.x, "x in place");
  ExpectComponent(c.expected.y, v.y, "y in place");
  ExpectComponent(c.expected.z, v.z, "z in place");
}

const float kNaN = NAN;

INSTANTIATE_TEST_SUITE_P(
    Cases, RescaleTest,
    testing::Values(RescaleCase{"unit", Vector3f(3, 4, 0), 1.0f, Vector3f(0.6f, 0.8f, 0), false},
                    RescaleCase{"squared_length_five", Vector3f(3, 4, 0), 5.0f, Vector3f(1.3416408f, 1.7888544f, 0), false},
                    RescaleCase{"zero", Vector3f(0, 0, 0), 7.0f, Vector3f(0, 0, 0), true},
                    RescaleCase{"underflow", Vector3f(1e-23f, 0, 0), 1.0f, Vector3f(1e-23f, 0, 0), true},
                    RescaleCase{"nan", Vector3f(kNaN, 1, 2), 1.0f, Vector3f(kNaN, kNaN, kNaN), false},
                    RescaleCase{"zero_length_wanted", Vector3f(-3, 4, 0), 0.0f, Vector3f(-0.0f, 0, 0), false},
                    RescaleCase{"negative", Vector3f(3, 4, 0), -1.0f, Vector3f(kNaN, kNaN, kNaN), false}),
    [](const testing::TestParamInfo<RescaleCase>& info) { return std::string(info.param.name); });

TEST(RescaleTest, UnderflowLeavesTheExactInputAndZeroKeepsSign) {
  Vector3f tiny(1e-23f, 0, 0);
  CaptureOutput([&] { tiny.Rescale(1.0f); });
  EXPECT_EQ(tiny.x, 1e-23f);
  Vector3f v(-3, 4, 0);
  v.Rescale(0.0f);
  EXPECT_TRUE(std::signbit(v.x));
  EXPECT_FALSE(std::signbit(v.y));
}

TEST(VectorTest, CrossProductFollowsTheRightHandRule) {
  struct {
    Vector3f a, b, expected;
  } cases[] = {
      {Vector3f(1, 0, 0), Vector3f(0, 1, 0), Vector3f(0, 0, 1)},
      {Vector3f(0, 0, -1), Vector3f(0, -1, 0), Vector3f(-1, 0, 0)},
      {Vector3f(0, 0, -1), Vector3f(0, 1, 0), Vector3f(1, 0, 0)},
      {Vector3f(1, 2, 3), Vector3f(4, 5, 6), Vector3f(-3, 6, -3)},
  };
  for (auto& c : cases) {
    Vector3f a = c.a;
    Vector3f r = a.CrossProduct(c.b);
    EXPECT_FLOAT_EQ(r.x, c.expected.x);
    EXPECT_FLOAT_EQ(r.y, c.expected.y);
    EXPECT_FLOAT_EQ(r.z, c.expected.z);
    EXPECT_EQ(a.x, c.a.x);  // the left operand is unchanged
  }
}

TEST(VectorTest, DifferenceLeavesLeftOperand) {
  Vector3f a(5, 7, 9);
  Vector3f d = a - Vector3f(1, 2, 3);
  EXPECT_EQ(d.x, 4);
  EXPECT_EQ(d.y, 5);
  EXPECT_EQ(d.z, 6);
  EXPECT_EQ(a.x, 5);
  EXPECT_EQ(a.y, 7);
  EXPECT_EQ(a.z, 9);
}

}  // namespace
