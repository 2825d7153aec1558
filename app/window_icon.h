#pragma once
// The window icons, drawn in code so the program carries them without resource files: a teal
// ring with an orange core on a dark rounded square, as in the installed SVG icon.
#include <cstdint>
#include <vector>

struct IconImage {
  int size = 0;                    // width and height in pixels
  std::vector<std::uint8_t> rgba;  // size x size pixels, rows top first, straight alpha
};

IconImage make_window_icon(int size);
