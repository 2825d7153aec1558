#include "app/icon_file.h"

#include <cstddef>

namespace {

void put16(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

// A bitmap entry: its header (twice the height: colour rows then the mask's), BGRA rows bottom
// first, then an all-clear 1-bit mask, since the alpha channel already says what shows.
std::vector<std::uint8_t> bitmap_entry(const IconImage& image) {
  const int n = image.size;
  std::vector<std::uint8_t> out;
  put32(out, 40);
  put32(out, static_cast<std::uint32_t>(n));
  put32(out, static_cast<std::uint32_t>(2 * n));
  put16(out, 1);                              // planes
  put16(out, 32);                             // bits per pixel
  for (int i = 0; i < 6; ++i) put32(out, 0);  // uncompressed; size, resolution and palette unused
  for (int y = n - 1; y >= 0; --y) {
    for (int x = 0; x < n; ++x) {
      const std::uint8_t* px = &image.rgba[(static_cast<std::size_t>(y) * n + x) * 4];
      out.insert(out.end(), {px[2], px[1], px[0], px[3]});
    }
  }
  const std::size_t mask_row = static_cast<std::size_t>((n + 31) / 32) * 4;
  out.resize(out.size() + mask_row * n, 0);
  return out;
}

}  // namespace

std::vector<std::uint8_t> encode_icon_file(const std::vector<IconImage>& images, PngEncoder png) {
  std::vector<std::uint8_t> out;
  put16(out, 0);
  put16(out, 1);  // an icon, not a cursor
  put16(out, static_cast<unsigned>(images.size()));
  std::vector<std::vector<std::uint8_t>> entries;
  for (const IconImage& image : images) {
    entries.push_back(image.size >= 256 ? png(image) : bitmap_entry(image));
  }
  std::size_t offset = 6 + 16 * images.size();
  for (std::size_t i = 0; i < images.size(); ++i) {
    const unsigned side = images[i].size >= 256 ? 0 : static_cast<unsigned>(images[i].size);  // 0 means 256
    out.push_back(static_cast<std::uint8_t>(side));
    out.push_back(static_cast<std::uint8_t>(side));
    out.push_back(0);  // no palette
    out.push_back(0);
    put16(out, 1);
    put16(out, 32);
    put32(out, static_cast<std::uint32_t>(entries[i].size()));
    put32(out, static_cast<std::uint32_t>(offset));
    offset += entries[i].size();
  }
  for (const auto& entry : entries) out.insert(out.end(), entry.begin(), entry.end());
  return out;
}
