#pragma once
// Image files for both programs: the runner's --image and the window's "Save PNG...".
#include <cstdint>
#include <span>
#include <string>

// Writes RGBA bytes as a PNG file; false when the file cannot be written.
bool write_png(const std::string& path, std::int32_t width, std::int32_t height, std::span<const std::uint8_t> rgba);
