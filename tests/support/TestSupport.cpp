#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace {

std::string CurrentDir() {
  char buf[4096];
  return getcwd(buf, sizeof buf) ? std::string(buf) : std::string("/");
}

}  // namespace

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/vantrel-test-XXXXXX";
  char* made = mkdtemp(pattern);
  if (!made) {
    ADD_FAILURE() << "mkdtemp failed";
    return;
  }
  sPath = made;
  sPrevious = CurrentDir();
  if (chdir(sPath.c_str()) != 0) ADD_FAILURE() << "chdir " << sPath;
}

ScratchDir::~ScratchDir() {
  if (!sPrevious.empty() && chdir(sPrevious.c_str()) != 0) std::perror("chdir");
  if (!sPath.empty()) {
    std::string cmd = "rm -rf '" + sPath + "'";
    if (std::system(cmd.c_str()) != 0) std::perror("rm");
  }
}

void ScratchDir::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(sPath + "/" + name, std::ios::binary);
  out.write(bytes.data(), (std::streamsize)bytes.size());
  ASSERT_TRUE(out.good()) << "cannot write " << name;
}

void ScratchDir::Write(const std::string& name, const std::vector<unsigned char>& bytes) const {
  Write(name, std::string(bytes.begin(), bytes.end()));
}

void ScratchDir::CopyData(const std::string& name) const {
  Write(name, ReadFileBytes(SourcePath("data/" + name)));
}

std::string ScratchDir::Read(const std::string& name) const { return ReadFileBytes(sPath + "/" + name); }

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string CaptureOutput(const std::function<void()>& body) {
  std::cout.flush();
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  body();
  std::cout.flush();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

void AppendU32(std::vector<unsigned char>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((unsigned char)(v >> (8 * i)));
}

void AppendF32(std::vector<unsigned char>& out, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  AppendU32(out, bits);
}

std::vector<unsigned char> MakeWorld(const std::vector<float>& vertices, const std::vector<uint32_t>& indices,
                                     const std::vector<float>& tvertices) {
  std::vector<unsigned char> out;
  AppendU32(out, (uint32_t)(vertices.size() / 3));
  for (float f : vertices) AppendF32(out, f);
  AppendU32(out, (uint32_t)(indices.size() / 3));
  for (uint32_t i : indices) AppendU32(out, i);
  AppendU32(out, (uint32_t)(tvertices.size() / 2));
  for (float f : tvertices) AppendF32(out, f);
  for (size_t t = 0; t < indices.size() / 3; ++t)
    for (int c = 0; c < 3; ++c) AppendU32(out, 0);
  return out;
}

std::string SourcePath(const std::string& relative) { return std::string(VANTREL_SOURCE_DIR) + "/" + relative; }
