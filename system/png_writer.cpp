#include "system/png_writer.h"

#include <stb/stb_image_write.h>

bool write_png(const std::string& path, std::int32_t width, std::int32_t height, std::span<const std::uint8_t> rgba) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<std::size_t>(width) * height * 4) {
    return false;
  }
  return stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
}
