// Build-time tool: writes the window icon at the sizes the desktop's icon theme uses, and the
// Windows program's two icon files, so every icon is drawn by the same code as the window's own.
#include <stb_image_write.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/icon_file.h"
#include "app/window_icon.h"

namespace {

std::vector<std::uint8_t> encode_png(const IconImage& icon) {
  std::vector<std::uint8_t> bytes;
  auto append = [](void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* begin = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), begin, begin + size);
  };
  stbi_write_png_to_func(append, &bytes, icon.size, icon.size, 4, icon.rgba.data(), icon.size * 4);
  return bytes;
}

bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written && !bytes.empty();
}

std::vector<IconImage> icons(std::initializer_list<int> sizes) {
  std::vector<IconImage> images;
  for (int size : sizes) images.push_back(make_window_icon(size));
  return images;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
  for (const IconImage& icon : icons({16, 32, 48, 64, 128, 256})) {
    files.emplace_back(dir + "/strelvik-" + std::to_string(icon.size) + ".png", encode_png(icon));
  }
  // The class icon (taskbar, Alt+Tab, Explorer) and the small one (title bar).
  files.emplace_back(dir + "/strelvik-large.ico", encode_icon_file(icons({16, 24, 32, 48, 64, 256}), encode_png));
  files.emplace_back(dir + "/strelvik-small.ico", encode_icon_file(icons({16, 20, 24, 32}), encode_png));
  for (const auto& [path, bytes] : files) {
    if (!write_file(path, bytes)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
