// vantrel-convert: makes the viewer's World.obj from a 3D model and its
// tex2.bmp from an image, and checks world files.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "Convert.h"

namespace {

const char* kProgram = "vantrel-convert";

enum EMode { kModeConvert, kModeTexture, kModeInfo, kModeHelp };

struct SCommandLine {
  EMode eMode = kModeConvert;
  bool bModeGiven = false;
  bool bPlacementGiven = false;
  SPlacement sPlacement;
  std::vector<std::string> vFiles;
};

void PrintHelp() {
  std::printf(
      "Usage:\n"
      "  %s [--fit] [--scale S] [--translate X Y Z] [--flip-winding] MODEL WORLD.obj\n"
      "  %s --texture IMAGE tex2.bmp\n"
      "  %s --info WORLD.obj\n"
      "  %s --help\n"
      "\n"
      "Converts a 3D model into the viewer's World.obj: the whole node hierarchy is\n"
      "flattened into world space, faces are triangulated, identical vertices joined,\n"
      "and every mesh goes into the one file, with the texture coordinates of the\n"
      "first UV channel. The output is written under a temporary name and renamed,\n"
      "so a failed conversion leaves no partial file behind.\n"
      "\n"
      "Placement (applied in this order):\n"
      "  --fit              scale and move the model so that it stands on the ground\n"
      "                     (y = -10), in the default light's view, its largest side\n"
      "                     %g units long\n"
      "  --scale S          multiply the size by S (> 0); with --fit, about the fitted\n"
      "                     model's base, otherwise about the origin\n"
      "  --translate X Y Z  then move the model by (X, Y, Z)\n"
      "  --flip-winding     for models whose front faces are clockwise\n"
      "\n"
      "Other modes:\n"
      "  --texture IMAGE OUT  turn a PNG, JPEG, TGA or BMP image into the 1024 x 1024\n"
      "                       24-bit BMP the viewer loads as tex2.bmp\n"
      "  --info FILE          check a world file with the viewer's parser and print its\n"
      "                       counts, bounding box, degenerate triangles and size\n"
      "  --help               show this text\n"
      "\n"
      "Exit status: 0 on success, 1 when a file cannot be read, converted or written\n"
      "(or --info finds the file invalid), 2 for a wrong command line.\n"
      "\n"
      "Model formats, by file extension:\n",
      kProgram, kProgram, kProgram, kProgram, DefaultFitTarget().fSize);
  std::string list = SupportedModelExtensions();
  // One long "*.a;*.b;..." list, wrapped.
  std::string line = " ";
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string ext = list.substr(start, end - start);
    if (line.size() + ext.size() + 1 > 78) {
      std::printf("%s\n", line.c_str());
      line = " ";
    }
    line += " " + ext;
    start = end + 1;
  }
  std::printf("%s\n", line.c_str());
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return 1;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, message.c_str(), kProgram);
  return 2;
}

