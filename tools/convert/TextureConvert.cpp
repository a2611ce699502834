// --texture: any image the stb reader reads becomes the viewer's 1024 x 1024
// 24-bit BMP.
#include <stb_image.h>
#include <stb_image_resize.h>
#include <stb_image_write.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "Convert.h"

namespace {

int CheckImageFile(const std::string& path, std::string& error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    error = path + ": " + std::strerror(errno);
    return 0;
  }
  if (S_ISDIR(st.st_mode)) {
    error = path + ": is a folder, not an image";
    return 0;
  }
  return 1;
}

// Scales with sRGB-aware filtering, so averaged colours keep their brightness.
std::vector<unsigned char> ResizeToTexture(const unsigned char* rgb, int width, int height) {
  const size_t bytes = (size_t)kTextureSize * kTextureSize * 3;
  if (width == kTextureSize && height == kTextureSize) return std::vector<unsigned char>(rgb, rgb + bytes);
  std::vector<unsigned char> out(bytes);
  if (!stbir_resize_uint8_srgb(rgb, width, height, 0, out.data(), kTextureSize, kTextureSize, 0, 3,
                               STBIR_ALPHA_CHANNEL_NONE, 0))
    out.clear();
  return out;
}

void AppendBytes(void* context, void* data, int size) {
  std::vector<unsigned char>* out = (std::vector<unsigned char>*)context;
  const unsigned char* p = (const unsigned char*)data;
  out->insert(out->end(), p, p + size);
}

}  // namespace

int ConvertTexture(const std::string& input, const std::string& output, std::string& error) {
  if (!CheckImageFile(input, error)) return 0;
  int width = 0, height = 0, channels = 0;
  unsigned char* rgb = stbi_load(input.c_str(), &width, &height, &channels, 3);
  if (!rgb) {
    error = input + ": cannot read the image (" + stbi_failure_reason() +
            "); PNG, JPEG, TGA and BMP images are read";
    return 0;
  }
  std::vector<unsigned char> pixels = ResizeToTexture(rgb, width, height);
  stbi_image_free(rgb);
  if (pixels.empty()) {
    error = input + ": cannot scale the image to 1024 x 1024";
    return 0;
  }

  // Three components give a 24-bit BMP, rows bottom-up and blue first.
  std::vector<unsigned char> bmp;
  if (!stbi_write_bmp_to_func(AppendBytes, &bmp, kTextureSize, kTextureSize, 3, pixels.data())) {
    error = output + ": cannot encode the BMP";
    return 0;
  }
  return WriteFileAtomically(output, bmp, error);
}
