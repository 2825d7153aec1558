// Build-time tool: writes the window icon at the sizes the desktop's icon theme uses, so the
// installed icons and the window's own are drawn by the same code.
#include <stb_image_write.h>

#include <cstdio>
#include <string>

#include "app/window_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const IconImage icon = make_window_icon(size);
    const std::string path = std::string(argv[1]) + "/strelvik-" + std::to_string(size) + ".png";
    if (stbi_write_png(path.c_str(), size, size, 4, icon.rgba.data(), size * 4) == 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
