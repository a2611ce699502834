// vantrel-convert run as a user runs it: conversion, --info, --help, and what
// it says and leaves behind when something is wrong.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <set>

#include "ConvertFixtures.h"

namespace {

using namespace convert_test;

std::set<std::string> FolderEntries(const std::string& path) {
  std::set<std::string> names;
  DIR* d = opendir(path.c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.insert(n);
  }
  closedir(d);
  return names;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ConvertCli, ConvertsAModelThatInfoThenDescribes) {
  ScratchDir dir;
  dir.Write("box.obj", BoxAsObj(Box({-1, 2, -3}, {4, 5, 6})));
  SRun convert = RunConvertTool({"box.obj", "World.obj"});
  ASSERT_EQ(convert.status, 0) << convert.err;
  EXPECT_EQ(convert.err, "");
  EXPECT_TRUE(Contains(convert.out, "8 vertices, 12 triangles")) << convert.out;

  SRun info = RunConvertTool({"--info", "World.obj"});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out,
            "file: World.obj\n"
            "file size: 396 bytes\n"
            "vertices: 8\n"
            "triangles: 12\n"
            "indices: 36\n"
            "texture vertices: 0\n"
            "bounding box: min (-1, 2, -3) max (4, 5, 6)\n"
            "degenerate triangles: 0\n");
  EXPECT_EQ(info.err, "");
}

TEST(ConvertCli, PlacementOptionsReachTheFile) {
  ScratchDir dir;
  dir.Write("box.obj", BoxAsObj(Box({0, 0, 0}, {2, 1, 1})));
  SRun convert =
      RunConvertTool({"--fit", "--scale", "0.5", "--translate", "1", "-2", "3.5", "box.obj", "out.obj"});
  ASSERT_EQ(convert.status, 0) << convert.err;
  SRun info = RunConvertTool({"--info", "out.obj"});
  ASSERT_EQ(info.status, 0) << info.err;
  // 60 x 30 x 30 on the ground at (-170, 300), halved, then moved.
  EXPECT_TRUE(Contains(info.out, "bounding box: min (-184, -12, 296) max (-154, 3, 311)\n")) << info.out;
}

TEST(ConvertCli, InfoCountsDegenerateTrianglesAndIgnoredBytes) {
  ScratchDir dir;
  // A proper triangle, one with a repeated corner and one whose corners lie on a line.
  std::vector<unsigned char> bytes =
      MakeWorld({0, 0, 0, 1, 0, 0, 0, 1, 0, 2, 0, 0}, {0, 1, 2, 0, 0, 1, 0, 1, 3}, {0.5f, 0.5f});
  const size_t used = bytes.size();
  bytes.insert(bytes.end(), {1, 2, 3, 4, 5});
  dir.Write("World.obj", bytes);
  SRun info = RunConvertTool({"--info", "World.obj"});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_TRUE(
      Contains(info.out, "file size: " + std::to_string(used + 5) + " bytes (the last 5 are not read)\n"))
      << info.out;
  EXPECT_TRUE(Contains(info.out, "texture vertices: 1\n")) << info.out;
  EXPECT_TRUE(Contains(info.out, "degenerate triangles: 2\n")) << info.out;
}

struct SRefusedWorld {
  const char* name;
  std::vector<unsigned char> bytes;
  const char* reason;
};

TEST(ConvertCli, InfoRefusesInvalidWorldFilesNamingFileAndReason) {
  std::vector<unsigned char> shortVertices;
  AppendU32(shortVertices, 5);  // five vertices announced, none there
  std::vector<unsigned char> negative;
  AppendU32(negative, 0xffffffffu);
  const SRefusedWorld cases[] = {
      {"empty", {}, "vertex count is cut short"},
      {"vertices missing", shortVertices, "vertex section is cut short"},
      {"negative count", negative, "is negative (-1)"},
      {"index out of range", MakeWorld({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 3}), "names vertex 3"},
  };
  for (const SRefusedWorld& c : cases) {
    ScratchDir dir;
    dir.Write("bad.obj", c.bytes);
    SRun info = RunConvertTool({"--info", "bad.obj"});
    EXPECT_EQ(info.status, 1) << c.name;
    EXPECT_EQ(info.out, "") << c.name;
    EXPECT_EQ(info.err.rfind("vantrel-convert: bad.obj: ", 0), 0u) << c.name << ": " << info.err;
    EXPECT_TRUE(Contains(info.err, c.reason)) << c.name << ": " << info.err;
  }
}

struct SBadInput {
  const char* name;
  std::vector<std::pair<std::string, std::string>> files;  // written before the run
  std::vector<std::string> args;
  int status;
  const char* message;  // part of the one line on stderr
};

