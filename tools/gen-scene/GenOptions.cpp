#include <cstring>

#include "SceneGen.h"

namespace {

// Decimal digits only, no sign, no overflow past `max`.
bool ParseNumber(const char* text, uint64_t max, uint64_t& value) {
  if (!*text) return false;
  uint64_t v = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    uint64_t digit = (uint64_t)(*p - '0');
    if (v > (max - digit) / 10) return false;
    v = v * 10 + digit;
  }
  value = v;
  return true;
}

}  // namespace

const char* GenUsage() {
  return "Usage: vantrel-gen-scene [options]\n"
         "Writes a scene for the viewer: its mesh (World.obj) and surface texture (tex2.bmp).\n"
         "Without --triangles it writes the sample scene.\n"
         "\n"
         "Options:\n"
         "  --triangles N   a benchmark scene of about N triangles (1000 to 20000000):\n"
         "                  a ground and spheres and boxes where the light and the camera look\n"
         "  --seed S        placement of the benchmark scene's objects (default 1)\n"
         "  --world FILE    where to write the mesh (default World.obj)\n"
         "  --texture FILE  where to write the texture (default tex2.bmp)\n"
         "  --ply FILE      also write the mesh as binary little-endian PLY\n"
         "  --list          print every object with its bounds and who sees it\n"
         "  -h, --help      show this help\n";
}

int ParseGenOptions(int argc, const char* const* argv, SGenOptions& options, std::string& error) {
  SGenOptions parsed;
  bool seedGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      parsed.bHelp = true;
      continue;
    }
    if (arg == "--list") {
      parsed.bList = true;
      continue;
    }
    bool takesValue =
        arg == "--triangles" || arg == "--seed" || arg == "--world" || arg == "--texture" || arg == "--ply";
    if (!takesValue) {
      error = "unknown option '" + arg + "' (see --help)";
      return 0;
    }
    if (i + 1 >= argc || argv[i + 1][0] == '\0') {
      error = arg + " needs a value";
      return 0;
    }
    const char* value = argv[++i];
    uint64_t number = 0;
    if (arg == "--triangles") {
      if (!ParseNumber(value, kMaxTriangles, number) || number < kMinTriangles) {
        error = "--triangles wants a whole number from " + std::to_string(kMinTriangles) + " to " +
                std::to_string(kMaxTriangles) + ", not '" + value + "'";
        return 0;
      }
      parsed.dwTriangles = (uint32_t)number;
    } else if (arg == "--seed") {
      if (!ParseNumber(value, UINT64_MAX, number)) {
        error = std::string("--seed wants a whole number, not '") + value + "'";
        return 0;
      }
      parsed.qwSeed = number;
      seedGiven = true;
    } else if (arg == "--world") {
      parsed.sWorldPath = value;
    } else if (arg == "--texture") {
      parsed.sTexturePath = value;
    } else {
      parsed.sPlyPath = value;
    }
  }
  if (seedGiven && parsed.dwTriangles == 0 && !parsed.bHelp) {
    error = "--seed applies to benchmark scenes only: add --triangles N";
    return 0;
  }
  options = parsed;
  return 1;
}