int ParseNumber(const char* text, float& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtof(text, &end);
  return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

int SetMode(SCommandLine& cl, EMode mode, const std::string& option, std::string& error) {
  if (cl.bModeGiven && cl.eMode != mode) {
    error = option + " cannot be combined with another mode";
    return 0;
  }
  cl.eMode = mode;
  cl.bModeGiven = true;
  return 1;
}

int TakeNumbers(int argc, char** argv, int& i, int count, float* out, std::string& error) {
  const std::string option = argv[i];
  for (int k = 0; k < count; ++k) {
    if (i + 1 >= argc) {
      error = option + " needs " + std::to_string(count) + (count == 1 ? " number" : " numbers");
      return 0;
    }
    if (!ParseNumber(argv[++i], out[k])) {
      error = option + ": \"" + argv[i] + "\" is not a number";
      return 0;
    }
  }
  return 1;
}

// One argument (with the numbers it takes); sets `help` for --help.
int ParseArgument(int argc, char** argv, int& i, SCommandLine& cl, bool& help, std::string& error) {
  const std::string arg = argv[i];
  if (arg == "--help" || arg == "-h") {
    help = true;
  } else if (arg == "--texture" || arg == "--info") {
    return SetMode(cl, arg == "--info" ? kModeInfo : kModeTexture, arg, error);
  } else if (arg == "--fit") {
    cl.sPlacement.bFit = cl.bPlacementGiven = true;
  } else if (arg == "--flip-winding") {
    cl.sPlacement.bFlipWinding = cl.bPlacementGiven = true;
  } else if (arg == "--scale") {
    if (!TakeNumbers(argc, argv, i, 1, &cl.sPlacement.fScale, error)) return 0;
    if (!(cl.sPlacement.fScale > 0)) {
      error = "--scale must be greater than 0";
      return 0;
    }
    cl.bPlacementGiven = true;
  } else if (arg == "--translate") {
    if (!TakeNumbers(argc, argv, i, 3, cl.sPlacement.fTranslate, error)) return 0;
    cl.bPlacementGiven = true;
  } else if (arg.size() > 1 && arg[0] == '-') {
    error = "unknown option " + arg;
    return 0;
  } else {
    cl.vFiles.push_back(arg);
  }
  return 1;
}

int CheckFiles(const SCommandLine& cl, std::string& error) {
  if (cl.bPlacementGiven && cl.eMode != kModeConvert) {
    error = "placement options apply only to model conversion";
    return 0;
  }
  const size_t wanted = cl.eMode == kModeInfo ? 1 : 2;
  if (cl.vFiles.size() == wanted) return 1;
  error = cl.eMode == kModeInfo      ? "--info needs one file: the world file"
          : cl.eMode == kModeTexture ? "--texture needs two files: the image and the output BMP"
                                     : "needs two files: the model and the output World.obj";
  return 0;
}

int ParseCommandLine(int argc, char** argv, SCommandLine& cl, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    bool help = false;
    if (!ParseArgument(argc, argv, i, cl, help, error)) return 0;
    if (help) {
      cl.eMode = kModeHelp;
      return 1;
    }
  }
  return CheckFiles(cl, error);
}

std::string Count(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Both names are .obj files often enough that swapping them is an easy slip;
// writing over the input would destroy it.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

int RunConvert(const SCommandLine& cl) {
  const std::string& model = cl.vFiles[0];
  const std::string& output = cl.vFiles[1];
  if (SameFile(model, output)) return Fail(output + ": is the input itself; name another output file");
  SWorldMesh mesh;
  std::string error;
  if (!ImportModel(model, mesh, error)) return Fail(error);
  if (!ApplyPlacement(cl.sPlacement, mesh, error)) return Fail(model + ": " + error);
  if (!WriteWorldFile(output, mesh, error)) return Fail(error);
  SBounds b;
  ComputeBounds(mesh, b);
  std::printf("%s: %s, %s, %s\n", output.c_str(),
              Count(mesh.vVertices.size() / 3, "vertex", "vertices").c_str(),
              Count(mesh.vIndices.size() / 3, "triangle", "triangles").c_str(),
              Count(mesh.vTexCoords.size() / 2, "texture vertex", "texture vertices").c_str());
  std::printf("bounding box: min (%g, %g, %g) max (%g, %g, %g)\n", b.fMin[0], b.fMin[1], b.fMin[2], b.fMax[0],
              b.fMax[1], b.fMax[2]);
  return 0;
}

int RunTexture(const SCommandLine& cl) {
  if (SameFile(cl.vFiles[0], cl.vFiles[1]))
    return Fail(cl.vFiles[1] + ": is the input itself; name another output file");
  std::string error;
  if (!ConvertTexture(cl.vFiles[0], cl.vFiles[1], error)) return Fail(error);
  std::printf("%s: %d x %d, 24-bit BMP\n", cl.vFiles[1].c_str(), kTextureSize, kTextureSize);
  return 0;
}

int RunInfo(const SCommandLine& cl) {
  SWorldInfo info;
  std::string error;
  if (!ReadWorldInfo(cl.vFiles[0], info, error)) return Fail(error);
  std::fputs(FormatWorldInfo(cl.vFiles[0], info).c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SCommandLine cl;
  std::string error;
  if (!ParseCommandLine(argc, argv, cl, error)) return UsageError(error);
  switch (cl.eMode) {
    case kModeHelp: PrintHelp(); return 0;
    case kModeTexture: return RunTexture(cl);
    case kModeInfo: return RunInfo(cl);
    case kModeConvert: break;
  }
  return RunConvert(cl);
}
