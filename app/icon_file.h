#pragma once
// A Windows icon file (.ico) holding one drawing at several sizes, for the program's resources.
#include <cstdint>
#include <vector>

#include "app/window_icon.h"

// Images up to 255 pixels are stored as 32-bit bitmaps, which every loader reads; a 256-pixel
// image as PNG, as Windows' own large icons are. `png` encodes one image as a PNG file.
using PngEncoder = std::vector<std::uint8_t> (*)(const IconImage&);
std::vector<std::uint8_t> encode_icon_file(const std::vector<IconImage>& images, PngEncoder png);