// A World.obj that was there before, and every input, must survive every
// failed run untouched, and no temporary file may be left beside them.
TEST(ConvertCli, BadInputsGiveAClearMessageAndLeaveNothingBehind) {
  const std::string box = BoxAsObj(Box({0, 0, 0}, {1, 1, 1}));
  const std::vector<unsigned char> world = MakeWorld({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2});
  const SBadInput cases[] = {
      {"missing model", {}, {"missing.obj", "World.obj"}, 1, "missing.obj: No such file or directory"},
      {"unknown format",
       {{"model.xyz", box}},
       {"model.xyz", "World.obj"},
       1,
       "model.xyz: unknown model format \".xyz\""},
      {"no extension", {{"model", box}}, {"model", "World.obj"}, 1, "model: no file extension"},
      {"zero bytes", {{"empty.obj", ""}}, {"empty.obj", "World.obj"}, 1, "empty.obj: the file is empty"},
      {"no triangles",
       {{"points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2\n"}},
       {"points.obj", "World.obj"},
       1,
       "points.obj: the model has no triangles"},
      {"broken STL",
       {{"broken.stl", "not an STL file at all"}},
       {"broken.stl", "World.obj"},
       1,
       "broken.stl: cannot read the model"},
      {"output folder missing",
       {{"box.obj", box}},
       {"box.obj", "nowhere/World.obj"},
       1,
       "nowhere/World.obj: cannot create the output file"},
      {"output is a folder",
       {{"box.obj", box}, {"taken/keep", "x"}},
       {"box.obj", "taken"},
       1,
       "taken: cannot replace the output file"},
      {"fit without extent",
       {{"flat.obj", "v 1 1 1\nv 1 1 1\nv 1 1 1\nf 1 2 3\n"}},
       {"--fit", "flat.obj", "World.obj"},
       1,
       "flat.obj: --fit needs a model with some extent"},
      {"missing image",
       {},
       {"--texture", "photo.png", "World.obj"},
       1,
       "photo.png: No such file or directory"},
      {"not an image",
       {{"photo.png", box}},
       {"--texture", "photo.png", "World.obj"},
       1,
       "photo.png: cannot read the image"},
      {"world file as model",
       {{"scene.obj", std::string(world.begin(), world.end())}},
       {"scene.obj", "World.obj"},
       1,
       "scene.obj: is already a world file for the viewer"},
      {"output is the model",
       {{"box.obj", box}},
       {"box.obj", "./box.obj"},
       1,
       "./box.obj: is the input itself"},
      {"no files", {}, {}, 2, "needs two files"},
      {"one file", {{"box.obj", box}}, {"box.obj"}, 2, "needs two files"},
      {"zero scale",
       {{"box.obj", box}},
       {"--scale", "0", "box.obj", "World.obj"},
       2,
       "--scale must be greater than 0"},
      {"scale not a number",
       {{"box.obj", box}},
       {"--scale", "big", "box.obj", "World.obj"},
       2,
       "\"big\" is not a number"},
      {"translate short",
       {{"box.obj", box}},
       {"box.obj", "World.obj", "--translate", "1", "2"},
       2,
       "--translate needs 3 numbers"},
      {"unknown option", {{"box.obj", box}}, {"--fast", "box.obj", "World.obj"}, 2, "unknown option --fast"},
      {"placement with info", {}, {"--info", "--fit", "World.obj"}, 2, "placement options apply only"},
      {"two modes", {}, {"--info", "--texture", "a.png", "World.obj"}, 2, "cannot be combined"},
  };
  for (const SBadInput& c : cases) {
    ScratchDir dir;
    for (const auto& f : c.files) {
      if (f.first.find('/') != std::string::npos) mkdir(f.first.substr(0, f.first.find('/')).c_str(), 0755);
      dir.Write(f.first, f.second);
    }
    dir.Write("World.obj", "previous");
    const std::set<std::string> before = FolderEntries(".");
    SRun run = RunConvertTool(c.args);
    EXPECT_EQ(run.status, c.status) << c.name;
    EXPECT_EQ(run.out, "") << c.name;
    EXPECT_EQ(run.err.rfind("vantrel-convert: ", 0), 0u) << c.name << ": " << run.err;
    EXPECT_TRUE(Contains(run.err, c.message)) << c.name << ": " << run.err;
    EXPECT_EQ(dir.Read("World.obj"), "previous") << c.name;
    for (const auto& f : c.files) EXPECT_EQ(dir.Read(f.first), f.second) << c.name << ": " << f.first;
    EXPECT_EQ(FolderEntries("."), before) << c.name;
  }
}

TEST(ConvertCli, HelpDescribesEveryModeAndTheFormats) {
  SRun help = RunConvertTool({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  for (const char* part : {"Usage:", "--fit", "--scale S", "--translate X Y Z", "--flip-winding", "--texture",
                           "--info", "*.gltf", "*.stl", "*.ply", "*.fbx", "*.dae"})
    EXPECT_TRUE(Contains(help.out, part)) << part;
}

}  // namespace
