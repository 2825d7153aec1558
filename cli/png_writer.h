#pragma once
#include <cstdint>
#include <span>
#include <string>

// Writes RGBA bytes as a PNG file; false when the file cannot be written.
bool write_png(const std::string& path, std::int32_t width, std::int32_t height, std::span<const std::uint8_t> rgba);
